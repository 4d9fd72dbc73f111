// The process-wide counter set the browsers share.
#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "ThrdPerfCounter.h"
#include "extentbrowse/EBPerfCounters.h"
#include "extentbrowse/ExtentBrowse.h"
#include "support/Support.h"

namespace {

TEST(EBPerfCountersTest, BrowsersOnManyThreadsCreateTheSetOnceAndLoggingEmptiesIt) {
  ebtest::ScopedLogCapture log(1);
  if (gEbPerfCounter == nullptr) {  // nothing to log yet, and logging creates nothing
    LogEBPerfcounters();
    EXPECT_TRUE(log->messages().empty() && gEbPerfCounter == nullptr);
  }
  std::vector<std::thread> threads;
  for (int i = 0; i < 8; ++i) {
    threads.emplace_back([] {
      SCParams params = ebtest::MakeParams(0);
      ExtentBrowse browse(params, "/f", nullptr, EB_MODE_DEFAULT, 10, 13, false, 0, "");
    });
  }
  for (std::thread& thread : threads) thread.join();
  ASSERT_NE(gEbPerfCounter, nullptr);
  const ThrdPerfCounter* first = gEbPerfCounter;
  InitializeEBPerfCounters();
  EXPECT_EQ(gEbPerfCounter, first);
  const char* names[] = {"EBBrowse", "InBrowseCallBack", "AddToExtentMap", "FindInExtentMap",
                         "TimeInGetAfInfo", "AddToBrowsedBuckets", "FindInBrowsedBuckets",
                         "WaitToSendBrowse", "WaitForBrowseComplete",
                         "TimeToGetFirstBrowseCallBack"};
  gEbPerfCounter->StartPerfCounter("ExtentBrowse", 3);
  gEbPerfCounter->StopPerfCounter("ExtentBrowse", 3, 0);
  gEbPerfCounter->StartPerfCounter("ExtentBrowse", 8);  // left running, as a failed browse does
  const std::size_t resetsBefore = gEbPerfCounter->resetHistory().size();
  log->clear();
  LogEBPerfcounters();
  const std::vector<std::string> lines = log->messages();
  ASSERT_EQ(lines.size(), 12u);  // title, heading, ten rows in id order
  EXPECT_EQ(lines[0], "Performance counters of ExtentBrowse (For All The Files)");
  for (int id = 0; id < 10; ++id) EXPECT_NE(lines[2 + id].find(names[id]), std::string::npos);
  std::vector<int> resets = gEbPerfCounter->resetHistory();
  resets.erase(resets.begin(), resets.begin() + resetsBefore);
  EXPECT_EQ(resets, (std::vector<int>{0, 1, 2, 3, 4, 5, 6, 7, 8, 9}));
  for (const ThrdPerfCounter::Snapshot& row : gEbPerfCounter->snapshot()) {
    EXPECT_EQ(row.count + row.running, 0u) << row.name;
  }
}

}  // namespace
