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
// Its iterators do not survive an insertion, so none is kept across calls.
typedef absl::btree_map<unsigned long long, AFileInfoInternal> ExtentMap;

// What outlives one browse. Thread-safety: extentMap is read and written
// only under extentMapLock. browseFailed is written by response processing
// on the browse service's thread and read by lookups on callers' threads,
// hence atomic. browseDone and lastItemName are written inside a browse (the
// name on the service's thread) and read after it has returned.
struct EB_EXPORT VolumeCtxt {
  std::string browsePath;
  ZelEvent completionEvent;  // kept for the platform's sake; never signalled
  ZelCriticalSection extentMapLock;
  ExtentMap extentMap;
  bool browseDone = false;  // set by every completion; nothing reads it
  std::atomic<bool> browseFailed{false};  // sticky: never cleared once set
  std::string lastItemName;

  explicit VolumeCtxt(const std::string& browsePath);
};

#endif  // EXTENTBROWSE_VOLUMECTXT_H
