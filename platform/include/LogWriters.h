/// @file
/// Ready-made log writers: one for a host's stderr, one that records lines
/// for tests. Both format each call into one message and are safe to call from
/// several threads at once.
#ifndef EBPLATFORM_LOGWRITERS_H
#define EBPLATFORM_LOGWRITERS_H

#include <atomic>
#include <cstddef>
#include <mutex>
#include <string>
#include <vector>

#include "CLogWriterInterface.h"

/// Formats the printf-style arguments of writeLog and hands the message to
/// writeLine. The level is settable at any time, from any thread.
class CFormattingLogWriter : public CLogWriterInterface {
 public:
  /// @param level the level getLevel() reports at first.
  explicit CFormattingLogWriter(int level) : level_(level) {}

  /// Formats the message, whatever its length, and calls writeLine once.
  /// @param level,function,line,reserved1,reserved2,format,... as for
  ///   CLogWriterInterface::writeLog().
  void writeLog(int level, const char* function, int line, int reserved1, int reserved2,
                const char* format, ...) override __attribute__((format(printf, 7, 8)));
  /// @return the level last set.
  int getLevel() override { return level_.load(std::memory_order_relaxed); }
  /// Changes the level; lines already being written are not affected.
  /// @param level the new level.
  void setLevel(int level) { level_.store(level, std::memory_order_relaxed); }

 protected:
  /// Writes one formatted line; called once per writeLog, from any thread.
  /// @param level the line's level.
  /// @param function the caller's full signature.
  /// @param line the caller's source line.
  /// @param message the formatted message, without a line end.
  virtual void writeLine(int level, const char* function, int line, const std::string& message) = 0;

  /// The format of the line being written, for writeLine.
  /// @return the format of the line writeLine is writing on this thread, or
  ///   null outside writeLine.
  static const char* currentFormat();

 private:
  std::atomic<int> level_;
};

/// Writes "[level] message" to stderr, one line per call.
class CStderrLogWriter : public CFormattingLogWriter {
 public:
  /// @param level the level getLevel() reports at first.
  explicit CStderrLogWriter(int level) : CFormattingLogWriter(level) {}

 protected:
  /// Writes "[level] message" and a line end in one write.
  /// @param level,function,line,message as for CFormattingLogWriter::writeLine().
  void writeLine(int level, const char* function, int line, const std::string& message) override;

 private:
  std::mutex mutex_;
};

/// Records every line it is given, in order.
class CCaptureLogWriter : public CFormattingLogWriter {
 public:
  /// One recorded line.
  struct Line {
    int level;             ///< The line's level.
    std::string function;  ///< The writer's full signature.
    int line;              ///< The writer's source line.
    std::string message;   ///< The formatted message.
    std::string format;    ///< The format it was made from.
  };

  /// @param level the level getLevel() reports at first.
  explicit CCaptureLogWriter(int level) : CFormattingLogWriter(level) {}

  /// @return a copy of the lines so far.
  std::vector<Line> lines() const;
  /// @return the messages so far.
  std::vector<std::string> messages() const;
  /// Lines whose message equals `message` exactly.
  /// @param message the message to count.
  /// @return how many.
  std::size_t count(const std::string& message) const;
  /// Lines whose message starts with `prefix`.
  /// @param prefix the start to look for.
  /// @return how many.
  std::size_t countPrefix(const std::string& prefix) const;
  /// @param message the message to look for.
  /// @return whether some line's message equals it.
  bool contains(const std::string& message) const { return count(message) > 0; }
  /// Forgets every line.
  void clear();

 protected:
  /// Records the line.
  /// @param level,function,line,message as for CFormattingLogWriter::writeLine().
  void writeLine(int level, const char* function, int line, const std::string& message) override;

 private:
  mutable std::mutex mutex_;
  std::vector<Line> lines_;
};

#endif  // EBPLATFORM_LOGWRITERS_H
