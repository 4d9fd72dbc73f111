// The library's one logging macro.
//
// A line of level L is written only when the host's writer reports a level
// of at least L. The writer is looked up on every use, and the arguments are
// evaluated only inside the guard, so a line that is not wanted costs one
// virtual call.
#ifndef EXTENTBROWSE_SRC_COMMON_EBLOG_H
#define EXTENTBROWSE_SRC_COMMON_EBLOG_H

#include "CLogWriterInterface.h"

// Levels: -1 errors, 1 construction and one-time decisions, 2 notable browse
// events, 4 tracing, 5 finest detail.
#define EB_LOG(level, ...)                                                              \
  do {                                                                                 \
    if (g_ptrLogWriter.get()->getLevel() >= (level)) {                                 \
      g_ptrLogWriter.get()->writeLog((level), __PRETTY_FUNCTION__, __LINE__, 0, 0,     \
                                     __VA_ARGS__);                                     \
    }                                                                                  \
  } while (0)

// Whether a line of `level` would be written, for work that only a log line
// needs (serialising a request, say).
#define EB_LOG_WANTED(level) (g_ptrLogWriter.get()->getLevel() >= (level))

#endif  // EXTENTBROWSE_SRC_COMMON_EBLOG_H
