/// @file
/// The platform's performance counters.
///
/// A counter set holds named counters by id. Each counter measures the real
/// time between a start and a stop (count, total, maximum); a counter may be
/// started on one thread and stopped on another, and several threads may run
/// the same counter at once. The set writes its table through the log writer.
///
/// Thread-safety: every member may be called from any thread.
///
/// Why it looks the way it does: the library wraps its map search in a
/// start/stop pair, and a hit costs a few hundred nanoseconds, so a pair has
/// to cost a few tens at most. Start and stop therefore take no lock and
/// search no container:
///  - counters live in a fixed array indexed by id (ids 0 to kMaxCounters-1,
///    registered before use), each on its own cache lines, with atomic
///    count, total and max (max raised with a compare-and-swap loop) kept
///    in a few tallies that a snapshot adds up;
///  - a running start is a nonzero time stamp in one of kStartSlots slots of
///    its counter, claimed with a compare-and-swap, so a stop on any thread
///    can see it. The starting thread also notes the slot in a small
///    thread-local list, so its own stop goes straight to it; a stop with no
///    start of its own on that counter takes the oldest stamp. Whoever swaps
///    a stamp to zero ends that start, so two stops never end one start.
///    A start that finds every slot busy is dropped and counted in
///    Snapshot::dropped: with no allocation on the hot path, that is the
///    price of a fixed size;
///  - stamps come from the processor's time-stamp counter where it runs at
///    a constant rate (x86-64), which reads in less than half the time of
///    steady_clock, and from steady_clock elsewhere. Ticks become nanoseconds only when the
///    figures are read, by a ratio measured against steady_clock between
///    the first set's construction and the first read.
/// Resets, logging and registration are rare and may take a lock; they race
/// with running pairs safely, though a pair that spans a reset may count on
/// either side of it.
#ifndef EBPLATFORM_THRDPERFCOUNTER_H
#define EBPLATFORM_THRDPERFCOUNTER_H

#include <array>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

/// The platform's counter type; the stand-in gives it no meaning.
typedef int CTRBASETYPE;

/// The event a counter set reports through. The stand-in's carries nothing.
class EvEvent {
 public:
  EvEvent() = default;  ///< An event.
};

/// A set of named counters by id, each timing the real time between a start
/// and a stop. Every member may be called from any thread.
class ThrdPerfCounter {
 public:
  static constexpr int kMaxCounters = 64;  ///< Ids run from 0 to kMaxCounters-1.
  /// Starts that may run at once on one counter, across all threads.
  static constexpr int kStartSlots = 32;

  /// One counter's figures so far.
  struct Snapshot {
    int id = 0;                         ///< The counter's id.
    std::string name;                   ///< Its registered name.
    unsigned long long count = 0;       ///< Completed start-stop pairs.
    std::chrono::nanoseconds total{0};  ///< Their summed time.
    std::chrono::nanoseconds max{0};    ///< The longest of them.
    unsigned long long running = 0;     ///< Starts not yet stopped.
    unsigned long long dropped = 0;     ///< Starts not timed: every slot was busy.
  };

  /// An empty set.
  /// @param event the event it reports through; stays the caller's and must
  ///   outlive the set.
  explicit ThrdPerfCounter(EvEvent* event);
  ThrdPerfCounter(const ThrdPerfCounter&) = delete;
  ThrdPerfCounter& operator=(const ThrdPerfCounter&) = delete;

  /// Registers a counter; registering an id again keeps the first. An id
  /// outside 0 to kMaxCounters-1 is refused, logged at -1 "Performance
  /// counter id %d is outside 0 to %d; not added.".
  /// @param id the counter's id.
  /// @param name its name; copied.
  /// @param type the platform's counter type; not used.
  /// @param perThread the platform's per-thread flag; not used.
  void AddPerfCounter(int id, const char* name, CTRBASETYPE type, bool perThread);

  /// Starts a counter, whether or not the set is enabled. An unregistered id
  /// is ignored.
  /// @param module the caller's module name; not used.
  /// @param id the counter.
  void _StartPerfCounter(const std::string& module, int id);
  /// Stops a counter. A stop on a thread that started the counter ends that
  /// thread's latest start; otherwise it ends the oldest start of any
  /// thread; with nothing started it does nothing.
  /// @param module the caller's module name; not used.
  /// @param id the counter.
  /// @param count units the timed work handled; the stand-in counts one pair
  ///   whatever it is.
  void _StopPerfCounter(const std::string& module, int id, unsigned long long count);
  /// Sets a counter's figures back to zero.
  /// @param module the caller's module name; not used.
  /// @param id the counter.
  void _ResetPerfCounter(const std::string& module, int id);
  /// Writes the table through g_ptrLogWriter at level 1: "Performance
  /// counters of MODULE (TITLE)", a heading, then one line per registered
  /// counter (id, name, count, total, average and maximum in milliseconds).
  /// @param module named in the first line.
  /// @param title named in the first line.
  /// @param reserved not used.
  void _LogPerfCounters(const std::string& module, const std::string& title, long long reserved);
  /// Stops every running start of every counter.
  /// @param module,title,logAfter,quiet,reserved the platform's; not used.
  void _StopPerfCounters(const std::string& module, const std::string& title, bool logAfter,
                         bool quiet, long long reserved);

