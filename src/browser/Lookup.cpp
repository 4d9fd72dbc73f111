// Extent lookup with on-demand browsing, and the browse of one page.
#include <string>

#include "ExtentNameConverter.h"
#include "browser/BrowseTurn.h"
#include "browser/PerfCounters.h"
#include "browser/RequestMessages.h"
#include "common/EBLog.h"
#include "extentbrowse/EBExtentNameConverter.h"
#include "extentbrowse/ExtentBrowseImpl.h"

using requestmessages::kNoRangeStart;
using requestmessages::SaturatedPageSize;

namespace {

// Where a virtual-server range ends when the index did not say.
constexpr unsigned long long kLastNewSchemeExtent = 4294967295ull;
constexpr unsigned long long kLastOldSchemeExtent = 999999999ull;

// Whether [start, start + count) holds `extent`; a range that would reach
// past 2^64 ends there.
bool RangeHolds(unsigned long long start, unsigned long long count, unsigned long long extent) {
  return extent >= start && extent - start < count;
}

}  // namespace

ExtentBrowseResult ExtentBrowseImpl::GetAFInfo(unsigned long long extentNumber,
                                               unsigned long long& afileId,
                                               unsigned long long& afileValue) {
  return GetAFInfo(extentNumber, afileId, afileValue, kNoRangeStart);
}

// The lookup's lines are this function's, wherever the log is read, so the
// loop lives here rather than in a helper.
ExtentBrowseResult ExtentBrowseImpl::GetAFInfo(unsigned long long extentNumber,
                                               unsigned long long& afileId,
                                               unsigned long long& afileValue,
                                               unsigned long long rangeStart) try {
  // A page that starts at the extent's own name covers it, and so does an
  // extent range that holds it: once such a page has been browsed, the index
  // has said whether the extent exists.
  const bool pageCoversExtent =
      rangeStart == kNoRangeStart || RangeHolds(rangeStart, pageSize, extentNumber);
  for (bool browsedOnce = false;; browsedOnce = true) {
    {
      CSecWrapper guard(volumeCtxt.extentMapLock);
      StartCounter(kCounterFindInExtentMap);
      const ExtentMap::const_iterator found = volumeCtxt.extentMap.find(extentNumber);
      StopCounter(kCounterFindInExtentMap);
      if (found != volumeCtxt.extentMap.end()) {
        afileId = found->second.afileId;
        afileValue = found->second.afileValue;
        return EB_EXTENT_FOUND;
      }
      EB_LOG(4, "ioExtNum: [%llu] not found in extentMap.", extentNumber);

      StartCounter(kCounterFindInBrowsedBuckets);
      const bool browsed = converter->IsExtentAlreadyBrowsed(extentNumber);
      StopCounter(kCounterFindInBrowsedBuckets);
      if (browsed) {
        EB_LOG(4, "ioExtNum [%llu]", extentNumber);
        return EB_EXTENT_NOT_FOUND;
      }
    }
    if (browsedOnce) {
      if (pageCoversExtent) {
        // The extent was not on its own page. The range the browse brought
        // may not have been kept (it enclosed one already held, or ran past
        // what the naming scheme can order), but the answer stands, and
        // browsing again would only repeat it.
        EB_LOG(4, "ioExtNum [%llu] is not on its own page; not in the backup.", extentNumber);
        return EB_EXTENT_NOT_FOUND;
      }
      // "Not found" would tell a restore there is no data here; the range
      // asked for cannot say.
      EB_LOG(-1, "ioExtNum [%llu] lies outside the extent range asked for; it cannot be answered.",
             extentNumber);
      return EB_BROWSE_FAILED;
    }
    EB_LOG(4, "ioExtNum [%llu] not browsed yet.", extentNumber);

    std::string pageName;
    converter->ExtentNumToName(extentNumber, pageName);
    EB_LOG(4, "Starting BROWSE_PAGE [%s]", pageName.c_str());
    StartCounter(kCounterWaitForBrowseComplete);
    if (!StartBrowse(pageName, 0, rangeStart)) return EB_BROWSE_FAILED;
    if (volumeCtxt.browseFailed) return EB_BROWSE_FAILED;
    StopCounter(kCounterWaitForBrowseComplete);
  }
} catch (...) {
  EB_LOG_NOTHROW(-1, "Looking up ioExtNum [%llu] failed: %s", extentNumber, ThrownText());
  // Whatever was thrown, the extent was not answered; its outputs are as
  // they were, since they are written only by a hit, which throws nothing.
  return EB_BROWSE_FAILED;
}

