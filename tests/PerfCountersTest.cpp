// The process-wide counter set and the stand-in counter class.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

#include "ThrdPerfCounter.h"
#include "extentbrowse/EBPerfCounters.h"
#include "extentbrowse/ExtentBrowse.h"
#include "support/TestSupport.h"

namespace {

using ebtest::MakeParams;
using ebtest::ScopedLogCapture;
using namespace std::chrono_literals;

// Runs first in this process, before any browser exists.
TEST(EBPerfCountersTest, LoggingBeforeTheSetExistsDoesNothing) {
  if (gEbPerfCounter != nullptr) GTEST_SKIP() << "the counter set already exists";
  ScopedLogCapture log(5);
  LogEBPerfcounters();
  EXPECT_EQ(gEbPerfCounter, nullptr);
  EXPECT_TRUE(log.messages().empty());
}

TEST(EBPerfCountersTest, BrowsersOnManyThreadsRegisterTheTenCountersOnce) {
  ScopedLogCapture log(0);
  std::vector<std::thread> threads;
  std::atomic<int> constructed{0};
  for (int i = 0; i < 8; ++i) {
    threads.emplace_back([&] {
      SCParams params = MakeParams(0);
      ExtentBrowse browse(params, "/f", nullptr, EB_MODE_DEFAULT, 10, 13, false, 0, "");
      ++constructed;
    });
  }
  for (std::thread& thread : threads) thread.join();
  ASSERT_EQ(constructed.load(), 8);
  ASSERT_NE(gEbPerfCounter, nullptr);
  EXPECT_TRUE(isInitialized);
  const ThrdPerfCounter* first = gEbPerfCounter;
  InitializeEBPerfCounters();
  EXPECT_EQ(gEbPerfCounter, first);

  const std::vector<ThrdPerfCounter::Snapshot> rows = gEbPerfCounter->snapshot();
  const char* names[] = {"EBBrowse", "InBrowseCallBack", "AddToExtentMap", "FindInExtentMap",
                         "TimeInGetAfInfo", "AddToBrowsedBuckets", "FindInBrowsedBuckets",
                         "WaitToSendBrowse", "WaitForBrowseComplete",
                         "TimeToGetFirstBrowseCallBack"};
  ASSERT_EQ(rows.size(), 10u);
  for (int id = 0; id < 10; ++id) {
    EXPECT_EQ(rows[id].id, id);
    EXPECT_EQ(rows[id].name, names[id]);
  }
}

TEST(EBPerfCountersTest, LoggingStopsWritesAndResetsAllTenInIdOrder) {
  InitializeEBPerfCounters();
  gEbPerfCounter->StartPerfCounter("ExtentBrowse", 3);
  gEbPerfCounter->StopPerfCounter("ExtentBrowse", 3, 0);
  gEbPerfCounter->StartPerfCounter("ExtentBrowse", 8);  // left running, as a failed browse does
  const std::size_t resetsBefore = gEbPerfCounter->resetHistory().size();

  ScopedLogCapture log(1);
  LogEBPerfcounters();

  const std::vector<std::string> lines = log.messages();
  ASSERT_EQ(lines.size(), 12u);  // title, heading, ten rows
  EXPECT_EQ(lines[0], "Performance counters of ExtentBrowse (For All The Files)");
  EXPECT_NE(lines[2 + 3].find("FindInExtentMap"), std::string::npos);
  EXPECT_NE(lines[2 + 8].find("WaitForBrowseComplete"), std::string::npos);

  std::vector<int> resets = gEbPerfCounter->resetHistory();
  resets.erase(resets.begin(), resets.begin() + resetsBefore);
  EXPECT_EQ(resets, (std::vector<int>{0, 1, 2, 3, 4, 5, 6, 7, 8, 9}));
  for (const ThrdPerfCounter::Snapshot& row : gEbPerfCounter->snapshot()) {
    EXPECT_EQ(row.count, 0u) << row.name;
    EXPECT_EQ(row.running, 0u) << row.name;
  }
}

TEST(ThrdPerfCounterTest, FlagsShapeTheThinOperations) {
  EvEvent event;
  ThrdPerfCounter counters(&event);
  counters.AddPerfCounter(1, "one", 0, false);
  counters.setEnabled(false);
  counters.setLogAfterUpdate(true);
  ScopedLogCapture log(5);
  counters.StartPerfCounter("m", 1);
  counters.StopPerfCounter("m", 1, 0);
  counters.ResetPerfCounter("m", 1);
  counters.LogPerfCounters("m", nullptr, -1);
  counters.StopPerfCounters("m", nullptr, false, true, -1);
  EXPECT_EQ(counters.platformCalls(), 0u);
  EXPECT_TRUE(log.messages().empty());

  counters.setEnabled(true);
  counters.setLogAfterUpdate(false);
  counters.setBulkStopSuppressed(true);
  counters.StartPerfCounter("m", 1);
  counters.StopPerfCounters("m", nullptr, false, true, -1);
  EXPECT_EQ(counters.snapshot()[0].running, 1u);  // suppressed: still running

  counters.setBulkStopSuppressed(false);
  counters.setLogAfterUpdate(true);
  counters.StopPerfCounter("m", 1, 0);
  EXPECT_EQ(counters.snapshot()[0].count, 1u);
  EXPECT_EQ(log.messages().front(), "Performance counters of m (For All The Files)");
}

TEST(ThrdPerfCounterTest, MeasuresAcrossThreadsAndIgnoresStrayStops) {
  EvEvent event;
  ThrdPerfCounter counters(&event);
  counters.AddPerfCounter(9, "first response", 0, false);
  counters.StartPerfCounter("m", 9);
  std::thread other([&] {
    std::this_thread::sleep_for(20ms);
    counters.StopPerfCounter("m", 9, 0);  // ends the start made on the main thread
    counters.StopPerfCounter("m", 9, 0);  // nothing left to stop
  });
  other.join();
  const ThrdPerfCounter::Snapshot row = counters.snapshot()[0];
  EXPECT_EQ(row.count, 1u);
  EXPECT_EQ(row.running, 0u);
  EXPECT_GE(row.total, 20ms);
  EXPECT_EQ(row.max, row.total);
}

}  // namespace
