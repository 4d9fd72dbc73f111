// Which extent names `number` takes: those a browser of the item reads back
// as the number they stand for.
#ifndef EXTENTBROWSE_TOOLS_NAMECHECK_H
#define EXTENTBROWSE_TOOLS_NAMECHECK_H

#include <string>

class ExtentBrowse;

// Whether `name` is written in a scheme a browser of `appType` reads
// (base32 for every item, Extent<decimal> for virtual-machine disks,
// Ext_<hex> for databases) and reads back without stopping short or
// overflowing; `extent` then receives its number. An old-scheme name is read
// by `browser`'s converter, which switches to that scheme (see
// ExtentNumberOf), even when the name is then refused.
bool ReadExtentName(ExtentBrowse& browser, int appType, const std::string& name,
                    unsigned long long& extent);

// The schemes a browser of `appType` reads, as "a base32 or Ext_<hex>".
std::string SchemesOf(int appType);

#endif  // EXTENTBROWSE_TOOLS_NAMECHECK_H
