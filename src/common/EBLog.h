// The library's logging macros.
//
// A line of level L is written only when the host's writer reports a level
// of at least L. The writer is looked up on every use, and the arguments are
// evaluated only inside the guard, so a line that is not wanted costs one
// virtual call.
#ifndef EXTENTBROWSE_SRC_COMMON_EBLOG_H
#define EXTENTBROWSE_SRC_COMMON_EBLOG_H

#include <exception>

#include "CLogWriterInterface.h"

// Levels: -1 errors, 1 construction and one-time decisions, 2 notable browse
// events, 4 tracing, 5 finest detail.
#define EB_LOG(level, ...) EB_LOG_AS(__PRETTY_FUNCTION__, level, __VA_ARGS__)

// The same, naming `function` as the line's writer: for a helper doing the
// work of an operation whose name the log's readers know.
#define EB_LOG_AS(function, level, ...)                                                 \
  do {                                                                                  \
    if (g_ptrLogWriter.get()->getLevel() >= (level)) {                                  \
      g_ptrLogWriter.get()->writeLog((level), (function), __LINE__, 0, 0, __VA_ARGS__); \
    }                                                                                   \
  } while (0)

// For destructors and catch handlers, where a host writer that throws must
// not be let through: the line is dropped instead.
#define EB_LOG_NOTHROW(level, ...) \
  do {                             \
    try {                          \
      EB_LOG(level, __VA_ARGS__);  \
    } catch (...) {                \
    }                              \
  } while (0)

// What the exception being handled says, for the line that reports it.
// Call only inside a catch handler.
inline const char* ThrownText() noexcept {
  try {
    throw;
  } catch (const std::exception& error) {
    return error.what();
  } catch (...) {
    return "an exception that is not a std::exception";
  }
}

// Whether a line of `level` would be written, for work that only a log line
// needs (serialising a request, say).
#define EB_LOG_WANTED(level) (g_ptrLogWriter.get()->getLevel() >= (level))

#endif  // EXTENTBROWSE_SRC_COMMON_EBLOG_H
