#include "naming/ExSQLExtentNameConverter.h"

#include <cstdio>
#include <cstdlib>

ExSQLExtentNameConverter::ExSQLExtentNameConverter(int extentNameLength)
    : FSExtentNameConverter(extentNameLength), extentPrefix("Ext_"), newNamingScheme(true) {}

unsigned long long ExSQLExtentNameConverter::ExtentNameToNum(const std::string& name) {
  if (name.find(extentPrefix) == std::string::npos) {
    return FSExtentNameConverter::ExtentNameToNum(name);
  }
  // The number starts after the prefix's length, wherever the prefix was
  // found. Every hexadecimal digit counts, so the names this converter
  // writes for extents of 2^32 and above read back to their own numbers.
  const char* digits = name.size() > extentPrefix.size() ? name.c_str() + extentPrefix.size() : "";
  const unsigned long long number = std::strtoull(digits, nullptr, 16);
  newNamingScheme = false;
  return number;
}

void ExSQLExtentNameConverter::ExtentNumToName(unsigned long long extentNumber, std::string& name) {
  if (newNamingScheme) {
    FSExtentNameConverter::ExtentNumToName(extentNumber, name);
    return;
  }
  char digits[32];
  std::snprintf(digits, sizeof digits, "%08llx", extentNumber);
  name = extentPrefix + digits;
}
