// The tool's command line.
#ifndef EXTENTBROWSE_TOOLS_OPTIONS_H
#define EXTENTBROWSE_TOOLS_OPTIONS_H

#include <string>
#include <vector>

struct Options {
  std::string indexFile;  // empty: the bundled sample
  std::string path;       // empty: the catalogue's only item
  bool hasAppType = false;
  int appType = 0;  // once the item is chosen, the type the browser uses
  unsigned long long pageSize = 1000;
  int nameLength = 13;
  unsigned int copyPrecedence = 0;
  std::string ma;
  std::string backupSetGuid;
  bool hasRangeStart = false;  // lookups ask for an extent range starting here
  unsigned long long rangeStart = 0;
  std::string cacheFile;
  bool readOnly = false;     // answer from the cache, never write a file
  bool hasLogLevel = false;  // without it the library's lines are not shown
  int logLevel = 0;
  bool json = false;

  bool v1 = false;
  std::string browseHost;
  std::string localClient;
  int responseItems = 100;
  bool serviceThread = false;

  bool failInit = false;
  bool failBrowse = false;
  bool hasErrorCode = false;
  int errorCode = 0;

  bool help = false;
  bool version = false;
  std::vector<std::string> command;  // the command and its arguments, if any
  // The options given that choose an item or shape its browser, which the
  // demo, running on its own sample and browsers, does not use.
  std::vector<std::string> itemOptionsGiven;
};

// Exit statuses. A stop signal S gives 128 + S.
constexpr int kExitOk = 0;
constexpr int kExitBrowseFailed = 1;
constexpr int kExitUsage = 2;
constexpr int kExitSignalBase = 128;
// Standard output's reader went away: what a shell reports for a process
// that SIGPIPE ended.
constexpr int kExitBrokenPipe = 141;

// Fills `options`; on a usage error prints one line to stderr and returns
// false.
bool ParseOptions(int argc, char** argv, Options& options);

// An unsigned decimal 64-bit number, the whole of `text`.
bool ParseUnsigned(const std::string& text, unsigned long long& value);

#endif  // EXTENTBROWSE_TOOLS_OPTIONS_H
