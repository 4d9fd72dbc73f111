// Extent lookup with on-demand browsing: the lookup, the browse of its page,
// and the browse's completion.
#include <string>

#include "browser/BrowseTurn.h"
#include "browser/BrowserState.h"
#include "browser/PerfCounters.h"
#include "browser/RequestMessages.h"
#include "common/EBLog.h"

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
  VolumeCtxt& volume = state->volumeCtxt;
  EBExtentNameConverter& converter = *state->converter;
  for (bool browsedOnce = false;; browsedOnce = true) {
    {
      CSecWrapper guard(volume.extentMapLock);
      AFileInfoInternal record;
      StartCounter(kCounterFindInExtentMap);
      const bool found = volume.extentMap.Find(extentNumber, record);
      StopCounter(kCounterFindInExtentMap);
      if (found) {
        afileId = record.afileId;
        afileValue = record.afileValue;
        return EB_EXTENT_FOUND;
      }
      EB_LOG(4, "ioExtNum: [%llu] not found in extentMap.", extentNumber);

      StartCounter(kCounterFindInBrowsedBuckets);
      const bool browsed = converter.IsExtentAlreadyBrowsed(extentNumber);
      StopCounter(kCounterFindInBrowsedBuckets);
      if (browsed) {
        EB_LOG(4, "ioExtNum [%llu]", extentNumber);
        return EB_EXTENT_NOT_FOUND;
      }
    }
    if (browsedOnce) {
      if (PageAnswersFor(extentNumber, rangeStart, state->settings.pageSize)) {
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
    converter.ExtentNumToName(extentNumber, pageName);
    EB_LOG(4, "Starting BROWSE_PAGE [%s]", pageName.c_str());
    StartCounter(kCounterWaitForBrowseComplete);
    if (!StartBrowse(pageName, 0, rangeStart)) return EB_BROWSE_FAILED;
    // A failed browse fails the browser for good, this lookup with it.
    if (volume.browseFailed) return EB_BROWSE_FAILED;
    StopCounter(kCounterWaitForBrowseComplete);
  }
} catch (...) {
  EB_LOG_NOTHROW(-1, "Looking up ioExtNum [%llu] failed: %s", extentNumber, ThrownText());
  // Whatever was thrown, the extent was not answered; its outputs are as
  // they were, since they are written only by a hit, which throws nothing.
  return EB_BROWSE_FAILED;
}

bool ExtentBrowseImpl::IsExtentEmpty(unsigned long extentNumber) {
  VolumeCtxt& volume = state->volumeCtxt;
  CSecWrapper guard(volume.extentMapLock);
  AFileInfoInternal record;
  return volume.extentMap.Find(extentNumber, record) && record.isEmpty;
}

bool ExtentBrowseImpl::StartBrowse(const std::string& pageName, unsigned int pagingOffset,
                                   unsigned long long rangeStart) {
  EB_LOG(4, "ExtentBrowseImpl::StartBrowse waiting to create browseThread");
  BrowseTurn turn(state->browseSemaphore);
  if (state->ownerRemoved) {
    EB_LOG(4,
           "StartBrowse will exit now because the owner ExtentBrowse object is going to be "
           "removed");
    return false;
  }
  PageBrowse& pages = state->pages;
  try {
    EB_LOG(4, "Going to create browseThread");
    const BrowserSettings& settings = state->settings;
    const PageStart start = pages.StartAt(pageName, rangeStart);
    const unsigned int pageSize = requestmessages::SaturatedPageSize(settings.pageSize);
    // Browse hands an extent range on to BrowseFSExtent.
    const bool answered = pages.Run(EB_HERE, start, [&] {
      return Browse(start.requestName, settings.copyPrecedence, pageSize, pagingOffset,
                    start.rangeStart, settings.maName);
    });
    OnBrowseCompletionCallBack(pageName, answered ? EB_BROWSE_COMPLETED : EB_BROWSE_FAILED);
  } catch (...) {
    // A browse that could not be carried through has not answered: whatever
    // it recorded before the throw came from the index, and nothing more may
    // be taken from it.
    EB_LOG_NOTHROW(-1, "The browse of [%s] could not be started or completed: %s",
                   state->volumeCtxt.browsePath.c_str(), ThrownText());
    pages.DropFailedBrowse();
  }
  return true;
}

bool ExtentBrowseImpl::OnBrowseCompletionCallBack(const std::string& pageName,
                                                  ExtentBrowseResult status) {
  state->volumeCtxt.browseDone = true;
  PageBrowse& pages = state->pages;
  if (status == EB_BROWSE_FAILED) {
    pages.DropFailedBrowse();
    return false;
  }
  const BrowsedRange range = pages.RangeToRecord(pages.NumberOf(pageName));
  if (!range.recorded) {
    EB_LOG(4, "The extent range asked for does not hold ioExtNum [%llu]; no range recorded.",
           range.first);
    return true;
  }
  const CounterSpan addToBrowsedBuckets(kCounterAddToBrowsedBuckets);
  {
    // Lookups read the ranges under the map lock.
    CSecWrapper guard(state->volumeCtxt.extentMapLock);
    state->converter->AddToBrowsedExtents(range.first, range.last);
  }
  EB_LOG(4, "Added to browsedExtents: (%llu, %llu)", range.first, range.last);
  return true;
}
