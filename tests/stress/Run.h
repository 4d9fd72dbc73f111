// What the parts of a stress run share: the items and their extents, the
// totals, each thread's current call for the watchdog, and the browser under
// test with what the checks must know about it.
#ifndef EXTENTBROWSE_TESTS_STRESS_RUN_H
#define EXTENTBROWSE_TESTS_STRESS_RUN_H

#include <algorithm>
#include <atomic>
#include <memory>
#include <mutex>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "ebindex/Catalogue.h"
#include "ebindex/ExtentNames.h"
#include "extentbrowse/ExtentBrowse.h"

namespace stress {

// The items the run browses: one per way the library names extents, 100k
// extents or more each, with holes and sparse stretches (Items.cpp).
struct Extent {
  unsigned long long number;
  unsigned long long afileId;  // below 2^31: the index carries it as a signed 32-bit value
  unsigned long long afileValue;
  bool empty;
};

struct ItemKind {
  std::string name;
  int appType;
  ebindex::NameScheme naming;
  // The index finds V2 database (type 81) extents by row, which an item
  // with holes would break.
  bool v2Allowed;
  unsigned long long ceiling;  // lookups stay below: names stop reading back there
  std::vector<Extent> extents;  // ascending

  const Extent* find(unsigned long long number) const;
};

std::vector<ItemKind> MakeKinds(std::mt19937_64& random);
void AddItem(ebindex::Catalogue& catalogue, const std::string& path, const ItemKind& kind);

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

// Lookups are GetAFInfo and IsExtentEmpty calls. The second line is what
// else the run did, so that a quiet summary can be trusted.
struct Totals {
  std::atomic<unsigned long long> lookups{0}, faults{0}, wrong{0}, hangs{0};
  std::atomic<unsigned long long> browsers{0}, seeded{0}, enumerations{0}, saves{0};
  std::atomic<long long> longestCallMs{0};  // how close the run came to a hang
  std::atomic<const char*> longestCall{"no call"};
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

// An extent-info block a browser saved, and the extents it holds.
struct SavedBlock {
  std::string text;
  std::vector<unsigned long long> extents;  // ascending
};

inline SCParams ParamsFor(int appType) {
  SCParams params;
  params.sourceClientId = 7;
  params.appType = appType;
  return params;
}

// One browser, from construction to destruction.
struct Subject {
  Subject(const ItemKind& kind, std::string description, unsigned long long pageSize)
      : kind(kind), description(std::move(description)), pageSize(pageSize) {}

  // Map hits answer even after a browse failed, and seeded extents are hits.
  bool seededWith(unsigned long long number) const {
    return seed && std::binary_search(seed->extents.begin(), seed->extents.end(), number);
  }
  std::string describe() const {
    std::lock_guard<std::mutex> lock(mutex);
    return description + faults;
  }
  void noteFault(const std::string& fault) {
    std::lock_guard<std::mutex> lock(mutex);
    faults += "; " + fault;
  }

  const ItemKind& kind;
  const std::string description;
  const unsigned long long pageSize;
  std::stringstream cacheStream;  // the block it was seeded from, kept for its life
  std::shared_ptr<const SavedBlock> seed;
  std::unique_ptr<ExtentBrowse> browser;
  // Set before a fault is armed at the browser's item, so that a lookup
  // the fault reached also sees the flag.
  std::atomic<bool> faulted{false};
  std::mutex enumeration;  // one enumeration at a time
  std::atomic<long long> nextEnumerationMs{NowMs() + kHeavyCallSpacingMs / 4};
  std::atomic<long long> nextSaveMs{NowMs() + kHeavyCallSpacingMs / 4};
  // No call over the whole item starts after this, so that the callers
  // return soon after they are told to stop.
  long long heavyCallsUntilMs = 0;

  mutable std::mutex mutex;  // guards the two below
  std::string faults;
  std::shared_ptr<const SavedBlock> saved;  // the latest block it saved
};

// An item, and the threads at work on it, whose calls the watchdog watches.
constexpr int kMostCallers = 8;
struct Slot {
  const ItemKind* kind = nullptr;
  std::string path;
  Step controller;
  Step callers[kMostCallers];
  std::mutex mutex;
  std::shared_ptr<const Subject> current;  // for the watchdog
};

// Prints the first few wrong answers; counts them all.
void ReportWrong(const Subject& subject, const std::string& what);

// Names this process's client and the browse hosts a browser may name.
void SetUpHosts();
// Browsers of the slot's item, one after another, until the deadline.
void RunSlot(Slot& slot, unsigned long long seed, long long deadlineMs);

// Calls into `subject` at random until `stop`, checking every answer.
void RunCaller(Subject& subject, Step& step, unsigned long long seed,
               const std::atomic<bool>& stop);

unsigned long long Mix(unsigned long long seed, unsigned long long value);

}  // namespace stress

#endif  // EXTENTBROWSE_TESTS_STRESS_RUN_H
