// extent-browse: runs the extent browse library end to end against the
// in-process index service.
#include <fcntl.h>
#include <unistd.h>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <iostream>
#include <memory>
#include <sstream>
#include <utility>

#include "BrowseFailure.h"
#include "CacheBinding.h"
#include "CacheFile.h"
#include "Demo.h"
#include "IndexSetup.h"
#include "Items.h"
#include "LineReader.h"
#include "Manual.h"
#include "Messages.h"
#include "Options.h"
#include "Output.h"
#include "Session.h"
#include "Signals.h"
#include "Version.h"
#include "extentbrowse/ExtentBrowse.h"

namespace {

// Run from cron or a service manager, a process may start with 0, 1 or 2
// closed; the first file it opened would take the number, and be read as
// commands or written as answers. /dev/null takes each first.
void OpenClosedStandardFds() {
  for (int fd = 0; fd <= 2; ++fd) {
    // The lowest free number, this one, as those below are open by now.
    if (fcntl(fd, F_GETFD) == -1 && errno == EBADF) open("/dev/null", O_RDWR);
  }
}

std::string NamesOf(int namesAppType) {
  if (namesAppType == EB_APP_TYPE_VIRTUAL_SERVER) {
    return "Extent<decimal> names, which only application type " +
           std::to_string(EB_APP_TYPE_VIRTUAL_SERVER) + " reads";
  }
  return "Ext_<hex> names, which only application types " +
         std::to_string(EB_APP_TYPE_EXCHANGE_DATABASE) + " and " +
         std::to_string(EB_APP_TYPE_SQL_DATABASE) + " read";
}

int RunOnItem(const char* argv0, Options& options, std::ostream& out) {
  std::string error;
  std::string indexFile = options.indexFile;
  if (indexFile.empty() && !FindSampleIndex(argv0, indexFile, error)) {
    ReportError(error);
    return kExitUsage;
  }
  ebindex::Catalogue catalogue;
  std::string path;
  const bool loaded =
      LoadCatalogueFile(indexFile, static_cast<unsigned int>(options.nameLength), catalogue, error);
  // Nothing has been learnt yet, so there is nothing to save.
  if (StopSignal() != 0) return kExitSignalBase + StopSignal();
  if (!loaded) {
    ReportError(error);
    return kExitUsage;
  }
  // The items are listed before one is chosen: they are what to choose from.
  std::vector<ItemSummary> items = SummariseItems(catalogue);
  const bool listItems = !options.command.empty() && options.command.front() == "items";
  if (listItems && options.command.size() > 1) {
    ReportError("items takes no arguments");
    return kExitUsage;
  }
  if (listItems) {
    PrintItems(out, items, options.json);
    return kExitOk;
  }
  if (!ChooseItem(catalogue, indexFile, options.path, path, error)) {
    ReportError(error);
    return kExitUsage;
  }
  // A browser of the wrong type reads old-scheme names as other numbers and
  // answers not-found for everything; the names tell the right type.
  const int namesAppType = AppTypeOfNames(catalogue, path);
  if (!options.hasAppType) {
    options.appType = namesAppType;
  } else if (!ReadsNamesOf(options.appType, namesAppType)) {
    ReportWarning("the index holds " + Echo(path) + " under " + NamesOf(namesAppType) +
                  "; --app-type " + std::to_string(options.appType) + " will not find its extents");
  }

  const CacheBinding binding = BindingOf(catalogue, path, options.appType, options.nameLength,
                                         options.copyPrecedence, options.backupSetGuid);
  CacheSeed seed;
  if (!options.cacheFile.empty()) {
    std::string warning;
    if (!ReadCacheFile(options.cacheFile, binding, options.readOnly, seed, warning, error)) {
      ReportError(error);
      return kExitUsage;
    }
    if (!warning.empty()) ReportWarning(warning);
  }
  ConfigureIndex(std::move(catalogue), options);

  // The block alone, so that the browser's block starts at the stream's
  // start and a save into a fresh stream begins there too.
  std::stringstream cache(seed.block);
  SCParams params;
  params.appType = options.appType;
  ExtentBrowse browser(params, path, seed.block.empty() ? nullptr : &cache, EB_MODE_DEFAULT,
                       options.pageSize, options.nameLength, false, options.copyPrecedence,
                       options.ma);
  if (!options.backupSetGuid.empty()) browser.SetBackupSetGuid(options.backupSetGuid);

  // From here on the browser learns, and a signal must not lose it.
  Session session(browser, options, binding, seed.emptyExtents, items, out);
  if (options.command.empty()) {
    const bool interactive = isatty(STDIN_FILENO) != 0;
    if (interactive) InterruptKeepsSession();
    std::unique_ptr<LineReader> reader = MakeStdinReader(out);
    session.RunLines(*reader, interactive);
  } else {
    session.Run(options.command);
  }
  out << std::flush;

  int status = session.ExitStatus();
  if (!options.cacheFile.empty() && !options.readOnly) {
    std::size_t records = 0;
    if (!SaveCacheFile(browser, options.cacheFile, binding, seed.emptyExtents, records, error)) {
      ReportError(error);
      status = kExitUsage;
    }
  }
  if (StopSignal() != 0) status = kExitSignalBase + StopSignal();
  return status;
}

int Run(int argc, char** argv, std::ostream& out) {
  Options options;
  if (!ParseOptions(argc, argv, options)) return kExitUsage;
  if (options.help || (options.command.size() == 1 && options.command.front() == "help")) {
    PrintManual(out, options.json);
    return kExitOk;
  }
  if (options.version) {
    out << "extent-browse " << kExtentBrowseVersion << "\n";
    return kExitOk;
  }

  // The library logs through this writer from its first call on.
  InstallToolLogWriter(options.hasLogLevel, options.logLevel);

  if (!options.command.empty() && options.command.front() == "demo") {
    if (options.command.size() != 1 || options.json) {
      ReportError(options.json ? "demo is a narration; it has no --json form"
                               : "demo takes no arguments");
      return kExitUsage;
    }
    return RunDemo(argv[0], options, out);
  }
  return RunOnItem(argv[0], options, out);
}

}  // namespace

int main(int argc, char** argv) {
  OpenClosedStandardFds();
  IgnoreWriteSignals();
  // Early, so that a signal while the catalogue loads ends the tool as any
  // other does.
  InstallStopSignals();
  FdOutput output(STDOUT_FILENO);
  std::ostream out(&output);
  int status = Run(argc, argv, out);
  out << std::flush;
  // A signal that came while the manual or the demo was written ends the
  // tool as a signal, once they are done.
  if (StopSignal() != 0) status = kExitSignalBase + StopSignal();
  if (output.error() == EPIPE) {
    // The reader went away (`| head`): nothing to say, but not a success.
    if (StopSignal() == 0) status = kExitBrokenPipe;
  } else if (output.error() != 0 && output.error() != FdOutput::kDropped) {
    ReportError(std::string("cannot write to standard output: ") + std::strerror(output.error()));
    status = std::max(status, kExitUsage);
  }
  return status;
}
