// The stress run: on an item of each kind, browsers drawn at random, each
// hammered by four to eight callers whose every answer is judged against
// the catalogue, then replaced; faults armed at random; a watchdog for
// calls that never return. Exit status 0 only when no answer was wrong and
// no call hung.
//
// STRESS_SECONDS (default 60), STRESS_SEED (default: drawn; printed first),
// STRESS_HANG_SECONDS (the watchdog's bound on one call; default 60, 240
// under ThreadSanitizer).
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <sstream>
#include <thread>
#include <vector>

#include "LogWriters.h"
#include "harness/Harness.h"

namespace {

using namespace harness;
using Clock = std::chrono::steady_clock;

// ThreadSanitizer (g++ says when it builds with it) makes every call many
// times slower: a run under it keeps pages small, spaces and lengthens
// everything, so that a short run still does more than browse.
#ifdef __SANITIZE_THREAD__
constexpr int kSlowdown = 8;
#else
constexpr int kSlowdown = 1;
#endif
// Enumerations and saves go over the whole item, holding the map lock;
// spacing them leaves a browser mostly to lookups.
constexpr long long kHeavyCallSpacingMs = 400 * kSlowdown;
constexpr int kMostCallers = 8;
// Mostly small and medium pages; now and then one past 32 bits, which
// asks for everything. A slow build keeps to the small and medium ones.
const std::vector<Band> kPageSizes = {{10, 1, 16},        {14, 17, 1000},        {10, 1001, 50000},
                                      {4, 50001, 450000}, {1, 1ull << 32, 1000}, {1, ~0ull, 1}};
const std::vector<Band> kSlowBuildPageSizes(kPageSizes.begin(), kPageSizes.begin() + 2);
// Enumerations and saves are drawn often but made only when due (see due()).
const CallMix kCallMix = {68, 15, 9, 8, 0};

const Clock::time_point gStart = Clock::now();
std::mutex gPrintMutex;

// Milliseconds since the run started, never 0.
long long NowMs() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - gStart).count() + 1;
}

void SleepUntil(long long ms) {
  std::this_thread::sleep_for(std::chrono::milliseconds(std::max(0ll, ms - NowMs())));
}

struct Totals {
  std::mutex mutex;  // guards the tally
  Tally tally;
  std::atomic<unsigned long long> wrong{0}, hangs{0};

  void add(const Tally& counts) {
    std::lock_guard<std::mutex> lock(mutex);
    for (const auto& count : counts) tally[count.first] += count.second;
  }
} totals;

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
  void end() { sinceMs = 0; }
};

// An item, and the threads at work on it: the controller (step 0), which
// builds and destroys its browsers, and their callers.
struct Slot {
  Item item;
  std::string path;
  Step steps[1 + kMostCallers];
  std::mutex mutex;
  std::string browser;  // the current browser's description, for the watchdog
};

// One browser, from construction to destruction. The leeway of its fault
// is set before the fault is armed, so that a call it reached sees it.
struct Subject {
  Subject(const Item& item, const std::string& path, std::string description)
      : item(item), path(path), description(std::move(description)) {}

  const Item& item;
  const std::string path, description;
  Standing standing;
  std::stringstream cacheStream;  // the block it was seeded from, kept for its life
  std::unique_ptr<ExtentBrowse> browser;
  // When the next call over the whole item is due; none starts after the
  // last, so that the callers return soon after they are told to stop.
  std::atomic<long long> nextHeavyCallMs{NowMs() + kHeavyCallSpacingMs / 4};
  long long heavyCallsUntilMs = 0;
  std::mutex mutex;                     // guards `saved`
  std::shared_ptr<const Answer> saved;  // its latest save
};

void PrintSummary() {
  std::lock_guard<std::mutex> lock(gPrintMutex);
  std::lock_guard<std::mutex> tally(totals.mutex);
  std::printf("stress: %s, %llu browses, %llu wrong answers, %llu hangs\n",
              TallyText(totals.tally).c_str(), ebindex::IndexService::instance().browseCallCount(),
              totals.wrong.load(), totals.hangs.load());
  std::fflush(stdout);
}

