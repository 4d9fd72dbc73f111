// extent-browse: runs the extent browse library end to end against the
// in-process index service.
#include <iostream>
#include <memory>
#include <sstream>
#include <unistd.h>

#include <boost/shared_ptr.hpp>

#include "CacheFile.h"
#include "Demo.h"
#include "IndexSetup.h"
#include "LogWriters.h"
#include "Manual.h"
#include "Options.h"
#include "Session.h"
#include "extentbrowse/ExtentBrowse.h"

namespace {

int RunOnItem(const char* argv0, const Options& options) {
  const std::string indexFile = options.indexFile.empty() ? FindSampleIndex(argv0) : options.indexFile;
  ebindex::Catalogue catalogue;
  std::string error;
  std::string path;
  if (!LoadCatalogueFile(indexFile, static_cast<unsigned int>(options.nameLength), catalogue, error) ||
      !ChooseItem(catalogue, options.path, path, error)) {
    ReportError(error);
    return kExitUsage;
  }
  ConfigureIndex(catalogue, options);

  std::stringstream cache;
  const bool seeded = !options.cacheFile.empty() && ReadCacheFile(options.cacheFile, cache);
  SCParams params;
  params.appType = options.appType;
  ExtentBrowse browser(params, path, seeded ? &cache : nullptr, EB_MODE_DEFAULT, options.pageSize,
                       options.nameLength, false, options.copyPrecedence, options.ma);
  if (!options.backupSetGuid.empty()) browser.SetBackupSetGuid(options.backupSetGuid);

  Session session(browser, options, std::cout);
  if (options.command.empty()) {
    session.RunLines(std::cin, isatty(STDIN_FILENO) != 0);
  } else {
    session.Run(options.command);
  }

  int status = session.ExitStatus();
  if (!options.cacheFile.empty()) {
    std::size_t records = 0;
    if (!SaveCacheFile(*browser.GetImpl(), options.cacheFile, records, error)) {
      ReportError(error);
      status = kExitUsage;
    }
  }
  std::cout << std::flush;
  return status;
}

}  // namespace

int main(int argc, char** argv) {
  Options options;
  if (!ParseOptions(argc, argv, options)) return kExitUsage;
  if (options.help || (!options.command.empty() && options.command.front() == "help" &&
                       options.command.size() == 1)) {
    std::cout << kManual;
    return kExitOk;
  }

  // The library logs through this writer from its first call on.
  g_ptrLogWriter = boost::shared_ptr<CLogWriterInterface>(new CStderrLogWriter(options.logLevel));

  if (!options.command.empty() && options.command.front() == "demo") {
    if (options.command.size() != 1) {
      ReportError("demo takes no arguments");
      return kExitUsage;
    }
    return RunDemo(argv[0], options, std::cout);
  }
  return RunOnItem(argv[0], options);
}
