// VolumeCtxt: the browse state of the one browse path a browser serves.
// Internal to the library: the extent map's type is the library's own to
// choose.
#ifndef EXTENTBROWSE_SRC_COMMON_VOLUMECTXT_H
#define EXTENTBROWSE_SRC_COMMON_VOLUMECTXT_H

#include <atomic>
#include <string>

#include "extentbrowse/AFileInfoInternal.h"
#include "extentbrowse/Export.h"
#include "extentbrowse/ZelSync.h"
#include "map/ExtentMap.h"

// What outlives one browse: the browse path, the extent map and its lock,
// and the browse flags. Owned by its browser.
//
// Thread-safety: extentMap is read and written only under extentMapLock.
// browseFailed is written by response processing on the browse service's
// thread and read by lookups on callers' threads, hence atomic. browseDone
// and lastItemName are written inside a browse (the name on the service's
// thread) and read after it has returned.
struct EB_EXPORT VolumeCtxt {
  std::string browsePath;            // the item's path in the index
  ZelEvent completionEvent;          // kept for the platform's sake; never signalled
  ZelCriticalSection extentMapLock;  // guards extentMap; recursive
  ExtentMap extentMap;               // the records the browser holds
  bool browseDone = false;           // set by every completion; nothing reads it
  // Set by the first failed browse or response and never cleared: from then
  // on, lookups that need a browse fail.
  std::atomic<bool> browseFailed{false};
  std::string lastItemName;  // name of the last item a response carried

  explicit VolumeCtxt(const std::string& browsePath);
};

#endif  // EXTENTBROWSE_SRC_COMMON_VOLUMECTXT_H
