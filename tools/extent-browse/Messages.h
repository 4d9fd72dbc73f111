// What the tool says on standard error, and how it quotes what it was given.
//
// Every message is one line, "extent-browse: ..." in the tool's own words.
// Whatever a message repeats of the user's input (a word, a file name, a
// line of a catalogue) is cut short and has its control bytes escaped, so
// that a huge or binary input gives a short, readable line.
#ifndef EXTENTBROWSE_TOOLS_MESSAGES_H
#define EXTENTBROWSE_TOOLS_MESSAGES_H

#include <string>
#include <vector>

// Prints "extent-browse: <message>" on stderr.
void ReportError(const std::string& message);
// Prints "extent-browse: warning: <message>" on stderr.
void ReportWarning(const std::string& message);

// `text` as a message may quote it: at most about 200 bytes (a longer text
// is cut, saying how long it was), control bytes written as \xNN.
std::string Echo(const std::string& text);

// `text` whole, its control bytes written as \xNN.
std::string Printable(const std::string& text);

// " (did you mean NAME?)" for the name of `names` nearest to `word`, or ""
// when none is near enough to be what was meant.
std::string Suggestion(const std::string& word, const std::vector<std::string>& names);

#endif  // EXTENTBROWSE_TOOLS_MESSAGES_H
