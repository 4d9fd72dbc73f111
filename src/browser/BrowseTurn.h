// Holding the browser's browse semaphore for one browse.
#ifndef EXTENTBROWSE_SRC_BROWSER_BROWSETURN_H
#define EXTENTBROWSE_SRC_BROWSER_BROWSETURN_H

#include "browser/PerfCounters.h"
#include "extentbrowse/ZelSync.h"

// Waits for the semaphore (timed by WaitToSendBrowse) and releases it when
// the scope ends, however it ends: a browse that left it held would stop
// every later browse and the destructor for good.
class BrowseTurn {
 public:
  explicit BrowseTurn(ZelSemaphore& semaphore) : semaphore_(semaphore) {
    StartCounter(kCounterWaitToSendBrowse);
    semaphore_.wait();
    StopCounter(kCounterWaitToSendBrowse);
  }
  ~BrowseTurn() { semaphore_.release(1); }
  BrowseTurn(const BrowseTurn&) = delete;
  BrowseTurn& operator=(const BrowseTurn&) = delete;

 private:
  ZelSemaphore& semaphore_;
};

#endif  // EXTENTBROWSE_SRC_BROWSER_BROWSETURN_H
