#include "NameCheck.h"

#include <algorithm>
#include <cctype>

#include "BrowserAccess.h"
#include "ExtentNameConverter.h"
#include "ebindex/ExtentNames.h"
#include "extentbrowse/ExtentBrowseTypes.h"

namespace {

bool SameIgnoringCase(const std::string& a, const std::string& b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) ==
                  std::tolower(static_cast<unsigned char>(y));
         });
}

}  // namespace

bool ReadExtentName(ExtentBrowse& browser, int appType, const std::string& name,
                    unsigned long long& extent) {
  // A name is taken when writing its number again in its scheme gives the
  // name back: the converters and the codec decide, not a copy of their
  // rules. Case does not count, as it does not when they read.
  const ebindex::NameScheme scheme = ebindex::SchemeOfName(name);
  switch (scheme) {
    case ebindex::NameScheme::kBase32:
      // The codec alone: a name that is not base32 must not reach a
      // converter, which would take any name holding its old marker for
      // one of its old names.
      extent = ExtentNameConverter::Extent_base32_to_dec(name);
      return SameIgnoringCase(
          name, ebindex::ExtentName(scheme, extent, static_cast<unsigned int>(name.size())));
    case ebindex::NameScheme::kDecimal:
      if (appType != EB_APP_TYPE_VIRTUAL_SERVER) return false;
      break;
    case ebindex::NameScheme::kHex:
      if (!EBIsDatabaseAppType(appType)) return false;
      break;
  }
  extent = ExtentNumberOf(browser, name);
  return SameIgnoringCase(name, ebindex::ExtentName(scheme, extent, 0));
}

std::string SchemesOf(int appType) {
  if (appType == EB_APP_TYPE_VIRTUAL_SERVER) return "a base32 or Extent<decimal>";
  if (EBIsDatabaseAppType(appType)) return "a base32 or Ext_<hex>";
  return "a base32";
}