// A call still running after the bound (no answer takes a minute; one
// behind several whole-item browses has taken 20 s) is a hang, and ends
// the run, since its thread can never be joined.
void ReportHangs(std::vector<Slot>& slots, long long hangMs) {
  const long long now = NowMs();
  for (Slot& slot : slots) {
    for (int i = 0; i <= kMostCallers; ++i) {
      const long long since = slot.steps[i].sinceMs;
      if (since == 0 || now - since < hangMs) continue;
      ++totals.hangs;
      std::lock_guard<std::mutex> lock(slot.mutex);
      std::lock_guard<std::mutex> print(gPrintMutex);
      std::fprintf(stderr,
                   "hang: thread %d (0: the controller) of %s has been in %s (extent %llu) for "
                   "%lld s\n  browser: %s\n",
                   i, slot.item.kind.c_str(), slot.steps[i].call.load(),
                   slot.steps[i].extent.load(), (now - since) / 1000, slot.browser.c_str());
    }
  }
  if (totals.hangs == 0) return;
  PrintSummary();
  std::_Exit(1);
}

// Prints the first few wrong answers; counts them all.
void ReportWrong(const Subject& subject, const std::string& what) {
  const unsigned long long count = ++totals.wrong;
  if (count > 10) return;  // the first few say enough
  std::lock_guard<std::mutex> lock(gPrintMutex);
  std::fprintf(stderr, "wrong answer %llu at %lld ms: %s\n  browser: %s\n", count, NowMs(),
               what.c_str(), subject.description.c_str());
}

// A caller thread of one browser, until `stop`.
void RunCaller(Subject& subject, Step& step, unsigned long long seed,
               const std::atomic<bool>& stop) {
  const Item& item = subject.item;
  Random random(seed);
  Tally tally;
  // One library call, published for the watchdog while it runs, then
  // judged; false when its answer was wrong.
  const auto play = [&](const Call& call, Answer* answer) {
    step.begin(kCallNames[call.kind], call.extent);
    Answer made = Perform(*subject.browser, call);
    step.end();
    Count(call, made, tally);
    const std::string wrong = Judge(item, call, made, subject.standing);
    if (!wrong.empty()) {
      const ebindex::Entry* entry = call.kind <= Call::kEmpty ? item.find(call.extent) : nullptr;
      ReportWrong(subject,
                  Describe(call, made) + ": " + wrong +
                      (entry ? "; the catalogue has " + CatalogueLine(subject.path, *entry) : ""));
    }
    if (answer != nullptr) *answer = std::move(made);
    return wrong.empty();
  };
  // Claims the next call over the whole item, or says it is not yet due.
  const auto due = [&] {
    long long at = subject.nextHeavyCallMs;
    const long long now = NowMs();
    return now >= at && now < subject.heavyCallsUntilMs &&
           subject.nextHeavyCallMs.compare_exchange_strong(at, now + kHeavyCallSpacingMs);
  };
  while (!stop) {
    Call call = DrawCall(item, subject.standing.pageSize, kCallMix, random);
    if (random() % 100 < 12) {
      // A restore reading extents in order, now and then with a stride or backwards.
      const long long stride =
          (random() % 4 == 0 ? 1 + random() % 7 : 1) * (random() % 5 == 0 ? -1 : 1);
      call.kind = Call::kLookup;
      call.rangeStart = kNoRange;
      for (int steps = 20 + random() % 300; steps > 0 && !stop && call.extent < item.ceiling;
           --steps, call.extent += stride) {
        play(call, nullptr);
      }
    } else if (call.kind == Call::kLookup || call.kind == Call::kEmpty) {
      play(call, nullptr);
    } else if (call.kind == Call::kSave && due()) {
      auto answer = std::make_shared<Answer>();
      if (!play(call, answer.get())) continue;
      std::lock_guard<std::mutex> lock(subject.mutex);
      subject.saved = std::move(answer);  // to seed the subject's successor
    } else if (call.kind == Call::kEnumerate) {
      // A slow build lists one item at a time: each listing browses the
      // whole item, and several at once starve every other call.
      static std::mutex slowBuildListing;
      std::unique_lock<std::mutex> alone(slowBuildListing, std::defer_lock);
      if ((kSlowdown == 1 || alone.try_lock()) && due()) play(call, nullptr);
    }
  }
  totals.add(tally);
}

