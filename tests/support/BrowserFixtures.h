// Helpers for tests that drive a browser: responses built by hand, the
// extent map read back, and a browser set up against the index service.
#ifndef EXTENTBROWSE_TESTS_SUPPORT_BROWSERFIXTURES_H
#define EXTENTBROWSE_TESTS_SUPPORT_BROWSERFIXTURES_H

#include <memory>
#include <string>
#include <tuple>
#include <vector>

#include "BrowseMessages.h"
#include "support/IndexFixtures.h"
#include "extentbrowse/ExtentBrowseImpl.h"
#include "support/TestSupport.h"

namespace ebtest {

// The base32 name of an extent at the default name length of 13.
std::string Base32Name(unsigned long long extent, unsigned int length = 13);

struct DataItem {
  std::string path;  // as the index sends it: item path, 0x12, extent name
  unsigned long long afileId;
  unsigned long long afileValue;
  bool empty;
};

databrowse::BrowseResponse DataResponse(const std::vector<DataItem>& items);
databrowse::BrowseResponse ErrorResponse(int code);

// One record of the extent map as SaveExtentInfo writes it.
typedef std::tuple<unsigned long long, unsigned long long, unsigned long long> MapRecord;
// The browser's extent map, read through SaveExtentInfo.
std::vector<MapRecord> MapOf(ExtentBrowseImpl& browser);

// The (first, last) of every "Added to browsedExtents" line logged so far.
std::vector<std::pair<unsigned long long, unsigned long long>> RecordedRanges(
    const ScopedLogCapture& log);

// A test against the index service: resets it, captures the log, and makes
// browsers for one item.
class IndexTest : public ::testing::Test {
 protected:
  IndexTest();
  ~IndexTest() override;

  ebindex::IndexService& index() { return ebindex::IndexService::instance(); }
  // An item of `count` extents from `first`, in base32 names unless a name
  // function is given; afileId = 1000 + extent, afileValue = 2000 + extent,
  // every seventh extent empty.
  void AddItem(const std::string& path, unsigned long long first, unsigned long long count,
               std::string (*name)(unsigned long long) = nullptr);
  std::unique_ptr<ExtentBrowseImpl> MakeBrowser(int appType, const std::string& path,
                                                unsigned long long pageSize = 100,
                                                const std::string& maName = "",
                                                std::iostream* cache = nullptr);
  unsigned long long BrowseCount() const { return ebindex::IndexService::instance().browseCallCount(); }

  ScopedLogCapture log{4};
  ebindex::Catalogue catalogue;
};

}  // namespace ebtest

#endif  // EXTENTBROWSE_TESTS_SUPPORT_BROWSERFIXTURES_H
