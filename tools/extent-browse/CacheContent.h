// What a cache file holds, judged as the library would read it, and the
// text of a new one.
//
// A cache file is, in order (docs/cache-format.md):
//   the item line and the binding line (see CacheBinding.h); a cache of
//     release 1.0 has no binding line, a host's bare block neither line;
//   the tool's own lines of empty extents, "# empty extents 7 12-15", when
//     any record is of an empty extent (the block has no room for the
//     flag), as many as the list needs, so that no line grows with it;
//   "# records digest 0123456789abcdef", XXH3-64 of those lines and the
//     block, so that a record or flag changed in place is damage (a file
//     without it is read as before);
//   the extent-info block, exactly as the library reads and writes it.
#ifndef EXTENTBROWSE_TOOLS_CACHECONTENT_H
#define EXTENTBROWSE_TOOLS_CACHECONTENT_H

#include <string>
#include <utility>
#include <vector>

#include "CacheBinding.h"

// Ranges of extents [first, last], ascending and apart.
using ExtentRanges = std::vector<std::pair<unsigned long long, unsigned long long>>;
bool InRanges(const ExtentRanges& ranges, unsigned long long extent);

enum class CacheKind {
  kEmpty,      // nothing but blanks: nothing to lose
  kCache,      // a cache whose block the library would use
  kDamaged,    // one of ours, or a block, that the library would not use
  kNotACache,  // anything else: never replaced
};

struct CacheContent {
  CacheKind kind = CacheKind::kEmpty;
  bool hasItemLine = false;
  bool bound = false;  // it has a binding line
  CacheBinding owner;  // what its item and binding lines say
  std::string damage;  // kDamaged: what is wrong, as "line 4 is not a record line"
  std::string block;   // kCache: from START_EXTENT_INFO to its END_EXTENT_INFO line
  ExtentRanges emptyExtents;
};

// Reads the regular file `fd` from its start and judges it as it reads:
// a file that is not a cache by its first bytes, a line longer than its
// kind allows once it passes that length. Nothing is held but a whole
// block's records and empty extents, which a second reading takes once the
// first has found the block whole. False, with `readError` (an errno),
// when a read fails.
bool ReadCacheContent(int fd, CacheContent& content, int& readError);

// The extents of a block the library wrote, which lists its map one
// extent a line in ascending order.
std::vector<unsigned long long> ExtentsOf(const std::string& block);

// The record lines of a block, between its two marker lines, as they stand.
std::string RecordLinesOf(const std::string& block);

// The text of a cache file of `binding` around `block`, a block the library
// wrote, of whose records those in `emptyExtents` are empty.
std::string ComposeCache(const CacheBinding& binding, const std::string& block,
                         const ExtentRanges& emptyExtents);

#endif  // EXTENTBROWSE_TOOLS_CACHECONTENT_H
