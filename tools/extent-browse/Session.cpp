#include "Session.h"

#include <algorithm>
#include <cstring>
#include <sstream>

#include "BrowseFailure.h"
#include "BrowserAccess.h"
#include "CacheFile.h"
#include "Items.h"
#include "JsonLine.h"
#include "LineReader.h"
#include "Manual.h"
#include "Messages.h"
#include "NameCheck.h"
#include "Signals.h"
#include "Stats.h"
#include "Words.h"
#include "extentbrowse/ExtentBrowse.h"

namespace {

const std::vector<std::string> kCommands = {"lookup", "empty", "enum", "save", "name", "number",
                                            "stats",  "items", "help", "quit", "exit", "demo"};

constexpr char kByteOrderMark[] = "\xEF\xBB\xBF";

}  // namespace

Session::Session(ExtentBrowse& browser, const Options& options, const CacheBinding& binding,
                 const ExtentRanges& seededEmpty, const std::vector<ItemSummary>& items,
                 std::ostream& out)
    : browser_(browser),
      options_(options),
      binding_(binding),
      seededEmpty_(seededEmpty),
      items_(items),
      out_(out) {}

int Session::ExitStatus() const {
  if (usageError_) return kExitUsage;
  return browseFailed_ ? kExitBrowseFailed : kExitOk;
}

void Session::UsageError(const std::string& message) {
  ReportError(lineNumber_ > 0 ? "line " + std::to_string(lineNumber_) + ": " + message : message);
  // At a terminal a typo is put right on the next line, as in a shell.
  usageError_ |= !interactive_;
}

bool Session::Going() const { return StopSignal() == 0 && out_.good(); }

void Session::SayCutShort(const char* command) {
  if (StopSignal() == 0) return;
  if (options_.json) {
    EmitJson(out_, {{"command", command}, {"result", "cut-short"}});
  } else {
    out_ << command << " cut-short\n";
  }
}

void Session::SayWhyBrowseFailed(const std::string& command, const unsigned long long* extent) {
  browseFailed_ = true;
  const std::string reason = WhyBrowseFailed(options_, extent);
  // Once: every lookup of a dead index fails for the same reason.
  if (reasonsGiven_.insert(reason).second) ReportError(command + " browse-failed: " + reason);
}

void Session::RunLines(LineReader& in, bool interactive) {
  interactive_ = interactive;
  std::string line;
  std::vector<std::string> words;
  std::string error;
  for (;;) {
    // At a terminal, a Ctrl-C between commands has nothing to cut short.
    if (interactive) TakeInterrupt();
    if (!Going() || !in.Next(line)) break;
    ++lineNumber_;
    if (in.tooLong()) {
      UsageError("the line is longer than the " + std::to_string(LineReader::kLongestLine) +
                 " bytes a command line may hold");
      continue;
    }
    // Editors on some systems start a script with a byte order mark.
    if (lineNumber_ == 1 && line.rfind(kByteOrderMark, 0) == 0) {
      line.erase(0, sizeof kByteOrderMark - 1);
    }
    if (!SplitWords(line, words, error)) {
      UsageError(error);
      continue;
    }
    if (words.empty()) continue;
    const bool quit = words.front() == "quit" || words.front() == "exit";
    const bool more = Run(words);
    out_ << std::flush;
    // At a terminal Ctrl-C ends the command under way, not the session.
    if (interactive && TakeInterrupt() && !quit) continue;
    if (!more) break;
  }
  if (in.error() != 0) {
    lineNumber_ = 0;
    interactive_ = false;
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
    PrintManual(out_, options_.json);
  } else if (command == "items" && arguments.empty()) {
    PrintItems(out_, items_, options_.json);
  } else if ((command == "quit" || command == "exit") && arguments.empty()) {
    return false;
  } else if (command == "demo") {
    UsageError("demo runs on its own browsers; run it as `extent-browse demo`");
  } else if (std::find(kCommands.begin(), kCommands.end(), command) != kCommands.end()) {
    UsageError("wrong arguments for " + command + "; see --help");
  } else {
    UsageError("unknown command " + Echo(command) + Suggestion(command, kCommands) +
               "; see --help");
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
      UsageError(command + ": " + Echo(argument) + " is not an extent number");
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
    if (!Going()) return SayCutShort("lookup");
    unsigned long long afileId = 0;
    unsigned long long afileValue = 0;
    mapExtentsCurrent_ = false;
    ForgetBrowseFailures();
    const ExtentBrowseResult result =
        options_.hasRangeStart
            ? browser_.GetAFInfo(extent, afileId, afileValue, options_.rangeStart)
            : browser_.GetAFInfo(extent, afileId, afileValue);
    const bool failed = result != EB_EXTENT_FOUND && result != EB_EXTENT_NOT_FOUND;
    if (failed) SayWhyBrowseFailed("lookup " + std::to_string(extent), &extent);
    const char* word = result == EB_EXTENT_FOUND ? "found" : failed ? "browse-failed" : "not-found";
    if (options_.json) {
      Json answer = {{"extent", extent}, {"result", word}};
      if (result == EB_EXTENT_FOUND) {
        answer["afile_id"] = afileId;
        answer["afile_value"] = afileValue;
      }
      EmitJson(out_, answer);
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
    mapExtents_ = WriteExtentInfo(browser_, block) ? ExtentsOf(block.str())
                                                   : std::vector<unsigned long long>();
    mapExtentsCurrent_ = true;
  }
  return std::binary_search(mapExtents_.begin(), mapExtents_.end(), extent);
}

// What the browser knows of an extent, found without browsing. Emptiness
// is known only of extents in the map: the browser knows it of the records
// it browsed, the cache's own line of those it was seeded with. An extent in
// a browsed range that is not in the map is absent from the index:
// GetAFInfo answers it from the map or the ranges, the two places it looks
// before it would browse. For any other extent only the map can tell; the
// tool runs on one thread and no browse runs between its commands, so the
// map and the ranges hold still while it asks.
Session::Knowledge Session::WhatIsKnown(unsigned long long extent) {
  if (browser_.IsExtentEmpty(extent)) return Knowledge::kEmpty;
  if (IsInBrowsedRange(browser_, extent)) {
    unsigned long long afileId = 0;
    unsigned long long afileValue = 0;
    if (browser_.GetAFInfo(extent, afileId, afileValue) != EB_EXTENT_FOUND) {
      return Knowledge::kAbsent;
    }
  } else if (!InMap(extent)) {
    return Knowledge::kUnknown;
  }
  return InRanges(seededEmpty_, extent) ? Knowledge::kEmpty : Knowledge::kNotEmpty;
}

void Session::Empty(const std::vector<std::string>& arguments) {
  std::vector<unsigned long long> extents;
  if (!ParseExtents("empty", arguments, extents)) return;
  // Never browses, so it runs to its end.
  for (const unsigned long long extent : extents) {
    if (!out_.good()) return;
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
      EmitJson(out_, answer);
      continue;
    }
    static const char* const kWords[] = {" empty\n", " not-empty\n", " not-found\n", " unknown\n"};
    out_ << extent << kWords[static_cast<int>(known)];
  }
}

