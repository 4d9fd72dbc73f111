// The synchronisation wrappers and the handles beneath them.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <stdexcept>
#include <thread>
#include <vector>

#include "ZelSyncHandles.h"
#include "extentbrowse/ZelSync.h"

namespace {

using namespace std::chrono_literals;

TEST(ZelSemaphoreTest, CountOneAdmitsOneHolderAndReleaseAdmitsExactlyOneWaiter) {
  ZelSemaphore semaphore(1);
  semaphore.wait();
  std::atomic<int> admitted{0};
  std::vector<std::thread> waiters;
  for (int i = 0; i < 3; ++i) {
    waiters.emplace_back([&] {
      semaphore.wait();
      ++admitted;
    });
  }
  std::this_thread::sleep_for(50ms);
  EXPECT_EQ(admitted.load(), 0);
  semaphore.release(1);
  while (admitted.load() < 1) std::this_thread::yield();
  std::this_thread::sleep_for(50ms);
  EXPECT_EQ(admitted.load(), 1);
  semaphore.release(2);
  for (std::thread& waiter : waiters) waiter.join();
  EXPECT_EQ(admitted.load(), 3);
}

// The map lock is held from OpenEnum to CloseEnum, entered again by a
// lookup on the same thread, and guarded by CSecWrapper however a scope ends.
TEST(ZelCriticalSectionTest, IsRecursiveAndItsGuardLeavesItOnEveryWayOut) {
  ZelCriticalSectionH handle;
  const auto takenElsewhere = [&handle] {
    bool taken = false;
    std::thread([&] {
      taken = handle.enter(false);
      if (taken) handle.leave();
    }).join();
    return !taken;
  };
  ASSERT_TRUE(handle.enter(true) && handle.enter(true));
  handle.leave();
  EXPECT_TRUE(takenElsewhere());
  handle.leave();
  EXPECT_FALSE(takenElsewhere());

  ZelCriticalSection section;
  const auto enterElsewhere = [&section] { std::thread([&] { CSecWrapper guard(section); }).join(); };
  { CSecWrapper guard(section); }
  enterElsewhere();
  EXPECT_THROW(
      {
        CSecWrapper guard(section);
        throw std::runtime_error("leaving by exception");
      },
      std::runtime_error);
  enterElsewhere();  // would never return had the guard kept the section
}

TEST(ZelEventHTest, StaysSetUntilReset) {
  ZelEventH event(false);
  EXPECT_FALSE(event.isSet());
  std::thread waiter([&] { event.wait(); });
  event.set();
  waiter.join();
  event.wait();  // a manual-reset event lets every later waiter through
  event.reset();
  EXPECT_FALSE(event.isSet());
}

}  // namespace
