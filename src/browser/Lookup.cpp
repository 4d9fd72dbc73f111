// Extent lookup with on-demand browsing, and the browse of one page.
#include <exception>
#include <string>

#include "ExtentNameConverter.h"
#include "browser/BrowseTurn.h"
#include "browser/PerfCounters.h"
#include "browser/RequestMessages.h"
#include "common/EBLog.h"
#include "extentbrowse/EBExtentNameConverter.h"
#include "extentbrowse/ExtentBrowseImpl.h"

using requestmessages::kNoRangeStart;
using requestmessages::kVirtualServerAppType;

namespace {

// A lookup that two browses could not settle is given up: with names and
// numbers that are exact inverses one browse always settles it, so more
// browsing would only repeat what the index already answered.
constexpr int kMaxBrowsesPerLookup = 2;

// Where a virtual-server range ends when the index did not say.
constexpr unsigned long long kLastNewSchemeExtent = 4294967295ull;
constexpr unsigned long long kLastOldSchemeExtent = 999999999ull;

}  // namespace

ExtentBrowseResult ExtentBrowseImpl::GetAFInfo(unsigned long long extentNumber,
                                               unsigned long long& afileId,
                                               unsigned long long& afileValue) {
  return GetAFInfo(extentNumber, afileId, afileValue, kNoRangeStart);
}

ExtentBrowseResult ExtentBrowseImpl::GetAFInfo(unsigned long long extentNumber,
                                               unsigned long long& afileId,
                                               unsigned long long& afileValue,
                                               unsigned long long rangeStart) {
  for (int browses = 0;; ++browses) {
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
    EB_LOG(4, "ioExtNum [%llu] not browsed yet.", extentNumber);

    if (browses == kMaxBrowsesPerLookup) {
      // "Not found" would tell a restore there is no data here; we only
      // know that the index did not settle the question.
      EB_LOG(-1, "ioExtNum [%llu] is still unresolved after %d browses; giving up.",
             extentNumber, browses);
      return EB_BROWSE_FAILED;
    }

    std::string pageName;
    converter->ExtentNumToName(extentNumber, pageName);
    EB_LOG(4, "Starting BROWSE_PAGE [%s]", pageName.c_str());
    StartCounter(kCounterWaitForBrowseComplete);
    if (!StartBrowse(pageName, 0, rangeStart)) return EB_BROWSE_FAILED;
    if (volumeCtxt.browseFailed) return EB_BROWSE_FAILED;
    StopCounter(kCounterWaitForBrowseComplete);
  }
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
    EB_LOG(4, "StartBrowse will exit now because the owner ExtentBrowse object is going to be "
              "removed");
    return false;
  }
  EB_LOG(4, "Going to create browseThread");

  // Virtual-server requests always name their start extent in base32,
  // whichever scheme the converter's own names use.
  std::string requestName = pageName;
  if (scParams.appType == kVirtualServerAppType) {
    char buffer[ExtentNameConverter::kMaxNameLength + 1] = {};
    ExtentNameConverter::Extent_dec_to_base32_v2(converter->ExtentNameToNum(pageName), buffer,
                                                 static_cast<unsigned int>(extentNameLength));
    requestName = buffer;
  }

  setStartExtentNotFound(true);
  resetReturnedStartExtent();
  responseFailedInBrowse = false;
  itemsReceivedInBrowse = false;
  ExtentBrowseResult status = EB_BROWSE_COMPLETED;
  int result = -1;
  try {
    result = Browse(requestName, copyPrecedence, static_cast<unsigned int>(pageSize), pagingOffset,
                    rangeStart, maName);
  } catch (const std::exception& error) {
    EB_LOG(-1, "Browse() threw: %s", error.what());
  }
  // A browse whose responses failed is as failed as one whose request did:
  // the range it would record was never answered.
  if (result != 0 || responseFailedInBrowse) {
    EB_LOG(-1, "Browse() failed. [%s]", volumeCtxt.browsePath.c_str());
    status = EB_BROWSE_FAILED;
  }
  OnBrowseCompletionCallBack(pageName, status);
  return true;
}

bool ExtentBrowseImpl::OnBrowseCompletionCallBack(const std::string& pageName,
                                                  ExtentBrowseResult status) {
  volumeCtxt.browseDone = true;
  if (status == EB_BROWSE_FAILED) {
    // The next browse starts over with a new client and handler.
    idxBrowseClient.reset();
    browseRequestHandler.reset();
    volumeCtxt.browseFailed = true;
    return false;
  }

  const unsigned long long first = converter->ExtentNameToNum(pageName);
  unsigned long long last = first;
  // Without an item from this browse the end of the range is unknown; an
  // item name left over from an earlier page would mark extents browsed that
  // no browse ever covered.
  if (startExtentNotFound || volumeCtxt.lastItemName.empty() || !itemsReceivedInBrowse) {
    if (scParams.appType == kVirtualServerAppType) {
      last = converter->isNewNamingScheme() ? kLastNewSchemeExtent : kLastOldSchemeExtent;
    }
  } else {
    last = converter->ExtentNameToNum(volumeCtxt.lastItemName);
  }

  StartCounter(kCounterAddToBrowsedBuckets);
  {
    // Lookups read the ranges under the map lock.
    CSecWrapper guard(volumeCtxt.extentMapLock);
    converter->AddToBrowsedExtents(first, last);
  }
  EB_LOG(4, "Added to browsedExtents: (%llu, %llu)", first, last);
  StopCounter(kCounterAddToBrowsedBuckets);
  return true;
}
