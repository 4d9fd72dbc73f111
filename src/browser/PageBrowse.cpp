// Where a browse starts, how it is judged, and the range it records.
#include "browser/PageBrowse.h"

#include "ExtentNameConverter.h"

namespace {

// Where a virtual-server range ends when the index did not say.
constexpr unsigned long long kLastNewSchemeExtent = 4294967295ull;
constexpr unsigned long long kLastOldSchemeExtent = 999999999ull;

}  // namespace

PageBrowse::PageBrowse(ExtentBrowseImpl* owner, const BrowserSettings& settings,
                       EBExtentNameConverter& converter, VolumeCtxt& volume)
    : settings_(settings),
      converter_(converter),
      volume_(volume),
      response_(new TdfsIdxBrowseClientResp(owner)) {}

PageStart PageBrowse::StartAt(const std::string& pageName, unsigned long long rangeStart) {
  PageStart start;
  start.extent = converter_.ExtentNameToNum(pageName);
  start.pageName = pageName;
  start.requestName = pageName;
  start.rangeStart = rangeStart;
  // Virtual-server requests always name their start extent in base32,
  // whichever scheme the converter's own names use.
  if (settings_.scParams.appType == EB_APP_TYPE_VIRTUAL_SERVER) {
    char buffer[ExtentNameConverter::kMaxNameLength + 1] = {};
    ExtentNameConverter::Extent_dec_to_base32_v2(
        start.extent, buffer, static_cast<unsigned int>(settings_.extentNameLength));
    start.requestName = buffer;
  }
  // An explicit range that does not hold the page's own extent answers
  // nothing about it: whatever it brings, it must not mark that extent, or
  // the extents after it, as browsed.
  if (rangeStart != kNoRangeStart) {
    start.kind = RangeHolds(rangeStart, settings_.pageSize, start.extent)
                     ? PageStart::Kind::kRangeHoldingExtent
                     : PageStart::Kind::kRangeMissingExtent;
  }
  return start;
}

PageStart PageBrowse::WholeItem() {
  PageStart start;
  start.kind = PageStart::Kind::kWholeItem;
  return start;
}

unsigned long long PageBrowse::NumberOf(const std::string& pageName) const {
  return pageName == browse_.start.pageName ? browse_.start.extent
                                            : converter_.ExtentNameToNum(pageName);
}

void PageBrowse::Begin(const PageStart& start) {
  browse_.start = start;
  browse_.byRow = false;
  // Until a response says otherwise, the start extent is taken as not found.
  browse_.startExtentNotFound = true;
  browse_.answered = false;
  browse_.responseFailed = false;
  browse_.itemsReceived = false;
  browse_.firstItem = 0;
  browse_.returnedStartExtent.clear();
}

bool PageBrowse::Judge(const LogSite& site, int result) {
  bool failed = result != 0 || browse_.responseFailed;
  if (!failed && !browse_.answered) {
    // Only the index's answer says what is not in the backup; a browse that
    // returned without one must not be taken for "nothing there".
    EB_LOG_AT(site, -1, "Browse() returned without an END response or an extent-not-found answer.");
    failed = true;
  }
  const PageStart& start = browse_.start;
  if (!failed && browse_.byRow && start.kind != PageStart::Kind::kWholeItem &&
      browse_.itemsReceived && browse_.firstItem != start.extent) {
    // Rows are extents only in an item numbered densely from 0: elsewhere the
    // page holds other extents than the ones asked for, and its range would
    // claim those between.
    EB_LOG_AT(site, -1,
              "The index answered the page of ioExtNum [%llu] by row with extent %llu: the rows "
              "of [%s] are not its extents.",
              start.extent, browse_.firstItem.load(), volume_.browsePath.c_str());
    failed = true;
  }
  if (failed) EB_LOG_AT(site, -1, "Browse() failed. [%s]", volume_.browsePath.c_str());
  return !failed;
}

BrowsedRange PageBrowse::RangeToRecord(unsigned long long first) const {
  BrowsedRange range;
  range.first = range.last = first;
  const PageStart::Kind kind = browse_.start.kind;
  if (kind == PageStart::Kind::kRangeMissingExtent) return range;
  range.recorded = true;
  const bool virtualServer = settings_.scParams.appType == EB_APP_TYPE_VIRTUAL_SERVER;
  // Without an item from this browse the end of the range is unknown; an
  // item name left over from an earlier page would mark extents browsed that
  // no browse ever covered.
  if (browse_.startExtentNotFound || volume_.lastItemName.empty() || !browse_.itemsReceived) {
    // "Nothing from here on" reaches the end of the naming scheme only for a
    // page of names, and only once the index has shown which scheme its
    // names are in: until then the converter's names may not be the order
    // the index answered in. An extent range says nothing past its end.
    if (virtualServer && itemNameRead_ && kind == PageStart::Kind::kNames) {
      range.last = converter_.isNewNamingScheme() ? kLastNewSchemeExtent : kLastOldSchemeExtent;
    }
  } else if (!(virtualServer && kind == PageStart::Kind::kRangeHoldingExtent &&
               !converter_.isNewNamingScheme())) {
    // An extent range answers in number order, which old-scheme names of
    // virtual-server items do not sort in: for those only the page's own
    // extent is known.
    range.last = converter_.ExtentNameToNum(volume_.lastItemName);
  }
  // An extent range answers in number order: when all it brought lies
  // before the page's own extent, it shows only that this extent is absent.
  // A range ending before it starts, held as names (the extent's longer
  // than the items' when the name length cannot write it), would claim
  // every name that sorts between them as text.
  if (kind == PageStart::Kind::kRangeHoldingExtent && range.last < first) range.last = first;
  // Ranges held by number stand for the names between their ends only where
  // text order is number order: among names of one length. A page whose
  // ends are named at different lengths (eight and nine hex digits either
  // side of 2^32, or base32 past what the name length writes) shows only
  // that its first extent is where the index put it.
  if (!virtualServer && range.last != first && NameLengthOf(first) != NameLengthOf(range.last)) {
    range.last = first;
  }
  return range;
}

std::string::size_type PageBrowse::NameLengthOf(unsigned long long extent) const {
  std::string name;
  converter_.ExtentNumToName(extent, name);
  return name.size();
}

void PageBrowse::DropFailedBrowse() noexcept {
  // The next browse starts over with a new client and handler.
  idxBrowseClient_.reset();
  browseRequestHandler_.reset();
  volume_.browseFailed = true;
}

void PageBrowse::MarkResponseFailure() noexcept {
  volume_.browseFailed = true;
  browse_.responseFailed = true;
}
