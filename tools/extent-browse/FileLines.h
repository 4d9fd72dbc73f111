// The lines of a file, read a chunk at a time from its start, so that a
// file is judged as it is read: a line longer than its reader allows is
// known to be so once that many bytes have passed, and nothing of a line
// already judged is held.
#ifndef EXTENTBROWSE_TOOLS_FILELINES_H
#define EXTENTBROWSE_TOOLS_FILELINES_H

#include <cstddef>
#include <string>

class FileLines {
 public:
  enum class Read {
    kLine,     // a line, its line feed dropped
    kLast,     // the file's last line, which has no line feed
    kTooLong,  // a line longer than asked for: `line` holds its first bytes
    kEnd,      // nothing more
    kError,    // a read failed: see error()
  };

  // Reads `fd` by offset from its start; the descriptor is not owned.
  explicit FileLines(int fd) : fd_(fd) {}

  // The next line, of at most `longest` bytes. After kTooLong the reader
  // stands inside that line: the caller has its verdict and stops.
  Read Next(std::string& line, std::size_t longest);

  // The next byte without taking it, or -1 at the end or on a failed read.
  int Peek();

  // Passes over blanks, line feeds among them. False at the end of the
  // file or on a failed read.
  bool SkipBlanks();

  // The number of the line the next byte belongs to, from 1.
  std::size_t lineNumber() const { return lineNumber_; }
  // errno of a failed read, or 0.
  int error() const { return error_; }

 private:
  // Makes sure a byte is buffered; false at the end or on a failed read.
  bool Fill();

  int fd_;
  std::string chunk_;
  std::size_t at_ = 0;             // next byte of chunk_
  unsigned long long offset_ = 0;  // of the byte after chunk_ in the file
  bool end_ = false;
  int error_ = 0;
  std::size_t lineNumber_ = 1;
};

bool IsBlank(char c);

#endif  // EXTENTBROWSE_TOOLS_FILELINES_H
