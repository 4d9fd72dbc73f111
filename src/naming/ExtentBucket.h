// ExtentBucket: one browsed range, of extent numbers or of extent names.
#ifndef EXTENTBROWSE_SRC_NAMING_EXTENTBUCKET_H
#define EXTENTBROWSE_SRC_NAMING_EXTENTBUCKET_H

#include <string>
#include <utility>

#include "extentbrowse/Export.h"
#include "naming/NameOrder.h"

// Extent N counts as browsed by a bucket when first <= N < last, or when
// first = last = N.
//
// The order takes both ends: a is before b only when a starts before b and
// ends no later. Buckets that nest or enclose each other are therefore
// equivalent, and an ordered set keeps only the first of them.
template <typename T>
class ExtentBucket {
 public:
  ExtentBucket(T first, T last) : first(std::move(first)), last(std::move(last)) {}

  bool operator<(const ExtentBucket& other) const {
    return Less(first, other.first) && LessOrEqual(last, other.last);
  }

  // The order of the ends: numbers as numbers, names as text.
  static bool Less(const T& a, const T& b) { return a < b; }
  static bool LessOrEqual(const T& a, const T& b) { return a <= b; }

  T first;
  T last;
};

template <>
inline bool ExtentBucket<std::string>::Less(const std::string& a, const std::string& b) {
  return ::operator<(a, b);
}
template <>
inline bool ExtentBucket<std::string>::LessOrEqual(const std::string& a, const std::string& b) {
  return ::operator<=(a, b);
}

// Logs a name bucket at level 4, for diagnostics; nothing in the library
// calls it.
EB_EXPORT void PrintBucket(const ExtentBucket<std::string>& bucket);

#endif  // EXTENTBROWSE_SRC_NAMING_EXTENTBUCKET_H
