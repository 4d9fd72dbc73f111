/// @file
/// The host's log writer, as libraries of the platform see it.
///
/// The host owns the writer and installs it in g_ptrLogWriter before it calls
/// into any library; libraries reach it through g_ptrLogWriter.get() on every
/// use and never reset it. A host that empties it gets no lines, and the
/// libraries work on. A writer must accept concurrent calls.
#ifndef EBPLATFORM_CLOGWRITERINTERFACE_H
#define EBPLATFORM_CLOGWRITERINTERFACE_H

#include <boost/shared_ptr.hpp>

/// A log writer. Callers ask getLevel() before each line and write only the
/// lines it wants; a line is one call of writeLog.
///
/// Levels: -1 errors, 1 construction parameters and one-time decisions, 2
/// notable browse events, 4 tracing, 5 finest detail.
///
/// Thread-safety: both operations are called from any thread, at once,
/// including the browse service's; an implementation must allow that.
class CLogWriterInterface {
 public:
  virtual ~CLogWriterInterface() = default;

  /// Writes one line. The writer writes what it is given: callers decide,
  /// through getLevel(), what to write.
  /// @param level the line's level.
  /// @param function the caller's full signature (`__PRETTY_FUNCTION__`).
  /// @param line the caller's source line.
  /// @param reserved1 always 0.
  /// @param reserved2 always 0.
  /// @param format a printf-style format, with its arguments after it.
  /// @param ... the format's arguments.
  virtual void writeLog(int level, const char* function, int line, int reserved1, int reserved2,
                        const char* format, ...) __attribute__((format(printf, 7, 8))) = 0;

  /// The level up to which callers should write.
  /// @return L such that a line of level L or lower is wanted.
  virtual int getLevel() = 0;
};

/// The process's log writer. Initialised to a writer that prints level -1
/// lines to stderr (CStderrLogWriter); a host replaces it before it builds
/// the first browser, and keeps it in place while any library call runs.
/// Empty means no log: nothing is written.
extern boost::shared_ptr<CLogWriterInterface> g_ptrLogWriter;

#endif  // EBPLATFORM_CLOGWRITERINTERFACE_H
