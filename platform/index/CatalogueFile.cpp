#include "ebindex/CatalogueFile.h"

#include <cerrno>
#include <cstdlib>
#include <vector>

#include "ExtentNameConverter.h"

namespace ebindex {
namespace {

std::vector<std::string> SplitOnTabs(const std::string& line) {
  std::vector<std::string> fields;
  std::string::size_type start = 0;
  for (;;) {
    const std::string::size_type tab = line.find('\t', start);
    fields.push_back(line.substr(start, tab - start));
    if (tab == std::string::npos) return fields;
    start = tab + 1;
  }
}

// Digits only: strtoull alone would take signs, blanks and "0x".
bool ParseNumber(const std::string& text, unsigned long long& value) {
  if (text.empty() || text.find_first_not_of("0123456789") != std::string::npos) return false;
  errno = 0;
  value = std::strtoull(text.c_str(), nullptr, 10);
  return errno != ERANGE;
}

}  // namespace

bool LoadCatalogue(std::istream& in, const std::string& fileName, unsigned int nameLength,
                   Catalogue& catalogue, std::string& error) {
  static const char* const kColumns[] = {"EXTENT", "AFILEID", "AFILEVALUE"};
  std::string line;
  for (int lineNumber = 1; std::getline(in, line); ++lineNumber) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.find_first_not_of(" \t") == std::string::npos || line[0] == '#') continue;

    const auto fail = [&](const std::string& what) {
      error = fileName + ":" + std::to_string(lineNumber) + ": " + what;
      return false;
    };
    const std::vector<std::string> fields = SplitOnTabs(line);
    if (fields.size() < 5 || fields.size() > 6) {
      return fail("expected 5 or 6 tab-separated fields, found " + std::to_string(fields.size()));
    }
    if (fields[0].empty()) return fail("PATH is empty");
    unsigned long long numbers[3];
    for (int i = 0; i < 3; ++i) {
      if (!ParseNumber(fields[i + 1], numbers[i])) {
        return fail(std::string(kColumns[i]) + " '" + fields[i + 1] +
                    "' is not an unsigned 64-bit decimal number");
      }
    }
    if (fields[4] != "0" && fields[4] != "1") {
      return fail("EMPTY '" + fields[4] + "' is not 0 or 1");
    }

    Entry entry;
    entry.extent = numbers[0];
    entry.afileId = numbers[1];
    entry.afileValue = numbers[2];
    entry.empty = fields[4] == "1";
    if (fields.size() == 6) {
      if (fields[5].empty()) return fail("NAME is empty");
      entry.name = fields[5];
    } else {
      char buffer[ExtentNameConverter::kMaxNameLength + 1] = {};
      ExtentNameConverter::Extent_dec_to_base32_v2(entry.extent, buffer, nameLength);
      entry.name = buffer;
    }
    catalogue.addEntry(fields[0], entry);
  }
  if (in.bad()) {
    error = fileName + ": read error";
    return false;
  }
  return true;
}

}  // namespace ebindex
