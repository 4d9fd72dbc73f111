#include "FileLines.h"

#include <unistd.h>
#include <cerrno>
#include <cstring>

namespace {

constexpr std::size_t kChunk = 64 * 1024;

}  // namespace

bool IsBlank(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}

bool FileLines::Fill() {
  if (at_ < chunk_.size()) return true;
  while (!end_ && error_ == 0) {
    chunk_.resize(kChunk);
    const ssize_t got = pread(fd_, &chunk_[0], kChunk, static_cast<off_t>(offset_));
    chunk_.resize(got > 0 ? static_cast<std::size_t>(got) : 0);
    at_ = 0;
    if (got > 0) {
      offset_ += static_cast<unsigned long long>(got);
      return true;
    }
    if (got == 0) {
      end_ = true;
    } else if (errno != EINTR) {
      error_ = errno;
    }
  }
  return false;
}

FileLines::Read FileLines::Next(std::string& line, std::size_t longest) {
  line.clear();
  while (Fill()) {
    const char* const start = chunk_.data() + at_;
    const std::size_t left = chunk_.size() - at_;
    const char* const newline = static_cast<const char*>(std::memchr(start, '\n', left));
    const std::size_t take = newline != nullptr ? static_cast<std::size_t>(newline - start) : left;
    if (line.size() + take > longest) {
      const std::size_t kept = longest - line.size();
      line.append(start, kept);
      at_ += kept;
      return Read::kTooLong;
    }
    line.append(start, take);
    if (newline != nullptr) {
      at_ += take + 1;
      ++lineNumber_;
      return Read::kLine;
    }
    at_ = chunk_.size();
  }
  if (error_ != 0) return Read::kError;
  return line.empty() ? Read::kEnd : Read::kLast;
}

int FileLines::Peek() { return Fill() ? static_cast<unsigned char>(chunk_[at_]) : -1; }

bool FileLines::SkipBlanks() {
  while (Fill()) {
    const char c = chunk_[at_];
    if (!IsBlank(c)) return true;
    if (c == '\n') ++lineNumber_;
    ++at_;
  }
  return false;
}
