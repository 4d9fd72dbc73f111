// How the browser's code reaches the counter set.
#ifndef EXTENTBROWSE_SRC_BROWSER_PERFCOUNTERS_H
#define EXTENTBROWSE_SRC_BROWSER_PERFCOUNTERS_H

#include "extentbrowse/EBPerfCounters.h"

// Ids of gEbCounters.
enum EBPerfCounterId {
  kCounterBrowse = 0,                 // EBBrowse
  kCounterInBrowseCallBack = 1,       // InBrowseCallBack
  kCounterAddToExtentMap = 2,         // AddToExtentMap
  kCounterFindInExtentMap = 3,        // FindInExtentMap
  kCounterTimeInGetAfInfo = 4,        // TimeInGetAfInfo (registered only)
  kCounterAddToBrowsedBuckets = 5,    // AddToBrowsedBuckets
  kCounterFindInBrowsedBuckets = 6,   // FindInBrowsedBuckets
  kCounterWaitToSendBrowse = 7,       // WaitToSendBrowse
  kCounterWaitForBrowseComplete = 8,  // WaitForBrowseComplete
  kCounterTimeToFirstCallBack = 9,    // TimeToGetFirstBrowseCallBack
};

// Every browser constructor creates the set first, so these never see it
// null while a browser exists.
inline void StartCounter(EBPerfCounterId id) {
  gEbPerfCounter->StartPerfCounter("ExtentBrowse", id);
}
inline void StopCounter(EBPerfCounterId id) {
  gEbPerfCounter->StopPerfCounter("ExtentBrowse", id, 0);
}

// Runs a counter for a scope, and stops it however the scope is left: a
// counter left started by a throw would time everything after it.
class CounterSpan {
 public:
  explicit CounterSpan(EBPerfCounterId id) : id_(id) { StartCounter(id); }
  ~CounterSpan() {
    // Stopping may log the table through the host's writer, which may throw.
    try {
      StopCounter(id_);
    } catch (...) {
    }
  }
  CounterSpan(const CounterSpan&) = delete;
  CounterSpan& operator=(const CounterSpan&) = delete;

 private:
  const EBPerfCounterId id_;
};

#endif  // EXTENTBROWSE_SRC_BROWSER_PERFCOUNTERS_H
