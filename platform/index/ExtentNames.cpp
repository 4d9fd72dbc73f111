#include "ebindex/ExtentNames.h"

#include <cstdio>

#include "ExtentNameConverter.h"

namespace ebindex {
namespace {

constexpr char kDecimalPrefix[] = "Extent";
constexpr char kHexPrefix[] = "Ext_";

}  // namespace

NameScheme SchemeOfName(const std::string& name) {
  if (name.compare(0, sizeof kDecimalPrefix - 1, kDecimalPrefix) == 0) return NameScheme::kDecimal;
  if (name.compare(0, sizeof kHexPrefix - 1, kHexPrefix) == 0) return NameScheme::kHex;
  return NameScheme::kBase32;
}

std::string ExtentName(NameScheme scheme, unsigned long long extent, unsigned int nameLength) {
  char buffer[ExtentNameConverter::kMaxNameLength + 1] = {};
  switch (scheme) {
    case NameScheme::kDecimal:
      std::snprintf(buffer, sizeof buffer, "%s%llu", kDecimalPrefix, extent);
      break;
    case NameScheme::kHex:
      std::snprintf(buffer, sizeof buffer, "%s%08llx", kHexPrefix, extent);
      break;
    case NameScheme::kBase32:
      ExtentNameConverter::Extent_dec_to_base32_v2(extent, buffer, nameLength);
      break;
  }
  return buffer;
}

}  // namespace ebindex
