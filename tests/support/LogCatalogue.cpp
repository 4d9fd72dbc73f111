#include "support/LogCatalogue.h"

#include <algorithm>
#include <fstream>
#include <regex>
#include <set>
#include <stdexcept>

namespace ebtest {

namespace {

// Rows of the catalogue's table: | `format` | level | `function` | who |.
std::vector<CataloguedLine> ReadCatalogue() {
  std::ifstream guide(EB_SOURCE_DIR "/docs/embedding.md");
  if (!guide) throw std::runtime_error("cannot read " EB_SOURCE_DIR "/docs/embedding.md");
  const std::regex row(R"(^\| `(.*)` \| (-?\d) \| `(.*)` \| .*\|$)");
  std::vector<CataloguedLine> rows;
  bool inCatalogue = false;
  for (std::string text; std::getline(guide, text);) {
    if (text.rfind("## ", 0) == 0) inCatalogue = text == "## Log line catalogue";
    std::smatch match;
    if (inCatalogue && std::regex_match(text, match, row)) {
      rows.push_back({std::stoi(match[2]), match[1], match[3]});
    }
  }
  return rows;
}

std::string ReplaceAll(std::string text, const std::regex& pattern, const char* with) {
  return std::regex_replace(text, pattern, with);
}

}  // namespace

const std::vector<CataloguedLine>& LogCatalogue() {
  static const std::vector<CataloguedLine> rows = ReadCatalogue();
  return rows;
}

std::string GccSignature(const std::string& function) {
  // clang spells the integer types the other way round, sets '*' and '&'
  // off from the type, and names a string by its alias inside a template.
  static const std::regex longLong(R"(\bunsigned long long\b)"), longOnly(R"(\bunsigned long\b)"),
      apart(R"( ([*&]+)(?=[,)]))"), returned(R"(^(\w+) \*)"), alias(R"(<std::string>)");
  std::string text = ReplaceAll(function, alias, "<std::__cxx11::basic_string<char> >");
  text = ReplaceAll(text, longLong, "long long unsigned int");
  text = ReplaceAll(text, longOnly, "long unsigned int");
  text = ReplaceAll(text, apart, "$1");
  return ReplaceAll(text, returned, "$1* ");
}

std::string UncataloguedLines(const std::vector<CCaptureLogWriter::Line>& lines) {
  const std::vector<CataloguedLine>& rows = LogCatalogue();
  std::set<std::string> missing;
  for (const CCaptureLogWriter::Line& line : lines) {
    if (line.function.find("ThrdPerfCounter::") != std::string::npos) continue;
    const std::string function = GccSignature(line.function);
    const bool held = std::any_of(rows.begin(), rows.end(), [&](const CataloguedLine& row) {
      return row.level == line.level && row.format == line.format && row.function == function;
    });
    if (!held)
      missing.insert(std::to_string(line.level) + " `" + line.format + "` `" + function + "`");
  }
  std::string text;
  for (const std::string& one : missing) text += one + "\n";
  return text;
}

}  // namespace ebtest
