#include "ThrdPerfCounter.h"

#include <algorithm>
#include <limits>

#include "CLogWriterInterface.h"
#include "CounterClock.h"

using counterclock::NanosPerTick;
using counterclock::Ticks;
using counterclock::ToNanos;

namespace {

constexpr const char* kDefaultTitle = "For All The Files";
// The reset history is for hosts that check what was reset; a long-lived
// process that resets now and then must not grow it without end.
constexpr std::size_t kResetHistoryLimit = 1024;

double Milliseconds(std::chrono::nanoseconds duration) { return duration.count() / 1e6; }

// A stamp of 0 marks a free slot, so no start may carry it.
std::uint64_t Stamp() {
  const std::uint64_t ticks = Ticks();
  return ticks != 0 ? ticks : 1;
}

// --- A thread's own starts ---------------------------------------------

// Where this thread's running starts sit, newest last, so that its stop
// finds its own start without scanning the slots. Trivial on purpose: a
// thread_local with no constructor costs no guard on each use.
struct OwnStart {
  std::uint64_t set;    // the set's serial
  std::uint64_t stamp;  // what the slot holds while the start is this one
  int id;
  int slot;
};
constexpr int kOwnStarts = 16;
struct ThreadStarts {
  OwnStart entries[kOwnStarts];
  int size;
  unsigned hint;  // 0 until first use; spreads threads over the slots
};
thread_local ThreadStarts tOwnStarts;

std::atomic<std::uint64_t> gNextSerial{1};
std::atomic<unsigned> gNextHint{1};

void Remember(ThreadStarts& own, const OwnStart& start) {
  // A start never stopped (a failed browse leaves some) would fill the
  // list for good; forgetting the oldest only sends its stop, if one ever
  // comes, the cross-thread way.
  if (own.size == kOwnStarts) {
    std::copy(own.entries + 1, own.entries + kOwnStarts, own.entries);
    --own.size;
  }
  own.entries[own.size++] = start;
}

void Forget(ThreadStarts& own, int index) {
  std::copy(own.entries + index + 1, own.entries + own.size, own.entries + index);
  --own.size;
}

}  // namespace

ThrdPerfCounter::ThrdPerfCounter(EvEvent* event)
    : event_(event), serial_(gNextSerial.fetch_add(1, std::memory_order_relaxed)) {
  counterclock::StartCalibration();
}

void ThrdPerfCounter::AddPerfCounter(int id, const char* name, CTRBASETYPE, bool) {
  if (id < 0 || id >= kMaxCounters) {
    CLogWriterInterface* writer = g_ptrLogWriter.get();
    if (writer != nullptr && writer->getLevel() >= -1) {
      writer->writeLog(-1, __PRETTY_FUNCTION__, __LINE__, 0, 0,
                       "Performance counter id %d is outside 0 to %d; not added.", id,
                       kMaxCounters - 1);
    }
    return;
  }
  std::lock_guard<std::mutex> lock(mutex_);
  Counter& counter = counters_[id];
  if (counter.registered.load(std::memory_order_relaxed)) return;
  names_[id] = name != nullptr ? name : "";
  counter.registered.store(true, std::memory_order_release);
}

void ThrdPerfCounter::record(Tally& tally, std::uint64_t startTicks, std::uint64_t now) {
  // Stamps taken on different cores may be a few ticks out of step.
  const std::uint64_t elapsed = now > startTicks ? now - startTicks : 0;
  tally.totalTicks.fetch_add(elapsed, std::memory_order_relaxed);
  tally.count.fetch_add(1, std::memory_order_relaxed);
  std::uint64_t max = tally.maxTicks.load(std::memory_order_relaxed);
  while (elapsed > max &&
         !tally.maxTicks.compare_exchange_weak(max, elapsed, std::memory_order_relaxed)) {
  }
}

ThrdPerfCounter::Tally* ThrdPerfCounter::arrive(int id, unsigned& hint) {
  if (id < 0 || id >= kMaxCounters) {
    platformCalls_.fetch_add(1, std::memory_order_relaxed);
    return nullptr;
  }
  ThreadStarts& own = tOwnStarts;
  if (own.hint == 0) own.hint = gNextHint.fetch_add(1, std::memory_order_relaxed);
  hint = own.hint;
  Counter& counter = counters_[id];
  Tally& tally = counter.tallies[hint % kTallies];
  tally.calls.fetch_add(1, std::memory_order_relaxed);
  return counter.registered.load(std::memory_order_acquire) ? &tally : nullptr;
}

