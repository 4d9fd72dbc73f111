// Standard output that remembers why it failed.
#ifndef EXTENTBROWSE_TOOLS_OUTPUT_H
#define EXTENTBROWSE_TOOLS_OUTPUT_H

#include <streambuf>

// A buffer over a file descriptor, written with write(2) so that the
// reason a write failed is kept: a reader that went away (EPIPE) ends a
// session quietly, a full disk is an error worth a message. After the first
// failure everything else is dropped.
//
// A reader that stopped reading must not keep a stop signal from ending
// the tool: a write waits for room, and once a stop signal has come, for at
// most kStopGraceMs more; then what is left is dropped (kDropped).
class FdOutput : public std::streambuf {
 public:
  // error() of output dropped because a stop signal came while it could
  // not be written.
  static constexpr int kDropped = -1;
  static constexpr int kStopGraceMs = 200;
  static constexpr int kTakenBackPollMs = 50;

  explicit FdOutput(int fd) : fd_(fd) { setp(buffer_, buffer_ + sizeof buffer_); }
  ~FdOutput() override { Flush(); }
  FdOutput(const FdOutput&) = delete;
  FdOutput& operator=(const FdOutput&) = delete;

  // errno of the first failed write, kDropped, or 0.
  int error() const { return error_; }

 protected:
  int_type overflow(int_type c) override;
  int sync() override { return Flush() ? 0 : -1; }

 private:
  bool Flush();
  // Waits until `fd_` can take a write without blocking; false once a stop
  // signal's grace has passed first.
  bool Writable();

  int fd_;
  long long stopDeadlineMs_ = -1;  // on CLOCK_MONOTONIC, once a stop signal came
  int error_ = 0;
  char buffer_[8192];
};

#endif  // EXTENTBROWSE_TOOLS_OUTPUT_H
