/// @file
/// Owning wrappers over the platform's synchronisation handles, and a scoped
/// guard for the critical section.
///
/// Each wrapper owns one heap-allocated handle for its whole life. When the
/// handle cannot be made, the constructor throws a C string naming the
/// wrapper; that is the only exception the library raises. None of the
/// wrappers is copyable. Every operation may be called from any thread.
#ifndef EXTENTBROWSE_ZELSYNC_H
#define EXTENTBROWSE_ZELSYNC_H

#include "extentbrowse/Export.h"

class ZelSemaphoreH;
class ZelEventH;
class ZelCriticalSectionH;

/// Counting semaphore.
class EB_EXPORT ZelSemaphore {
 public:
  /// @param count units available at first.
  /// @throw std::bad_alloc, or "Not enough memory to initialize ZelSemaphore".
  explicit ZelSemaphore(int count);
  ~ZelSemaphore();
  ZelSemaphore(const ZelSemaphore&) = delete;
  ZelSemaphore& operator=(const ZelSemaphore&) = delete;

  /// Takes one unit, blocking while none is left.
  void wait();
  /// Returns units, waking as many waiters.
  /// @param n units to return.
  void release(int n);

 private:
  ZelSemaphoreH* handle;
};

/// Manual-reset event.
class EB_EXPORT ZelEvent {
 public:
  /// @param signalled the initial state.
  /// @throw std::bad_alloc, or "Not enough memory to initialize ZelEvent".
  explicit ZelEvent(bool signalled);
  ~ZelEvent();
  ZelEvent(const ZelEvent&) = delete;
  ZelEvent& operator=(const ZelEvent&) = delete;

  /// Clears the event.
  void reset();

 private:
  ZelEventH* handle;
};

/// Recursive: the holder may enter again, and may leave in a later call than
/// the one that entered, on the same thread.
class EB_EXPORT ZelCriticalSection {
 public:
  /// @throw std::bad_alloc, or "Not enough memory to initialize
  ///   ZelCriticalSection".
  ZelCriticalSection();
  ~ZelCriticalSection();
  ZelCriticalSection(const ZelCriticalSection&) = delete;
  ZelCriticalSection& operator=(const ZelCriticalSection&) = delete;

  /// Enters the section.
  /// @param wait true to block until the section is held. With false the
  ///   section is taken only when free, and the caller cannot tell whether
  ///   it was: the library always passes true.
  void enter(bool wait);
  /// Leaves the section, once per enter, on the thread that entered.
  void leave();

 private:
  ZelCriticalSectionH* handle;
};

/// Holds a critical section from construction to the end of its scope,
/// however the scope is left.
class EB_EXPORT CSecWrapper {
 public:
  /// Enters the section, waiting for it.
  /// @param section the section to hold; must outlive the guard.
  explicit CSecWrapper(ZelCriticalSection& section);
  ~CSecWrapper();
  CSecWrapper(const CSecWrapper&) = delete;
  CSecWrapper& operator=(const CSecWrapper&) = delete;

 private:
  ZelCriticalSection& section;
};

#endif  // EXTENTBROWSE_ZELSYNC_H
