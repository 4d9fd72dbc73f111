#include "ZelSyncHandles.h"

ZelSemaphoreH::ZelSemaphoreH(int count) : count_(count) {}

void ZelSemaphoreH::wait() {
  std::unique_lock<std::mutex> lock(mutex_);
  available_.wait(lock, [this] { return count_ > 0; });
  --count_;
}

void ZelSemaphoreH::release(int n) {
  if (n <= 0) return;
  // Notifying under the lock: a waiter may destroy the semaphore as soon as
  // it gets through, and must not do so while this thread still touches it.
  std::lock_guard<std::mutex> lock(mutex_);
  count_ += n;
  if (n == 1) {
    available_.notify_one();
  } else {
    available_.notify_all();
  }
}

ZelEventH::ZelEventH(bool signalled) : signalled_(signalled) {}

void ZelEventH::set() {
  std::lock_guard<std::mutex> lock(mutex_);
  signalled_ = true;
  changed_.notify_all();
}

void ZelEventH::reset() {
  std::lock_guard<std::mutex> lock(mutex_);
  signalled_ = false;
}

void ZelEventH::wait() {
  std::unique_lock<std::mutex> lock(mutex_);
  changed_.wait(lock, [this] { return signalled_; });
}

bool ZelEventH::isSet() {
  std::lock_guard<std::mutex> lock(mutex_);
  return signalled_;
}

bool ZelCriticalSectionH::enter(bool wait) {
  if (wait) {
    mutex_.lock();
    return true;
  }
  return mutex_.try_lock();
}

void ZelCriticalSectionH::leave() { mutex_.unlock(); }
