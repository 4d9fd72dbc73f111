// The library's performance counters: one process-wide set of ten counters
// that time the phases of lookups and browses.
//
// The first browser constructed creates the set; it lives until the process
// ends. Counting never changes what the library does.
#ifndef EXTENTBROWSE_EBPERFCOUNTERS_H
#define EXTENTBROWSE_EBPERFCOUNTERS_H

#include "ThrdPerfCounter.h"
#include "extentbrowse/Export.h"
#include "extentbrowse/ZelSync.h"

struct EBPerfCounterDef {
  int id;
  const char* name;
  CTRBASETYPE type;
};

constexpr int kEBPerfCounterCount = 10;

extern EB_EXPORT EBPerfCounterDef gEbCounters[kEBPerfCounterCount];
// Null until InitializeEBPerfCounters first runs; never freed.
extern EB_EXPORT ThrdPerfCounter* gEbPerfCounter;
// Guards the one-time creation of the set.
extern EB_EXPORT ZelCriticalSection gInitLock;
// True once creation has begun; read and written under gInitLock.
extern EB_EXPORT bool isInitialized;

// Creates the set and registers the ten counters, once per process. Safe to
// call from several threads at once.
EB_EXPORT void InitializeEBPerfCounters();

// Stops every counter, writes the table through the log writer and resets
// each counter. Does nothing before the set exists.
EB_EXPORT void LogEBPerfcounters();

#endif  // EXTENTBROWSE_EBPERFCOUNTERS_H
