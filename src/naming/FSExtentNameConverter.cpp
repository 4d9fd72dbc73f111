#include "naming/FSExtentNameConverter.h"

#include "ExtentNameConverter.h"
#include "common/EBLog.h"

FSExtentNameConverter::FSExtentNameConverter(int extentNameLength)
    : EBExtentNameConverter(extentNameLength) {}

unsigned long long FSExtentNameConverter::ExtentNameToNum(const std::string& name) {
  return ExtentNameConverter::Extent_base32_to_dec(name);
}

void FSExtentNameConverter::ExtentNumToName(unsigned long long extentNumber, std::string& name) {
  char buffer[ExtentNameConverter::kMaxNameLength + 1] = {};
  ExtentNameConverter::Extent_dec_to_base32_v2(extentNumber, buffer,
                                               static_cast<unsigned int>(extentNameLength));
  name = buffer;
  EB_LOG(4, "ioExtNum: [%llu], buf: [%s], name: [%s]", extentNumber, buffer, name.c_str());
}

bool FSExtentNameConverter::IsExtentAlreadyBrowsed(unsigned long long extentNumber) {
  const ExtentBucket<unsigned long long>* found = browsedBuckets.Find(extentNumber);
  if (found == nullptr) return false;
  EB_LOG(4, "ioExtNum: %llu, matched in ExtentBucket (%llu, %llu)", extentNumber, found->first,
         found->last);
  return true;
}

void FSExtentNameConverter::AddToBrowsedExtents(unsigned long long first, unsigned long long last) {
  browsedBuckets.Add(first, last);
}

bool FSExtentNameConverter::isNewNamingScheme() { return false; }