bool ExtentBrowseImpl::IsExtentEmpty(unsigned long extentNumber) {
  CSecWrapper guard(volumeCtxt.extentMapLock);
  const ExtentMap::const_iterator found = volumeCtxt.extentMap.find(extentNumber);
  return found != volumeCtxt.extentMap.end() && found->second.isEmpty;
}

bool ExtentBrowseImpl::StartBrowse(const std::string& pageName, unsigned int pagingOffset,
                                   unsigned long long rangeStart) {
  EB_LOG(4, "ExtentBrowseImpl::StartBrowse waiting to create browseThread");
  BrowseTurn turn(browseSemaphore);
  if (ownerRemoved) {
    EB_LOG(4,
           "StartBrowse will exit now because the owner ExtentBrowse object is going to be "
           "removed");
    return false;
  }
  try {
    EB_LOG(4, "Going to create browseThread");

    const unsigned long long pageExtent = converter->ExtentNameToNum(pageName);
    // Virtual-server requests always name their start extent in base32,
    // whichever scheme the converter's own names use.
    std::string requestName = pageName;
    if (scParams.appType == EB_APP_TYPE_VIRTUAL_SERVER) {
      char buffer[ExtentNameConverter::kMaxNameLength + 1] = {};
      ExtentNameConverter::Extent_dec_to_base32_v2(pageExtent, buffer,
                                                   static_cast<unsigned int>(extentNameLength));
      requestName = buffer;
    }
    // An explicit range that does not hold the page's own extent answers
    // nothing about it: whatever it brings, it must not mark that extent, or
    // the extents after it, as browsed.
    BrowseState::Page page = BrowseState::Page::kNamePaged;
    if (rangeStart != kNoRangeStart) {
      page = RangeHolds(rangeStart, pageSize, pageExtent) ? BrowseState::Page::kRangeHoldingExtent
                                                          : BrowseState::Page::kRangeMissingExtent;
    }
    const bool answered = SendBrowse(EB_HERE, page, requestName, pageExtent,
                                     SaturatedPageSize(pageSize), pagingOffset, rangeStart, maName);
    OnBrowseCompletionCallBack(pageName, answered ? EB_BROWSE_COMPLETED : EB_BROWSE_FAILED);
  } catch (...) {
    // A browse that could not be carried through has not answered: whatever
    // it recorded before the throw came from the index, and nothing more may
    // be taken from it.
    EB_LOG_NOTHROW(-1, "The browse of [%s] could not be started or completed: %s",
                   volumeCtxt.browsePath.c_str(), ThrownText());
    DropFailedBrowse();
  }
  return true;
}

void ExtentBrowseImpl::DropFailedBrowse() noexcept {
  // The next browse starts over with a new client and handler.
  idxBrowseClient.reset();
  browseRequestHandler.reset();
  volumeCtxt.browseFailed = true;
}

