#include "Session.h"

#include <algorithm>
#include <limits>
#include <boost/shared_ptr.hpp>
#include <cerrno>
#include <climits>
#include <cstring>
#include <iostream>
#include <sstream>

#include <nlohmann/json.hpp>

#include "AppTypes.h"
#include "CacheFile.h"
#include "LineReader.h"
#include "LogWriters.h"
#include "Manual.h"
#include "Signals.h"
#include "ebindex/IndexService.h"
#include "extentbrowse/EBExtentNameConverter.h"
#include "extentbrowse/EBPerfCounters.h"
#include "extentbrowse/ExtentBrowse.h"
#include "extentbrowse/ExtentBrowseImpl.h"

namespace {

using Json = nlohmann::ordered_json;

// Names and file paths come from the user and need not be UTF-8; a JSON
// line must be, whatever they hold.
void Emit(std::ostream& out, const Json& answer) {
  out << answer.dump(-1, ' ', false, Json::error_handler_t::replace) << "\n";
}

// The words of a line up to a word starting with '#'.
std::vector<std::string> SplitWords(const std::string& line) {
  std::istringstream in(line);
  std::vector<std::string> words;
  for (std::string word; in >> word && word[0] != '#';) words.push_back(word);
  return words;
}

int Base32Digit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'V') return c - 'A' + 10;
  if (c >= 'a' && c <= 'v') return c - 'a' + 10;
  return -1;
}

// Whether the converter of `appType` reads `name` back as a number without
// stopping short or saturating: base32 for every item, Extent<decimal> for
// virtual-machine disks, Ext_<hex> for databases.
bool IsNameOfScheme(const std::string& name, int appType) {
  const auto significant = [](const std::string& digits) {
    const std::string::size_type first = digits.find_first_not_of('0');
    return first == std::string::npos ? std::string() : digits.substr(first);
  };
  if (name.compare(0, 6, "Extent") == 0) {
    const std::string digits = name.substr(6);
    if (appType != kVirtualServerAppType || digits.empty() ||
        digits.find_first_not_of("0123456789") != std::string::npos) {
      return false;
    }
    // Read as a signed number: anything past its maximum saturates.
    const std::string value = significant(digits);
    static const std::string kMax = std::to_string(LLONG_MAX);
    return value.size() < kMax.size() || (value.size() == kMax.size() && value <= kMax);
  }
  if (name.compare(0, 4, "Ext_") == 0) {
    const std::string digits = name.substr(4);
    return IsDatabase(appType) && !digits.empty() &&
           digits.find_first_not_of("0123456789abcdefABCDEF") == std::string::npos &&
           significant(digits).size() <= 16;
  }
  if (name.empty()) return false;
  for (const char c : name) {
    if (Base32Digit(c) < 0) return false;
  }
  // Thirteen digits hold 65 bits; the top one may use only four of its five.
  const std::string value = significant(name);
  return value.size() < 13 || (value.size() == 13 && Base32Digit(value[0]) < 16);
}

std::string SchemesOf(int appType) {
  if (appType == kVirtualServerAppType) return "a base32 or Extent<decimal>";
  if (IsDatabase(appType)) return "a base32 or Ext_<hex>";
  return "a base32";
}

}  // namespace

void PrintStats(std::ostream& out, bool json) {
  // The library writes the table at level 1 through the host's writer;
  // catching it here puts it on standard output whatever --log-level says.
  // The JSON form reads the same counters, and reports them the same once:
  // the table resets them.
  Json counters = Json::array();
  if (json && gEbPerfCounter != nullptr) {
    for (const ThrdPerfCounter::Snapshot& counter : gEbPerfCounter->snapshot()) {
      counters.push_back({{"id", counter.id},
                          {"name", counter.name},
                          {"count", counter.count},
                          {"total_ms", counter.total.count() / 1e6},
                          {"max_ms", counter.max.count() / 1e6}});
    }
  }
  const boost::shared_ptr<CLogWriterInterface> previous = g_ptrLogWriter;
  const boost::shared_ptr<CCaptureLogWriter> capture(new CCaptureLogWriter(1));
  g_ptrLogWriter = capture;
  LogEBPerfcounters();
  g_ptrLogWriter = previous;

  const unsigned long long requests = ebindex::IndexService::instance().browseCallCount();
  if (json) {
    Emit(out, {{"counters", counters}, {"browse_requests", requests}});
    return;
  }
  const std::vector<std::string> lines = capture->messages();
  if (lines.empty()) out << "no counters yet: no browser has been constructed\n";
  for (const std::string& line : lines) out << line << "\n";
  out << "browse requests: " << requests << "\n";
}

