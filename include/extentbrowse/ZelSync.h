// Owning wrappers over the platform's synchronisation handles, and a scoped
// guard for the critical section.
//
// Each wrapper owns one heap-allocated handle for its whole life. When the
// handle cannot be made, the constructor throws a C string naming the
// wrapper; that is the only exception the library raises. None of the
// wrappers is copyable.
#ifndef EXTENTBROWSE_ZELSYNC_H
#define EXTENTBROWSE_ZELSYNC_H

#include "extentbrowse/Export.h"

class ZelSemaphoreH;
class ZelEventH;
class ZelCriticalSectionH;

class EB_EXPORT ZelSemaphore {
 public:
  explicit ZelSemaphore(int count);
  ~ZelSemaphore();
  ZelSemaphore(const ZelSemaphore&) = delete;
  ZelSemaphore& operator=(const ZelSemaphore&) = delete;

  void wait();
  void release(int n);

 private:
  ZelSemaphoreH* handle;
};

class EB_EXPORT ZelEvent {
 public:
  explicit ZelEvent(bool signalled);
  ~ZelEvent();
  ZelEvent(const ZelEvent&) = delete;
  ZelEvent& operator=(const ZelEvent&) = delete;

  void reset();

 private:
  ZelEventH* handle;
};

// Recursive: the holder may enter again, and may leave in a later call than
// the one that entered, on the same thread.
class EB_EXPORT ZelCriticalSection {
 public:
  ZelCriticalSection();
  ~ZelCriticalSection();
  ZelCriticalSection(const ZelCriticalSection&) = delete;
  ZelCriticalSection& operator=(const ZelCriticalSection&) = delete;

  void enter(bool wait);
  void leave();

 private:
  ZelCriticalSectionH* handle;
};

// Holds a critical section from construction to the end of its scope,
// however the scope is left.
class EB_EXPORT CSecWrapper {
 public:
  explicit CSecWrapper(ZelCriticalSection& section);
  ~CSecWrapper();
  CSecWrapper(const CSecWrapper&) = delete;
  CSecWrapper& operator=(const CSecWrapper&) = delete;

 private:
  ZelCriticalSection& section;
};

#endif  // EXTENTBROWSE_ZELSYNC_H