bool ExtentBrowseImpl::SendBrowse(const LogSite& site, BrowseState::Page page,
                                  const std::string& startName, unsigned long long startExtent,
                                  unsigned int pageSize, unsigned long long pagingOffset,
                                  unsigned long long rangeStart, const std::string& host) {
  browse.Reset(page);
  int result = -1;
  try {
    result = Browse(startName, copyPrecedence, pageSize, pagingOffset, rangeStart, host);
  } catch (...) {
    // The reason is worth a line of its own, since the failure line cannot
    // carry it.
    EB_LOG_AT(site, -1, "Browse() threw: %s", ThrownText());
  }
  bool failed = result != 0 || browse.responseFailed;
  if (!failed && !browse.answered) {
    // Only the index's answer says what is not in the backup; a browse that
    // returned without one must not be taken for "nothing there".
    EB_LOG_AT(site, -1, "Browse() returned without an END response or an extent-not-found answer.");
    failed = true;
  }
  if (!failed && browse.byRow && page != BrowseState::Page::kWholeItem && browse.itemsReceived &&
      browse.firstItem != startExtent) {
    // Rows are extents only in an item numbered densely from 0: elsewhere the
    // page holds other extents than the ones asked for, and its range would
    // claim those between.
    EB_LOG_AT(site, -1,
              "The index answered the page of ioExtNum [%llu] by row with extent %llu: the rows "
              "of [%s] are not its extents.",
              startExtent, browse.firstItem.load(), volumeCtxt.browsePath.c_str());
    failed = true;
  }
  if (failed) EB_LOG_AT(site, -1, "Browse() failed. [%s]", volumeCtxt.browsePath.c_str());
  return !failed;
}

bool ExtentBrowseImpl::OnBrowseCompletionCallBack(const std::string& pageName,
                                                  ExtentBrowseResult status) {
  volumeCtxt.browseDone = true;
  if (status == EB_BROWSE_FAILED) {
    DropFailedBrowse();
    return false;
  }

  const unsigned long long first = converter->ExtentNameToNum(pageName);
  if (browse.page == BrowseState::Page::kRangeMissingExtent) {
    EB_LOG(4, "The extent range asked for does not hold ioExtNum [%llu]; no range recorded.",
           first);
    return true;
  }
  const bool virtualServer = scParams.appType == EB_APP_TYPE_VIRTUAL_SERVER;
  unsigned long long last = first;
  // Without an item from this browse the end of the range is unknown; an
  // item name left over from an earlier page would mark extents browsed that
  // no browse ever covered.
  if (browse.startExtentNotFound || volumeCtxt.lastItemName.empty() || !browse.itemsReceived) {
    // "Nothing from here on" reaches the end of the naming scheme only for a
    // page of names, and only once the index has shown which scheme its
    // names are in: until then the converter's names may not be the order
    // the index answered in. An extent range says nothing past its end.
    if (virtualServer && itemNameRead && browse.page == BrowseState::Page::kNamePaged) {
      last = converter->isNewNamingScheme() ? kLastNewSchemeExtent : kLastOldSchemeExtent;
    }
  } else if (!(virtualServer && browse.page == BrowseState::Page::kRangeHoldingExtent &&
               !converter->isNewNamingScheme())) {
    // An extent range answers in number order, which old-scheme names of
    // virtual-server items do not sort in: for those only the page's own
    // extent is known.
    last = converter->ExtentNameToNum(volumeCtxt.lastItemName);
  }
  // An extent range answers in number order: when all it brought lies
  // before the page's own extent, it shows only that this extent is absent.
  // A range ending before it starts, held as names (the extent's longer
  // than the items' when the name length cannot write it), would claim
  // every name that sorts between them as text.
  if (browse.page == BrowseState::Page::kRangeHoldingExtent && last < first) last = first;
  // Ranges held by number stand for the names between their ends only where
  // text order is number order: among names of one length. A page whose
  // ends are named at different lengths (eight and nine hex digits either
  // side of 2^32, or base32 past what the name length writes) shows only
  // that its first extent is where the index put it.
  if (!virtualServer && last != first && NameLengthOf(first) != NameLengthOf(last)) last = first;

  const CounterSpan addToBrowsedBuckets(kCounterAddToBrowsedBuckets);
  {
    // Lookups read the ranges under the map lock.
    CSecWrapper guard(volumeCtxt.extentMapLock);
    converter->AddToBrowsedExtents(first, last);
  }
  EB_LOG(4, "Added to browsedExtents: (%llu, %llu)", first, last);
  return true;
}

std::string::size_type ExtentBrowseImpl::NameLengthOf(unsigned long long extent) {
  std::string name;
  converter->ExtentNumToName(extent, name);
  return name.size();
}
