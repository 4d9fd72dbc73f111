// What the tool asks of a browser that its facade does not forward: the
// extent names of the item's scheme, the browsed ranges, and the extent-info
// block. The tool reaches behind the facade here and nowhere else.
//
// Thread-safety: as the browser's own calls; the tool makes them on its one
// thread, between lookups.
#ifndef EXTENTBROWSE_TOOLS_BROWSERACCESS_H
#define EXTENTBROWSE_TOOLS_BROWSERACCESS_H

#include <iosfwd>
#include <string>

class ExtentBrowse;

// The name the browser's converter gives `extent` in its current scheme.
std::string ExtentNameOf(ExtentBrowse& browser, unsigned long long extent);

// The number the browser's converter reads from `name`. An old-scheme name
// switches a virtual-machine or database browser to that scheme, as a
// browse that met one would.
unsigned long long ExtentNumberOf(ExtentBrowse& browser, const std::string& name);

// Whether `extent` lies in a range the browser has browsed.
bool IsInBrowsedRange(ExtentBrowse& browser, unsigned long long extent);

// Writes the browser's extent-info block to `stream`; false when the
// browser could not.
bool WriteExtentInfo(ExtentBrowse& browser, std::iostream& stream);

// Writes to `out` the block a browser of `appType` seeded from `in` would
// write: the records of `in` in ascending order, one line per extent, the
// last line for an extent winning. Browses nothing. False when `in` held no
// whole block or `out` could not be written.
bool RewriteExtentInfo(int appType, std::iostream& in, std::iostream& out);

#endif  // EXTENTBROWSE_TOOLS_BROWSERACCESS_H
