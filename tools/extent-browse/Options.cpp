#include "Options.h"

#include <iostream>

#include <CLI/CLI.hpp>

void ReportError(const std::string& message) { std::cerr << "extent-browse: " << message << "\n"; }

bool ParseOptions(int argc, char** argv, Options& options) {
  CLI::App app("extent-browse", "extent-browse");
  // The manual is the tool's own help text, not CLI11's.
  app.set_help_flag();
  app.add_flag("-h,--help", options.help);

  app.add_option("--index", options.indexFile)->check(CLI::ExistingFile);
  app.add_option("--path", options.path);
  app.add_option("--app-type", options.appType);
  app.add_option("--page-size", options.pageSize)->check(CLI::PositiveNumber);
  app.add_option("--name-length", options.nameLength)->check(CLI::Range(0, 63));
  app.add_option("--copy-precedence", options.copyPrecedence);
  app.add_option("--ma", options.ma);
  app.add_option("--backup-set-guid", options.backupSetGuid);
  app.add_option("--range-start", options.rangeStart);
  app.add_option("--cache", options.cacheFile);
  app.add_option("--log-level", options.logLevel);

  std::string protocol = "v2";
  app.add_option("--protocol", protocol)->check(CLI::IsMember({"v1", "v2"}));
  app.add_option("--browse-host", options.browseHost);
  app.add_option("--local-client", options.localClient);
  app.add_option("--response-items", options.responseItems)->check(CLI::PositiveNumber);
  app.add_flag("--service-thread", options.serviceThread);

  app.add_flag("--fail-init", options.failInit);
  app.add_flag("--fail-browse", options.failBrowse);
  app.add_option("--error-code", options.errorCode);

  app.add_option("command", options.command);
  app.positionals_at_end(false);

  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& error) {
    ReportError(std::string(error.what()) + " (see extent-browse --help)");
    return false;
  }
  options.v1 = protocol == "v1";
  options.hasErrorCode = app.count("--error-code") > 0;
  options.hasRangeStart = app.count("--range-start") > 0;
  return true;
}
