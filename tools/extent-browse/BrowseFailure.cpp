#include "BrowseFailure.h"

#include <boost/shared_ptr.hpp>
#include <cstdio>
#include <deque>
#include <mutex>
#include <vector>

#include "LogWriters.h"

namespace {

// The library's failure lines, as it writes them.
constexpr char kInitFailed[] = "IdxBrowseClient initialization failed.";
constexpr char kThrew[] = "Browse() threw: ";
constexpr char kNoAnswer[] =
    "Browse() returned without an END response or an extent-not-found answer.";
constexpr char kFailed[] = "Browse() failed. [";
constexpr char kOutsideRange[] = "ioExtNum [";
constexpr char kEnumerating[] = "Enumerating all the extents";
constexpr char kEnumerated[] = "Finished enumerating all the extents";
// A failed browse writes a few lines; a long run of them is one failure
// repeated.
constexpr std::size_t kKeptLines = 16;

class ToolLogWriter : public CFormattingLogWriter {
 public:
  ToolLogWriter(bool show, int level)
      : CFormattingLogWriter(show && level > -1 ? level : -1), show_(show), shown_(level) {}

  std::vector<std::string> Failures() {
    std::lock_guard<std::mutex> lock(mutex_);
    return std::vector<std::string>(failures_.begin(), failures_.end());
  }
  void Forget() {
    std::lock_guard<std::mutex> lock(mutex_);
    failures_.clear();
  }

 protected:
  void writeLine(int level, const char*, int, const std::string& message) override {
    std::lock_guard<std::mutex> lock(mutex_);
    if (show_ && level <= shown_) {
      const std::string line = "[" + std::to_string(level) + "] " + message + "\n";
      std::fwrite(line.data(), 1, line.size(), stderr);
    }
    if (level != -1) return;
    if (failures_.size() == kKeptLines) failures_.pop_front();
    failures_.push_back(message);
  }

 private:
  const bool show_;
  const int shown_;
  std::mutex mutex_;
  std::deque<std::string> failures_;
};

boost::shared_ptr<ToolLogWriter> gWriter;

bool StartsWith(const std::string& text, const char* prefix) { return text.rfind(prefix, 0) == 0; }

}  // namespace

void InstallToolLogWriter(bool show, int level) {
  gWriter.reset(new ToolLogWriter(show, level));
  g_ptrLogWriter = gWriter;
}

void ForgetBrowseFailures() {
  if (gWriter) gWriter->Forget();
}

std::string WhyBrowseFailed(const Options& options, const unsigned long long* extent) {
  if (extent != nullptr && options.hasRangeStart &&
      (*extent < options.rangeStart || *extent - options.rangeStart >= options.pageSize)) {
    const unsigned long long last = options.rangeStart + (options.pageSize - 1) < options.rangeStart
                                        ? ~0ull
                                        : options.rangeStart + (options.pageSize - 1);
    return "the extent range asked for (--range-start " + std::to_string(options.rangeStart) +
           ", --page-size " + std::to_string(options.pageSize) + ": extents " +
           std::to_string(options.rangeStart) + " to " + std::to_string(last) + ") does not hold " +
           std::to_string(*extent);
  }
  const std::vector<std::string> lines = gWriter ? gWriter->Failures() : std::vector<std::string>();
  std::string unreadable;
  bool failed = false;
  bool noAnswer = false;
  for (const std::string& line : lines) {
    if (line == kInitFailed) {
      return std::string("the browse client could not be initialised") +
             (options.failInit ? " (--fail-init)" : "");
    }
    if (StartsWith(line, kThrew)) {
      return "the browse was cut short by an exception: " + line.substr(sizeof kThrew - 1);
    }
    if (line == kNoAnswer) {
      noAnswer = true;
    } else if (StartsWith(line, kFailed)) {
      failed = true;
    } else if (!StartsWith(line, kOutsideRange) && line != kEnumerating && line != kEnumerated &&
               unreadable.empty()) {
      unreadable = line;
    }
  }
  if (options.hasErrorCode) {
    return "the index answered with error " + std::to_string(options.errorCode) +
           " (--error-code " + std::to_string(options.errorCode) + ")";
  }
  if (options.failBrowse) return "the index's browse call failed (--fail-browse)";
  if (!unreadable.empty()) return "the index's answer could not be read (" + unreadable + ")";
  if (noAnswer) return "the index's answer ended without its END response";
  if (failed) return "the index's browse call failed";
  return "the index gave no answer";
}
