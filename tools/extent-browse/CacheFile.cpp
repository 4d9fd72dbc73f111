#include "CacheFile.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <unistd.h>

#include "extentbrowse/ExtentBrowseImpl.h"

namespace {

std::size_t CountRecords(const std::string& block) {
  std::size_t lines = 0;
  for (const char c : block) lines += c == '\n';
  return lines >= 2 ? lines - 2 : 0;  // less the two markers
}

bool WriteAll(int fd, const std::string& text) {
  const char* data = text.data();
  std::size_t left = text.size();
  while (left > 0) {
    const ssize_t written = write(fd, data, left);
    if (written < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    data += written;
    left -= static_cast<std::size_t>(written);
  }
  return true;
}

}  // namespace

bool SaveCacheFile(ExtentBrowseImpl& browser, const std::string& file, std::size_t& records,
                   std::string& error) {
  std::stringstream block;
  if (!browser.SaveExtentInfo(&block)) {
    error = "cannot write the extent-info block for " + file;
    return false;
  }
  const std::string text = block.str();

  std::string temporary = file + ".XXXXXX";
  const int fd = mkstemp(&temporary[0]);
  if (fd < 0) {
    error = "cannot create a temporary file beside " + file + ": " + std::strerror(errno);
    return false;
  }
  const bool written = WriteAll(fd, text) && fsync(fd) == 0;
  const int savedErrno = errno;
  if (close(fd) != 0 || !written || std::rename(temporary.c_str(), file.c_str()) != 0) {
    error = "cannot write " + file + ": " + std::strerror(written ? errno : savedErrno);
    std::remove(temporary.c_str());
    return false;
  }
  records = CountRecords(text);
  return true;
}

bool ReadCacheFile(const std::string& file, std::stringstream& content) {
  std::ifstream in(file, std::ios::binary);
  if (!in) return false;
  content << in.rdbuf();
  content.seekg(0);
  return true;
}
