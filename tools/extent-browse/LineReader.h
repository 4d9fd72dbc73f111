// Where a session's lines come from: a script on standard input, read as
// is, or a person at a terminal, who gets line editing and history.
#ifndef EXTENTBROWSE_TOOLS_LINEREADER_H
#define EXTENTBROWSE_TOOLS_LINEREADER_H

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
};

// Standard input, edited through libedit when it is a terminal. `out` is
// flushed before each prompt, so answers come before the next one.
std::unique_ptr<LineReader> MakeStdinReader(std::ostream& out);

#endif  // EXTENTBROWSE_TOOLS_LINEREADER_H
