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

}  // namespace

void* ExtentBrowseImpl::OpenEnum() {
  EB_LOG(4, "ExtentBrowseImpl::StartBrowse waiting to create browseThread");
  {
    BrowseTurn turn(browseSemaphore);
    if (!enumerationDone) {
      if (ownerRemoved) {
        EB_LOG(4, "StartBrowse will exit now because the owner ExtentBrowse object is going to "
                  "be removed");
        return nullptr;
      }
      EB_LOG(-1, "Enumerating all the extents");
      // The full browse goes through no browse host of the caller's. One
      // whose responses failed listed only part of the item; calling it done
      // would hide the rest from every later enumeration.
      if (!SendBrowse("", kWholeItem, 0, requestmessages::kNoRangeStart, "")) return nullptr;
      EB_LOG(-1, "Finished enumerating all the extents");
      enumerationDone = true;
    }
  }
  volumeCtxt.extentMapLock.enter(true);
  enumCursor = volumeCtxt.extentMap.begin();
  return this;
}

bool ExtentBrowseImpl::EnumExtent(void*, unsigned long long& extentNumber, bool& isEmpty) {
  if (enumCursor == volumeCtxt.extentMap.end()) return false;
  extentNumber = enumCursor->first;
  isEmpty = enumCursor->second.isEmpty;
  ++enumCursor;
  return true;
}

void ExtentBrowseImpl::CloseEnum(void*) { volumeCtxt.extentMapLock.leave(); }
