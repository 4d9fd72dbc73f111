#include "Output.h"

#include <unistd.h>
#include <cerrno>

FdOutput::int_type FdOutput::overflow(int_type c) {
  if (!Flush()) return traits_type::eof();
  if (!traits_type::eq_int_type(c, traits_type::eof())) {
    *pptr() = traits_type::to_char_type(c);
    pbump(1);
  }
  return traits_type::not_eof(c);
}

bool FdOutput::Flush() {
  const char* data = pbase();
  std::size_t left = static_cast<std::size_t>(pptr() - pbase());
  while (left > 0 && error_ == 0) {
    const ssize_t written = write(fd_, data, left);
    if (written < 0) {
      if (errno != EINTR) error_ = errno;
      continue;
    }
    data += written;
    left -= static_cast<std::size_t>(written);
  }
  setp(buffer_, buffer_ + sizeof buffer_);
  return error_ == 0;
}
