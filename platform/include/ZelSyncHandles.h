// Synchronisation handles of the platform's common library.
//
// Each handle is a small object owned by exactly one wrapper; none is
// copyable. All operations are safe to call from any thread.
#ifndef EBPLATFORM_ZELSYNCHANDLES_H
#define EBPLATFORM_ZELSYNCHANDLES_H

#include <condition_variable>
#include <mutex>

// Counting semaphore: wait() takes one unit, blocking while none is left;
// release(n) returns n units and wakes that many waiters.
class ZelSemaphoreH {
 public:
  explicit ZelSemaphoreH(int count);
  ZelSemaphoreH(const ZelSemaphoreH&) = delete;
  ZelSemaphoreH& operator=(const ZelSemaphoreH&) = delete;

  void wait();
  void release(int n);

 private:
  std::mutex mutex_;
  std::condition_variable available_;
  int count_;
};

// Manual-reset event: once set it stays set, releasing every waiter, until
// reset() is called. The constructor argument is the initial state.
class ZelEventH {
 public:
  explicit ZelEventH(bool signalled);
  ZelEventH(const ZelEventH&) = delete;
  ZelEventH& operator=(const ZelEventH&) = delete;

  void set();
  void reset();
  void wait();
  bool isSet();

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  bool signalled_;
};

// Recursive critical section. The holder may enter again and must leave as
// often as it entered; it may leave in a later call than the one that
// entered, as long as it is the same thread.
class ZelCriticalSectionH {
 public:
  ZelCriticalSectionH() = default;
  ZelCriticalSectionH(const ZelCriticalSectionH&) = delete;
  ZelCriticalSectionH& operator=(const ZelCriticalSectionH&) = delete;

  // With `wait` true, blocks until the section is held and returns true.
  // With `wait` false, returns at once: true when the section was taken.
  bool enter(bool wait);
  void leave();

 private:
  std::recursive_mutex mutex_;
};

#endif  // EBPLATFORM_ZELSYNCHANDLES_H
