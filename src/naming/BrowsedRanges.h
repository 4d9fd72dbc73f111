// The ranges a converter has browsed, of extent numbers or of names.
#ifndef EXTENTBROWSE_SRC_NAMING_BROWSEDRANGES_H
#define EXTENTBROWSE_SRC_NAMING_BROWSEDRANGES_H

#include <set>

#include "naming/ExtentBucket.h"

// Not thread-safe: its converter's browser reads and changes it under the
// extent map lock.
template <typename T>
class BrowsedRanges {
 public:
  // The range that holds `key`, or null.
  const ExtentBucket<T>* Find(const T& key) const {
    const auto found = buckets_.find(ExtentBucket<T>(key, key));
    return found == buckets_.end() ? nullptr : &*found;
  }

  // Keeps (first, last) unless an equivalent range is held already. A range
  // that ends before it starts claims nothing true, and held among the
  // others it would break the order every answer of Find relies on.
  void Add(T first, T last) {
    if (ExtentBucket<T>::Less(last, first)) return;
    buckets_.insert(ExtentBucket<T>(std::move(first), std::move(last)));
  }

 private:
  std::set<ExtentBucket<T>> buckets_;
};

#endif  // EXTENTBROWSE_SRC_NAMING_BROWSEDRANGES_H
