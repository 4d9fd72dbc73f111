#include "FileKinds.h"

#include <fcntl.h>
#include <unistd.h>
#include <cerrno>
#include <cstring>

#include "Messages.h"

namespace {

// Linux gives up after 40 links; so do we.
constexpr int kMaxLinks = 40;

std::string Errno(int error) { return std::strerror(error); }

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
      error = "cannot follow the symlink " + Echo(file) + ": " + Errno(errno);
      return false;
    }
    link.resize(static_cast<std::size_t>(length));
    target = link[0] == '/' ? link : FolderOf(target) + "/" + link;
  }
  error = "cannot follow the symlink " + Echo(file) + ": " + Errno(ELOOP);
  return false;
}

const char* KindOf(mode_t mode) {
  if (S_ISDIR(mode)) return "a directory";
  if (S_ISFIFO(mode)) return "a FIFO";
  if (S_ISCHR(mode) || S_ISBLK(mode)) return "a device";
  if (S_ISSOCK(mode)) return "a socket";
  return "not a regular file";
}

}  // namespace

bool FindCacheTarget(const std::string& file, bool forWriting, CacheTarget& target,
                     std::string& error) {
  target = CacheTarget();
  if (!ResolveLinks(file, target.target, error)) return false;
  target.folder = FolderOf(target.target);
  target.base = BaseOf(target.target);
  const std::string saving = (forWriting ? "cannot save to " : "cannot read ") + Echo(file) + ": ";
  struct stat folder;
  if (stat(target.folder.c_str(), &folder) != 0) {
    error = saving + Echo(target.folder) + ": " + Errno(errno);
    return false;
  }
  if (!S_ISDIR(folder.st_mode)) {
    error = saving + Echo(target.folder) + " is not a folder";
    return false;
  }
  // What the file is comes first: a device is no cache, whoever may write
  // beside it.
  if (stat(target.target.c_str(), &target.st) == 0) {
    target.exists = true;
    if (!S_ISREG(target.st.st_mode)) {
      error = Echo(file) + " is " + KindOf(target.st.st_mode) + ", not a cache file";
      return false;
    }
  } else if (errno != ENOENT) {
    error = "cannot use " + Echo(file) + ": " + Errno(errno);
    return false;
  }
  if (forWriting && access(target.folder.c_str(), W_OK | X_OK) != 0) {
    error = saving + "cannot write in " + Echo(target.folder) + ": " + Errno(errno);
    return false;
  }
  return true;
}

bool MayReplace(const std::string& file, const CacheTarget& target, std::string& error) {
  // A read-only cache is one its owner means to keep as it is. Root may
  // write it, and does: access() answers for the process as it is.
  if (!target.exists || access(target.target.c_str(), W_OK) == 0) return true;
  error = "cannot save to " + Echo(file) + ": " + Errno(errno);
  return false;
}

int OpenCacheTarget(const std::string& file, CacheTarget& target, std::string& error) {
  const int fd = open(target.target.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) {
    error = "cannot read " + Echo(file) + ": " + Errno(errno);
    return -1;
  }
  // It may have been swapped for something else since it was looked at.
  if (fstat(fd, &target.st) != 0 || !S_ISREG(target.st.st_mode)) {
    error = Echo(file) + " is not a regular file, not a cache file";
    close(fd);
    return -1;
  }
  return fd;
}
