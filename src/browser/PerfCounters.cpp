// The process-wide counter set and its one-time creation.
#include "browser/PerfCounters.h"

EBPerfCounterDef gEbCounters[kEBPerfCounterCount] = {
    {kCounterBrowse, "EBBrowse", 0},
    {kCounterInBrowseCallBack, "InBrowseCallBack", 0},
    {kCounterAddToExtentMap, "AddToExtentMap", 0},
    {kCounterFindInExtentMap, "FindInExtentMap", 0},
    {kCounterTimeInGetAfInfo, "TimeInGetAfInfo", 0},
    {kCounterAddToBrowsedBuckets, "AddToBrowsedBuckets", 0},
    {kCounterFindInBrowsedBuckets, "FindInBrowsedBuckets", 0},
    {kCounterWaitToSendBrowse, "WaitToSendBrowse", 0},
    {kCounterWaitForBrowseComplete, "WaitForBrowseComplete", 0},
    {kCounterTimeToFirstCallBack, "TimeToGetFirstBrowseCallBack", 0},
};

ThrdPerfCounter* gEbPerfCounter = nullptr;
ZelCriticalSection gInitLock;
bool isInitialized = false;

void InitializeEBPerfCounters() {
  // The guard leaves the lock however creation ends, a throw included.
  CSecWrapper guard(gInitLock);
  if (isInitialized) return;
  isInitialized = true;
  try {
    gEbPerfCounter = new ThrdPerfCounter(new EvEvent());
  } catch (...) {
    // Browsers count on the set once isInitialized is true; let a later
    // call try again instead.
    isInitialized = false;
    throw;
  }
  for (const EBPerfCounterDef& row : gEbCounters) {
    gEbPerfCounter->AddPerfCounter(row.id, row.name, row.type, false);
  }
}

void LogEBPerfcounters() {
  ThrdPerfCounter* counters = nullptr;
  {
    CSecWrapper guard(gInitLock);
    counters = gEbPerfCounter;
  }
  if (counters == nullptr) return;
  counters->StopPerfCounters("ExtentBrowse", nullptr, false, true, -1);
  counters->LogPerfCounters("ExtentBrowse", nullptr, -1);
  for (const EBPerfCounterDef& row : gEbCounters) counters->ResetPerfCounter("HandleUser1", row.id);
}
