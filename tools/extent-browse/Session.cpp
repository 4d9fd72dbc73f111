#include "Session.h"

#include <boost/shared_ptr.hpp>
#include <cerrno>
#include <cstdlib>
#include <iostream>
#include <sstream>

#include "CacheFile.h"
#include "ebindex/IndexService.h"
#include "LogWriters.h"
#include "Manual.h"
#include "extentbrowse/EBExtentNameConverter.h"
#include "extentbrowse/EBPerfCounters.h"
#include "extentbrowse/ExtentBrowse.h"
#include "extentbrowse/ExtentBrowseImpl.h"

namespace {

std::vector<std::string> SplitWords(const std::string& line) {
  std::istringstream in(line);
  std::vector<std::string> words;
  for (std::string word; in >> word;) words.push_back(word);
  return words;
}

}  // namespace

bool ParseUnsigned(const std::string& text, unsigned long long& value) {
  if (text.empty() || text.size() > 20) return false;
  for (const char c : text) {
    if (c < '0' || c > '9') return false;  // strtoull would take signs and blanks
  }
  errno = 0;
  value = std::strtoull(text.c_str(), nullptr, 10);
  return errno == 0;
}

void PrintStats(std::ostream& out) {
  // The library writes the table at level 1 through the host's writer;
  // catching it here puts it on standard output whatever --log-level says.
  const boost::shared_ptr<CLogWriterInterface> previous = g_ptrLogWriter;
  const boost::shared_ptr<CCaptureLogWriter> capture(new CCaptureLogWriter(1));
  g_ptrLogWriter = capture;
  LogEBPerfcounters();
  g_ptrLogWriter = previous;

  const std::vector<std::string> lines = capture->messages();
  if (lines.empty()) out << "no counters yet: no browser has been constructed\n";
  for (const std::string& line : lines) out << line << "\n";
  out << "browse requests: " << ebindex::IndexService::instance().browseCallCount() << "\n";
}

Session::Session(ExtentBrowse& browser, const Options& options, std::ostream& out)
    : browser_(browser), options_(options), out_(out) {}

int Session::ExitStatus() const {
  if (usageError_) return kExitUsage;
  return browseFailed_ ? kExitBrowseFailed : kExitOk;
}

void Session::UsageError(const std::string& message) {
  ReportError(message);
  usageError_ = true;
}

void Session::RunLines(std::istream& in, bool prompt) {
  for (;;) {
    if (prompt) out_ << "extent-browse> " << std::flush;
    std::string line;
    if (!std::getline(in, line)) break;
    const std::vector<std::string> words = SplitWords(line);
    if (words.empty() || words.front()[0] == '#') continue;
    Run(words);
    out_ << std::flush;
  }
  if (prompt) out_ << "\n";
}

void Session::Run(const std::vector<std::string>& words) {
  if (words.empty()) return;
  const std::string& command = words.front();
  const std::vector<std::string> arguments(words.begin() + 1, words.end());
  if (command == "lookup") {
    Lookup(arguments);
  } else if (command == "empty") {
    Empty(arguments);
  } else if (command == "enum" && arguments.empty()) {
    Enumerate();
  } else if (command == "save" && arguments.size() <= 1) {
    Save(arguments);
  } else if (command == "name" && arguments.size() == 1) {
    Name(arguments);
  } else if (command == "number" && arguments.size() == 1) {
    Number(arguments);
  } else if (command == "stats" && arguments.empty()) {
    Stats();
  } else if (command == "help" && arguments.empty()) {
    out_ << kManual;
  } else if (command == "demo") {
    UsageError("demo runs on its own browsers; run it as `extent-browse demo`");
  } else if (command == "enum" || command == "save" || command == "name" ||
             command == "number" || command == "stats" || command == "help") {
    UsageError("wrong arguments for " + command + " (see extent-browse --help)");
  } else {
    UsageError("unknown command " + command + " (see extent-browse --help)");
  }
}

bool Session::ParseExtents(const std::string& command, const std::vector<std::string>& arguments,
                           std::vector<unsigned long long>& extents) {
  if (arguments.empty()) {
    UsageError(command + " needs at least one extent number");
    return false;
  }
  extents.clear();
  for (const std::string& argument : arguments) {
    unsigned long long extent = 0;
    if (!ParseUnsigned(argument, extent)) {
      UsageError(command + ": " + argument + " is not an extent number");
      return false;
    }
    extents.push_back(extent);
  }
  return true;
}

void Session::Lookup(const std::vector<std::string>& arguments) {
  std::vector<unsigned long long> extents;
  if (!ParseExtents("lookup", arguments, extents)) return;
  for (const unsigned long long extent : extents) {
    unsigned long long afileId = 0;
    unsigned long long afileValue = 0;
    const ExtentBrowseResult result =
        options_.hasRangeStart ? browser_.GetAFInfo(extent, afileId, afileValue, options_.rangeStart)
                               : browser_.GetAFInfo(extent, afileId, afileValue);
    out_ << extent;
    if (result == EB_EXTENT_FOUND) {
      out_ << " found " << afileId << " " << afileValue << "\n";
    } else if (result == EB_EXTENT_NOT_FOUND) {
      out_ << " not-found\n";
    } else {
      out_ << " browse-failed\n";
      browseFailed_ = true;
    }
  }
}

void Session::Empty(const std::vector<std::string>& arguments) {
  std::vector<unsigned long long> extents;
  if (!ParseExtents("empty", arguments, extents)) return;
  for (const unsigned long long extent : extents) {
    out_ << extent << (browser_.IsExtentEmpty(extent) ? " empty\n" : " not-empty\n");
  }
}

void Session::Enumerate() {
  void* handle = browser_.OpenEnum();
  if (handle == nullptr) {
    out_ << "enum browse-failed\n";
    browseFailed_ = true;
    return;
  }
  unsigned long long extent = 0;
  bool isEmpty = false;
  while (browser_.EnumExtent(handle, extent, isEmpty)) {
    out_ << extent << (isEmpty ? " empty\n" : " not-empty\n");
  }
  browser_.CloseEnum(handle);
}

void Session::Save(const std::vector<std::string>& arguments) {
  const std::string file = arguments.empty() ? options_.cacheFile : arguments.front();
  if (file.empty()) {
    UsageError("save needs a FILE, or --cache FILE");
    return;
  }
  std::size_t records = 0;
  std::string error;
  if (!SaveCacheFile(*browser_.GetImpl(), file, records, error)) {
    UsageError(error);
    return;
  }
  out_ << "saved " << records << " extents to " << file << "\n";
}

void Session::Name(const std::vector<std::string>& arguments) {
  unsigned long long extent = 0;
  if (!ParseUnsigned(arguments.front(), extent)) {
    UsageError("name: " + arguments.front() + " is not an extent number");
    return;
  }
  std::string name;
  browser_.GetImpl()->GetExtentNameConverter()->ExtentNumToName(extent, name);
  out_ << name << "\n";
}

void Session::Number(const std::vector<std::string>& arguments) {
  out_ << browser_.GetImpl()->GetExtentNameConverter()->ExtentNameToNum(arguments.front()) << "\n";
}

void Session::Stats() { PrintStats(out_); }
