/// @file
/// The library's performance counters: one process-wide set of ten counters
/// that time the phases of lookups and browses.
///
/// The first browser constructed creates the set; it lives until the process
/// ends. Counting never changes what the library does. A host reads the
/// figures with LogEBPerfcounters (a table through the log writer) or from
/// gEbPerfCounter (ThrdPerfCounter::snapshot()).
#ifndef EXTENTBROWSE_EBPERFCOUNTERS_H
#define EXTENTBROWSE_EBPERFCOUNTERS_H

#include "ThrdPerfCounter.h"
#include "extentbrowse/Export.h"
#include "extentbrowse/ZelSync.h"

/// One row of the library's counter table.
struct EBPerfCounterDef {
  int id;            ///< The counter's id in the set, 0 to 9.
  const char* name;  ///< The counter's name in the table.
  CTRBASETYPE type;  ///< The platform's counter type; always 0.
};

/// Counters in the library's table.
constexpr int kEBPerfCounterCount = 10;

/// The library's counters, by id (each times what it names, in real time):
/// - 0 EBBrowse: one browse request, from its dispatch until it returns.
/// - 1 InBrowseCallBack: processing one browse response.
/// - 2 AddToExtentMap: storing one response's items in the extent map.
/// - 3 FindInExtentMap: a lookup's search of the extent map.
/// - 4 TimeInGetAfInfo: registered and reset, never run.
/// - 5 AddToBrowsedBuckets: recording a browsed range after a browse.
/// - 6 FindInBrowsedBuckets: a lookup's search of the browsed ranges.
/// - 7 WaitToSendBrowse: waiting for the browser's one browse at a time,
///   before a lookup's browse or an enumeration's.
/// - 8 WaitForBrowseComplete: a lookup's browse, from before its wait to its
///   successful end (a failed one stays running until LogEBPerfcounters).
/// - 9 TimeToGetFirstBrowseCallBack: from dispatch to the first response.
extern EB_EXPORT EBPerfCounterDef gEbCounters[kEBPerfCounterCount];
/// The counter set; null until InitializeEBPerfCounters first runs; never
/// freed. Every member of ThrdPerfCounter may be called from any thread.
extern EB_EXPORT ThrdPerfCounter* gEbPerfCounter;
/// Guards the one-time creation of the set.
extern EB_EXPORT ZelCriticalSection gInitLock;
/// True once creation has begun; read and written under gInitLock.
extern EB_EXPORT bool isInitialized;

/// Creates the set and registers the ten counters, once per process. Every
/// browser constructor calls it; a host may call it earlier. Safe to call
/// from several threads at once.
/// @throw std::bad_alloc when the set cannot be made; a later call tries
///   again.
EB_EXPORT void InitializeEBPerfCounters();

/// Stops every counter, writes the table through the log writer and resets
/// each counter. Does nothing before the set exists. Safe to call from any
/// thread, while browsers run.
///
/// The table is written at level 1, so only when g_ptrLogWriter's level is
/// at least 1: the line "Performance counters of ExtentBrowse (For All The
/// Files)", a heading, then one line per counter: id, name, count, total,
/// average and maximum in milliseconds.
EB_EXPORT void LogEBPerfcounters();

#endif  // EXTENTBROWSE_EBPERFCOUNTERS_H
