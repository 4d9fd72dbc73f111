// Ready-made log writers: one for a host's stderr, one that records lines
// for tests. Both format each call into one message and are safe to call from
// several threads at once.
#ifndef EBPLATFORM_LOGWRITERS_H
#define EBPLATFORM_LOGWRITERS_H

#include <atomic>
#include <cstddef>
#include <mutex>
#include <string>
#include <vector>

#include "CLogWriterInterface.h"

// Formats the printf-style arguments of writeLog and hands the message to
// writeLine. The level is settable at any time.
class CFormattingLogWriter : public CLogWriterInterface {
 public:
  explicit CFormattingLogWriter(int level) : level_(level) {}

  void writeLog(int level, const char* function, int line, int reserved1, int reserved2,
                const char* format, ...) override __attribute__((format(printf, 7, 8)));
  int getLevel() override { return level_.load(std::memory_order_relaxed); }
  void setLevel(int level) { level_.store(level, std::memory_order_relaxed); }

 protected:
  virtual void writeLine(int level, const char* function, int line, const std::string& message) = 0;

 private:
  std::atomic<int> level_;
};

// Writes "[level] message" to stderr, one line per call.
class CStderrLogWriter : public CFormattingLogWriter {
 public:
  explicit CStderrLogWriter(int level) : CFormattingLogWriter(level) {}

 protected:
  void writeLine(int level, const char* function, int line, const std::string& message) override;

 private:
  std::mutex mutex_;
};

// Records every line it is given, in order.
class CCaptureLogWriter : public CFormattingLogWriter {
 public:
  struct Line {
    int level;
    std::string function;
    int line;
    std::string message;
  };

  explicit CCaptureLogWriter(int level) : CFormattingLogWriter(level) {}

  std::vector<Line> lines() const;
  std::vector<std::string> messages() const;
  // Lines whose message equals `message` exactly.
  std::size_t count(const std::string& message) const;
  // Lines whose message starts with `prefix`.
  std::size_t countPrefix(const std::string& prefix) const;
  bool contains(const std::string& message) const { return count(message) > 0; }
  void clear();

 protected:
  void writeLine(int level, const char* function, int line, const std::string& message) override;

 private:
  mutable std::mutex mutex_;
  std::vector<Line> lines_;
};

#endif  // EBPLATFORM_LOGWRITERS_H
