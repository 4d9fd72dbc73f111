#include "ebindex/CatalogueFile.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <unordered_map>
#include <utility>
#include <vector>

#include "ebindex/IndexService.h"

namespace ebindex {
namespace {

constexpr char kByteOrderMark[] = "\xEF\xBB\xBF";
// A line holds a path, four numbers and a name; one longer than this is no
// catalogue line, and reading on would only hold more of it.
constexpr std::size_t kLongestLine = 64 * 1024;
// What a message quotes of a field: enough to see which it is.
constexpr std::size_t kLongestQuote = 100;

enum class LineRead { kLine, kEnd, kTooLong };

// The next line without its line feed, read no further than kLongestLine
// into `buffer` (of kLongestLine + 1 characters), then into `line`.
LineRead ReadLine(std::istream& in, std::vector<char>& buffer, std::string& line) {
  line.clear();
  // istream::getline stores at most size - 1 characters, and fails only
  // when more follow before the line feed, or when nothing is left.
  in.getline(buffer.data(), static_cast<std::streamsize>(buffer.size()));
  const std::size_t got = static_cast<std::size_t>(in.gcount());
  if (in.bad() || (in.fail() && got == 0)) return LineRead::kEnd;
  if (in.fail()) return LineRead::kTooLong;
  line.assign(buffer.data(), in.eof() ? got : got - 1);
  return LineRead::kLine;
}

// A field as a message quotes it: a long one by its start and its length.
std::string Quoted(const std::string& field) {
  if (field.size() <= kLongestQuote) return field;
  std::size_t cut = kLongestQuote;
  while (cut > 0 && (static_cast<unsigned char>(field[cut]) & 0xC0) == 0x80) --cut;
  return field.substr(0, cut) + "... (" + std::to_string(field.size()) + " bytes)";
}

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

const char* SchemeTitle(NameScheme scheme) {
  switch (scheme) {
    case NameScheme::kDecimal:
      return "Extent<decimal>";
    case NameScheme::kHex:
      return "Ext_<hex>";
    default:
      return "base32";
  }
}

// What the loader has seen of one item, to refuse what the index could not
// hold. Names are checked to be the one name of their extent in their
// scheme, so two entries under one name are two entries for one extent.
struct ItemSeen {
  std::unordered_map<unsigned long long, int> extentLines;
  int decimalLine = 0;  // first line with an Extent<decimal> name, or 0
  int hexLine = 0;      // first line with an Ext_<hex> name, or 0
};

}  // namespace

bool LoadCatalogue(std::istream& in, const std::string& fileName, unsigned int nameLength,
                   Catalogue& catalogue, std::string& error) {
  static const char* const kColumns[] = {"EXTENT", "AFILEID", "AFILEVALUE"};
  std::unordered_map<std::string, ItemSeen> seen;
  std::string line;
  std::vector<char> buffer(kLongestLine + 1);
  for (int lineNumber = 1;; ++lineNumber) {
    const LineRead read = ReadLine(in, buffer, line);
    if (read == LineRead::kEnd) break;
    // Editors on some systems start a UTF-8 file with a byte order mark.
    if (lineNumber == 1 && line.compare(0, sizeof kByteOrderMark - 1, kByteOrderMark) == 0) {
      line.erase(0, sizeof kByteOrderMark - 1);
    }
    const auto fail = [&](const std::string& what) {
      error = fileName + ":" + std::to_string(lineNumber) + ": " + what;
      return false;
    };
    if (read == LineRead::kTooLong) {
      return fail("the line is longer than the " + std::to_string(kLongestLine) +
                  " bytes a catalogue line may hold");
    }
    // A path that held one would name another item than the one browsed:
    // the browse request carries it as a C string.
    if (line.find('\0') != std::string::npos) return fail("the line holds a NUL byte");
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.find_first_not_of(" \t") == std::string::npos || line[0] == '#') continue;

    const std::vector<std::string> fields = SplitOnTabs(line);
    if (fields.size() < 5 || fields.size() > 6) {
      return fail("expected 5 or 6 tab-separated fields, found " + std::to_string(fields.size()));
    }
    if (fields[0].empty()) return fail("PATH is empty");
    unsigned long long numbers[3];
    for (int i = 0; i < 3; ++i) {
      if (!ParseNumber(fields[i + 1], numbers[i])) {
        return fail(std::string(kColumns[i]) + " '" + Quoted(fields[i + 1]) +
                    "' is not an unsigned 64-bit decimal number");
      }
    }
    if (fields[4] != "0" && fields[4] != "1") {
      return fail("EMPTY '" + Quoted(fields[4]) + "' is not 0 or 1");
    }

    Entry entry;
    entry.extent = numbers[0];
    entry.afileId = numbers[1];
    entry.afileValue = numbers[2];
    entry.empty = fields[4] == "1";
    NameScheme scheme = NameScheme::kBase32;
    if (fields.size() == 6) {
      if (fields[5].empty()) return fail("NAME is empty");
      entry.name = fields[5];
      scheme = SchemeOfName(entry.name);
      // A browser pages by the names it writes itself; a name it would never
      // write is an extent it can never be shown.
      // Browsers read Extent<decimal> names as signed numbers.
      const bool readsBack = scheme != NameScheme::kDecimal ||
                             entry.extent <= static_cast<unsigned long long>(LLONG_MAX);
      if (!readsBack) {
        return fail("extent " + fields[1] + " has no " + SchemeTitle(scheme) +
                    " name: such names read back as signed 64-bit numbers");
      }
      const std::string expected = ExtentName(scheme, entry.extent, nameLength);
      if (entry.name != expected) {
        return fail("NAME '" + Quoted(entry.name) + "' is not the " + SchemeTitle(scheme) +
                    " name of extent " + fields[1] + ", which is '" + expected + "'");
      }
    } else {
      entry.name = ExtentName(scheme, entry.extent, nameLength);
    }

    ItemSeen& item = seen[Catalogue::normalisePath(fields[0])];
    const auto sameExtent = item.extentLines.find(entry.extent);
    if (sameExtent != item.extentLines.end()) {
      return fail("extent " + fields[1] + " of " + Quoted(fields[0]) + " is already on line " +
                  std::to_string(sameExtent->second));
    }
    int& schemeLine = scheme == NameScheme::kDecimal ? item.decimalLine : item.hexLine;
    const int otherLine = scheme == NameScheme::kDecimal ? item.hexLine : item.decimalLine;
    if (scheme != NameScheme::kBase32) {
      if (otherLine != 0) {
        return fail(Quoted(fields[0]) + " mixes Extent<decimal> and Ext_<hex> names (line " +
                    std::to_string(otherLine) + "), which no browser reads together");
      }
      if (schemeLine == 0) schemeLine = lineNumber;
    }
    item.extentLines.emplace(entry.extent, lineNumber);
    catalogue.addEntry(fields[0], entry);
  }
  if (in.bad()) {
    error = fileName + ": read error";
    return false;
  }
  return true;
}

bool InstallCatalogueFile(const std::string& file, unsigned int nameLength, std::string& error) {
  std::ifstream in(file);
  const int reason = errno;
  // A folder opens, and reads as an empty file.
  std::error_code ignored;
  if (!in || std::filesystem::is_directory(file, ignored)) {
    error = "cannot read " + file + ": " + std::strerror(in ? EISDIR : reason);
    return false;
  }
  Catalogue catalogue;
  if (!LoadCatalogue(in, file, nameLength, catalogue, error)) return false;
  IndexService::instance().setCatalogue(std::move(catalogue));
  return true;
}

}  // namespace ebindex
