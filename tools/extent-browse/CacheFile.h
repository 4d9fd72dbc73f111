// The --cache file and `save FILE`: what may be read and replaced, and a
// save that never leaves a torn file or a temporary file behind.
//
// A cache file is an extent-info block (see docs/cache-format.md) after an
// optional first line naming the item it belongs to:
//   # extent-browse cache for application type 0, item /data/reports/annual.bin
// A file is replaced only when it does not exist yet, is empty, or is a
// cache of the same item (a cache without the item line is taken as one);
// anything else is refused and left untouched.
#ifndef EXTENTBROWSE_TOOLS_CACHEFILE_H
#define EXTENTBROWSE_TOOLS_CACHEFILE_H

#include <cstddef>
#include <string>

class ExtentBrowseImpl;

// The item a cache belongs to.
struct CacheItem {
  std::string path;
  int appType = 0;
};

// Checks `file` before a session uses it. False, with `error`, when the
// file must not be used: it is not a regular file, cannot be read, is not a
// cache, is another item's cache, or could not be replaced at the end.
// Otherwise `block` receives the extent-info block to seed a browser with
// (empty when there is none), and `warning` says why a damaged block is
// not used.
bool ReadCacheFile(const std::string& file, const CacheItem& item, std::string& block,
                   std::string& warning, std::string& error);

// Writes the browser's extent map, as `item`'s cache, over `file`, after
// the checks of ReadCacheFile. The file keeps its mode and owner, a symlink
// is written through, and the new content appears all at once: a crash
// leaves the old file or the new one. `records` receives the number of
// extents written.
bool SaveCacheFile(ExtentBrowseImpl& browser, const std::string& file, const CacheItem& item,
                   std::size_t& records, std::string& error);

#endif  // EXTENTBROWSE_TOOLS_CACHEFILE_H
