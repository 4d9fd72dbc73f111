// VSAExtentNameConverter: virtual-server extent names, base32 until the
// first "Extent<decimal>" name is read, then "Extent<decimal>" for good.
// Browsed ranges are kept as pairs of names, ordered as text.
#ifndef EXTENTBROWSE_SRC_NAMING_VSAEXTENTNAMECONVERTER_H
#define EXTENTBROWSE_SRC_NAMING_VSAEXTENTNAMECONVERTER_H

#include <atomic>
#include <string>

#include "extentbrowse/EBExtentNameConverter.h"
#include "naming/BrowsedRanges.h"

class EB_EXPORT VSAExtentNameConverter : public EBExtentNameConverter {
 public:
  explicit VSAExtentNameConverter(int extentNameLength);

  unsigned long long ExtentNameToNum(const std::string& name) override;
  void ExtentNumToName(unsigned long long extentNumber, std::string& name) override;
  bool IsExtentAlreadyBrowsed(unsigned long long extentNumber) override;
  void AddToBrowsedExtents(unsigned long long first, unsigned long long last) override;
  bool isNewNamingScheme() override;

 private:
  // Read on callers' threads, switched by names read on the service's.
  std::atomic<bool> newNamingScheme;
  BrowsedRanges<std::string> browsedBuckets;
};

#endif  // EXTENTBROWSE_SRC_NAMING_VSAEXTENTNAMECONVERTER_H
