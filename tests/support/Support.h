// What the tests share: log capture, requests and names as the index knows
// them, the extent map read back, and browsers set up against the index.
#ifndef EXTENTBROWSE_TESTS_SUPPORT_SUPPORT_H
#define EXTENTBROWSE_TESTS_SUPPORT_SUPPORT_H

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <tuple>
#include <vector>

#include <boost/shared_ptr.hpp>

#include "BrowseMessages.h"
#include "LogWriters.h"
#include "ebindex/IndexService.h"
#include "extentbrowse/ExtentBrowseImpl.h"
#include "extentbrowse/SCParams.h"
#include "support/LogCatalogue.h"

namespace ebtest {

// Installs a capturing log writer for its scope, then puts the previous one
// back. Every line it captured must be in the log line catalogue.
class ScopedLogCapture {
 public:
  explicit ScopedLogCapture(int level = 5)
      : writer_(new CCaptureLogWriter(level)), previous_(g_ptrLogWriter) {
    g_ptrLogWriter = writer_;
  }
  ~ScopedLogCapture() {
    g_ptrLogWriter = previous_;
    EXPECT_EQ(UncataloguedLines(writer_->lines()), "") << "lines the catalogue does not hold";
  }
  ScopedLogCapture(const ScopedLogCapture&) = delete;
  ScopedLogCapture& operator=(const ScopedLogCapture&) = delete;

  CCaptureLogWriter* operator->() const { return writer_.get(); }

 private:
  boost::shared_ptr<CCaptureLogWriter> writer_;
  boost::shared_ptr<CLogWriterInterface> previous_;
};

SCParams MakeParams(int appType);

// The base32 name of an extent at the default name length of 13.
std::string Base32Name(unsigned long long extent);
// An entry with afileId 1000 + extent and afileValue 2000 + extent.
ebindex::Entry MakeEntry(unsigned long long extent, const std::string& name, bool empty = false);

// The browser's extent map, read through SaveExtentInfo.
typedef std::tuple<unsigned long long, unsigned long long, unsigned long long> MapRecord;
std::vector<MapRecord> MapOf(ExtentBrowseImpl& browser);
// The (first, last) of every "Added to browsedExtents" line logged so far.
std::vector<std::pair<unsigned long long, unsigned long long>> RecordedRanges(
    const ScopedLogCapture& log);

// A test against a fresh index service, with the log captured.
class IndexTest : public ::testing::Test {
 protected:
  IndexTest();
  ~IndexTest() override { index().reset(); }

  ebindex::IndexService& index() { return ebindex::IndexService::instance(); }
  // `count` extents from `first`, in base32 names unless a name function is
  // given, every seventh extent empty.
  void AddItem(const std::string& path, unsigned long long first, unsigned long long count,
               std::string (*name)(unsigned long long) = nullptr);
  std::unique_ptr<ExtentBrowseImpl> MakeBrowser(int appType, const std::string& path,
                                                unsigned long long pageSize = 100,
                                                const std::string& maName = "",
                                                std::iostream* cache = nullptr);
  unsigned long long BrowseCount() { return index().browseCallCount(); }

  ScopedLogCapture log{4};
  ebindex::Catalogue catalogue;
};

}  // namespace ebtest

#endif  // EXTENTBROWSE_TESTS_SUPPORT_SUPPORT_H
