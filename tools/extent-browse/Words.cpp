#include "Words.h"

#include <cstring>

bool SplitWords(const std::string& line, std::vector<std::string>& words, std::string& error) {
  words.clear();
  std::string word;
  bool inWord = false;
  char quote = 0;
  for (std::size_t at = 0; at < line.size(); ++at) {
    const char c = line[at];
    if (quote != 0) {
      if (c == quote) {
        quote = 0;
      } else if (quote == '"' && c == '\\' && at + 1 < line.size() &&
                 (line[at + 1] == '"' || line[at + 1] == '\\')) {
        word += line[++at];
      } else {
        word += c;
      }
      continue;
    }
    if (c != '\0' && std::strchr(" \t\r\v\f", c) != nullptr) {
      if (inWord) words.push_back(word);
      word.clear();
      inWord = false;
      continue;
    }
    if (c == '#' && !inWord) return true;
    inWord = true;
    if (c == '\'' || c == '"') {
      quote = c;
    } else {
      word += c;
    }
  }
  if (quote != 0) {
    error = std::string("the ") + (quote == '"' ? "double" : "single") + " quote is not closed";
    return false;
  }
  if (inWord) words.push_back(word);
  return true;
}
