// VolumeCtxt: the browse state of the one browse path a browser serves.
#ifndef EXTENTBROWSE_VOLUMECTXT_H
#define EXTENTBROWSE_VOLUMECTXT_H

#include <atomic>
#include <string>

#include "absl/container/btree_map.h"
#include "extentbrowse/AFileInfoInternal.h"
#include "extentbrowse/Export.h"
#include "extentbrowse/ZelSync.h"

// Ordered by extent number. A B-tree holds a record in about 38 bytes where
// a node-per-entry map takes 80, and finds faster at millions of extents.
//
// Its iterators do not survive an insertion. The one iterator kept across
// calls is the enumeration cursor, and it is safe because the enumeration
// holds extentMapLock from OpenEnum, which sets the cursor, to CloseEnum:
// every writer (response processing, the cache load) takes that lock
// first, so nothing inserts while the cursor lives. The cursor is set
// afresh by every OpenEnum and never read outside an open enumeration.
typedef absl::btree_map<unsigned long long, AFileInfoInternal> ExtentMap;

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
