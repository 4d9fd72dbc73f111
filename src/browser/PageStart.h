// Where one browse starts, worked out once, and what it asks the index for.
#ifndef EXTENTBROWSE_SRC_BROWSER_PAGESTART_H
#define EXTENTBROWSE_SRC_BROWSER_PAGESTART_H

#include <string>

// All ones: a lookup without an explicit extent range.
constexpr unsigned long long kNoRangeStart = 0xFFFFFFFFFFFFFFFFull;

// Whether [start, start + count) holds `extent`; a range that would reach
// past 2^64 ends there.
inline bool RangeHolds(unsigned long long start, unsigned long long count,
                       unsigned long long extent) {
  return extent >= start && extent - start < count;
}

// Whether a browse from `extent` answers for it: a page of names from its
// own name does, and so does an extent range that holds it.
inline bool PageAnswersFor(unsigned long long extent, unsigned long long rangeStart,
                           unsigned long long pageSize) {
  return rangeStart == kNoRangeStart || RangeHolds(rangeStart, pageSize, extent);
}

struct PageStart {
  // A page of names from the page's own extent, an extent range that holds
  // that extent or leaves it out, or the whole item for an enumeration.
  enum class Kind { kNames, kRangeHoldingExtent, kRangeMissingExtent, kWholeItem };

  Kind kind = Kind::kNames;
  unsigned long long extent = 0;  // the page's first extent
  std::string pageName;           // its name in the converter's scheme
  std::string requestName;        // the name the request carries
  unsigned long long rangeStart = kNoRangeStart;
};

#endif  // EXTENTBROWSE_SRC_BROWSER_PAGESTART_H
