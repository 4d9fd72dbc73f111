// Several caller threads on one browser while responses arrive on the
// service's thread; and the destructor waiting for a running browse.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

#include "support/BrowserFixtures.h"

namespace {

using namespace ebtest;
using namespace std::chrono_literals;

class ConcurrencyTest : public IndexTest {};

TEST_F(ConcurrencyTest, ParallelLookupsAllAnswerCorrectly) {
  AddItem("/f", 0, 400);
  AddItem("/f", 1000, 50);  // a hole from 400 to 999
  index().setDeliverOnServiceThread(true);
  index().setItemsPerResponse(7);
  index().setResponseDelay(1ms);
  auto browser = MakeBrowser(0, "/f", 40);

  constexpr int kThreads = 4;
  std::atomic<int> wrong{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      // Overlapping walks from different starts, with steps that land in
      // the hole.
      for (unsigned long long extent = t * 37; extent < 1100; extent += 13 + t) {
        unsigned long long id = 0, value = 0;
        const ExtentBrowseResult result = browser->GetAFInfo(extent, id, value);
        const bool present = extent < 400 || (extent >= 1000 && extent < 1050);
        if (present ? (result != EB_EXTENT_FOUND || id != 1000 + extent || value != 2000 + extent)
                    : result != EB_EXTENT_NOT_FOUND) {
          ++wrong;
        }
        if (browser->IsExtentEmpty(extent) != (present && extent % 7 == 0)) ++wrong;
      }
    });
  }
  for (std::thread& thread : threads) thread.join();
  EXPECT_EQ(wrong.load(), 0);
  EXPECT_GT(BrowseCount(), 1u);
}

TEST_F(ConcurrencyTest, TheDestructorWaitsForARunningBrowse) {
  AddItem("/f", 0, 10);
  index().setDeliverOnServiceThread(true);
  index().setItemsPerResponse(2);
  index().setResponseDelay(30ms);
  auto browser = MakeBrowser(0, "/f");

  std::atomic<bool> browsed{false};
  std::thread browsing([&] { browsed = browser->StartBrowse(Base32Name(0), 0, ~0ull); });
  while (!log.contains("Going to create browseThread")) std::this_thread::sleep_for(1ms);
  browser.reset();
  browsing.join();

  EXPECT_TRUE(browsed.load());
  const int waiting =
      log.indexOf("ExtentBrowseImpl destructor going to wait for any browse thread to complete.");
  const int recorded = log.indexOf("Added to browsedExtents: (0, 9)");
  const int completed = log.indexOf("ExtentBrowseImpl destructor completed");
  ASSERT_GE(waiting, 0);
  EXPECT_LT(waiting, recorded);
  EXPECT_LT(recorded, completed);
}

}  // namespace
