#include "Output.h"

#include <limits.h>
#include <poll.h>
#include <time.h>
#include <unistd.h>
#include <algorithm>
#include <cerrno>

#include "Signals.h"

namespace {

long long NowMs() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<long long>(now.tv_sec) * 1000 + now.tv_nsec / 1000000;
}

}  // namespace

FdOutput::int_type FdOutput::overflow(int_type c) {
  if (!Flush()) return traits_type::eof();
  if (!traits_type::eq_int_type(c, traits_type::eof())) {
    *pptr() = traits_type::to_char_type(c);
    pbump(1);
  }
  return traits_type::not_eof(c);
}

bool FdOutput::Writable() {
  for (;;) {
    // At a terminal an interrupt is taken back and the session goes on: the
    // output waits for its reader (a pager, say), and the grace is per end.
    const bool ending = StopEndsSession();
    if (!ending) stopDeadlineMs_ = -1;
    if (ending && stopDeadlineMs_ < 0) stopDeadlineMs_ = NowMs() + kStopGraceMs;
    // Once a signal came the wake pipe stays readable; then the end is
    // looked for between short waits instead.
    const bool signalled = StopSignal() != 0;
    const int wake = signalled ? -1 : StopSignalFd();
    pollfd fds[2] = {{fd_, POLLOUT, 0}, {wake, POLLIN, 0}};
    const int timeout = ending      ? static_cast<int>(std::max(0LL, stopDeadlineMs_ - NowMs()))
                        : signalled ? kTakenBackPollMs
                                    : -1;
    const int ready = poll(fds, wake >= 0 ? 2 : 1, timeout);
    if (ready < 0 && errno == EINTR) continue;
    // A descriptor poll cannot wait on is written as it is.
    if (ready < 0 || fds[0].revents != 0) return true;
    if (ready == 0 && ending) return false;
  }
}

bool FdOutput::Flush() {
  const char* data = pbase();
  std::size_t left = static_cast<std::size_t>(pptr() - pbase());
  while (left > 0 && error_ == 0) {
    if (!Writable()) {
      error_ = kDropped;
      break;
    }
    // Room for PIPE_BUF bytes is what a pipe that polls writable has.
    const ssize_t written = write(fd_, data, std::min<std::size_t>(left, PIPE_BUF));
    if (written < 0) {
      if (errno != EINTR && errno != EAGAIN) error_ = errno;
      continue;
    }
    data += written;
    left -= static_cast<std::size_t>(written);
  }
  setp(buffer_, buffer_ + sizeof buffer_);
  return error_ == 0;
}
