// Where a session's lines come from: a script on standard input, read as
// is, or a person at a terminal, who gets line editing and history.
#ifndef EXTENTBROWSE_TOOLS_LINEREADER_H
#define EXTENTBROWSE_TOOLS_LINEREADER_H

#include <cstddef>
#include <iosfwd>
#include <memory>
#include <string>

class LineReader {
 public:
  virtual ~LineReader() = default;
  // The next line, without its line feed. False at the end of input, when
  // input cannot be read (see error()), or once a stop signal arrived.
  virtual bool Next(std::string& line) = 0;
  // errno of a failed read of standard input, or 0.
  virtual int error() const = 0;
  // Whether the line Next gave was longer than kLongestLine: it is then
  // empty, and the rest of it was passed over.
  virtual bool tooLong() const { return false; }

  // A command line holds a command and its numbers; this is far more than
  // any needs, and bounds what a line without an end costs.
  static constexpr std::size_t kLongestLine = 1 << 20;
};

// Standard input, edited through libedit when it is a terminal. `out` is
// flushed before each prompt, so answers come before the next one.
std::unique_ptr<LineReader> MakeStdinReader(std::ostream& out);

#endif  // EXTENTBROWSE_TOOLS_LINEREADER_H