void ThrdPerfCounter::start(int id) {
  unsigned hint = 0;
  Tally* const tally = arrive(id, hint);
  if (tally == nullptr) return;
  Counter& counter = counters_[id];
  ThreadStarts& own = tOwnStarts;
  const std::uint64_t stamp = Stamp();
  const unsigned first = (hint % kTallies) * (kStartSlots / kTallies);
  for (unsigned i = 0; i < kStartSlots; ++i) {
    const int slot = static_cast<int>((first + i) % kStartSlots);
    std::atomic<std::uint64_t>& cell = counter.starts[slot];
    std::uint64_t expected = 0;
    if (cell.load(std::memory_order_relaxed) == 0 &&
        cell.compare_exchange_strong(expected, stamp, std::memory_order_acq_rel)) {
      Remember(own, OwnStart{serial_, stamp, id, slot});
      return;
    }
  }
  tally->dropped.fetch_add(1, std::memory_order_relaxed);
}

void ThrdPerfCounter::takeOldest(Counter& counter, Tally& tally, std::uint64_t now) {
  for (;;) {
    int oldest = -1;
    std::uint64_t oldestStamp = std::numeric_limits<std::uint64_t>::max();
    for (int slot = 0; slot < kStartSlots; ++slot) {
      const std::uint64_t stamp = counter.starts[slot].load(std::memory_order_acquire);
      if (stamp != 0 && stamp < oldestStamp) {
        oldest = slot;
        oldestStamp = stamp;
      }
    }
    if (oldest < 0) return;
    // Another stop may have ended it since; look again.
    if (counter.starts[oldest].compare_exchange_strong(oldestStamp, 0, std::memory_order_acq_rel)) {
      record(tally, oldestStamp, now);
      return;
    }
  }
}

void ThrdPerfCounter::stop(int id) {
  unsigned hint = 0;
  Tally* const found = arrive(id, hint);
  if (found == nullptr) return;
  Tally& tally = *found;
  Counter& counter = counters_[id];
  ThreadStarts& own = tOwnStarts;
  const std::uint64_t now = Ticks();
  for (int i = own.size - 1; i >= 0; --i) {
    const OwnStart mine = own.entries[i];
    if (mine.set != serial_ || mine.id != id) continue;
    Forget(own, i);
    // A cross-thread stop, a bulk stop or a reset may have ended this
    // start already; then an older one of ours is next in line.
    std::uint64_t expected = mine.stamp;
    if (counter.starts[mine.slot].compare_exchange_strong(expected, 0, std::memory_order_acq_rel)) {
      record(tally, mine.stamp, now);
      return;
    }
  }
  // A counter stopped elsewhere than it started (a response arriving on
  // the service's thread) ends the start that has waited longest.
  takeOldest(counter, tally, now);
}

void ThrdPerfCounter::_StartPerfCounter(const std::string&, int id) { start(id); }

void ThrdPerfCounter::_StopPerfCounter(const std::string&, int id, unsigned long long) { stop(id); }

void ThrdPerfCounter::_ResetPerfCounter(const std::string&, int id) {
  platformCalls_.fetch_add(1, std::memory_order_relaxed);
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (resets_.size() == kResetHistoryLimit) resets_.erase(resets_.begin());
    resets_.push_back(id);
  }
  if (id < 0 || id >= kMaxCounters) return;
  Counter& counter = counters_[id];
  if (!counter.registered.load(std::memory_order_acquire)) return;
  // Only the stamps seen here are cleared: a start claimed meanwhile
  // belongs after the reset.
  for (std::atomic<std::uint64_t>& cell : counter.starts) {
    std::uint64_t stamp = cell.load(std::memory_order_acquire);
    if (stamp != 0) cell.compare_exchange_strong(stamp, 0, std::memory_order_acq_rel);
  }
  for (Tally& tally : counter.tallies) {
    tally.count.store(0, std::memory_order_relaxed);
    tally.totalTicks.store(0, std::memory_order_relaxed);
    tally.maxTicks.store(0, std::memory_order_relaxed);
    tally.dropped.store(0, std::memory_order_relaxed);
  }
}

