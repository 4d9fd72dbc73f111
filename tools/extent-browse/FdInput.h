// Input over a file descriptor that never outwaits the person running the
// tool: a stop signal ends a read that waits, and a FIFO that no process
// opens for writing ends as an error rather than a hang.
#ifndef EXTENTBROWSE_TOOLS_FDINPUT_H
#define EXTENTBROWSE_TOOLS_FDINPUT_H

#include <streambuf>

class FdInput : public std::streambuf {
 public:
  // How long a FIFO's reader waits for its first writer.
  static constexpr int kWriterWaitMs = 3000;

  // `fd` is not owned. A FIFO must have been opened with O_NONBLOCK, so that
  // the open itself did not wait for a writer.
  FdInput(int fd, bool fifo) : fd_(fd), waitForWriter_(fifo) {}
  FdInput(const FdInput&) = delete;
  FdInput& operator=(const FdInput&) = delete;

  // errno of the read that failed, or 0; ETIMEDOUT when a FIFO got no
  // writer in time.
  int error() const { return error_; }
  // Whether a stop signal ended the input.
  bool stopped() const { return stopped_; }

 protected:
  int_type underflow() override;

 private:
  int fd_;
  bool waitForWriter_;
  int error_ = 0;
  bool stopped_ = false;
  char buffer_[64 * 1024];
};

#endif  // EXTENTBROWSE_TOOLS_FDINPUT_H
