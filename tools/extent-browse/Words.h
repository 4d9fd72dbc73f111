// The words of a line of a session, split as a shell splits them.
#ifndef EXTENTBROWSE_TOOLS_WORDS_H
#define EXTENTBROWSE_TOOLS_WORDS_H

#include <string>
#include <vector>

// Splits `line` at blanks (a carriage return among them). Quotes keep blanks in a word ('a b' or
// "a b"); inside double quotes, \" and \\ stand for " and \. A word that
// starts with an unquoted '#' starts a comment, which runs to the end of
// the line. False, with `error`, when a quote is not closed.
bool SplitWords(const std::string& line, std::vector<std::string>& words, std::string& error);

#endif  // EXTENTBROWSE_TOOLS_WORDS_H
