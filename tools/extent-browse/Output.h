// Standard output that remembers why it failed.
#ifndef EXTENTBROWSE_TOOLS_OUTPUT_H
#define EXTENTBROWSE_TOOLS_OUTPUT_H

#include <streambuf>

// A buffer over a file descriptor, written with write(2) so that the
// reason a write failed is kept: a reader that went away (EPIPE) ends a
// session quietly, a full disk is an error worth a message. After the first
// failure everything else is dropped.
class FdOutput : public std::streambuf {
 public:
  explicit FdOutput(int fd) : fd_(fd) { setp(buffer_, buffer_ + sizeof buffer_); }
  ~FdOutput() override { Flush(); }
  FdOutput(const FdOutput&) = delete;
  FdOutput& operator=(const FdOutput&) = delete;

  // errno of the first failed write, or 0.
  int error() const { return error_; }

 protected:
  int_type overflow(int_type c) override;
  int sync() override { return Flush() ? 0 : -1; }

 private:
  bool Flush();

  int fd_;
  int error_ = 0;
  char buffer_[8192];
};

#endif  // EXTENTBROWSE_TOOLS_OUTPUT_H
