// Reading a browse request and choosing the entries that answer it.
#include "PageSelection.h"

#include <algorithm>

#include "ExtentNameConverter.h"
#include "IndexFields.h"
#include "ebindex/ExtentNames.h"

namespace ebindex {

namespace {

using namespace fields;

constexpr unsigned int kEverything = 0xFFFFFFFFu;
constexpr long long kDatabaseByRowAppType = 81;

const CNMessageBase* FirstOf(const std::vector<CNMessageBase>* list) {
  return list != nullptr && !list->empty() ? &list->front() : nullptr;
}

bool AllOf(const std::string& text, std::size_t from, bool (*accept)(char)) {
  return std::all_of(text.begin() + static_cast<std::ptrdiff_t>(from), text.end(), accept);
}

bool IsDecimalDigit(char c) { return c >= '0' && c <= '9'; }
bool IsLowerHexDigit(char c) { return IsDecimalDigit(c) || (c >= 'a' && c <= 'f'); }
bool IsBase32Digit(char c) {
  return IsDecimalDigit(c) || (c >= 'A' && c <= 'V') || (c >= 'a' && c <= 'v');
}

// The scheme of an item, told by one of its names: an old scheme only when
// the whole name is written in it.
NameScheme ItemSchemeOf(const std::string& name) {
  switch (SchemeOfName(name)) {
    case NameScheme::kDecimal:
      if (name.size() > 6 && AllOf(name, 6, IsDecimalDigit)) return NameScheme::kDecimal;
      break;
    case NameScheme::kHex:
      if (name.size() >= 12 && AllOf(name, 4, IsLowerHexDigit)) return NameScheme::kHex;
      break;
    case NameScheme::kBase32:
      break;
  }
  return NameScheme::kBase32;
}

// A client that only knows base32 names still finds its place in an item
// stored under an older naming scheme: the index renames the start extent
// the way that item names its extents.
std::string StartNameInItemScheme(const std::vector<Entry>& entries, const std::string& startName) {
  if (entries.empty() || startName.empty() || !AllOf(startName, 0, IsBase32Digit)) {
    return startName;
  }
  const NameScheme scheme = ItemSchemeOf(entries.front().name);
  if (scheme == NameScheme::kBase32) return startName;
  // Old-scheme names have no set length.
  return ExtentName(scheme, ExtentNameConverter::Extent_base32_to_dec(startName), 0);
}

// How many of `available` entries from a start position the page takes.
std::size_t Take(std::size_t available, const PageRequest& page, std::size_t& skip) {
  skip = static_cast<std::size_t>(std::min<unsigned long long>(page.offset, available));
  std::size_t take = available - skip;
  if (page.limited) {
    take = static_cast<std::size_t>(std::min<unsigned long long>(take, page.pageSize));
  }
  return take;
}

}  // namespace

PageRequest ReadRequest(const databrowse::BrowseRequest& request, Protocol protocol) {
  PageRequest page;
  const CNMessageBase* path = FirstOf(request.findList(kRequestPaths.tag));
  if (path != nullptr) page.path = path->getstring(kPathPath.index, kPathPath.tag);

  const CNMessageBase* mode = request.findObject(kRequestMode.tag);
  page.byExtentRange = mode != nullptr && mode->getint64(kModeValue.tag) == kModeExtentRange;
  if (page.byExtentRange && path != nullptr) {
    const CNMessageBase* parameters = path->findObject(kPathParameters.tag);
    const CNMessageBase* range = parameters != nullptr
                                     ? FirstOf(parameters->findList(kParametersExtentRanges.tag))
                                     : nullptr;
    if (range != nullptr) {
      page.hasRange = true;
      page.rangeStart = static_cast<unsigned long long>(range->getint64(kRangeStart.tag));
      page.rangeCount = static_cast<unsigned long long>(range->getint64(kRangeCount.tag));
    }
  }
  const CNMessageBase* entity = request.findObject(kRequestEntity.tag);
  page.byRow = !page.byExtentRange && protocol == Protocol::V2 && entity != nullptr &&
               entity->getint64(kEntityAppType.tag) == kDatabaseByRowAppType;

  // Only the first query pages; a request without one gets everything.
  const CNMessageBase* query = FirstOf(request.findList(kRequestQueries.tag));
  const CNMessageBase* options = query != nullptr ? query->findObject(kQueryOptions.tag) : nullptr;
  const CNMessageBase* paging =
      options != nullptr ? options->findObject(kOptionsPaging.tag) : nullptr;
  if (paging != nullptr) {
    page.offset = static_cast<unsigned int>(paging->getint64(kPagingOffset.tag));
    if (paging->hasTag(kPagingSize.tag)) {
      const unsigned int size = static_cast<unsigned int>(paging->getint64(kPagingSize.tag));
      page.limited = size != kEverything;
      page.pageSize = size;
    }
    page.startName = paging->getstring(kPagingStartName.index, kPagingStartName.tag);
  }
  return page;
}

std::string PathOf(const databrowse::BrowseRequest& request) {
  const CNMessageBase* path = FirstOf(request.findList(kRequestPaths.tag));
  return path != nullptr ? path->getstring(kPathPath.index, kPathPath.tag) : std::string();
}

PageSelection PageSelection::Run(const Entry* first, std::size_t count) {
  PageSelection selection;
  selection.run_ = count > 0 ? first : nullptr;
  selection.runSize_ = count;
  return selection;
}

PageSelection PageSelection::Picked(std::vector<const Entry*> entries) {
  PageSelection selection;
  selection.picked_ = std::move(entries);
  return selection;
}

PageSelection Select(const std::vector<Entry>& entries, const PageRequest& page) {
  std::size_t skip = 0;
  if (page.byExtentRange) {
    std::vector<const Entry*> candidates;
    for (const Entry& entry : entries) {
      // Written as a distance so that a range reaching past 2^64 saturates.
      if (!page.hasRange ||
          (entry.extent >= page.rangeStart && entry.extent - page.rangeStart < page.rangeCount)) {
        candidates.push_back(&entry);
      }
    }
    std::stable_sort(candidates.begin(), candidates.end(),
                     [](const Entry* a, const Entry* b) { return a->extent < b->extent; });
    const std::size_t take = Take(candidates.size(), page, skip);
    candidates.erase(candidates.begin() + static_cast<std::ptrdiff_t>(skip + take),
                     candidates.end());
    candidates.erase(candidates.begin(), candidates.begin() + static_cast<std::ptrdiff_t>(skip));
    return PageSelection::Picked(std::move(candidates));
  }

  std::vector<Entry>::const_iterator first = entries.begin();
  if (!page.byRow) {
    const std::string start = StartNameInItemScheme(entries, page.startName);
    first = std::lower_bound(
        entries.begin(), entries.end(), start,
        [](const Entry& entry, const std::string& name) { return entry.name < name; });
  }
  const std::size_t take = Take(static_cast<std::size_t>(entries.end() - first), page, skip);
  return PageSelection::Run(entries.data() + (first - entries.begin()) + skip, take);
}

}  // namespace ebindex
