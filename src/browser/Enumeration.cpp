// Listing every extent of the item: one full browse the first time, then
// the extent map in ascending order, under the map lock from OpenEnum to
// CloseEnum.
#include <string>

#include "browser/BrowseTurn.h"
#include "browser/BrowserState.h"
#include "common/EBLog.h"

namespace {

constexpr unsigned int kEverything = 0xFFFFFFFFu;
constexpr unsigned long long kLastExtent = 0xFFFFFFFFFFFFFFFFull;

}  // namespace

void* ExtentBrowseImpl::OpenEnum() try {
  State& s = *state;
  EB_LOG(4, "ExtentBrowseImpl::StartBrowse waiting to create browseThread");
  {
    BrowseTurn turn(s.browseSemaphore);
    if (!s.enumerationDone) {
      if (s.ownerRemoved) {
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
      const bool answered = s.pages.Run(EB_HERE, PageBrowse::WholeItem(), [&] {
        return Browse("", s.settings.copyPrecedence, kEverything, 0, kNoRangeStart, "");
      });
      if (!answered) return nullptr;
      EB_LOG(-1, "Finished enumerating all the extents");
      s.enumerationDone = true;
    }
  }
  // Nothing below throws, so the lock is never left held by a failed open.
  s.volumeCtxt.extentMapLock.enter(true);
  s.enumCursor = 0;
  s.enumEnded = false;
  return this;
} catch (...) {
  EB_LOG_NOTHROW(-1, "Opening the enumeration failed: %s", ThrownText());
  return nullptr;
}

bool ExtentBrowseImpl::EnumExtent(void*, unsigned long long& extentNumber, bool& isEmpty) {
  State& s = *state;
  if (s.enumEnded) return false;
  unsigned long long next = 0;
  AFileInfoInternal record;
  if (!s.volumeCtxt.extentMap.NextAtOrAfter(s.enumCursor, next, record)) {
    s.enumEnded = true;
    return false;
  }
  extentNumber = next;
  isEmpty = record.isEmpty;
  if (next == kLastExtent) {
    s.enumEnded = true;
  } else {
    s.enumCursor = next + 1;
  }
  return true;
}

void ExtentBrowseImpl::CloseEnum(void*) { state->volumeCtxt.extentMapLock.leave(); }
