#include <string>

#include "BrowseMessages.h"

namespace {

struct KnownClass {
  CNMessageBase::TagID id;
  const char* name;
};

// Short names keep log lines readable; the class ids are unique, so the
// namespace adds nothing.
template <typename Message>
constexpr KnownClass Known(const char* name) {
  return KnownClass{{Message::kFamily, Message::kNumber}, name};
}

const KnownClass kKnownClasses[] = {
    Known<databrowse::BrowseRequest>("BrowseRequest"),
    Known<databrowse::BrowseTimeRange>("BrowseTimeRange"),
    Known<databrowse::BrowseOptions>("BrowseOptions"),
    Known<databrowse::BrowseAdvancedOptions>("BrowseAdvancedOptions"),
    Known<databrowse::BrowseMode>("BrowseMode"),
    Known<databrowse::BrowsePath>("BrowsePath"),
    Known<databrowse::BrowsePathParameters>("BrowsePathParameters"),
    Known<databrowse::ExtentRange>("ExtentRange"),
    Known<databrowse::BrowsePaging>("BrowsePaging"),
    Known<databrowse::SortParam>("SortParam"),
    Known<databrowse::Query>("Query"),
    Known<databrowse::QueryOptions>("QueryOptions"),
    Known<databrowse::BrowseResponseList>("BrowseResponseList"),
    Known<databrowse::BrowseResult>("BrowseResult"),
    Known<databrowse::ArchiveFileInfo>("ArchiveFileInfo"),
    Known<databrowse::ItemAttributes>("ItemAttributes"),
    Known<databrowse::BrowseResponse>("BrowseResponse"),
    Known<databrowse::BrowseError>("BrowseError"),
    Known<databrowse::BrowseData>("BrowseData"),
    Known<ZelEntities::GenericEntity>("GenericEntity"),
    Known<ZelEntities::MaEntity>("MaEntity"),
    Known<Indexing::BrowseReq>("BrowseReq"),
};

}  // namespace

std::string MessageClassName(CNMessageBase::TagID id) {
  for (const KnownClass& known : kKnownClasses) {
    if (known.id == id) return known.name;
  }
  return "Message(" + std::to_string(id.family) + "," + std::to_string(id.number) + ")";
}
