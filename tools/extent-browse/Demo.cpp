#include "Demo.h"

#include <unistd.h>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <ostream>
#include <sstream>
#include <string>
#include <utility>

#include "BrowseFailure.h"
#include "BrowserAccess.h"
#include "CacheFile.h"
#include "IndexSetup.h"
#include "Messages.h"
#include "Stats.h"
#include "extentbrowse/ExtentBrowse.h"

namespace {

const char kFileItem[] = "/data/reports/annual.bin";
const char kDiskItem[] = "/vm/finance/disk0.vmdk";
constexpr unsigned long long kDemoPageSize = 10;
constexpr int kNameLength = 13;

unsigned long long BrowseRequests() { return ebindex::IndexService::instance().browseCallCount(); }

std::unique_ptr<ExtentBrowse> MakeBrowser(const char* path, int appType, std::iostream* cache) {
  SCParams params;
  params.appType = appType;
  return std::make_unique<ExtentBrowse>(params, path, cache, EB_MODE_DEFAULT, kDemoPageSize,
                                        kNameLength, false, 0, "");
}

// What one step of the demo did: its answer, and the browses it cost.
struct Step {
  ExtentBrowseResult result = EB_BROWSE_FAILED;
  unsigned long long browses = 0;
  bool failed() const { return result != EB_EXTENT_FOUND && result != EB_EXTENT_NOT_FOUND; }
};

std::string Cost(const Step& step) {
  if (step.browses == 0) {
    return step.result == EB_EXTENT_FOUND ? "from the map, no browse"
                                          : "inside a browsed range, no browse";
  }
  return "browsed " + std::to_string(step.browses) + (step.browses == 1 ? " page" : " pages");
}

// Looks one extent up and says what came back and what it cost.
Step ShowLookup(ExtentBrowse& browser, unsigned long long extent, std::ostream& out) {
  Step step;
  const unsigned long long before = BrowseRequests();
  unsigned long long afileId = 0;
  unsigned long long afileValue = 0;
  step.result = browser.GetAFInfo(extent, afileId, afileValue);
  step.browses = BrowseRequests() - before;
  out << "  lookup " << extent << ": ";
  if (step.result == EB_EXTENT_FOUND) {
    out << "found in archive file " << afileId << ", value " << afileValue << ", " << Cost(step);
  } else if (step.result == EB_EXTENT_NOT_FOUND) {
    out << "not found, " << Cost(step);
  } else {
    out << "browse failed";
  }
  out << "   (browse requests so far: " << BrowseRequests() << ")\n";
  return step;
}

// Lists the extents as runs ("0-19 28-39") with a count of empty ones.
bool ShowEnumeration(ExtentBrowse& browser, std::ostream& out) {
  void* handle = browser.OpenEnum();
  if (handle == nullptr) {
    out << "  the enumeration could not be opened: browse failed\n";
    return false;
  }
  std::ostringstream runs;
  std::size_t count = 0;
  std::size_t empty = 0;
  unsigned long long extent = 0;
  unsigned long long runStart = 0;
  unsigned long long previous = 0;
  bool isEmpty = false;
  while (browser.EnumExtent(handle, extent, isEmpty)) {
    if (count > 0 && extent != previous + 1) {
      runs << " " << runStart << "-" << previous;
      runStart = extent;
    }
    if (count == 0) runStart = extent;
    previous = extent;
    ++count;
    empty += isEmpty;
  }
  browser.CloseEnum(handle);
  if (count > 0) runs << " " << runStart << "-" << previous;
  out << "  " << count << " extents:" << runs.str() << "; " << empty << " of them empty"
      << "   (browse requests so far: " << BrowseRequests() << ")\n";
  return true;
}

int Stopped(const Options& options, std::ostream& out) {
  out << "\nThe index did not answer: " << WhyBrowseFailed(options, nullptr) << ".\n"
      << "The rest of the demo needs its answers, so it stops here.\n"
      << "\nThe library's counters for this session:\n";
  PrintStats(out, false);
  return kExitBrowseFailed;
}

// A folder of our own for the demo's cache file, removed afterwards.
class TemporaryFolder {
 public:
  TemporaryFolder() {
    const char* tmp = std::getenv("TMPDIR");
    parent_ = tmp != nullptr && *tmp != '\0' ? tmp : "/tmp";
    std::string pattern = parent_ + "/extent-browse-demo.XXXXXX";
    if (mkdtemp(&pattern[0]) != nullptr) {
      path_ = pattern;
    } else {
      error_ = "cannot create a folder for the demo's cache file in " + Echo(parent_) + ": " +
               std::strerror(errno);
    }
  }
  ~TemporaryFolder() {
    if (path_.empty()) return;
    std::remove(File().c_str());
    rmdir(path_.c_str());
  }
  TemporaryFolder(const TemporaryFolder&) = delete;
  TemporaryFolder& operator=(const TemporaryFolder&) = delete;

