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

const char* BrowseRespTypeStr(databrowse::BrowseResponseType type) {
  switch (type) {
    case databrowse::BROWSE_RESPONSE_DATA: return "Data";
    case databrowse::BROWSE_RESPONSE_PREDICTION: return "Prediction";
    case databrowse::BROWSE_RESPONSE_PARTIAL: return "Partial";
    case databrowse::BROWSE_RESPONSE_ERROR: return "Error";
    case databrowse::BROWSE_RESPONSE_WARNING: return "Warning";
    case databrowse::BROWSE_RESPONSE_END: return "End";
    case databrowse::BROWSE_RESPONSE_PROGRESS: return "Progress";
    default: return "Unknown";
  }
}

void RemoveDuplicates(std::string& text, char c) {
  std::string result;
  result.reserve(text.size());
  char previous = '\0';
  for (const char current : text) {
    if (!(current == c && previous == c)) result.push_back(current);
    previous = current;
  }
  text.swap(result);
}
