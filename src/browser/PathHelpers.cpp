#include "browser/PathHelpers.h"

#include "common/EBLog.h"
#include "extentbrowse/ExtentBrowseTypes.h"

namespace {

constexpr char kItemNameSeparator = '\x12';

}  // namespace

bool TransformPath(std::string& path, const SCParams* params) {
  if (params == nullptr) return false;
  if (params->appType == EB_APP_TYPE_VIRTUAL_SERVER) {
    for (std::string::size_type pos = path.find('/'); pos != std::string::npos;
         pos = path.find('/', pos)) {
      path[pos] = '\\';
      EB_LOG(5, "replaced '/' with '\\' at pos = %lu", static_cast<unsigned long>(pos));
    }
  }
  return true;
}

void GetRealName(const std::string& itemName, std::string& realName) {
  const std::string::size_type separator = itemName.find(kItemNameSeparator);
  if (separator == std::string::npos) {
    realName = itemName;
  } else {
    realName.assign(itemName, separator + 1, std::string::npos);
  }
}