// Browsers of the slot's item, one after another, until the deadline.
void RunSlot(Slot& slot, unsigned long long seed, long long deadlineMs) {
  ebindex::IndexService& index = ebindex::IndexService::instance();
  Random random(seed);
  std::shared_ptr<const Answer> lastSaved;
  for (unsigned long long generation = 0; NowMs() < deadlineMs; ++generation) {
    const Route route = slot.item.v1Only() ? Route(1 + random() % 2) : Route(random() % 3);
    // In process only through the host it names; elsewhere also through
    // the index's default host.
    const std::string host = route == Route::kV1InProcess || random() % 2 == 0 ? HostOf(route) : "";
    const unsigned long long pageSize =
        Draw(kSlowdown > 1 ? kSlowBuildPageSizes : kPageSizes, random);
    const int callers = 4 + random() % 5;
    const long long lifetimeMs = (500 + random() % 2500) * (kSlowdown > 1 ? 3 : 1);
    const bool seeded = lastSaved && random() % 100 < 40;
    // Only faults that can fire (a browser initialises its client at its
    // first browse) and none that claims absence: that would excuse every
    // not-found of the browser's life.
    const bool faulty = random() % 2 == 0;
    const long long faultAtMs = faulty ? random() % lifetimeMs : lifetimeMs;
    const bool armedBeforeBuilt = faultAtMs < lifetimeMs / 10;
    Fault fault = DrawFault(random);
    while (fault.claimsAbsence() || (!armedBeforeBuilt && fault.kind == Fault::kInitialize)) {
      fault = DrawFault(random);
    }

    std::string description =
        slot.item.kind + ", " + kRouteNames[static_cast<int>(route)] + " through '" + host +
        "', page size " + std::to_string(pageSize) + ", generation " + std::to_string(generation) +
        (seeded ? ", seeded with " + std::to_string(lastSaved->records.extents.size()) + " records"
                : "");
    if (faulty) {
      description += (armedBeforeBuilt ? "; before it was built, "
                                       : "; at " + std::to_string(faultAtMs) + " ms, ") +
                     fault.describe();
    }
    Subject subject(slot.item, slot.path, description);
    const auto arm = [&] {
      if (fault.mayFail()) subject.standing.mayFail = true;
      fault.arm(slot.path);
      totals.add({{"faults armed", 1}});
    };
    subject.standing.pageSize = pageSize;
    if (seeded) {
      for (const ebindex::Entry& record : lastSaved->records.extents) {
        subject.standing.seeded.insert(record.extent);
      }
      subject.cacheStream.str(lastSaved->block);
    }
    index.setProtocolFor(slot.path,
                         route == Route::kV2 ? ebindex::Protocol::V2 : ebindex::Protocol::V1);
    if (faulty && armedBeforeBuilt) arm();
    {
      std::lock_guard<std::mutex> lock(slot.mutex);
      slot.browser = subject.description;
    }

    slot.steps[0].begin("construct", 0);
    subject.browser =
        MakeBrowser(slot.item, slot.path, host, pageSize, seeded ? &subject.cacheStream : nullptr);
    slot.steps[0].end();
    totals.add({{"browsers", 1}, {"browsers seeded from a saved block", seeded}});

    const long long bornMs = NowMs();
    subject.heavyCallsUntilMs = std::min(bornMs + lifetimeMs, deadlineMs) - kHeavyCallSpacingMs / 2;
    std::atomic<bool> stop{false};
    std::vector<std::thread> threads;
    for (int i = 0; i < callers; ++i) {
      threads.emplace_back(RunCaller, std::ref(subject), std::ref(slot.steps[1 + i]),
                           Mix(Mix(seed, generation), i), std::cref(stop));
    }
    SleepUntil(std::min(bornMs + faultAtMs, deadlineMs));
    if (faulty && !armedBeforeBuilt) arm();
    SleepUntil(std::min(bornMs + lifetimeMs, deadlineMs));
    stop = true;
    for (std::thread& thread : threads) thread.join();

    if (subject.saved) lastSaved = subject.saved;  // its callers have returned
    slot.steps[0].begin("destroy", 0);
    subject.browser.reset();
    slot.steps[0].end();
    index.clearFaults(slot.path);
  }
}

}  // namespace