void ThrdPerfCounter::_LogPerfCounters(const std::string& module, const std::string& title,
                                       long long) {
  platformCalls_.fetch_add(1, std::memory_order_relaxed);
  CLogWriterInterface* writer = g_ptrLogWriter.get();
  if (writer == nullptr || writer->getLevel() < 1) return;
  const std::vector<Snapshot> rows = snapshot();
  writer->writeLog(1, __PRETTY_FUNCTION__, __LINE__, 0, 0, "Performance counters of %s (%s)",
                   module.c_str(), title.c_str());
  writer->writeLog(1, __PRETTY_FUNCTION__, __LINE__, 0, 0, "%3s  %-30s %10s %12s %10s %10s", "id",
                   "counter", "count", "total ms", "avg ms", "max ms");
  for (const Snapshot& row : rows) {
    const double average = row.count == 0 ? 0.0 : Milliseconds(row.total) / row.count;
    writer->writeLog(1, __PRETTY_FUNCTION__, __LINE__, 0, 0,
                     "%3d  %-30s %10llu %12.3f %10.3f %10.3f", row.id, row.name.c_str(), row.count,
                     Milliseconds(row.total), average, Milliseconds(row.max));
  }
}

void ThrdPerfCounter::_StopPerfCounters(const std::string&, const std::string&, bool, bool,
                                        long long) {
  platformCalls_.fetch_add(1, std::memory_order_relaxed);
  const std::uint64_t now = Ticks();
  for (Counter& counter : counters_) {
    if (!counter.registered.load(std::memory_order_acquire)) continue;
    for (std::atomic<std::uint64_t>& cell : counter.starts) {
      if (cell.load(std::memory_order_relaxed) == 0) continue;
      const std::uint64_t stamp = cell.exchange(0, std::memory_order_acq_rel);
      if (stamp != 0) record(counter.tallies[0], stamp, now);
    }
  }
}

void ThrdPerfCounter::logAfterUpdateStep(const char* module) {
  if (isLogAfterUpdate()) _LogPerfCounters(module, kDefaultTitle, -1);
}

// The thin operations go straight to the counting, without the module
// name the platform operations take as a string: building one per call
// would cost as much as the counting.
void ThrdPerfCounter::StartPerfCounter(const char*, int id) {
  if (!isEnabled()) return;
  start(id);
}

void ThrdPerfCounter::StopPerfCounter(const char* module, int id, unsigned long long) {
  if (!isEnabled()) return;
  stop(id);
  logAfterUpdateStep(module);
}

void ThrdPerfCounter::ResetPerfCounter(const char* module, int id) {
  if (!isEnabled()) return;
  _ResetPerfCounter(module, id);
  logAfterUpdateStep(module);
}

void ThrdPerfCounter::LogPerfCounters(const char* module, const char* title, long long reserved) {
  if (!isEnabled()) return;
  _LogPerfCounters(module, title != nullptr ? title : kDefaultTitle, reserved);
}

void ThrdPerfCounter::StopPerfCounters(const char* module, const char* title, bool logAfter,
                                       bool quiet, long long reserved) {
  if (!isEnabled() || isBulkStopSuppressed()) return;
  _StopPerfCounters(module, title != nullptr ? title : kDefaultTitle, logAfter, quiet, reserved);
  logAfterUpdateStep(module);
}

std::vector<ThrdPerfCounter::Snapshot> ThrdPerfCounter::snapshot() const {
  const double nanosPerTick = NanosPerTick();
  std::vector<Snapshot> rows;
  for (int id = 0; id < kMaxCounters; ++id) {
    const Counter& counter = counters_[id];
    if (!counter.registered.load(std::memory_order_acquire)) continue;
    Snapshot row;
    row.id = id;
    row.name = names_[id];
    std::uint64_t totalTicks = 0, maxTicks = 0;
    for (const Tally& tally : counter.tallies) {
      row.count += tally.count.load(std::memory_order_relaxed);
      totalTicks += tally.totalTicks.load(std::memory_order_relaxed);
      maxTicks = std::max(maxTicks, tally.maxTicks.load(std::memory_order_relaxed));
      row.dropped += tally.dropped.load(std::memory_order_relaxed);
    }
    row.total = ToNanos(totalTicks, nanosPerTick);
    row.max = ToNanos(maxTicks, nanosPerTick);
    for (const std::atomic<std::uint64_t>& cell : counter.starts) {
      if (cell.load(std::memory_order_relaxed) != 0) ++row.running;
    }
    rows.push_back(row);
  }
  return rows;
}

unsigned long long ThrdPerfCounter::platformCalls() const {
  unsigned long long calls = platformCalls_.load(std::memory_order_relaxed);
  for (const Counter& counter : counters_) {
    for (const Tally& tally : counter.tallies) calls += tally.calls.load(std::memory_order_relaxed);
  }
  return calls;
}

std::vector<int> ThrdPerfCounter::resetHistory() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return resets_;
}
