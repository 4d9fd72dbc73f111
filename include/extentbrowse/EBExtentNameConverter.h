/// @file
/// EBExtentNameConverter: the interface of the browser's extent name
/// converters.
#ifndef EXTENTBROWSE_EBEXTENTNAMECONVERTER_H
#define EXTENTBROWSE_EBEXTENTNAMECONVERTER_H

#include <string>

#include "extentbrowse/Export.h"

/// Turns extent numbers into the names under which the index stores extents
/// and back, and remembers the ranges already browsed. A browser owns one,
/// chosen by its application type (EBAppType); a host only meets it through
/// ExtentBrowseImpl::GetExtentNameConverter().
///
/// Thread-safety: a converter takes no lock of its own. Its browsed ranges are
/// read and changed only under the owning browser's extent map lock; its name
/// conversions may run on any thread.
class EB_EXPORT EBExtentNameConverter {
 public:
  /// @param extentNameLength digits of the base32 names it writes.
  explicit EBExtentNameConverter(int extentNameLength) : extentNameLength(extentNameLength) {}

  /// The number an index name stands for. Reading an old-scheme name may
  /// switch the converter to that scheme.
  /// @param name an extent name of the item.
  /// @return the extent number.
  virtual unsigned long long ExtentNameToNum(const std::string& name) = 0;
  /// The index name of an extent in the converter's current scheme.
  /// @param extentNumber the extent.
  /// @param[out] name replaced by the name.
  virtual void ExtentNumToName(unsigned long long extentNumber, std::string& name) = 0;
  /// Whether an extent lies in a browsed range: one with first <= N < last,
  /// or first = last = N. Logs at level 4 the range that matched.
  /// @param extentNumber the extent.
  /// @return true when a browse has already covered it.
  virtual bool IsExtentAlreadyBrowsed(unsigned long long extentNumber) = 0;
  /// Records a browsed range. A range that encloses or nests in one already
  /// held may be dropped.
  /// @param first the range's first extent.
  /// @param last the range's last extent, which does not itself count as
  ///   browsed unless it equals `first`.
  virtual void AddToBrowsedExtents(unsigned long long first, unsigned long long last) = 0;
  /// Whether a virtual-server item's names are base32: true until the
  /// converter reads an `Extent<decimal>` name. Always false for the other
  /// items' converters.
  /// @return true for a virtual-server item still named in base32.
  virtual bool isNewNamingScheme() = 0;
  /// Browsers delete their converter through this interface.
  virtual ~EBExtentNameConverter() = default;

 protected:
  /// Digits of the base32 names the converter writes.
  const int extentNameLength;
};

#endif  // EXTENTBROWSE_EBEXTENTNAMECONVERTER_H
