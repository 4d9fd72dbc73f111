// The tool's commands, run against one browser.
#ifndef EXTENTBROWSE_TOOLS_SESSION_H
#define EXTENTBROWSE_TOOLS_SESSION_H

#include <iosfwd>
#include <set>
#include <string>
#include <vector>

#include "CacheBinding.h"
#include "CacheContent.h"
#include "Items.h"
#include "Options.h"

class ExtentBrowse;
class LineReader;

class Session {
 public:
  // `browser` and `out` are not owned and must outlive the session.
  // `options.appType` is the browser's application type; `binding` is what
  // a `save` binds the cache to; `seededEmpty` are the empty extents of the
  // browser's seed, which the browser itself cannot tell; `items` are the
  // catalogue's, which `items` lists.
  Session(ExtentBrowse& browser, const Options& options, const CacheBinding& binding,
          const ExtentRanges& seededEmpty, const std::vector<ItemSummary>& items,
          std::ostream& out);

  // Runs one command and its arguments. A bad command or argument is
  // reported on stderr and counts as a usage error. False once the session
  // is to end: quit or exit, a stop signal, or output that cannot be
  // written.
  bool Run(const std::vector<std::string>& words);

  // Runs one command per line until the input ends or Run says to stop.
  // Errors name their line; a word starting with '#' starts a comment. At a
  // terminal, Ctrl-C cuts the command under way short or discards the line
  // being typed, and the session goes on; a wrong line does not change the
  // exit status.
  void RunLines(LineReader& in, bool interactive);

  // kExitOk, kExitBrowseFailed when any answer was browse-failed, or
  // kExitUsage when any command was wrong (that status wins).
  int ExitStatus() const;

 private:
  enum class Knowledge { kEmpty, kNotEmpty, kAbsent, kUnknown };

  void Lookup(const std::vector<std::string>& arguments);
  void Empty(const std::vector<std::string>& arguments);
  void Enumerate();
  void Save(const std::vector<std::string>& arguments);
  void Name(const std::vector<std::string>& arguments);
  void Number(const std::vector<std::string>& arguments);

  Knowledge WhatIsKnown(unsigned long long extent);
  bool InMap(unsigned long long extent);
  // Whether to go on answering: no stop signal, output still written.
  bool Going() const;
  // Says on standard output that `command` stopped before its last answer,
  // when a signal stopped it.
  void SayCutShort(const char* command);
  // Says once on stderr why a browse failed.
  void SayWhyBrowseFailed(const std::string& command, const unsigned long long* extent);

  // Parses every argument as an extent number; false after reporting the
  // first bad one.
  bool ParseExtents(const std::string& command, const std::vector<std::string>& arguments,
                    std::vector<unsigned long long>& extents);
  void UsageError(const std::string& message);

  ExtentBrowse& browser_;
  const Options& options_;
  CacheBinding binding_;
  const ExtentRanges& seededEmpty_;
  const std::vector<ItemSummary>& items_;
  std::ostream& out_;
  bool browseFailed_ = false;
  bool usageError_ = false;
  bool interactive_ = false;
  int lineNumber_ = 0;  // of the line being run, or 0 for the command line
  std::set<std::string> reasonsGiven_;
  // The extents of the browser's map, taken when `empty` first needs them
  // after a call that may have browsed.
  std::vector<unsigned long long> mapExtents_;
  bool mapExtentsCurrent_ = false;
};

#endif  // EXTENTBROWSE_TOOLS_SESSION_H
