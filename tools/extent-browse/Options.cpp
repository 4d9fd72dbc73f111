#include "Options.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <utility>
#include <vector>

#include <CLI/CLI.hpp>

#include "Messages.h"

namespace {

// The shortest and longest base32 names the codec writes at one width for
// every 64-bit extent number: 13 digits hold 64 bits, and it writes no more
// than 63.
constexpr int kShortestNameLength = 13;
constexpr int kLongestNameLength = 63;

bool ParseInt(const std::string& text, long long low, long long high, long long& value) {
  const bool negative = !text.empty() && text[0] == '-';
  unsigned long long magnitude = 0;
  if (!ParseUnsigned(negative ? text.substr(1) : text, magnitude)) return false;
  if (negative) {
    if (magnitude > static_cast<unsigned long long>(LLONG_MAX) + 1) return false;
    value = magnitude == static_cast<unsigned long long>(LLONG_MAX) + 1
                ? LLONG_MIN
                : -static_cast<long long>(magnitude);
  } else {
    if (magnitude > static_cast<unsigned long long>(LLONG_MAX)) return false;
    value = static_cast<long long>(magnitude);
  }
  return value >= low && value <= high;
}

// An option's value as a number in [low, high], with a plain message when
// it is not one.
class NumberReader {
 public:
  explicit NumberReader(const CLI::App& app) : app_(app) {}

  template <typename T>
  void Signed(const char* option, const std::string& text, long long low, long long high,
              T& value) {
    long long number = 0;
    if (!Given(option)) return;
    if (ParseInt(text, low, high, number)) {
      value = static_cast<T>(number);
    } else {
      Fail(option, std::to_string(low), std::to_string(high), text);
    }
  }
  void Unsigned(const char* option, const std::string& text, unsigned long long low,
                unsigned long long& value) {
    unsigned long long number = 0;
    if (!Given(option)) return;
    if (ParseUnsigned(text, number) && number >= low) {
      value = number;
    } else {
      Fail(option, std::to_string(low), std::to_string(ULLONG_MAX), text);
    }
  }
  bool Given(const char* option) const { return app_.count(option) > 0; }
  const std::string& error() const { return error_; }

 private:
  void Fail(const char* option, const std::string& low, const std::string& high,
            const std::string& text) {
    if (error_.empty()) {
      error_ = std::string(option) + " must be a number from " + low + " to " + high + ", not '" +
               Echo(text) + "'";
    }
  }

  const CLI::App& app_;
  std::string error_;
};

std::vector<std::string> OptionNames(const CLI::App& app) {
  std::vector<std::string> names;
  for (const CLI::Option* option : app.get_options()) {
    for (const std::string& name : option->get_lnames()) names.push_back("--" + name);
  }
  return names;
}

}  // namespace

bool ParseUnsigned(const std::string& text, unsigned long long& value) {
  if (text.empty() || text.size() > 20) return false;
  for (const char c : text) {
    if (c < '0' || c > '9') return false;  // strtoull would take signs and blanks
  }
  errno = 0;
  value = std::strtoull(text.c_str(), nullptr, 10);
  return errno == 0;
}

