// The platform's performance counters.
//
// A counter set holds named counters by id. Each counter measures the real
// time between a start and a stop (count, total, maximum); a counter may be
// started on one thread and stopped on another, and several threads may run
// the same counter at once. The set writes its table through the log writer.
//
// Thread-safety: every member may be called from any thread.
#ifndef EBPLATFORM_THRDPERFCOUNTER_H
#define EBPLATFORM_THRDPERFCOUNTER_H

#include <atomic>
#include <chrono>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

typedef int CTRBASETYPE;

// The event a counter set reports through. The stand-in's carries nothing.
class EvEvent {
 public:
  EvEvent() = default;
};

class ThrdPerfCounter {
 public:
  // One counter's figures so far.
  struct Snapshot {
    int id = 0;
    std::string name;
    unsigned long long count = 0;    // completed start-stop pairs
    std::chrono::nanoseconds total{0};
    std::chrono::nanoseconds max{0};
    unsigned long long running = 0;  // starts not yet stopped
  };

  // `event` stays the caller's and must outlive the set.
  explicit ThrdPerfCounter(EvEvent* event);
  ThrdPerfCounter(const ThrdPerfCounter&) = delete;
  ThrdPerfCounter& operator=(const ThrdPerfCounter&) = delete;

  // Registers a counter; registering an id again keeps the first.
  void AddPerfCounter(int id, const char* name, CTRBASETYPE type, bool perThread);

  // The platform's own operations. A stop on a thread that started the
  // counter ends that thread's latest start; otherwise it ends the oldest
  // start of any thread; with nothing started it does nothing. `count`
  // is added as the number of units the timed work handled (0: one).
  void _StartPerfCounter(const std::string& module, int id);
  void _StopPerfCounter(const std::string& module, int id, unsigned long long count);
  void _ResetPerfCounter(const std::string& module, int id);
  // Writes the table at log level 1, one line per counter.
  void _LogPerfCounters(const std::string& module, const std::string& title, long long reserved);
  // Stops every running start of every counter.
  void _StopPerfCounters(const std::string& module, const std::string& title, bool logAfter,
                         bool quiet, long long reserved);

  // The thin operations callers use. Each does nothing when the set is
  // disabled.
  void StartPerfCounter(const char* module, int id);
  void StopPerfCounter(const char* module, int id, unsigned long long count);
  void ResetPerfCounter(const char* module, int id);
  void LogPerfCounters(const char* module, const char* title, long long reserved);
  void StopPerfCounters(const char* module, const char* title, bool logAfter, bool quiet,
                        long long reserved);

  EvEvent* event() const { return event_; }
  bool isEnabled() const { return enabled_.load(); }
  bool isLogAfterUpdate() const { return logAfterUpdate_.load(); }
  bool isBulkStopSuppressed() const { return bulkStopSuppressed_.load(); }
  void setEnabled(bool value) { enabled_ = value; }
  void setLogAfterUpdate(bool value) { logAfterUpdate_ = value; }
  void setBulkStopSuppressed(bool value) { bulkStopSuppressed_ = value; }

  std::vector<Snapshot> snapshot() const;  // in id order
  // How many times each underscore operation was reached, for hosts that
  // want to see that a disabled set stays quiet.
  unsigned long long platformCalls() const { return platformCalls_.load(); }
  // The ids reset so far, in order (the latest 1024).
  std::vector<int> resetHistory() const;

 private:
  typedef std::chrono::steady_clock Clock;
  struct Start {
    std::thread::id thread;
    Clock::time_point at;
  };
  struct Counter {
    std::string name;
    unsigned long long count = 0;
    Clock::duration total{0};
    Clock::duration max{0};
    std::vector<Start> running;  // oldest first
  };
  void logAfterUpdateStep(const char* module);
  static void finish(Counter& counter, std::vector<Start>::iterator start, Clock::time_point now);

  EvEvent* const event_;  // the host's; kept, never owned
  mutable std::mutex mutex_;
  std::map<int, Counter> counters_;
  std::vector<int> resets_;
  std::atomic<bool> enabled_{true};
  std::atomic<bool> logAfterUpdate_{false};
  std::atomic<bool> bulkStopSuppressed_{false};
  std::atomic<unsigned long long> platformCalls_{0};
};

#endif  // EBPLATFORM_THRDPERFCOUNTER_H
