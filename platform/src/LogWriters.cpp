#include "LogWriters.h"

#include <cstdarg>
#include <cstdio>

boost::shared_ptr<CLogWriterInterface> g_ptrLogWriter(new CStderrLogWriter(-1));

namespace {

thread_local const char* tCurrentFormat = nullptr;

// Holds the format of the line in writing for the writer's subclasses, and
// lets go of it however writeLine ends.
class CurrentFormat {
 public:
  explicit CurrentFormat(const char* format) : previous_(tCurrentFormat) {
    tCurrentFormat = format;
  }
  ~CurrentFormat() { tCurrentFormat = previous_; }
  CurrentFormat(const CurrentFormat&) = delete;
  CurrentFormat& operator=(const CurrentFormat&) = delete;

 private:
  const char* const previous_;
};

}  // namespace

const char* CFormattingLogWriter::currentFormat() { return tCurrentFormat; }

void CFormattingLogWriter::writeLog(int level, const char* function, int line, int, int,
                                    const char* format, ...) {
  char small[512];
  va_list args;
  va_start(args, format);
  va_list again;
  va_copy(again, args);
  const int length = std::vsnprintf(small, sizeof small, format, args);
  va_end(args);

  std::string message;
  if (length < 0) {
    message = format;
  } else if (static_cast<std::size_t>(length) < sizeof small) {
    message.assign(small, static_cast<std::size_t>(length));
  } else {
    message.resize(static_cast<std::size_t>(length) + 1);
    std::vsnprintf(&message[0], message.size(), format, again);
    message.resize(static_cast<std::size_t>(length));
  }
  va_end(again);
  const CurrentFormat current(format);
  writeLine(level, function, line, message);
}

void CStderrLogWriter::writeLine(int level, const char*, int, const std::string& message) {
  std::string text = "[" + std::to_string(level) + "] " + message + "\n";
  std::lock_guard<std::mutex> lock(mutex_);
  std::fwrite(text.data(), 1, text.size(), stderr);
}

void CCaptureLogWriter::writeLine(int level, const char* function, int line,
                                  const std::string& message) {
  std::lock_guard<std::mutex> lock(mutex_);
  const char* const format = currentFormat();
  lines_.push_back(Line{level, function ? function : "", line, message, format ? format : ""});
}

std::vector<CCaptureLogWriter::Line> CCaptureLogWriter::lines() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return lines_;
}

std::vector<std::string> CCaptureLogWriter::messages() const {
  std::lock_guard<std::mutex> lock(mutex_);
  std::vector<std::string> result;
  result.reserve(lines_.size());
  for (const Line& line : lines_) result.push_back(line.message);
  return result;
}

std::size_t CCaptureLogWriter::count(const std::string& message) const {
  std::lock_guard<std::mutex> lock(mutex_);
  std::size_t n = 0;
  for (const Line& line : lines_) n += line.message == message;
  return n;
}

std::size_t CCaptureLogWriter::countPrefix(const std::string& prefix) const {
  std::lock_guard<std::mutex> lock(mutex_);
  std::size_t n = 0;
  for (const Line& line : lines_) n += line.message.compare(0, prefix.size(), prefix) == 0;
  return n;
}

void CCaptureLogWriter::clear() {
  std::lock_guard<std::mutex> lock(mutex_);
  lines_.clear();
}