void Session::Enumerate() {
  mapExtentsCurrent_ = false;
  ForgetBrowseFailures();
  void* handle = browser_.OpenEnum();
  if (handle == nullptr) {
    SayWhyBrowseFailed("enum", nullptr);
    if (options_.json) {
      EmitJson(out_, {{"command", "enum"}, {"result", "browse-failed"}});
    } else {
      out_ << "enum browse-failed\n";
    }
    return;
  }
  unsigned long long extent = 0;
  bool isEmpty = false;
  bool more = true;
  while (Going() && (more = browser_.EnumExtent(handle, extent, isEmpty))) {
    if (options_.json) {
      EmitJson(out_, {{"extent", extent}, {"empty", isEmpty}});
    } else {
      out_ << extent << (isEmpty ? " empty\n" : " not-empty\n");
    }
  }
  browser_.CloseEnum(handle);
  if (more) SayCutShort("enum");
}

void Session::Save(const std::vector<std::string>& arguments) {
  if (options_.readOnly) {
    UsageError("save: --read-only: this session writes no file");
    return;
  }
  const std::string file = arguments.empty() ? options_.cacheFile : arguments.front();
  if (file.empty()) {
    UsageError(arguments.empty() ? "save needs a FILE, or --cache FILE"
                                 : "save needs a file name, not an empty one");
    return;
  }
  std::size_t records = 0;
  std::string error;
  if (!SaveCacheFile(browser_, file, binding_, seededEmpty_, records, error)) {
    UsageError(error);
    return;
  }
  if (options_.json) {
    EmitJson(out_, {{"saved", records}, {"file", file}});
  } else {
    out_ << "saved " << records << " extents to " << file << "\n";
  }
}

void Session::Name(const std::vector<std::string>& arguments) {
  unsigned long long extent = 0;
  if (!ParseUnsigned(arguments.front(), extent)) {
    UsageError("name: " + Echo(arguments.front()) + " is not an extent number");
    return;
  }
  const std::string name = ExtentNameOf(browser_, extent);
  if (options_.json) {
    EmitJson(out_, {{"extent", extent}, {"name", name}});
  } else {
    out_ << name << "\n";
  }
}

void Session::Number(const std::vector<std::string>& arguments) {
  const std::string& name = arguments.front();
  unsigned long long extent = 0;
  if (!ReadExtentName(browser_, options_.appType, name, extent)) {
    UsageError("number: " + Echo(name) + " is not " + SchemesOf(options_.appType) +
               " extent name (application type " + std::to_string(options_.appType) + ")");
    return;
  }
  if (options_.json) {
    EmitJson(out_, {{"name", name}, {"extent", extent}});
  } else {
    out_ << extent << "\n";
  }
}