int main() {
  using std::chrono::microseconds;
  const long long seconds = static_cast<long long>(EnvNumber("STRESS_SECONDS", 60));
  const unsigned long long seed = EnvNumber("STRESS_SEED", std::random_device()());
  const long long hangMs = 1000 * EnvNumber("STRESS_HANG_SECONDS", kSlowdown > 1 ? 240 : 60);
  std::printf("stress seed %llu: %lld s, hang bound %lld s\n", seed, seconds, hangMs / 1000);
  std::fflush(stdout);

  // The library logs every failed browse at the host's lowest level; here
  // they come by the thousand on purpose.
  g_ptrLogWriter.reset(new CStderrLogWriter(-2));
  ebindex::IndexService& index = ebindex::IndexService::instance();
  index.reset();
  SetUpHosts();
  index.setItemsPerResponse(1, 1000);

  // An item of each kind, 100k extents or more with holes and sparse
  // stretches, below half its ceiling to leave room for lookups past it.
  std::vector<Slot> slots(kKinds.size());
  ebindex::Catalogue catalogue;
  Random random(seed);
  for (std::size_t i = 0; i < slots.size(); ++i) {
    const Item& kind = kKinds[i];
    Item& item = slots[i].item =
        MakeItem(kind, 13, kind.appType == 81 && kind.scheme == ebindex::NameScheme::kHex);
    const unsigned long long bound = std::min(item.ceiling / 2, 1ull << 40);
    Layout(item, item.dense ? 0 : random() % 50, bound, 100000 + random() % 30000, bound / 4096,
           random);
    slots[i].path = "/stress/" + item.kind;
    AddItem(catalogue, slots[i].path, item);
  }
  index.setCatalogue(std::move(catalogue));

  const long long deadlineMs = NowMs() + seconds * 1000;
  std::atomic<std::size_t> running{slots.size()};
  std::vector<std::thread> controllers;
  for (std::size_t i = 0; i < slots.size(); ++i) {
    controllers.emplace_back([&, i] {
      RunSlot(slots[i], Mix(seed, i), deadlineMs);
      --running;
    });
  }
  // Delivery changes every second for every item (the service reads it
  // when a browse starts), while the watchdog looks five times as often.
  for (long long tick = 0; running > 0; ++tick) {
    if (tick % 5 == 0 && NowMs() < deadlineMs) {
      index.setDeliverOnServiceThread(random() % 5 != 0);
      index.setResponseDelay(microseconds(0), microseconds(10 + random() % 50));
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    ReportHangs(slots, hangMs);
  }
  for (std::thread& controller : controllers) controller.join();

  PrintSummary();
  if (totals.tally.empty() || index.browseCallCount() == 0) {
    std::fprintf(stderr, "stress: nothing was looked up or browsed\n");
    return 1;
  }
  return totals.wrong == 0 && totals.hangs == 0 ? 0 : 1;
}
