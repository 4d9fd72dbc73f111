// Set-up shared by the benchmark suites: a quiet log writer, an index with
// one item, browsers seeded from a cache block.
#ifndef EXTENTBROWSE_BENCH_BENCHSUPPORT_H
#define EXTENTBROWSE_BENCH_BENCHSUPPORT_H

#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "extentbrowse/AFileInfoInternal.h"
#include "extentbrowse/ExtentBrowseImpl.h"

namespace ebbench {

constexpr char kItemPath[] = "/bench/item";

// Installs a log writer at level 0 once, so log guards are what is measured.
void QuietLog();

// The record every benchmark gives extent `extent`.
AFileInfoInternal RecordOf(unsigned long long extent);

// Loads the index with kItemPath holding `count` extents from 0 in base32
// names, each with RecordOf(extent).
void LoadIndex(unsigned long long count);

// An extent-info block of `count` records, extents 0 .. count-1.
std::string CacheBlock(unsigned long long count);

std::unique_ptr<ExtentBrowseImpl> MakeBrowser(unsigned long long pageSize,
                                              std::iostream* cache = nullptr);

// `count` extent numbers below `limit`, spread pseudo-randomly, so lookups
// do not walk the map in order.
std::vector<unsigned long long> ScatteredExtents(std::size_t count, unsigned long long limit);

// The shapes of large items:
// - runs: extents 0..N-1, 64 to an archive file, values stepping by 65536,
//   as a backup writes a disk;
// - dense: extents 0..N-1 with random archive files and values;
// - sparse: one extent in each 65,536, random values.
enum class Layout { kRuns, kDense, kSparse };
const char* NameOf(Layout layout);
// The i-th extent of the layout and its record; the same every run.
unsigned long long ExtentAt(Layout layout, unsigned long long i);
AFileInfoInternal RecordAt(Layout layout, unsigned long long i);
// An extent-info block of the layout's first `count` extents.
std::string CacheBlock(Layout layout, unsigned long long count);

}  // namespace ebbench

#endif  // EXTENTBROWSE_BENCH_BENCHSUPPORT_H