bool ParseOptions(int argc, char** argv, Options& options) {
  CLI::App app("extent-browse", "extent-browse");
  // The manual is the tool's own help text, not CLI11's.
  app.set_help_flag();
  app.add_flag("-h,--help", options.help);
  app.add_flag("--version", options.version);

  // Numbers are taken as text and checked here: CLI11's own messages for
  // them are neither short nor always right.
  std::string appType, pageSize, nameLength, copyPrecedence, rangeStart, logLevel;
  std::string protocol = "v2", responseItems, errorCode;
  app.add_option("--index", options.indexFile);
  app.add_option("--path", options.path);
  app.add_option("--app-type", appType);
  app.add_option("--page-size", pageSize);
  app.add_option("--name-length", nameLength);
  app.add_option("--copy-precedence", copyPrecedence);
  app.add_option("--ma", options.ma);
  app.add_option("--backup-set-guid", options.backupSetGuid);
  app.add_option("--range-start", rangeStart);
  app.add_option("--cache", options.cacheFile);
  app.add_flag("--read-only", options.readOnly);
  app.add_option("--log-level", logLevel);
  app.add_flag("--json", options.json);

  app.add_option("--protocol", protocol);
  app.add_option("--browse-host", options.browseHost);
  app.add_option("--local-client", options.localClient);
  app.add_option("--response-items", responseItems);
  app.add_flag("--service-thread", options.serviceThread);

  app.add_flag("--fail-init", options.failInit);
  app.add_flag("--fail-browse", options.failBrowse);
  app.add_option("--error-code", errorCode);

  app.add_option("command", options.command);
  app.positionals_at_end(false);

  // Unknown options are collected rather than thrown, so that the message
  // is ours and can suggest the option meant.
  app.allow_extras();
  try {
    app.parse(argc, argv);
  } catch (const CLI::ArgumentMismatch& error) {
    // CLI11 says "--index: 1 required TEXT missing".
    const std::string what = error.what();
    const std::string option = what.substr(0, what.find(':'));
    ReportError((option.rfind("-", 0) == 0 ? option + " needs a value" : what) + "; see --help");
    return false;
  } catch (const CLI::ParseError& error) {
    ReportError(std::string("cannot read the command line: ") + error.what() + "; see --help");
    return false;
  }
  for (const std::string& extra : app.remaining()) {
    if (extra == "--") continue;
    const std::string option = extra.substr(0, extra.find('='));
    ReportError("unknown option " + Echo(option) + Suggestion(option, OptionNames(app)) +
                "; see --help");
    return false;
  }

  NumberReader numbers(app);
  numbers.Signed("--app-type", appType, INT_MIN, INT_MAX, options.appType);
  numbers.Unsigned("--page-size", pageSize, 1, options.pageSize);
  numbers.Signed("--name-length", nameLength, kShortestNameLength, kLongestNameLength,
                 options.nameLength);
  numbers.Signed("--copy-precedence", copyPrecedence, 0, UINT_MAX, options.copyPrecedence);
  numbers.Unsigned("--range-start", rangeStart, 0, options.rangeStart);
  numbers.Signed("--log-level", logLevel, INT_MIN, INT_MAX, options.logLevel);
  numbers.Signed("--response-items", responseItems, 1, INT_MAX, options.responseItems);
  numbers.Signed("--error-code", errorCode, INT_MIN, INT_MAX, options.errorCode);
  std::string error = numbers.error();
  // An empty name would name no file at all: the tool would run without
  // the cache or catalogue it was given.
  const std::pair<const char*, const std::string*> files[] = {{"--cache", &options.cacheFile},
                                                              {"--index", &options.indexFile}};
  for (const auto& [option, file] : files) {
    if (error.empty() && numbers.Given(option) && file->empty()) {
      error = std::string(option) + " needs a file name, not an empty one";
    }
  }

  options.hasAppType = numbers.Given("--app-type");
  options.hasRangeStart = numbers.Given("--range-start");
  options.hasLogLevel = numbers.Given("--log-level");
  options.hasErrorCode = numbers.Given("--error-code");
  options.v1 = protocol == "v1";
  for (const char* option :
       {"--index", "--path", "--app-type", "--page-size", "--name-length", "--copy-precedence",
        "--ma", "--backup-set-guid", "--range-start", "--cache", "--read-only"}) {
    if (numbers.Given(option)) options.itemOptionsGiven.push_back(option);
  }

  // Options that cannot both hold: one of them would be silently ignored.
  const std::pair<bool, const char*> conflicts[] = {
      {protocol != "v1" && protocol != "v2", "--protocol must be v1 or v2"},
      {numbers.Given("--browse-host") && !options.v1,
       "--browse-host needs --protocol v1: V2 requests name no browse host"},
      {numbers.Given("--local-client") && !options.v1,
       "--local-client needs --protocol v1: only V1 browses are answered in process"},
      {numbers.Given("--ma") && numbers.Given("--browse-host"),
       "--ma and --browse-host both name the browse host; give one of them"},
      {options.failBrowse && options.hasErrorCode,
       "--fail-browse and --error-code both say how a browse fails; give one of them"},
      {options.indexFile == "-" && options.command.empty() && !options.help && !options.version,
       "--index - reads the catalogue from standard input, which then holds no commands; give "
       "the command on the command line"},
  };
  for (const auto& conflict : conflicts) {
    if (error.empty() && conflict.first) error = conflict.second;
  }
  if (!error.empty()) {
    ReportError(error);
    return false;
  }
  return true;
}
