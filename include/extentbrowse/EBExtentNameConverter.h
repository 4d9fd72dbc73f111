// EBExtentNameConverter: turns extent numbers into the names under which the
// index stores extents and back, and remembers the ranges already browsed.
//
// Thread-safety: a converter takes no lock of its own. Its browsed ranges are
// read and changed only under the owning browser's extent map lock; its name
// conversions may run on any thread.
#ifndef EXTENTBROWSE_EBEXTENTNAMECONVERTER_H
#define EXTENTBROWSE_EBEXTENTNAMECONVERTER_H

#include <string>

#include "extentbrowse/Export.h"

class EB_EXPORT EBExtentNameConverter {
 public:
  explicit EBExtentNameConverter(int extentNameLength) : extentNameLength(extentNameLength) {}

  virtual unsigned long long ExtentNameToNum(const std::string& name) = 0;
  // Replaces the whole content of `name`.
  virtual void ExtentNumToName(unsigned long long extentNumber, std::string& name) = 0;
  virtual bool IsExtentAlreadyBrowsed(unsigned long long extentNumber) = 0;
  virtual void AddToBrowsedExtents(unsigned long long first, unsigned long long last) = 0;
  virtual bool isNewNamingScheme() = 0;
  // Browsers delete their converter through this interface.
  virtual ~EBExtentNameConverter() = default;

 protected:
  const int extentNameLength;
};

#endif  // EXTENTBROWSE_EBEXTENTNAMECONVERTER_H
