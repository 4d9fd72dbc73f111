// Reading a browse request and building the responses the index gives for
// it. Pure functions of the catalogue and the request: the service adds
// faults, threads and records around them.
#include <algorithm>
#include <cstdio>

#include "ExtentNameConverter.h"
#include "IndexService.h"

namespace ebindex {

namespace {

constexpr unsigned int kEverything = 0xFFFFFFFFu;
constexpr int kErrorExtentNotFound = 4;
constexpr long long kModeExtentRange = 3;
constexpr char kNameSeparator = '\x12';

// What the index needs from a request, whichever flavour carried it.
struct PageRequest {
  std::string path;
  bool byExtentRange = false;
  bool hasRange = false;
  unsigned long long rangeStart = 0;
  unsigned long long rangeCount = 0;
  unsigned long long offset = 0;
  bool limited = false;  // false: every entry from the start position
  unsigned long long pageSize = 0;
  std::string startName;
};

const CNMessageBase* FirstOf(const std::vector<CNMessageBase>* list) {
  return list != nullptr && !list->empty() ? &list->front() : nullptr;
}

PageRequest ReadRequest(const databrowse::BrowseRequest& request) {
  PageRequest page;
  const CNMessageBase* path = FirstOf(request.findList(4));
  if (path != nullptr) page.path = path->getstring(1, 1);

  const CNMessageBase* mode = request.findObject(8);
  page.byExtentRange = mode != nullptr && mode->getint64(1) == kModeExtentRange;
  if (page.byExtentRange && path != nullptr) {
    const CNMessageBase* parameters = path->findObject(5);
    const CNMessageBase* range = parameters != nullptr ? FirstOf(parameters->findList(6)) : nullptr;
    if (range != nullptr) {
      page.hasRange = true;
      page.rangeStart = static_cast<unsigned long long>(range->getint64(1));
      page.rangeCount = static_cast<unsigned long long>(range->getint64(2));
    }
  }

  // Only the first query pages; a request without one gets everything.
  const CNMessageBase* query = FirstOf(request.findList(12));
  const CNMessageBase* options = query != nullptr ? query->findObject(8) : nullptr;
  const CNMessageBase* paging = options != nullptr ? options->findObject(2) : nullptr;
  if (paging != nullptr) {
    page.offset = static_cast<unsigned int>(paging->getint64(2));
    if (paging->hasTag(3)) {
      const unsigned int size = static_cast<unsigned int>(paging->getint64(3));
      page.limited = size != kEverything;
      page.pageSize = size;
    }
    page.startName = paging->getstring(4, 4);
  }
  return page;
}

enum class OldScheme { kNone, kDecimal, kHex };

bool AllOf(const std::string& text, std::size_t from, bool (*accept)(char)) {
  return std::all_of(text.begin() + static_cast<std::ptrdiff_t>(from), text.end(), accept);
}

bool IsDecimalDigit(char c) { return c >= '0' && c <= '9'; }
bool IsLowerHexDigit(char c) { return IsDecimalDigit(c) || (c >= 'a' && c <= 'f'); }
bool IsBase32Digit(char c) {
  return IsDecimalDigit(c) || (c >= 'A' && c <= 'V') || (c >= 'a' && c <= 'v');
}

OldScheme OldSchemeOf(const std::string& name) {
  if (name.size() > 6 && name.compare(0, 6, "Extent") == 0 && AllOf(name, 6, IsDecimalDigit)) {
    return OldScheme::kDecimal;
  }
  if (name.size() >= 12 && name.compare(0, 4, "Ext_") == 0 && AllOf(name, 4, IsLowerHexDigit)) {
    return OldScheme::kHex;
  }
  return OldScheme::kNone;
}

// A client that only knows base32 names still finds its place in an item
// stored under an older naming scheme: the index renames the start extent
// the way that item names its extents.
std::string StartNameInItemScheme(const std::vector<Entry>& entries, const std::string& startName) {
  if (entries.empty() || startName.empty() || !AllOf(startName, 0, IsBase32Digit)) {
    return startName;
  }
  const OldScheme scheme = OldSchemeOf(entries.front().name);
  if (scheme == OldScheme::kNone) return startName;
  const unsigned long long number = ExtentNameConverter::Extent_base32_to_dec(startName);
  char name[32];
  std::snprintf(name, sizeof name, scheme == OldScheme::kDecimal ? "Extent%llu" : "Ext_%08llx",
                number);
  return name;
}

std::vector<const Entry*> Select(const std::vector<Entry>& entries, const PageRequest& page) {
  std::vector<const Entry*> candidates;
  if (page.byExtentRange) {
    for (const Entry& entry : entries) {
      // Written as a distance so that a range reaching past 2^64 saturates.
      if (!page.hasRange ||
          (entry.extent >= page.rangeStart && entry.extent - page.rangeStart < page.rangeCount)) {
        candidates.push_back(&entry);
      }
    }
    std::stable_sort(candidates.begin(), candidates.end(),
                     [](const Entry* a, const Entry* b) { return a->extent < b->extent; });
  } else {
    const std::string start = StartNameInItemScheme(entries, page.startName);
    auto first = std::lower_bound(
        entries.begin(), entries.end(), start,
        [](const Entry& entry, const std::string& name) { return entry.name < name; });
    // Only what the page can reach: a large item is browsed page by page.
    std::size_t wanted = static_cast<std::size_t>(entries.end() - first);
    if (page.limited) {
      wanted = static_cast<std::size_t>(
          std::min<unsigned long long>(wanted, page.offset + page.pageSize));
    }
    candidates.reserve(wanted);
    for (auto it = first; candidates.size() < wanted; ++it) candidates.push_back(&*it);
  }

  const std::size_t skip =
      static_cast<std::size_t>(std::min<unsigned long long>(page.offset, candidates.size()));
  std::size_t end = candidates.size();
  if (page.limited) {
    end = static_cast<std::size_t>(std::min<unsigned long long>(skip + page.pageSize, end));
  }
  return std::vector<const Entry*>(candidates.begin() + static_cast<std::ptrdiff_t>(skip),
                                   candidates.begin() + static_cast<std::ptrdiff_t>(end));
}

databrowse::BrowseResponse ResponseOfType(int type) {
  databrowse::BrowseResponse response;
  response.setint64(1, 1, type);
  return response;
}

databrowse::BrowseResponse ErrorResponse(int code) {
  databrowse::BrowseError error;
  error.setint64(1, 1, code);
  const std::vector<CNMessageBase> errors(1, error);
  databrowse::BrowseResponse response = ResponseOfType(databrowse::BROWSE_RESPONSE_ERROR);
  response.setlistobject(4, 7, &errors);
  return response;
}

// Children are built in place: the setters copy, and a page copied item by
// item into its list and again into its result costs more than the browse.
void FillDataItem(CNMessageBase& data, const std::string& itemPath, const Entry& entry) {
  data.setstring(5, 5, itemPath + kNameSeparator + entry.name);
  CNMessageBase* archiveFile = data.getObjectAccessor(
      true, false, 9, 21, databrowse::ArchiveFileInfo::kFamily, databrowse::ArchiveFileInfo::kNumber);
  archiveFile->setint64(1, 12, static_cast<long long>(entry.afileId));
  archiveFile->setint64(2, 13, static_cast<long long>(entry.afileValue));
  CNMessageBase* attributes = data.getObjectAccessor(
      true, false, 1, 1, databrowse::ItemAttributes::kFamily, databrowse::ItemAttributes::kNumber);
  attributes->setint64(1, 18, entry.empty ? 1 : 0);
}

CNMessageBase& ResultOf(databrowse::BrowseResponse& response) {
  return *response.getObjectAccessor(true, false, 6, 9, databrowse::BrowseResult::kFamily,
                                     databrowse::BrowseResult::kNumber);
}

// The item list of a data response, created empty when absent.
std::vector<CNMessageBase>& ItemsOf(databrowse::BrowseResponse& response) {
  return *ResultOf(response).getlistobject(3, 6, true);
}

// A data response with an empty item list, or with none when `withList` is
// false.
databrowse::BrowseResponse DataResponse(bool withList) {
  databrowse::BrowseResponse response = ResponseOfType(databrowse::BROWSE_RESPONSE_DATA);
  if (withList) {
    ItemsOf(response);
  } else {
    ResultOf(response);
  }
  return response;
}

}  // namespace

std::vector<databrowse::BrowseResponse> AnswerRequest(const Catalogue& catalogue,
                                                      const databrowse::BrowseRequest& request,
                                                      int itemsPerResponse) {
  // At least one item per response, whatever a host configured.
  const std::size_t perResponse = static_cast<std::size_t>(std::max(itemsPerResponse, 1));
  std::vector<databrowse::BrowseResponse> responses;
  const PageRequest page = ReadRequest(request);
  const std::vector<Entry>* entries = catalogue.find(page.path);
  const std::vector<const Entry*> selected =
      entries != nullptr ? Select(*entries, page) : std::vector<const Entry*>();

  if (selected.empty()) {
    responses.push_back(ErrorResponse(kErrorExtentNotFound));
  } else {
    const std::string itemPath = catalogue.storedPath(page.path);
    for (std::size_t from = 0; from < selected.size(); from += perResponse) {
      const std::size_t to = std::min(from + perResponse, selected.size());
      responses.push_back(DataResponse(true));
      std::vector<CNMessageBase>& items = ItemsOf(responses.back());
      items.reserve(to - from);
      for (std::size_t i = from; i < to; ++i) {
        items.emplace_back(databrowse::BrowseData::kFamily, databrowse::BrowseData::kNumber);
        FillDataItem(items.back(), itemPath, *selected[i]);
      }
    }
  }
  responses.push_back(ResponseOfType(databrowse::BROWSE_RESPONSE_END));
  return responses;
}

std::vector<std::unique_ptr<CNMessageBase>> ScriptedAnswer(
    const std::vector<ScriptedResponse>& script,
    const std::vector<databrowse::BrowseResponse>& realAnswer) {
  std::vector<std::unique_ptr<CNMessageBase>> out;
  auto add = [&out](databrowse::BrowseResponse response) {
    out.push_back(std::make_unique<databrowse::BrowseResponse>(std::move(response)));
  };
  const std::vector<CNMessageBase> noItems;
  for (const ScriptedResponse& step : script) {
    switch (step.kind) {
      case ScriptedResponse::kNull:
        out.push_back(nullptr);
        break;
      case ScriptedResponse::kOtherClass: {
        auto error = std::make_unique<databrowse::BrowseError>();
        error->setint64(1, 1, step.errorCode);
        out.push_back(std::move(error));
        break;
      }
      case ScriptedResponse::kErrorCode:
        add(ErrorResponse(step.errorCode));
        break;
      case ScriptedResponse::kNoBrowseResult:
        add(ResponseOfType(databrowse::BROWSE_RESPONSE_DATA));
        break;
      case ScriptedResponse::kNoDataList:
        add(DataResponse(false));
        break;
      case ScriptedResponse::kEmptyDataList:
        add(DataResponse(true));
        break;
      case ScriptedResponse::kEmptyErrorList: {
        // The first real page, so the items still reach the client; without
        // one, an empty page.
        auto page = std::find_if(realAnswer.begin(), realAnswer.end(),
                                 [](const databrowse::BrowseResponse& r) { return r.hasTag(9); });
        databrowse::BrowseResponse response =
            page != realAnswer.end() ? *page : DataResponse(true);
        response.setlistobject(4, 7, &noItems);
        add(std::move(response));
        break;
      }
      case ScriptedResponse::kPage:
        for (const databrowse::BrowseResponse& response : realAnswer) {
          if (response.getint64(1) != databrowse::BROWSE_RESPONSE_END) add(response);
        }
        break;
      case ScriptedResponse::kEnd:
        add(ResponseOfType(databrowse::BROWSE_RESPONSE_END));
        break;
    }
  }
  return out;
}

}  // namespace ebindex
