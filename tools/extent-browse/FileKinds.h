// Where a cache file really is and what kind of file it is, found before
// anything opens it: opening a FIFO would wait for a writer, and a device
// or a folder is no cache.
#ifndef EXTENTBROWSE_TOOLS_FILEKINDS_H
#define EXTENTBROWSE_TOOLS_FILEKINDS_H

#include <sys/stat.h>
#include <string>

struct CacheTarget {
  std::string target;  // the file after following symlinks
  std::string folder;  // the target's folder and name in it
  std::string base;
  bool exists = false;
  struct stat st {};  // the target's, when it exists
};

// Follows the symlinks of `file` and checks that it can be a cache file:
// its folder exists and, when `forWriting`, may be written in, and the
// file, when it exists, is a regular file. False, with a message naming
// `file` and the system's reason, otherwise.
bool FindCacheTarget(const std::string& file, bool forWriting, CacheTarget& target,
                     std::string& error);

// Whether the target, when it exists, may be written; false, with `error`,
// for a read-only file.
bool MayReplace(const std::string& file, const CacheTarget& target, std::string& error);

// Opens the existing target to read it, and checks it is still a regular
// file; `target.st` becomes the open file's. -1, with `error`, otherwise.
int OpenCacheTarget(const std::string& file, CacheTarget& target, std::string& error);

#endif  // EXTENTBROWSE_TOOLS_FILEKINDS_H
