// VolumeCtxt: the browse state of the one browse path a browser serves.
#ifndef EXTENTBROWSE_VOLUMECTXT_H
#define EXTENTBROWSE_VOLUMECTXT_H

#include <atomic>
#include <map>
#include <string>

#include "extentbrowse/AFileInfoInternal.h"
#include "extentbrowse/Export.h"
#include "extentbrowse/ZelSync.h"

typedef std::map<unsigned long long, AFileInfoInternal> ExtentMap;

// Thread-safety: extentMap is read and written only under extentMapLock.
// browseFailed is written by response processing on the browse service's
// thread and read by lookups on callers' threads, hence atomic. browseDone and
// lastItemName are written inside a browse and read after it has returned.
struct EB_EXPORT VolumeCtxt {
  std::string browsePath;
  ZelEvent completionEvent;  // kept for the platform's sake; never signalled
  ZelCriticalSection extentMapLock;
  ExtentMap extentMap;
  bool browseDone = false;
  std::atomic<bool> browseFailed{false};  // sticky: never cleared once set
  std::string lastItemName;

  explicit VolumeCtxt(const std::string& browsePath);
};

#endif  // EXTENTBROWSE_VOLUMECTXT_H