  bool ok() const { return !path_.empty(); }
  const std::string& error() const { return error_; }
  std::string File() const { return path_ + "/annual.cache"; }

 private:
  std::string parent_;
  std::string path_;
  std::string error_;
};

}  // namespace

int RunDemo(const char* argv0, const Options& options, std::ostream& out) {
  if (!options.itemOptionsGiven.empty()) {
    std::string unused;
    for (const std::string& option : options.itemOptionsGiven) {
      unused += (unused.empty() ? "" : ", ") + option;
    }
    ReportWarning("demo runs on the bundled sample with browsers of its own; it does not use " +
                  unused);
  }
  std::string sample;
  std::string error;
  ebindex::Catalogue catalogue;
  if (!FindSampleIndex(argv0, sample, error) ||
      !LoadCatalogueFile(sample, kNameLength, catalogue, error)) {
    ReportError(error);
    return kExitUsage;
  }
  const CacheBinding binding = BindingOf(catalogue, kFileItem, 0, kNameLength, 0, "");
  ConfigureIndex(std::move(catalogue), options);

  out << "The bundled sample index (" << sample << ") holds three items.\n"
      << kFileItem << " is a file-system file (application type 0) whose index names\n"
      << "its extents in 13-digit base32. It has extents 0-19 and 28-39; 20-27 were\n"
      << "never written. Each browser asks the index for " << kDemoPageSize
      << " extents per page.\n\n";

  std::unique_ptr<ExtentBrowse> browser = MakeBrowser(kFileItem, 0, nullptr);
  out << "A first lookup finds the extent map empty and asks the index for a page:\n";
  if (ShowLookup(*browser, 5, out).failed()) return Stopped(options, out);

  out << "\nExtents 9 and 14 lie on that page:\n";
  const Step nine = ShowLookup(*browser, 9, out);
  const Step fourteen = ShowLookup(*browser, 14, out);
  if (nine.failed() || fourteen.failed()) return Stopped(options, out);

  out << "\nExtents 22 and 25 lie in the hole:\n";
  const Step hole = ShowLookup(*browser, 22, out);
  const Step inHole = ShowLookup(*browser, 25, out);
  if (hole.failed() || inHole.failed()) return Stopped(options, out);
  if (hole.browses > 0 && inHole.browses == 0 && inHole.result == EB_EXTENT_NOT_FOUND) {
    out << "The page 22 asked for started past the hole, so the browser knew the range it\n"
        << "covered held nothing else, and answered 25 without browsing.\n";
  }

  out << "\nAn enumeration browses the whole item once, then lists every extent:\n";
  if (!ShowEnumeration(*browser, out)) return Stopped(options, out);

  TemporaryFolder folder;
  std::size_t records = 0;
  if (!folder.ok() || !SaveCacheFile(*browser, folder.File(), binding, {}, records, error)) {
    ReportError(folder.ok() ? error : folder.error());
    return kExitUsage;
  }
  out << "\nThe extent map is saved as an extent-info cache (" << records << " records in "
      << folder.File() << ",\na temporary file the demo removes when it ends; `extent-browse "
      << "--cache FILE save` keeps one).\nA second browser is seeded from it:\n";
  {
    CacheSeed seed;
    std::string warning;
    ReadCacheFile(folder.File(), binding, false, seed, warning, error);
    std::stringstream cache(seed.block);
    std::unique_ptr<ExtentBrowse> seeded = MakeBrowser(kFileItem, 0, &cache);
    const Step first = ShowLookup(*seeded, 9, out);
    const Step second = ShowLookup(*seeded, 33, out);
    if (first.failed() || second.failed()) return Stopped(options, out);
    if (first.browses + second.browses == 0) out << "It answered both without browsing.\n";
  }

  std::unique_ptr<ExtentBrowse> disk = MakeBrowser(kDiskItem, EB_APP_TYPE_VIRTUAL_SERVER, nullptr);
  const std::string before = ExtentNameOf(*disk, 12);
  out << "\n"
      << kDiskItem << " is a virtual-machine disk (application type " << EB_APP_TYPE_VIRTUAL_SERVER
      << ") backed up\nbefore extents were named in base32; its index uses Extent<decimal>.\n"
      << "  name of extent 12 before browsing: " << before << "\n";
  if (ShowLookup(*disk, 12, out).failed()) return Stopped(options, out);
  const std::string after = ExtentNameOf(*disk, 12);
  out << "  name of extent 12 after browsing:  " << after << "\n";
  if (after != before) out << "The index's names told the browser which scheme the item uses.\n";

  out << "\nThe library's counters for this session:\n";
  PrintStats(out, false);
  return kExitOk;
}
