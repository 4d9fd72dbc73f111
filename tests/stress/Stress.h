// What the parts of a stress run share: the totals, each thread's current
// call for the watchdog, and the browser under test with what the checks
// must know about it.
#ifndef EXTENTBROWSE_TESTS_STRESS_STRESS_H
#define EXTENTBROWSE_TESTS_STRESS_STRESS_H

#include <atomic>
#include <memory>
#include <mutex>
#include <sstream>
#include <string>

#include "harness/Harness.h"

namespace stress {

using namespace harness;

// ThreadSanitizer (g++ says when it builds with it) makes every call many
// times slower. A run under it keeps pages small, spaces calls over the
// whole item further apart, lets browsers live longer and waits longer
// before calling a call hung, so that a short run still does more than browse.
#ifdef __SANITIZE_THREAD__
constexpr int kSlowdown = 8;
#else
constexpr int kSlowdown = 1;
#endif

// Milliseconds since the run started, never 0.
long long NowMs();

// Enumerations and saves go over the whole item, holding the map lock;
// spacing them leaves a browser mostly to lookups.
constexpr long long kHeavyCallSpacingMs = 400 * kSlowdown;

// The tally's second half is what else the run did, so that a quiet
// summary can be trusted.
struct Totals {
  std::mutex mutex;  // guards the tally
  Tally tally;
  std::atomic<unsigned long long> wrong{0}, hangs{0};
  std::atomic<long long> longestCallMs{0};  // how close the run came to a hang
  std::atomic<const char*> longestCall{"no call"};

  void add(const Tally& counts) {
    std::lock_guard<std::mutex> lock(mutex);
    for (const auto& count : counts) tally[count.first] += count.second;
  }
};
extern Totals totals;

// The library call a thread is in, and since when; the watchdog reads it.
struct Step {
  std::atomic<long long> sinceMs{0};  // 0: between calls
  std::atomic<const char*> call{""};
  std::atomic<unsigned long long> extent{0};

  void begin(const char* name, unsigned long long number) {
    call = name;
    extent = number;
    sinceMs = NowMs();
  }
  void end() {
    const long long took = NowMs() - sinceMs.exchange(0);
    long long longest = totals.longestCallMs;
    while (took > longest && !totals.longestCallMs.compare_exchange_weak(longest, took)) {
    }
    if (took > longest) totals.longestCall = call.load();
  }
};

// One browser, from construction to destruction.
struct Subject {
  Subject(const Item& item, const std::string& path) : item(item), path(path) {}

  std::string describe() const {
    std::lock_guard<std::mutex> lock(mutex);
    return description + faults;
  }
  void noteFault(const std::string& fault) {
    std::lock_guard<std::mutex> lock(mutex);
    faults += "; " + fault;
  }

  const Item& item;
  const std::string path;
  std::string description;  // set before its callers start
  // A fault's leeway is set before it is armed, so that a call the fault
  // reached also sees it.
  Standing standing;
  std::stringstream cacheStream;  // the block it was seeded from, kept for its life
  std::unique_ptr<ExtentBrowse> browser;
  std::mutex enumeration;  // one enumeration at a time
  std::atomic<long long> nextEnumerationMs{NowMs() + kHeavyCallSpacingMs / 4};
  std::atomic<long long> nextSaveMs{NowMs() + kHeavyCallSpacingMs / 4};
  // No call over the whole item starts after this, so that the callers
  // return soon after they are told to stop.
  long long heavyCallsUntilMs = 0;

  mutable std::mutex mutex;  // guards the two below
  std::string faults;
  std::shared_ptr<const Answer> saved;  // its latest save
};

// An item, and the threads at work on it, whose calls the watchdog watches.
constexpr int kMostCallers = 8;
struct Slot {
  Item item;
  std::string path;
  Step controller;
  Step callers[kMostCallers];
  std::mutex mutex;
  std::shared_ptr<const Subject> current;  // for the watchdog
};

// Prints the first few wrong answers; counts them all.
void ReportWrong(const Subject& subject, const std::string& what);

// Browsers of the slot's item, one after another, until the deadline.
void RunSlot(Slot& slot, unsigned long long seed, long long deadlineMs);

// Calls into `subject` at random until `stop`, checking every answer.
void RunCaller(Subject& subject, Step& step, unsigned long long seed,
               const std::atomic<bool>& stop);

}  // namespace stress

#endif  // EXTENTBROWSE_TESTS_STRESS_STRESS_H
