// The tool's command line.
#ifndef EXTENTBROWSE_TOOLS_OPTIONS_H
#define EXTENTBROWSE_TOOLS_OPTIONS_H

#include <string>
#include <vector>

struct Options {
  std::string indexFile;  // empty: the bundled sample
  std::string path;       // empty: the catalogue's only item
  int appType = 0;
  unsigned long long pageSize = 1000;
  int nameLength = 13;
  unsigned int copyPrecedence = 0;
  std::string ma;
  std::string backupSetGuid;
  bool hasRangeStart = false;  // lookups ask for an extent range starting here
  unsigned long long rangeStart = 0;
  std::string cacheFile;
  int logLevel = 0;

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
  std::vector<std::string> command;  // the command and its arguments, if any
};

// Exit statuses.
constexpr int kExitOk = 0;
constexpr int kExitBrowseFailed = 1;
constexpr int kExitUsage = 2;

// Fills `options`; on a usage error prints one line to stderr and returns
// false.
bool ParseOptions(int argc, char** argv, Options& options);

// Prints "extent-browse: <message>" on stderr.
void ReportError(const std::string& message);

#endif  // EXTENTBROWSE_TOOLS_OPTIONS_H
