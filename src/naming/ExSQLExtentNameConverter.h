// ExSQLExtentNameConverter: database extent names, base32 until the first
// "Ext_<hex>" name is read, then "Ext_<hex>" for good. Browsed ranges are
// kept by number, as for file-system items.
#ifndef EXTENTBROWSE_SRC_NAMING_EXSQLEXTENTNAMECONVERTER_H
#define EXTENTBROWSE_SRC_NAMING_EXSQLEXTENTNAMECONVERTER_H

#include <atomic>
#include <string>

#include "naming/FSExtentNameConverter.h"

class EB_EXPORT ExSQLExtentNameConverter : public FSExtentNameConverter {
 public:
  explicit ExSQLExtentNameConverter(int extentNameLength);

  unsigned long long ExtentNameToNum(const std::string& name) override;
  void ExtentNumToName(unsigned long long extentNumber, std::string& name) override;

 private:
  const std::string extentPrefix;
  // Read on callers' threads, switched by names read on the service's.
  std::atomic<bool> newNamingScheme;
};

#endif  // EXTENTBROWSE_SRC_NAMING_EXSQLEXTENTNAMECONVERTER_H
