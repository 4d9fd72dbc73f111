// The platform's counter class: registration, a disabled set, fixed sizes,
// and pairs started and stopped on any threads.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "ThrdPerfCounter.h"
#include "support/Support.h"

namespace {

class ThrdPerfCounterTest : public testing::Test {
 protected:
  void Pair(int id) {
    counters.StartPerfCounter("m", id);
    counters.StopPerfCounter("m", id, 0);
  }
  ThrdPerfCounter::Snapshot Row() { return counters.snapshot().at(0); }

  EvEvent event;
  ThrdPerfCounter counters{&event};
};

TEST_F(ThrdPerfCounterTest, ADisabledSetDoesNothingAndSizesAreFixed) {
  ebtest::ScopedLogCapture log(5);
  counters.AddPerfCounter(ThrdPerfCounter::kMaxCounters, "past the end", 0, false);
  counters.AddPerfCounter(2, "two", 0, false);
  counters.AddPerfCounter(2, "again", 0, false);
  EXPECT_EQ(log->messages(), std::vector<std::string>{
                                "Performance counter id 64 is outside 0 to 63; not added."});
  ASSERT_EQ(counters.snapshot().size(), 1u);
  EXPECT_EQ(Row().name, "two");
  log->clear();
  counters.setEnabled(false);
  counters.setLogAfterUpdate(true);
  Pair(2);
  counters.ResetPerfCounter("m", 2);
  counters.LogPerfCounters("m", nullptr, -1);
  counters.StopPerfCounters("m", nullptr, false, true, -1);
  EXPECT_EQ(counters.platformCalls(), 0u);
  EXPECT_TRUE(log->messages().empty());

  counters.setEnabled(true);
  for (int i = 0; i <= ThrdPerfCounter::kStartSlots; ++i) counters.StartPerfCounter("m", 2);
  EXPECT_EQ(Row().running, unsigned(ThrdPerfCounter::kStartSlots));
  EXPECT_EQ(Row().dropped, 1u) << "a start past the slots";
  EXPECT_TRUE(log->messages().empty());
  // More stops than a thread's list holds end the oldest starts.
  for (int i = 0; i < ThrdPerfCounter::kStartSlots / 2 + 4; ++i) {
    counters.StopPerfCounter("m", 2, 0);
  }
  EXPECT_EQ(log->messages().front(), "Performance counters of m (For All The Files)");
  counters.StopPerfCounters("m", nullptr, false, true, -1);
  EXPECT_EQ(Row().count, unsigned(ThrdPerfCounter::kStartSlots)) << "every start ended once";
}

// As the library runs TimeToGetFirstBrowseCallBack: started on one thread,
// stopped on others, while other threads time their own pairs. Two stops
// must never end one start, nor a start go uncounted.
TEST_F(ThrdPerfCounterTest, ConcurrentPairsAreEachCountedOnce) {
  for (int id : {0, 9}) counters.AddPerfCounter(id, "c", 0, false);
  constexpr unsigned kThreads = 4, kPairs = 2000;
  std::vector<std::thread> threads;
  for (unsigned t = 0; t < kThreads; ++t) {
    threads.emplace_back([&] { for (unsigned i = 0; i < kPairs; ++i) Pair(0); });
  }
  std::atomic<int> inFlight{0};  // kept low enough that no start is dropped
  threads.emplace_back([&] {
    for (unsigned i = 0; i < kPairs; ++i, ++inFlight) {
      while (inFlight.load() >= 8) std::this_thread::yield();
      counters.StartPerfCounter("m", 9);
    }
  });
  for (int stopper = 0; stopper < 2; ++stopper) {
    threads.emplace_back([&] {
      for (unsigned i = 0; i < kPairs / 2; ++i) {
        int running = inFlight.load();
        while (running == 0 || !inFlight.compare_exchange_weak(running, running - 1)) {
          std::this_thread::yield();
          running = inFlight.load();
        }
        counters.StopPerfCounter("m", 9, 0);
      }
    });
  }
  for (std::thread& thread : threads) thread.join();
  for (const ThrdPerfCounter::Snapshot& counter : counters.snapshot()) {
    EXPECT_EQ(counter.count, counter.id == 9 ? kPairs : kThreads * kPairs) << counter.id;
    EXPECT_EQ(counter.running + counter.dropped, 0u) << counter.id;
    EXPECT_GE(counter.total, counter.max) << counter.id;
  }
}

}  // namespace
