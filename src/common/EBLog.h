// The library's logging macros.
//
// A line of level L is written only when the host's writer reports a level
// of at least L. The writer is looked up on every use, a host that removed
// it gets silence, and the arguments are evaluated only inside the guard,
// so a line that is not wanted costs one load and one virtual call.
#ifndef EXTENTBROWSE_SRC_COMMON_EBLOG_H
#define EXTENTBROWSE_SRC_COMMON_EBLOG_H

#include <exception>

#include "CLogWriterInterface.h"

// Where a line is written, as its reader looks it up: the signature of the
// operation whose line it is, and the source line in that operation. A
// helper doing an operation's work logs at the operation's site, the line
// where the operation called it, so that both point at the operation.
struct LogSite {
  const char* function;
  int line;
};
#define EB_HERE (LogSite{__PRETTY_FUNCTION__, __LINE__})

// Levels: -1 errors, 1 construction and one-time decisions, 2 notable browse
// events, 4 tracing, 5 finest detail.
#define EB_LOG(level, ...) EB_LOG_AT(EB_HERE, level, __VA_ARGS__)

// The same, written at `site`.
#define EB_LOG_AT(site, level, ...)                                                                \
  do {                                                                                             \
    CLogWriterInterface* const eb_log_writer = g_ptrLogWriter.get();                               \
    if (eb_log_writer != nullptr && eb_log_writer->getLevel() >= (level)) {                        \
      const LogSite eb_log_site = (site);                                                          \
      eb_log_writer->writeLog((level), eb_log_site.function, eb_log_site.line, 0, 0, __VA_ARGS__); \
    }                                                                                              \
  } while (0)

// For destructors and catch handlers, where a host writer that throws must
// not be let through: the line is dropped instead.
#define EB_LOG_NOTHROW(level, ...) EB_LOG_AT_NOTHROW(EB_HERE, level, __VA_ARGS__)
#define EB_LOG_AT_NOTHROW(site, level, ...) \
  do {                                      \
    try {                                   \
      EB_LOG_AT(site, level, __VA_ARGS__);  \
    } catch (...) {                         \
    }                                       \
  } while (0)

// What the exception being handled says, for the line that reports it.
// Call only inside a catch handler. The synchronisation wrappers throw a C
// string of their own.
inline const char* ThrownText() noexcept {
  try {
    throw;
  } catch (const std::exception& error) {
    return error.what();
  } catch (const char* text) {
    return text != nullptr ? text : "a null C string";
  } catch (...) {
    return "an exception that is neither a std::exception nor a C string";
  }
}

// Whether a line of `level` would be written, for work that only a log line
// needs (serialising a request, say).
inline bool EBLogWanted(int level) {
  CLogWriterInterface* const writer = g_ptrLogWriter.get();
  return writer != nullptr && writer->getLevel() >= level;
}
#define EB_LOG_WANTED(level) EBLogWanted(level)

#endif  // EXTENTBROWSE_SRC_COMMON_EBLOG_H
