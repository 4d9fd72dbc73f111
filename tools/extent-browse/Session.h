// The tool's commands, run against one browser.
#ifndef EXTENTBROWSE_TOOLS_SESSION_H
#define EXTENTBROWSE_TOOLS_SESSION_H

#include <iosfwd>
#include <string>
#include <vector>

#include "CacheFile.h"
#include "Options.h"

class ExtentBrowse;
class LineReader;

class Session {
 public:
  // `browser` and `out` are not owned and must outlive the session.
  // `options.appType` is the browser's application type; `item` is what a
  // `save` names as the cache's owner.
  Session(ExtentBrowse& browser, const Options& options, const CacheItem& item,
          std::ostream& out);

  // Runs one command and its arguments. A bad command or argument is
  // reported on stderr and counts as a usage error. False once the session
  // is to end: quit or exit, a stop signal, or output that cannot be
  // written.
  bool Run(const std::vector<std::string>& words);

  // Runs one command per line until the input ends or Run says to stop.
  // Errors name their line; a word starting with '#' starts a comment.
  void RunLines(LineReader& in);

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

  // Parses every argument as an extent number; false after reporting the
  // first bad one.
  bool ParseExtents(const std::string& command, const std::vector<std::string>& arguments,
                    std::vector<unsigned long long>& extents);
  void UsageError(const std::string& message);

  ExtentBrowse& browser_;
  const Options& options_;
  CacheItem item_;
  std::ostream& out_;
  bool browseFailed_ = false;
  bool usageError_ = false;
  int lineNumber_ = 0;  // of the line being run, or 0 for the command line
  // The extents of the browser's map, taken when `empty` first needs them
  // after a call that may have browsed.
  std::vector<unsigned long long> mapExtents_;
  bool mapExtentsCurrent_ = false;
};

// Prints the library's counters (which it writes through the log writer)
// and the number of browse requests the index received, as text or as one
// JSON object.
void PrintStats(std::ostream& out, bool json);

#endif  // EXTENTBROWSE_TOOLS_SESSION_H