Session::Session(ExtentBrowse& browser, const Options& options, const CacheItem& item,
                 std::ostream& out)
    : browser_(browser), options_(options), item_(item), out_(out) {}

int Session::ExitStatus() const {
  if (usageError_) return kExitUsage;
  return browseFailed_ ? kExitBrowseFailed : kExitOk;
}

void Session::UsageError(const std::string& message) {
  ReportError(lineNumber_ > 0 ? "line " + std::to_string(lineNumber_) + ": " + message : message);
  usageError_ = true;
}

bool Session::Going() const { return StopSignal() == 0 && out_.good(); }

void Session::RunLines(LineReader& in) {
  std::string line;
  while (Going() && in.Next(line)) {
    ++lineNumber_;
    const std::vector<std::string> words = SplitWords(line);
    if (words.empty()) continue;
    const bool more = Run(words);
    out_ << std::flush;
    if (!more) break;
  }
  if (in.error() != 0) {
    lineNumber_ = 0;
    UsageError(std::string("cannot read standard input: ") + std::strerror(in.error()));
  }
}

bool Session::Run(const std::vector<std::string>& words) {
  if (words.empty()) return Going();
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
    PrintStats(out_, options_.json);
  } else if (command == "help" && arguments.empty()) {
    if (options_.json) {
      Emit(out_, {{"manual", std::string(kManual)}});
    } else {
      out_ << kManual;
    }
  } else if ((command == "quit" || command == "exit") && arguments.empty()) {
    return false;
  } else if (command == "demo") {
    UsageError("demo runs on its own browsers; run it as `extent-browse demo`");
  } else if (command == "enum" || command == "save" || command == "name" ||
             command == "number" || command == "stats" || command == "help" ||
             command == "quit" || command == "exit") {
    UsageError("wrong arguments for " + command + " (see extent-browse --help)");
  } else {
    UsageError("unknown command " + command + " (see extent-browse --help)");
  }
  return Going();
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
    if (!Going()) return;
    unsigned long long afileId = 0;
    unsigned long long afileValue = 0;
    mapExtentsCurrent_ = false;
    const ExtentBrowseResult result =
        options_.hasRangeStart ? browser_.GetAFInfo(extent, afileId, afileValue, options_.rangeStart)
                               : browser_.GetAFInfo(extent, afileId, afileValue);
    browseFailed_ |= result != EB_EXTENT_FOUND && result != EB_EXTENT_NOT_FOUND;
    const char* word = result == EB_EXTENT_FOUND       ? "found"
                       : result == EB_EXTENT_NOT_FOUND ? "not-found"
                                                       : "browse-failed";
    if (options_.json) {
      Json answer = {{"extent", extent}, {"result", word}};
      if (result == EB_EXTENT_FOUND) {
        answer["afile_id"] = afileId;
        answer["afile_value"] = afileValue;
      }
      Emit(out_, answer);
    } else if (result == EB_EXTENT_FOUND) {
      out_ << extent << " found " << afileId << " " << afileValue << "\n";
    } else {
      out_ << extent << " " << word << "\n";
    }
  }
}

// Whether the map holds `extent`, without a lookup that could browse. The
// library offers no such question, but its block writer lists the map; the
// list is taken again only after a call that may have browsed.
bool Session::InMap(unsigned long long extent) {
  if (!mapExtentsCurrent_) {
    std::stringstream block;
    mapExtents_.clear();
    if (browser_.GetImpl()->SaveExtentInfo(&block)) {
      std::string line;
      std::getline(block, line);  // the start marker
      unsigned long long number = 0;
      while (block >> number) {
        mapExtents_.push_back(number);
        block.ignore(std::numeric_limits<std::streamsize>::max(), '\n');
      }
    }
    mapExtentsCurrent_ = true;
  }
  return std::binary_search(mapExtents_.begin(), mapExtents_.end(), extent);
}