  /// _StartPerfCounter, when the set is enabled.
  /// @param module,id as there.
  void StartPerfCounter(const char* module, int id);
  /// _StopPerfCounter, when the set is enabled; then the table, when the
  /// set logs after every update.
  /// @param module,id,count as there.
  void StopPerfCounter(const char* module, int id, unsigned long long count);
  /// _ResetPerfCounter, when the set is enabled; then the table, when the
  /// set logs after every update.
  /// @param module,id as there.
  void ResetPerfCounter(const char* module, int id);
  /// _LogPerfCounters, when the set is enabled.
  /// @param module,reserved as there.
  /// @param title as there; null for "For All The Files".
  void LogPerfCounters(const char* module, const char* title, long long reserved);
  /// _StopPerfCounters, when the set is enabled and bulk stops are not
  /// suppressed; then the table, when the set logs after every update.
  /// @param module,logAfter,quiet,reserved as there.
  /// @param title as there; null for "For All The Files".
  void StopPerfCounters(const char* module, const char* title, bool logAfter, bool quiet,
                        long long reserved);

  /// @return the event given at construction.
  EvEvent* event() const { return event_; }
  /// @return whether the thin operations act; true at first.
  bool isEnabled() const { return enabled_.load(std::memory_order_relaxed); }
  /// @return whether stops and resets write the table; false at first.
  bool isLogAfterUpdate() const { return logAfterUpdate_.load(std::memory_order_relaxed); }
  /// @return whether StopPerfCounters is ignored; false at first.
  bool isBulkStopSuppressed() const { return bulkStopSuppressed_.load(); }
  /// @param value whether the thin operations act.
  void setEnabled(bool value) { enabled_ = value; }
  /// @param value whether stops and resets write the table.
  void setLogAfterUpdate(bool value) { logAfterUpdate_ = value; }
  /// @param value whether StopPerfCounters is ignored.
  void setBulkStopSuppressed(bool value) { bulkStopSuppressed_ = value; }

  /// @return every registered counter's figures, in id order.
  std::vector<Snapshot> snapshot() const;
  /// How many times the underscore operations were reached, for hosts that
  /// want to see that a disabled set stays quiet.
  /// @return the count since construction.
  unsigned long long platformCalls() const;
  /// @return the ids reset so far, in order (the latest 1024).
  std::vector<int> resetHistory() const;

 private:
  // Figures are kept in a few tallies, each on its own cache line, and a
  // thread adds to the one its thread number picks: callers timing the
  // same counter at once would otherwise pass one line back and forth on
  // every pair, which costs more than the counting itself.
  static constexpr int kTallies = 4;
  struct alignas(64) Tally {
    std::atomic<std::uint64_t> calls{0};  // starts and stops that reached it
    std::atomic<std::uint64_t> count{0};
    std::atomic<std::uint64_t> totalTicks{0};
    std::atomic<std::uint64_t> maxTicks{0};
    std::atomic<std::uint64_t> dropped{0};
  };
  struct alignas(64) Counter {
    std::atomic<bool> registered{false};  // set once, then only read
    std::array<Tally, kTallies> tallies;
    // A thread starts its search in its tally's share of the slots, so
    // threads on different tallies claim slots on different lines.
    alignas(64) std::array<std::atomic<std::uint64_t>, kStartSlots> starts{};  // 0: free
  };

  // Counts a call on counter `id` in this thread's tally, whose number goes
  // in `hint`; the tally, or null when the id is out of range or unknown.
  Tally* arrive(int id, unsigned& hint);
  void start(int id);
  void stop(int id);
  static void takeOldest(Counter& counter, Tally& tally, std::uint64_t now);
  static void record(Tally& tally, std::uint64_t startTicks, std::uint64_t now);
  void logAfterUpdateStep(const char* module);

  EvEvent* const event_;  // the host's; kept, never owned
  // Tells this set's entries in a thread's list of starts from another
  // set's, even one later built at the same address.
  const std::uint64_t serial_;
  std::array<Counter, kMaxCounters> counters_;
  std::array<std::string, kMaxCounters> names_;  // written before `registered`
  mutable std::mutex mutex_;                     // registration and resets
  std::vector<int> resets_;
  std::atomic<bool> enabled_{true};
  std::atomic<bool> logAfterUpdate_{false};
  std::atomic<bool> bulkStopSuppressed_{false};
  std::atomic<unsigned long long> platformCalls_{0};  // those no counter counts
};

#endif  // EBPLATFORM_THRDPERFCOUNTER_H
