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

// Whether another thread can take the section right now.
bool TakenByOtherThread(ZelCriticalSectionH& section) {
  bool taken = false;
  std::thread other([&] {
    taken = section.enter(false);
    if (taken) section.leave();
  });
  other.join();
  return !taken;
}

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

TEST(ZelCriticalSectionTest, IsRecursiveAndMayBeLeftInALaterCall) {
  ZelCriticalSectionH section;
  ASSERT_TRUE(section.enter(true));
  ASSERT_TRUE(section.enter(true));
  section.leave();
  EXPECT_TRUE(TakenByOtherThread(section));
  section.leave();
  EXPECT_FALSE(TakenByOtherThread(section));
}

TEST(ZelCriticalSectionTest, WrapperEnteredInOneCallIsLeftInAnother) {
  ZelCriticalSection section;
  auto open = [&] { section.enter(true); };
  auto close = [&] { section.leave(); };
  open();
  std::atomic<bool> otherGotIn{false};
  std::thread other([&] {
    section.enter(true);
    otherGotIn = true;
    section.leave();
  });
  std::this_thread::sleep_for(50ms);
  EXPECT_FALSE(otherGotIn.load());
  close();
  other.join();
  EXPECT_TRUE(otherGotIn.load());
}

TEST(CSecWrapperTest, LeavesTheSectionOnEveryWayOutOfItsScope) {
  ZelCriticalSection section;
  std::atomic<int> entries{0};
  auto enterFromOtherThread = [&] {
    std::thread other([&] {
      CSecWrapper guard(section);
      ++entries;
    });
    other.join();
  };

  {
    CSecWrapper guard(section);
  }
  enterFromOtherThread();
  EXPECT_EQ(entries.load(), 1);

  EXPECT_THROW(
      {
        CSecWrapper guard(section);
        throw std::runtime_error("leaving by exception");
      },
      std::runtime_error);
  enterFromOtherThread();
  EXPECT_EQ(entries.load(), 2);

  auto returnEarly = [&](bool early) {
    CSecWrapper guard(section);
    if (early) return 1;
    return 2;
  };
  EXPECT_EQ(returnEarly(true), 1);
  enterFromOtherThread();
  EXPECT_EQ(entries.load(), 3);
}

TEST(ZelEventHTest, StaysSetUntilReset) {
  ZelEventH event(false);
  EXPECT_FALSE(event.isSet());
  std::thread waiter([&] { event.wait(); });
  event.set();
  waiter.join();
  EXPECT_TRUE(event.isSet());
  event.wait();  // a manual-reset event lets every later waiter through
  event.reset();
  EXPECT_FALSE(event.isSet());
}

}  // namespace