// What the browser knows of an extent, found without browsing. Emptiness
// is known only of extents in the map. An extent in a browsed range that is
// not in the map is absent from the index: GetAFInfo answers it from the
// map or the ranges, the two places it looks before it would browse. For
// any other extent only the map can tell; the tool runs on one thread and
// no browse runs between its commands, so the map and the ranges hold
// still while it asks.
Session::Knowledge Session::WhatIsKnown(unsigned long long extent) {
  if (browser_.IsExtentEmpty(extent)) return Knowledge::kEmpty;
  if (browser_.GetImpl()->GetExtentNameConverter()->IsExtentAlreadyBrowsed(extent)) {
    unsigned long long afileId = 0;
    unsigned long long afileValue = 0;
    return browser_.GetAFInfo(extent, afileId, afileValue) == EB_EXTENT_FOUND ? Knowledge::kNotEmpty
                                                                             : Knowledge::kAbsent;
  }
  return InMap(extent) ? Knowledge::kNotEmpty : Knowledge::kUnknown;
}

void Session::Empty(const std::vector<std::string>& arguments) {
  std::vector<unsigned long long> extents;
  if (!ParseExtents("empty", arguments, extents)) return;
  for (const unsigned long long extent : extents) {
    if (!Going()) return;
    const Knowledge known = WhatIsKnown(extent);
    if (options_.json) {
      Json answer = {{"extent", extent}};
      switch (known) {
        case Knowledge::kEmpty:
        case Knowledge::kNotEmpty:
          answer["empty"] = known == Knowledge::kEmpty;
          break;
        case Knowledge::kAbsent:
          answer["empty"] = nullptr;
          answer["result"] = "not-found";
          break;
        case Knowledge::kUnknown:
          answer["empty"] = nullptr;
          answer["result"] = "unknown";
          break;
      }
      Emit(out_, answer);
      continue;
    }
    static const char* const kWords[] = {" empty\n", " not-empty\n", " not-found\n", " unknown\n"};
    out_ << extent << kWords[static_cast<int>(known)];
  }
}

void Session::Enumerate() {
  mapExtentsCurrent_ = false;
  void* handle = browser_.OpenEnum();
  if (handle == nullptr) {
    if (options_.json) {
      Emit(out_, {{"command", "enum"}, {"result", "browse-failed"}});
    } else {
      out_ << "enum browse-failed\n";
    }
    browseFailed_ = true;
    return;
  }
  unsigned long long extent = 0;
  bool isEmpty = false;
  while (Going() && browser_.EnumExtent(handle, extent, isEmpty)) {
    if (options_.json) {
      Emit(out_, {{"extent", extent}, {"empty", isEmpty}});
    } else {
      out_ << extent << (isEmpty ? " empty\n" : " not-empty\n");
    }
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
  if (!SaveCacheFile(*browser_.GetImpl(), file, item_, records, error)) {
    UsageError(error);
    return;
  }
  if (options_.json) {
    Emit(out_, {{"saved", records}, {"file", file}});
  } else {
    out_ << "saved " << records << " extents to " << file << "\n";
  }
}

void Session::Name(const std::vector<std::string>& arguments) {
  unsigned long long extent = 0;
  if (!ParseUnsigned(arguments.front(), extent)) {
    UsageError("name: " + arguments.front() + " is not an extent number");
    return;
  }
  std::string name;
  browser_.GetImpl()->GetExtentNameConverter()->ExtentNumToName(extent, name);
  if (options_.json) {
    Emit(out_, {{"extent", extent}, {"name", name}});
  } else {
    out_ << name << "\n";
  }
}

void Session::Number(const std::vector<std::string>& arguments) {
  const std::string& name = arguments.front();
  if (!IsNameOfScheme(name, options_.appType)) {
    UsageError("number: " + name + " is not " + SchemesOf(options_.appType) +
               " extent name (application type " + std::to_string(options_.appType) + ")");
    return;
  }
  const unsigned long long extent =
      browser_.GetImpl()->GetExtentNameConverter()->ExtentNameToNum(name);
  if (options_.json) {
    Emit(out_, {{"name", name}, {"extent", extent}});
  } else {
    out_ << extent << "\n";
  }
}
