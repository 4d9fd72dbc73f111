#include "AtomicFile.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>

namespace {

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

constexpr std::size_t kRandomBytes = 6;
// In every temporary name, so that a leftover is told from a file someone
// else named like it.
constexpr char kNameMark[] = ".extent-browse-save.";

std::string TemporaryPrefix(const std::string& base) { return "." + base + kNameMark; }

// A name for the moment between linking the new file in and renaming it
// over the old one; random, so that two saves to one folder never meet.
std::string TemporaryName(const std::string& base) {
  unsigned char bytes[kRandomBytes] = {};
  if (getrandom(bytes, sizeof bytes, 0) != static_cast<ssize_t>(sizeof bytes)) {
    const unsigned long long fallback =
        static_cast<unsigned long long>(getpid()) ^ reinterpret_cast<std::uintptr_t>(&bytes);
    std::memcpy(bytes, &fallback, sizeof bytes);
  }
  char suffix[2 * sizeof bytes + 1];
  for (std::size_t i = 0; i < sizeof bytes; ++i) {
    std::snprintf(suffix + 2 * i, 3, "%02x", bytes[i]);
  }
  return TemporaryPrefix(base) + suffix;
}

// Gives the new file the old one's owner and mode.
bool Adopt(int fd, const struct stat* old) {
  if (old == nullptr) return true;
  // Only root may give a file away; anyone else's save is theirs anyway.
  if (fchown(fd, old->st_uid, old->st_gid) != 0 && errno != EPERM) return false;
  return fchmod(fd, old->st_mode & 07777) == 0;
}

}  // namespace

bool ReplaceAtomically(int folder, const std::string& base, const struct stat* old,
                       const std::string& content, int& error) {
  const mode_t createMode = old != nullptr ? 0600 : 0666;
  std::string temporary;
  bool named = false;
  int fd = openat(folder, ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, createMode);
  if (fd < 0 && (errno == EOPNOTSUPP || errno == EISDIR || errno == EINVAL)) {
    for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
      temporary = TemporaryName(base);
      fd = openat(folder, temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, createMode);
      if (fd < 0 && errno != EEXIST) break;
    }
    named = fd >= 0;
  }
  if (fd < 0) {
    error = errno;
    return false;
  }

  bool ok = WriteAll(fd, content) && Adopt(fd, old) && fsync(fd) == 0;
  int failure = errno;
  if (ok && !named) {
    // Linking an O_TMPFILE file by its descriptor alone (AT_EMPTY_PATH)
    // takes CAP_DAC_READ_SEARCH; its /proc/self/fd link takes nothing, so
    // it goes first and the other is for a system without /proc.
    const std::string self = "/proc/self/fd/" + std::to_string(fd);
    for (int attempt = 0; attempt < 100; ++attempt) {
      temporary = TemporaryName(base);
      ok = linkat(AT_FDCWD, self.c_str(), folder, temporary.c_str(), AT_SYMLINK_FOLLOW) == 0 ||
           (errno == ENOENT && linkat(fd, "", folder, temporary.c_str(), AT_EMPTY_PATH) == 0);
      if (ok || errno != EEXIST) break;
    }
    failure = errno;
    if (!ok) temporary.clear();
  }
  if (close(fd) != 0 && ok) {
    ok = false;
    failure = errno;
  }
  if (ok && renameat(folder, temporary.c_str(), folder, base.c_str()) != 0) {
    ok = false;
    failure = errno;
  }
  if (!ok && !temporary.empty()) unlinkat(folder, temporary.c_str(), 0);
  // The rename is durable only once the folder is.
  if (ok && fsync(folder) != 0) {
    ok = false;
    failure = errno;
  }
  if (!ok) error = failure;
  return ok;
}

void RemoveLeftovers(int folder, const std::string& base, const std::string& contentMark) {
  const int listed = dup(folder);
  DIR* const entries = listed >= 0 ? fdopendir(listed) : nullptr;
  if (entries == nullptr) {
    if (listed >= 0) close(listed);
    return;
  }
  const std::string prefix = TemporaryPrefix(base);
  std::string start(contentMark.size(), '\0');
  while (const dirent* entry = readdir(entries)) {
    const std::string name = entry->d_name;
    if (name.size() != prefix.size() + 2 * kRandomBytes ||
        name.compare(0, prefix.size(), prefix) != 0 ||
        name.find_first_not_of("0123456789abcdef", prefix.size()) != std::string::npos) {
      continue;
    }
    // A save links its file in only once it is whole: a leftover is this
    // process's user's regular file, and starts as every file it writes.
    const int fd = openat(folder, name.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) continue;
    struct stat st {};
    const bool ours = fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_uid == geteuid() &&
                      pread(fd, &start[0], start.size(), 0) == static_cast<ssize_t>(start.size()) &&
                      start == contentMark;
    close(fd);
    struct stat now {};
    // Unlinked only when the name still holds the file just read.
    if (ours && fstatat(folder, name.c_str(), &now, AT_SYMLINK_NOFOLLOW) == 0 &&
        now.st_ino == st.st_ino && now.st_dev == st.st_dev) {
      unlinkat(folder, name.c_str(), 0);
    }
  }
  closedir(entries);
}
