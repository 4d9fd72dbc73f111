// The tool's commands, run against one browser.
#ifndef EXTENTBROWSE_TOOLS_SESSION_H
#define EXTENTBROWSE_TOOLS_SESSION_H

#include <iosfwd>
#include <string>
#include <vector>

#include "Options.h"

class ExtentBrowse;

class Session {
 public:
  // `browser` and `out` are not owned and must outlive the session.
  Session(ExtentBrowse& browser, const Options& options, std::ostream& out);

  // Runs one command and its arguments. A bad command or argument is
  // reported on stderr and counts as a usage error.
  void Run(const std::vector<std::string>& words);

  // Runs one command per line of `in`, skipping blank lines and '#'
  // comments; shows a prompt on `out` when `prompt` is set.
  void RunLines(std::istream& in, bool prompt);

  // kExitOk, kExitBrowseFailed when any answer was browse-failed, or
  // kExitUsage when any command was wrong (that status wins).
  int ExitStatus() const;

 private:
  void Lookup(const std::vector<std::string>& arguments);
  void Empty(const std::vector<std::string>& arguments);
  void Enumerate();
  void Save(const std::vector<std::string>& arguments);
  void Name(const std::vector<std::string>& arguments);
  void Number(const std::vector<std::string>& arguments);
  void Stats();

  // Parses every argument as an extent number; false after reporting the
  // first bad one.
  bool ParseExtents(const std::string& command, const std::vector<std::string>& arguments,
                    std::vector<unsigned long long>& extents);
  void UsageError(const std::string& message);

  ExtentBrowse& browser_;
  const Options& options_;
  std::ostream& out_;
  bool browseFailed_ = false;
  bool usageError_ = false;
};

// Prints the counter table (which the library writes through the log
// writer) and the number of browse requests the index received.
void PrintStats(std::ostream& out);

// An unsigned decimal 64-bit number, the whole of `text`.
bool ParseUnsigned(const std::string& text, unsigned long long& value);

#endif  // EXTENTBROWSE_TOOLS_SESSION_H
