#include "Demo.h"

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <ostream>
#include <sstream>
#include <string>
#include <unistd.h>

#include "CacheFile.h"
#include "IndexSetup.h"
#include "Session.h"
#include "extentbrowse/EBExtentNameConverter.h"
#include "extentbrowse/ExtentBrowse.h"
#include "extentbrowse/ExtentBrowseImpl.h"

namespace {

const char kFileItem[] = "/data/reports/annual.bin";
const char kDiskItem[] = "/vm/finance/disk0.vmdk";
constexpr int kDiskAppType = 106;
constexpr unsigned long long kDemoPageSize = 10;
constexpr int kNameLength = 13;

unsigned long long BrowseRequests() { return ebindex::IndexService::instance().browseCallCount(); }

std::unique_ptr<ExtentBrowse> MakeBrowser(const char* path, int appType, std::iostream* cache) {
  SCParams params;
  params.appType = appType;
  return std::make_unique<ExtentBrowse>(params, path, cache, EB_MODE_DEFAULT, kDemoPageSize,
                                        kNameLength, false, 0, "");
}

// Looks one extent up and says what came back and what it cost.
bool ShowLookup(ExtentBrowse& browser, unsigned long long extent, std::ostream& out) {
  unsigned long long afileId = 0;
  unsigned long long afileValue = 0;
  const ExtentBrowseResult result = browser.GetAFInfo(extent, afileId, afileValue);
  out << "  lookup " << extent << ": ";
  if (result == EB_EXTENT_FOUND) {
    out << "found in archive file " << afileId << ", value " << afileValue;
  } else if (result == EB_EXTENT_NOT_FOUND) {
    out << "not found";
  } else {
    out << "browse failed";
  }
  out << "   (browse requests so far: " << BrowseRequests() << ")\n";
  return result != EB_BROWSE_FAILED;
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

std::string ConverterName(ExtentBrowse& browser, unsigned long long extent) {
  std::string name;
  browser.GetImpl()->GetExtentNameConverter()->ExtentNumToName(extent, name);
  return name;
}

std::string TemporaryCacheFile() {
  const char* tmp = std::getenv("TMPDIR");
  std::string file = std::string(tmp != nullptr && *tmp != '\0' ? tmp : "/tmp") +
                     "/extent-browse-demo.XXXXXX";
  const int fd = mkstemp(&file[0]);
  if (fd < 0) return std::string();
  close(fd);
  return file;
}

}  // namespace

int RunDemo(const char* argv0, const Options& options, std::ostream& out) {
  const std::string sample = FindSampleIndex(argv0);
  ebindex::Catalogue catalogue;
  std::string error;
  if (!LoadCatalogueFile(sample, kNameLength, catalogue, error)) {
    ReportError(error);
    return kExitUsage;
  }
  ConfigureIndex(catalogue, options);
  bool ok = true;

  out << "The bundled sample index (" << sample << ") holds three items.\n"
      << kFileItem << " is a file-system file (application type 0) whose index names\n"
      << "its extents in 13-digit base32. It has extents 0-19 and 28-39; 20-27 were\n"
      << "never written. Each browser asks the index for " << kDemoPageSize
      << " extents per page.\n\n";

  std::unique_ptr<ExtentBrowse> browser = MakeBrowser(kFileItem, 0, nullptr);
  out << "A first lookup misses the empty extent map and browses one page:\n";
  ok &= ShowLookup(*browser, 5, out);
  out << "\nExtents on that page are answered from the map, without browsing:\n";
  ok &= ShowLookup(*browser, 9, out);
  ok &= ShowLookup(*browser, 14, out);
  out << "\nAn extent in the hole browses once; the page starts past the hole, so the\n"
      << "browser knows the whole range it covered holds nothing else:\n";
  ok &= ShowLookup(*browser, 22, out);
  ok &= ShowLookup(*browser, 25, out);

  out << "\nAn enumeration browses the whole item once, then lists every extent:\n";
  ok &= ShowEnumeration(*browser, out);

  const std::string cacheFile = TemporaryCacheFile();
  std::size_t records = 0;
  if (cacheFile.empty() || !SaveCacheFile(*browser->GetImpl(), cacheFile, records, error)) {
    ReportError(cacheFile.empty() ? "cannot create a temporary cache file" : error);
    return kExitUsage;
  }
  out << "\nThe extent map is saved as an extent-info cache (" << records << " records in "
      << cacheFile << ").\nA second browser seeded from it answers without browsing:\n";
  {
    std::stringstream cache;
    ReadCacheFile(cacheFile, cache);
    std::remove(cacheFile.c_str());
    std::unique_ptr<ExtentBrowse> seeded = MakeBrowser(kFileItem, 0, &cache);
    ok &= ShowLookup(*seeded, 9, out);
    ok &= ShowLookup(*seeded, 33, out);
  }

  std::unique_ptr<ExtentBrowse> disk = MakeBrowser(kDiskItem, kDiskAppType, nullptr);
  out << "\n" << kDiskItem << " is a virtual-machine disk (application type " << kDiskAppType
      << ") backed up\nbefore extents were named in base32; its index uses Extent<decimal>.\n"
      << "  name of extent 12 before browsing: " << ConverterName(*disk, 12) << "\n";
  ok &= ShowLookup(*disk, 12, out);
  out << "  name of extent 12 after browsing:  " << ConverterName(*disk, 12) << "\n"
      << "The index's names told the browser which scheme the item uses.\n";

  out << "\nThe library's counters for this session:\n";
  PrintStats(out);
  return ok ? kExitOk : kExitBrowseFailed;
}
