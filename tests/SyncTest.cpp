// The critical section beneath the extent map lock, and its guard.
#include <gtest/gtest.h>

#include <stdexcept>
#include <thread>

#include "ZelSyncHandles.h"
#include "extentbrowse/ZelSync.h"

namespace {

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

}  // namespace
