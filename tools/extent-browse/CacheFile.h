// The --cache file and `save FILE`: what may be read and replaced, and a
// save that merges with what other sessions saved meanwhile.
//
// A cache file (see CacheContent.h) belongs to one backup of one item. A
// file is used and replaced only when it does not exist yet, is empty, or
// is a cache of the same item and backup; a cache of the same item without
// the binding (release 1.0's, or a host's bare block) is taken as this
// backup's, with a warning. Anything else is refused and left untouched.
#ifndef EXTENTBROWSE_TOOLS_CACHEFILE_H
#define EXTENTBROWSE_TOOLS_CACHEFILE_H

#include <cstddef>
#include <string>

#include "CacheBinding.h"
#include "CacheContent.h"

class ExtentBrowse;

// What a cache file gives a new browser.
struct CacheSeed {
  std::string block;          // the extent-info block to seed it with; empty for none
  ExtentRanges emptyExtents;  // which of the block's extents are empty
};

// Checks `file` before a session uses it. False, with `error`, when the
// file must not be used: it is not a regular file, cannot be read, is not a
// cache, is another item's or another backup's cache, or could not be
// replaced at the end. `readOnly` is for a session that never writes it:
// the file must then exist, and whether it could be replaced does not
// count. Otherwise `seed` receives what to seed a browser with, and
// `warning` says why a damaged cache is not used, or that an unbound one
// is.
bool ReadCacheFile(const std::string& file, const CacheBinding& binding, bool readOnly,
                   CacheSeed& seed, std::string& warning, std::string& error);

// Writes what `browser` knows, as `binding`'s cache, over `file`, after the
// checks of ReadCacheFile. Saves to one folder take turns under an advisory
// lock (flock) on the folder, and each joins the records the file holds
// now with the browser's, so sessions that share a cache lose nothing of
// each other's. `seededEmpty` are the empty extents of the browser's seed,
// which the browser itself cannot tell. The file keeps its mode and owner,
// a symlink is written through, and the new content appears all at once.
// `records` receives the number of extents written.
bool SaveCacheFile(ExtentBrowse& browser, const std::string& file, const CacheBinding& binding,
                   const ExtentRanges& seededEmpty, std::size_t& records, std::string& error);

#endif  // EXTENTBROWSE_TOOLS_CACHEFILE_H
