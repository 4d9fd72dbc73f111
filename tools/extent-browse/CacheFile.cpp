#include "CacheFile.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <sstream>
#include <vector>

#include "AtomicFile.h"
#include "BrowserAccess.h"
#include "FileKinds.h"
#include "Messages.h"
#include "extentbrowse/ExtentBrowse.h"

namespace {

// Whether what `file` holds may be used and replaced as `binding`'s cache.
bool Admit(const std::string& file, const CacheContent& content, const CacheBinding& binding,
           bool readOnly, std::string& warning, std::string& error) {
  if (content.kind == CacheKind::kNotACache) {
    error = Echo(file) +
            " is not an extent-info cache (it does not start with START_EXTENT_INFO); it was left "
            "as it is";
    return false;
  }
  if (content.hasItemLine && !SameItem(content.owner, binding)) {
    error = Echo(file) + " is the cache of " + DescribeItem(content.owner) + ", not of " +
            DescribeItem(binding);
    return false;
  }
  const std::string differences =
      content.bound ? BindingDifferences(content.owner, binding) : std::string();
  if (!differences.empty()) {
    error = Echo(file) + " is the cache of another backup of " + DescribeItem(binding) + ": " +
            differences;
    return false;
  }
  if (content.kind == CacheKind::kDamaged) {
    warning = Echo(file) + " is a damaged extent-info cache (" + content.damage +
              (readOnly ? "); it was not used" : "); it was not used and will be replaced");
  } else if (content.kind == CacheKind::kCache && !content.bound) {
    warning = Echo(file) +
              " names no backup (an earlier release or a host wrote it); it is taken as this "
              "backup's" +
              (readOnly ? "" : " and will name it once saved");
  }
  return true;
}

// Reads and admits the target, when it exists.
bool ReadTarget(const std::string& file, CacheTarget& target, const CacheBinding& binding,
                bool readOnly, CacheContent& content, std::string& warning, std::string& error) {
  content = CacheContent();
  if (!target.exists && readOnly) {
    error = "cannot read " + Echo(file) + ": " + std::strerror(ENOENT);
    return false;
  }
  if (!target.exists) return true;
  const int fd = OpenCacheTarget(file, target, error);
  if (fd < 0) return false;
  int readError = 0;
  const bool read = ReadCacheContent(fd, content, readError);
  close(fd);
  if (!read) {
    error = "cannot read " + Echo(file) + ": " + std::strerror(readError);
    return false;
  }
  return Admit(file, content, binding, readOnly, warning, error) &&
         (readOnly || MayReplace(file, target, error));
}

// Extents in ascending order as ranges of consecutive numbers.
ExtentRanges RangesOf(const std::vector<unsigned long long>& extents) {
  ExtentRanges ranges;
  for (const unsigned long long extent : extents) {
    if (!ranges.empty() && ranges.back().second + 1 == extent) {
      ranges.back().second = extent;
    } else {
      ranges.emplace_back(extent, extent);
    }
  }
  return ranges;
}

// The browser's records joined with those the file holds now; the
// browser's win where both have an extent. The library writes the joined
// block, as it writes every block: the file's record lines and then the
// browser's seed a browser that browses nothing (a later line for an
// extent replaces an earlier one), and its writer gives the block.
bool MergedCache(ExtentBrowse& browser, const std::string& sessionBlock,
                 const ExtentRanges& seededEmpty, const CacheContent& file,
                 const CacheBinding& binding, std::string& text, std::size_t& records) {
  const bool fileHasRecords = file.kind == CacheKind::kCache;
  std::stringstream joined("START_EXTENT_INFO\n" +
                           (fileHasRecords ? RecordLinesOf(file.block) : std::string()) +
                           RecordLinesOf(sessionBlock) + "END_EXTENT_INFO\n");
  std::stringstream block;
  if (!RewriteExtentInfo(binding.appType, joined, block)) return false;

  const std::vector<unsigned long long> session = ExtentsOf(sessionBlock);
  const auto inSession = [&session](unsigned long long extent) {
    return std::binary_search(session.begin(), session.end(), extent);
  };
  std::vector<unsigned long long> empty;
  const std::vector<unsigned long long> merged = ExtentsOf(block.str());
  for (const unsigned long long extent : merged) {
    // The browser's flag where it has the extent, or the flag seeded from
    // the file it read; the file's flag as it is now, for its own records.
    if ((inSession(extent) && (browser.IsExtentEmpty(extent) || InRanges(seededEmpty, extent))) ||
        (fileHasRecords && InRanges(file.emptyExtents, extent))) {
      empty.push_back(extent);
    }
  }
  records = merged.size();
  text = ComposeCache(binding, block.str(), RangesOf(empty));
  return true;
}

// Takes the folder's lock. Another session's save holds it for a moment; a
// lock held for a minute is something else, and waiting on would hang the
// tool. False, with errno set, when it could not be taken.
bool LockFolder(int folder) {
  constexpr int kTries = 3000;
  constexpr useconds_t kPause = 20000;
  for (int tried = 1;; ++tried) {
    if (flock(folder, LOCK_EX | LOCK_NB) == 0) return true;
    if (errno == EINTR) continue;
    if (errno != EWOULDBLOCK || tried == kTries) return false;
    usleep(kPause);
  }
}

}  // namespace

bool ReadCacheFile(const std::string& file, const CacheBinding& binding, bool readOnly,
                   CacheSeed& seed, std::string& warning, std::string& error) {
  seed = CacheSeed();
  warning.clear();
  CacheTarget target;
  CacheContent content;
  if (!FindCacheTarget(file, !readOnly, target, error) ||
      !ReadTarget(file, target, binding, readOnly, content, warning, error)) {
    return false;
  }
  if (content.kind == CacheKind::kCache) {
    seed.block = std::move(content.block);
    seed.emptyExtents = std::move(content.emptyExtents);
  }
  return true;
}

bool SaveCacheFile(ExtentBrowse& browser, const std::string& file, const CacheBinding& binding,
                   const ExtentRanges& seededEmpty, std::size_t& records, std::string& error) {
  CacheTarget target;
  if (!FindCacheTarget(file, true, target, error)) return false;
  const std::string saving = "cannot save to " + Echo(file) + ": ";
  const int folder = open(target.folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (folder < 0) {
    error = saving + "cannot open " + Echo(target.folder) + ": " + std::strerror(errno);
    return false;
  }
  if (!LockFolder(folder)) {
    error = saving + "cannot lock " + Echo(target.folder) + ": " +
            (errno == EWOULDBLOCK ? "another process has held its lock for a minute"
                                  : std::strerror(errno));
    close(folder);
    return false;
  }
  // Under the lock, the file as it is now: another session may have saved
  // since this one read it, or the file may have become something else.
  CacheContent content;
  std::string warning;
  std::stringstream block;
  bool ok = FindCacheTarget(file, true, target, error) &&
            ReadTarget(file, target, binding, false, content, warning, error);
  if (ok && !WriteExtentInfo(browser, block)) {
    error = saving + "the browser could not write its extent-info block";
    ok = false;
  }
  std::string text;
  if (ok && !MergedCache(browser, block.str(), seededEmpty, content, binding, text, records)) {
    error = saving + "the merged extent-info block could not be written";
    ok = false;
  }
  int failure = 0;
  if (ok) {
    RemoveLeftovers(folder, target.base, CacheFileMark());
    ok =
        ReplaceAtomically(folder, target.base, target.exists ? &target.st : nullptr, text, failure);
    if (!ok) error = saving + std::strerror(failure);
  }
  close(folder);  // and with it the lock
  return ok;
}
