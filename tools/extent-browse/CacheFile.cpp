#include "CacheFile.h"

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sstream>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

#include "ebindex/Catalogue.h"
#include "extentbrowse/ExtentBrowseImpl.h"

namespace {

constexpr char kStartMarker[] = "START_EXTENT_INFO";
constexpr char kEndMarker[] = "END_EXTENT_INFO";
constexpr char kItemLinePrefix[] = "# extent-browse cache for application type ";
constexpr char kItemLineMiddle[] = ", item ";
// Linux gives up after 40 links; so do we.
constexpr int kMaxLinks = 40;
constexpr std::size_t kReadChunk = 64 * 1024;
// Longer than any item line we write for a sane path; a longer first line
// is not ours.
constexpr std::size_t kLongestItemLine = 8192;

std::string Errno(int error) { return std::strerror(error); }

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f'; }

std::string FolderOf(const std::string& path) {
  const std::string::size_type slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

std::string BaseOf(const std::string& path) {
  const std::string::size_type slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

// The file a path finally names, following symlinks in its last part (the
// kernel follows those in its folders). A dangling link names the file it
// would create.
bool ResolveLinks(const std::string& file, std::string& target, std::string& error) {
  target = file;
  for (int links = 0; links <= kMaxLinks; ++links) {
    struct stat st;
    if (lstat(target.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return true;
    std::string link(static_cast<std::size_t>(st.st_size > 0 ? st.st_size : 4096) + 1, '\0');
    const ssize_t length = readlink(target.c_str(), &link[0], link.size());
    if (length < 0) {
      error = "cannot follow the symlink " + file + ": " + Errno(errno);
      return false;
    }
    link.resize(static_cast<std::size_t>(length));
    target = link[0] == '/' ? link : FolderOf(target) + "/" + link;
  }
  error = "cannot follow the symlink " + file + ": " + Errno(ELOOP);
  return false;
}

const char* KindOf(mode_t mode) {
  if (S_ISDIR(mode)) return "a directory";
  if (S_ISFIFO(mode)) return "a FIFO";
  if (S_ISCHR(mode) || S_ISBLK(mode)) return "a device";
  if (S_ISSOCK(mode)) return "a socket";
  return "not a regular file";
}

std::string ItemLine(const CacheItem& item) {
  return kItemLinePrefix + std::to_string(item.appType) + kItemLineMiddle + item.path + "\n";
}

bool ParseItemLine(const std::string& line, CacheItem& item) {
  if (line.compare(0, sizeof kItemLinePrefix - 1, kItemLinePrefix) != 0) return false;
  const std::string rest = line.substr(sizeof kItemLinePrefix - 1);
  const std::string::size_type middle = rest.find(kItemLineMiddle);
  if (middle == std::string::npos || middle == 0 || middle > 11) return false;
  const std::string number = rest.substr(0, middle);
  if (number.find_first_not_of("-0123456789") != std::string::npos) return false;
  errno = 0;
  char* end = nullptr;
  const long appType = std::strtol(number.c_str(), &end, 10);
  if (errno != 0 || *end != '\0' || appType < INT32_MIN || appType > INT32_MAX) return false;
  item.appType = static_cast<int>(appType);
  item.path = rest.substr(middle + sizeof kItemLineMiddle - 1);
  return !item.path.empty();
}

bool SameItem(const CacheItem& a, const CacheItem& b) {
  return a.appType == b.appType &&
         ebindex::Catalogue::normalisePath(a.path) == ebindex::Catalogue::normalisePath(b.path);
}

std::string Describe(const CacheItem& item) {
  return item.path + " (application type " + std::to_string(item.appType) + ")";
}

// Reads a file a chunk at a time, only as far as a decision needs: a large
// file that is not a cache is judged by its first chunk.
class ChunkReader {
 public:
  explicit ChunkReader(int fd) : fd_(fd) {}

  // Reads until the text holds more than `size` bytes or the file ends.
  bool Want(std::size_t size) {
    while (!end_ && text_.size() <= size) {
      const std::size_t had = text_.size();
      text_.resize(had + kReadChunk);
      const ssize_t got = read(fd_, &text_[had], kReadChunk);
      text_.resize(had + (got > 0 ? static_cast<std::size_t>(got) : 0));
      if (got < 0 && errno == EINTR) continue;
      if (got < 0) {
        error_ = errno;
        return false;
      }
      end_ = got == 0;
    }
    return true;
  }
  bool ReadAll() { return Want(static_cast<std::size_t>(-2)); }
  const std::string& text() const { return text_; }
  int error() const { return error_; }

 private:
  int fd_;
  std::string text_;
  bool end_ = false;
  int error_ = 0;
};

// The line number of `offset` in `text`.
std::size_t LineAt(const std::string& text, std::size_t offset) {
  std::size_t line = 1;
  for (std::size_t i = 0; i < offset; ++i) line += text[i] == '\n';
  return line;
}

// A record line as the library reads one: three unsigned 64-bit decimals
// separated by single blanks, nothing else.
bool IsRecordLine(const std::string& line) {
  std::size_t at = 0;
  for (int field = 0; field < 3; ++field) {
    const std::size_t start = at;
    while (at < line.size() && line[at] >= '0' && line[at] <= '9') ++at;
    if (at == start) return false;
    errno = 0;
    std::strtoull(line.substr(start, at - start).c_str(), nullptr, 10);
    if (errno == ERANGE) return false;
    if (field < 2) {
      if (at >= line.size() || line[at] != ' ') return false;
      ++at;
    }
  }
  return at == line.size();
}

// Whether the block at `start` of `text` would seed a browser: empty when
// it would, else what is wrong with it. The rules are the library's reader's
// (docs/cache-format.md), so that a block we call whole is one it uses.
std::string DamageOf(const std::string& text, std::size_t start) {
  std::size_t at = text.find('\n', start);
  if (at == std::string::npos) return "it has no " + std::string(kEndMarker) + " line";
  if (at != start + sizeof kStartMarker - 1) {
    return "line " + std::to_string(LineAt(text, start)) + " is not a record line";
  }
  for (++at; at < text.size();) {
    std::size_t end = text.find('\n', at);
    if (end == std::string::npos) end = text.size();
    const std::string line = text.substr(at, end - at);
    if (line == kEndMarker) return std::string();
    if (!line.empty() && !IsRecordLine(line)) {
      return "line " + std::to_string(LineAt(text, at)) + " is not a record line";
    }
    at = end + 1;
  }
  return "it has no " + std::string(kEndMarker) + " line";
}

struct TargetFacts {
  std::string target;  // the file after following symlinks
  bool exists = false;
  struct stat st {};
};

std::string NotACache(const std::string& file) {
  return file + " is not an extent-info cache (it does not start with " + kStartMarker +
         "); it was left as it is";
}

// Whether the content of an open file is `item`'s cache, or empty. With
// `block` set, a cache's block is read as well, and a damaged one is
// reported in `warning` instead.
bool JudgeContent(ChunkReader& reader, const std::string& file, const CacheItem& item,
                  std::string* block, std::string* warning, std::string& error) {
  const auto ReadError = [&]() {
    error = "cannot read " + file + ": " + Errno(reader.error());
    return false;
  };
  if (!reader.Want(0)) return ReadError();
  std::size_t at = 0;
  bool hasOwner = false;
  if (!reader.text().empty() && reader.text()[0] == '#') {
    if (!reader.Want(kLongestItemLine)) return ReadError();
    const std::string::size_type newline = reader.text().find('\n');
    CacheItem owner;
    if (newline >= kLongestItemLine || !ParseItemLine(reader.text().substr(0, newline), owner)) {
      error = NotACache(file);
      return false;
    }
    if (!SameItem(owner, item)) {
      error = file + " is the cache of " + Describe(owner) + ", not of " + Describe(item);
      return false;
    }
    hasOwner = true;
    at = newline + 1;
  }
  for (;; ++at) {
    if (at >= reader.text().size() && !reader.Want(at)) return ReadError();
    if (at >= reader.text().size() || !IsBlank(reader.text()[at])) break;
  }
  if (at >= reader.text().size()) {
    // Nothing to lose: an empty file (say, one just made by touch) is an
    // empty cache. Our item line without a block is a torn save.
    if (hasOwner && warning != nullptr) {
      *warning = file + " holds no extent-info block; it was not used and will be replaced";
    }
    return true;
  }
  if (!reader.Want(at + sizeof kStartMarker)) return ReadError();
  const std::string& text = reader.text();
  const std::size_t wordEnd = at + sizeof kStartMarker - 1;
  if (text.compare(at, sizeof kStartMarker - 1, kStartMarker) != 0 ||
      (wordEnd < text.size() && !IsBlank(text[wordEnd]))) {
    error = NotACache(file);
    return false;
  }
  if (block == nullptr) return true;
  if (!reader.ReadAll()) return ReadError();
  const std::string damage = DamageOf(reader.text(), at);
  if (damage.empty()) {
    block->assign(reader.text(), at, std::string::npos);
  } else if (warning != nullptr) {
    *warning = file + " is a damaged extent-info cache (" + damage +
               "); it was not used and will be replaced";
  }
  return true;
}

// Everything that decides whether `file` may be used and replaced as
// `item`'s cache; see JudgeContent for `block` and `warning`.
bool Examine(const std::string& file, const CacheItem& item, TargetFacts& found,
             std::string* block, std::string* warning, std::string& error) {
  if (!ResolveLinks(file, found.target, error)) return false;
  const std::string folder = FolderOf(found.target);
  struct stat folderStat;
  if (stat(folder.c_str(), &folderStat) != 0 || !S_ISDIR(folderStat.st_mode)) {
    error = "cannot save to " + file + ": there is no folder " + folder;
    return false;
  }
  if (access(folder.c_str(), W_OK | X_OK) != 0) {
    error = "cannot save to " + file + ": the folder " + folder + " is not writable";
    return false;
  }
  if (stat(found.target.c_str(), &found.st) != 0) {
    if (errno == ENOENT) return true;
    error = "cannot use " + file + ": " + Errno(errno);
    return false;
  }
  found.exists = true;
  // Never opened unless regular: opening a FIFO would wait for a writer.
  if (!S_ISREG(found.st.st_mode)) {
    error = file + " is " + KindOf(found.st.st_mode) + ", not a cache file";
    return false;
  }
  const int fd = open(found.target.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) {
    error = "cannot read " + file + ": " + Errno(errno);
    return false;
  }
  // It may have been swapped for something else since the stat.
  struct stat opened;
  bool ok = fstat(fd, &opened) == 0 && S_ISREG(opened.st_mode);
  if (ok) {
    found.st = opened;
    ChunkReader reader(fd);
    ok = JudgeContent(reader, file, item, block, warning, error);
  } else {
    error = file + " is not a regular file, not a cache file";
  }
  close(fd);
  if (ok && access(found.target.c_str(), W_OK) != 0) {
    error = "cannot save to " + file + ": it is not writable";
    ok = false;
  }
  return ok;
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

// A name for the moment between linking the new file in and renaming it
// over the old one; random, so that two saves to one folder never meet.
std::string TemporaryName(const std::string& base) {
  unsigned char bytes[6] = {};
  if (getrandom(bytes, sizeof bytes, 0) != static_cast<ssize_t>(sizeof bytes)) {
    const unsigned long long fallback = static_cast<unsigned long long>(getpid()) ^
                                        reinterpret_cast<std::uintptr_t>(&bytes);
    std::memcpy(bytes, &fallback, sizeof bytes);
  }
  char suffix[2 * sizeof bytes + 1];
  for (std::size_t i = 0; i < sizeof bytes; ++i) {
    std::snprintf(suffix + 2 * i, 3, "%02x", bytes[i]);
  }
  return "." + base + "." + suffix;
}

// Gives the new file the old one's owner and mode; new files keep what
// creation under the umask gave them.
bool Adopt(int fd, const TargetFacts& found) {
  if (!found.exists) return true;
  // Only root may give a file away; anyone else's save is theirs anyway.
  if (fchown(fd, found.st.st_uid, found.st.st_gid) != 0 && errno != EPERM) return false;
  return fchmod(fd, found.st.st_mode & 07777) == 0;
}

// Writes `content` to a file that has no name until it is complete: an
// O_TMPFILE file in the folder, linked in under a random name and renamed
// over the target at once, so a crash at any point leaves no stray file
// (but for the instant between link and rename). File systems without
// O_TMPFILE get a named temporary instead.
bool ReplaceFile(const TargetFacts& found, const std::string& file, const std::string& content,
                 std::string& error) {
  const std::string folder = FolderOf(found.target);
  const std::string base = BaseOf(found.target);
  const int dirfd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dirfd < 0) {
    error = "cannot save to " + file + ": cannot open " + folder + ": " + Errno(errno);
    return false;
  }
  const mode_t createMode = found.exists ? 0600 : 0666;
  std::string temporary;
  bool named = false;
  int fd = openat(dirfd, ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, createMode);
  if (fd < 0 && (errno == EOPNOTSUPP || errno == EISDIR || errno == EINVAL)) {
    for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
      temporary = TemporaryName(base);
      fd = openat(dirfd, temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, createMode);
      if (fd < 0 && errno != EEXIST) break;
    }
    named = fd >= 0;
  }
  if (fd < 0) {
    error = "cannot save to " + file + ": " + Errno(errno);
    close(dirfd);
    return false;
  }

  bool ok = WriteAll(fd, content) && Adopt(fd, found) && fsync(fd) == 0;
  int failure = errno;
  if (ok && !named) {
    // Linking an O_TMPFILE file by its descriptor alone (AT_EMPTY_PATH)
    // takes CAP_DAC_READ_SEARCH; its /proc/self/fd link takes nothing, so
    // it goes first and the other is for a system without /proc.
    const std::string self = "/proc/self/fd/" + std::to_string(fd);
    for (int attempt = 0; attempt < 100; ++attempt) {
      temporary = TemporaryName(base);
      ok = linkat(AT_FDCWD, self.c_str(), dirfd, temporary.c_str(), AT_SYMLINK_FOLLOW) == 0 ||
           (errno == ENOENT && linkat(fd, "", dirfd, temporary.c_str(), AT_EMPTY_PATH) == 0);
      if (ok || errno != EEXIST) break;
    }
    failure = errno;
    if (!ok) temporary.clear();
  }
  if (close(fd) != 0 && ok) {
    ok = false;
    failure = errno;
  }
  if (ok && renameat(dirfd, temporary.c_str(), dirfd, base.c_str()) != 0) {
    ok = false;
    failure = errno;
  }
  if (!ok && !temporary.empty()) unlinkat(dirfd, temporary.c_str(), 0);
  // The rename is durable only once the folder is.
  if (ok && fsync(dirfd) != 0) {
    ok = false;
    failure = errno;
  }
  close(dirfd);
  if (!ok) error = "cannot save to " + file + ": " + Errno(failure);
  return ok;
}

std::size_t CountRecords(const std::string& block) {
  std::size_t lines = 0;
  for (const char c : block) lines += c == '\n';
  return lines >= 2 ? lines - 2 : 0;  // less the two markers
}

}  // namespace

bool ReadCacheFile(const std::string& file, const CacheItem& item, std::string& block,
                   std::string& warning, std::string& error) {
  TargetFacts found;
  block.clear();
  warning.clear();
  return Examine(file, item, found, &block, &warning, error);
}

bool SaveCacheFile(ExtentBrowseImpl& browser, const std::string& file, const CacheItem& item,
                   std::size_t& records, std::string& error) {
  TargetFacts found;
  if (!Examine(file, item, found, nullptr, nullptr, error)) return false;
  std::stringstream block;
  if (!browser.SaveExtentInfo(&block)) {
    error = "cannot save to " + file + ": the browser could not write its extent-info block";
    return false;
  }
  const std::string text = block.str();
  if (!ReplaceFile(found, file, ItemLine(item) + text, error)) return false;
  records = CountRecords(text);
  return true;
}
