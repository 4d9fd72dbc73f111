// Listing every extent of the item: one full browse the first time, then
// the extent map in ascending order, under the map lock from OpenEnum to
// CloseEnum.
#include <string>

#include "browser/BrowseTurn.h"
#include "browser/RequestMessages.h"
#include "common/EBLog.h"
#include "extentbrowse/ExtentBrowseImpl.h"

namespace {

constexpr unsigned int kWholeItem = 0xFFFFFFFFu;
constexpr unsigned long long kLastExtent = 0xFFFFFFFFFFFFFFFFull;

}  // namespace

void* ExtentBrowseImpl::OpenEnum() try {
  EB_LOG(4, "ExtentBrowseImpl::StartBrowse waiting to create browseThread");
  {
    BrowseTurn turn(browseSemaphore);
    if (!enumerationDone) {
      if (ownerRemoved) {
        EB_LOG(4,
               "StartBrowse will exit now because the owner ExtentBrowse object is going to "
               "be removed");
        return nullptr;
      }
      EB_LOG(-1, "Enumerating all the extents");
      // The full browse goes through no browse host of the caller's. One
      // that failed, or that the index never answered, listed only part of
      // the item; calling it done would hide the rest from every later
      // enumeration.
      if (!SendBrowse(EB_HERE, BrowseState::Page::kWholeItem, "", 0, kWholeItem, 0,
                      requestmessages::kNoRangeStart, "")) {
        return nullptr;
      }
      EB_LOG(-1, "Finished enumerating all the extents");
      enumerationDone = true;
    }
  }
  // Nothing below throws, so the lock is never left held by a failed open.
  volumeCtxt.extentMapLock.enter(true);
  enumCursor = 0;
  enumEnded = false;
  return this;
} catch (...) {
  EB_LOG_NOTHROW(-1, "Opening the enumeration failed: %s", ThrownText());
  return nullptr;
}

bool ExtentBrowseImpl::EnumExtent(void*, unsigned long long& extentNumber, bool& isEmpty) {
  if (enumEnded) return false;
  const ExtentMap::const_iterator next = volumeCtxt.extentMap.lower_bound(enumCursor);
  if (next == volumeCtxt.extentMap.end()) {
    enumEnded = true;
    return false;
  }
  extentNumber = next->first;
  isEmpty = next->second.isEmpty;
  if (next->first == kLastExtent) {
    enumEnded = true;
  } else {
    enumCursor = next->first + 1;
  }
  return true;
}

void ExtentBrowseImpl::CloseEnum(void*) { volumeCtxt.extentMapLock.leave(); }
