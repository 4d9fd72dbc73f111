#include "naming/NameOrder.h"

#include <cstring>

#include "common/EBLog.h"
#include "naming/ExtentBucket.h"

bool operator<(const std::string& a, const std::string& b) {
  return std::strcmp(a.c_str(), b.c_str()) < 0;
}

bool operator<=(const std::string& a, const std::string& b) {
  return std::strcmp(a.c_str(), b.c_str()) <= 0;
}

bool operator>(const std::string& a, const std::string& b) {
  return std::strcmp(a.c_str(), b.c_str()) > 0;
}

bool operator>=(const std::string& a, const std::string& b) {
  return std::strcmp(a.c_str(), b.c_str()) >= 0;
}

void PrintBucket(const ExtentBucket<std::string>& bucket) {
  EB_LOG(4, "Bucket <%s, %s>", bucket.first.c_str(), bucket.last.c_str());
}
