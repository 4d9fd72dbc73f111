#include "naming/VSAExtentNameConverter.h"

#include <cstdio>
#include <cstdlib>

#include "ExtentNameConverter.h"
#include "common/EBLog.h"

namespace {

constexpr const char* kOldSchemeMarker = "Extent";
// The number of an old-scheme name starts after the marker's length,
// wherever the marker was found.
constexpr std::size_t kOldSchemeNumberPosition = 6;
constexpr std::size_t kOldSchemeNameLimit = 63;

}  // namespace

VSAExtentNameConverter::VSAExtentNameConverter(int extentNameLength)
    : EBExtentNameConverter(extentNameLength), newNamingScheme(true) {
  EB_LOG(1, "Will use [NEW] extent naming scheme.");
}

unsigned long long VSAExtentNameConverter::ExtentNameToNum(const std::string& name) {
  if (name.find(kOldSchemeMarker) == std::string::npos) {
    return ExtentNameConverter::Extent_base32_to_dec(name);
  }
  const char* digits =
      name.size() > kOldSchemeNumberPosition ? name.c_str() + kOldSchemeNumberPosition : "";
  // strtoll saturates where atoll's result would be undefined.
  const long long number = std::strtoll(digits, nullptr, 10);
  newNamingScheme = false;
  return static_cast<unsigned long long>(number);
}

void VSAExtentNameConverter::ExtentNumToName(unsigned long long extentNumber, std::string& name) {
  char buffer[ExtentNameConverter::kMaxNameLength + 1] = {};
  if (newNamingScheme) {
    ExtentNameConverter::Extent_dec_to_base32_v2(extentNumber, buffer,
                                                 static_cast<unsigned int>(extentNameLength));
  } else {
    std::snprintf(buffer, kOldSchemeNameLimit, "Extent%llu", extentNumber);
  }
  name = buffer;
}

bool VSAExtentNameConverter::IsExtentAlreadyBrowsed(unsigned long long extentNumber) {
  std::string name;
  ExtentNumToName(extentNumber, name);
  const ExtentBucket<std::string>* found = browsedBuckets.Find(name);
  if (found == nullptr) return false;
  EB_LOG(4, "ioExtNum: %llu, matched in ExtentBucket (%s, %s)", extentNumber, found->first.c_str(),
         found->last.c_str());
  return true;
}

void VSAExtentNameConverter::AddToBrowsedExtents(unsigned long long first,
                                                 unsigned long long last) {
  std::string firstName;
  std::string lastName;
  ExtentNumToName(first, firstName);
  ExtentNumToName(last, lastName);
  browsedBuckets.Add(firstName, lastName);
  EB_LOG(4, "Inserted bucket <%llu:%s , %llu:%s>", first, firstName.c_str(), last,
         lastName.c_str());
}

bool VSAExtentNameConverter::isNewNamingScheme() { return newNamingScheme; }
