#include "FdInput.h"

#include <unistd.h>
#include <cerrno>

#include "Signals.h"

FdInput::int_type FdInput::underflow() {
  while (error_ == 0 && !stopped_) {
    // Until a FIFO has had a writer, reading it says "end of file".
    const Wait wait = WaitToRead(fd_, waitForWriter_ ? kWriterWaitMs : -1);
    if (wait == Wait::kStop) {
      stopped_ = true;
    } else if (wait == Wait::kTimeout) {
      error_ = ETIMEDOUT;
    } else if (wait == Wait::kError) {
      error_ = errno;
    } else {
      waitForWriter_ = false;
      const ssize_t got = read(fd_, buffer_, sizeof buffer_);
      if (got > 0) {
        setg(buffer_, buffer_, buffer_ + got);
        return traits_type::to_int_type(buffer_[0]);
      }
      if (got == 0) break;
      if (errno != EINTR && errno != EAGAIN) error_ = errno;
    }
  }
  return traits_type::eof();
}
