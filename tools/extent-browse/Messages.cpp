#include "Messages.h"

#include <algorithm>
#include <cstdio>
#include <iostream>

namespace {

constexpr std::size_t kLongestEcho = 200;
// Messages built elsewhere (the catalogue loader's) quote whole fields; a
// message past this keeps its start and its end, where the reason is.
constexpr std::size_t kLongestMessage = 600;
constexpr std::size_t kKeptEnd = 120;

bool IsControl(char c) { return static_cast<unsigned char>(c) < 0x20 || c == 0x7f; }

std::string EscapeControls(const std::string& text) {
  std::string escaped;
  escaped.reserve(text.size());
  for (const char c : text) {
    if (!IsControl(c)) {
      escaped += c;
      continue;
    }
    char code[5];
    std::snprintf(code, sizeof code, "\\x%02x", static_cast<unsigned char>(c));
    escaped += code;
  }
  return escaped;
}

// Where to cut `text` at or before `at` without splitting a UTF-8 character.
std::size_t CharacterStart(const std::string& text, std::size_t at) {
  while (at > 0 && (static_cast<unsigned char>(text[at]) & 0xC0) == 0x80) --at;
  return at;
}

std::string Bounded(const std::string& message) {
  const std::string escaped = EscapeControls(message);
  if (escaped.size() <= kLongestMessage) return escaped;
  const std::size_t head = CharacterStart(escaped, kLongestMessage - kKeptEnd);
  const std::size_t tail = CharacterStart(escaped, escaped.size() - kKeptEnd);
  return escaped.substr(0, head) + "[...]" + escaped.substr(tail);
}

// The edit distance between two words, for suggestions: short words only.
std::size_t Distance(const std::string& a, const std::string& b) {
  std::vector<std::size_t> row(b.size() + 1);
  for (std::size_t j = 0; j <= b.size(); ++j) row[j] = j;
  for (std::size_t i = 1; i <= a.size(); ++i) {
    std::size_t diagonal = row[0];
    row[0] = i;
    for (std::size_t j = 1; j <= b.size(); ++j) {
      const std::size_t above = row[j];
      row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (a[i - 1] != b[j - 1])});
      diagonal = above;
    }
  }
  return row[b.size()];
}

}  // namespace

void ReportError(const std::string& message) {
  std::cerr << "extent-browse: " << Bounded(message) << "\n";
}

void ReportWarning(const std::string& message) {
  std::cerr << "extent-browse: warning: " << Bounded(message) << "\n";
}

std::string Printable(const std::string& text) { return EscapeControls(text); }

std::string Echo(const std::string& text) {
  if (text.size() <= kLongestEcho) return EscapeControls(text);
  return EscapeControls(text.substr(0, CharacterStart(text, kLongestEcho))) + "... (" +
         std::to_string(text.size()) + " bytes)";
}

std::string Suggestion(const std::string& word, const std::vector<std::string>& names) {
  // Item paths are names too; a word longer than any sane path is no typo.
  if (word.size() > 1024) return std::string();
  std::string nearest;
  std::size_t best = 0;
  for (const std::string& name : names) {
    // Names that differ in length by more than the allowed edits cannot be
    // meant, and cost nothing to pass over.
    const std::size_t apart =
        word.size() > name.size() ? word.size() - name.size() : name.size() - word.size();
    if (apart > 3 || name.size() > 1024) continue;
    const std::size_t distance = Distance(word, name);
    if (nearest.empty() || distance < best) {
      nearest = name;
      best = distance;
    }
  }
  // A third of the name may be wrong, but at least one letter and at most three.
  const std::size_t allowed =
      std::min<std::size_t>(3, std::max<std::size_t>(1, nearest.size() / 3));
  return !nearest.empty() && best <= allowed ? " (did you mean " + Echo(nearest) + "?)"
                                             : std::string();
}
