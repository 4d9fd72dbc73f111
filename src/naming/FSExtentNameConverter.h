// FSExtentNameConverter: base32 extent names, browsed ranges by number.
// The converter of file-system items, and the base of the database one.
#ifndef EXTENTBROWSE_SRC_NAMING_FSEXTENTNAMECONVERTER_H
#define EXTENTBROWSE_SRC_NAMING_FSEXTENTNAMECONVERTER_H

#include <string>

#include "extentbrowse/EBExtentNameConverter.h"
#include "naming/BrowsedRanges.h"

class EB_EXPORT FSExtentNameConverter : public EBExtentNameConverter {
 public:
  explicit FSExtentNameConverter(int extentNameLength);

  unsigned long long ExtentNameToNum(const std::string& name) override;
  void ExtentNumToName(unsigned long long extentNumber, std::string& name) override;
  bool IsExtentAlreadyBrowsed(unsigned long long extentNumber) override;
  void AddToBrowsedExtents(unsigned long long first, unsigned long long last) override;
  bool isNewNamingScheme() override;

 protected:
  BrowsedRanges<unsigned long long> browsedBuckets;
};

#endif  // EXTENTBROWSE_SRC_NAMING_FSEXTENTNAMECONVERTER_H
