#include "extentbrowse/ZelSync.h"

#include "ZelSyncHandles.h"

// The allocations below throw on exhaustion; the null checks stay for hosts
// whose allocator returns null instead of throwing.

ZelSemaphore::ZelSemaphore(int count) : handle(new ZelSemaphoreH(count)) {
  if (handle == nullptr) throw "Not enough memory to initialize ZelSemaphore";
}

ZelSemaphore::~ZelSemaphore() { delete handle; }

void ZelSemaphore::wait() { handle->wait(); }

void ZelSemaphore::release(int n) { handle->release(n); }

ZelEvent::ZelEvent(bool signalled) : handle(new ZelEventH(signalled)) {
  if (handle == nullptr) throw "Not enough memory to initialize ZelEvent";
}

ZelEvent::~ZelEvent() { delete handle; }

void ZelEvent::reset() { handle->reset(); }

ZelCriticalSection::ZelCriticalSection() : handle(new ZelCriticalSectionH()) {
  if (handle == nullptr) throw "Not enough memory to initialize ZelCriticalSection";
}

ZelCriticalSection::~ZelCriticalSection() {
  delete handle;
  handle = nullptr;
}

void ZelCriticalSection::enter(bool wait) { handle->enter(wait); }

void ZelCriticalSection::leave() { handle->leave(); }

CSecWrapper::CSecWrapper(ZelCriticalSection& section) : section(section) { section.enter(true); }

CSecWrapper::~CSecWrapper() { section.leave(); }
