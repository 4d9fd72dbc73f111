// The stress run: for each kind of item, browsers that come and go on an
// item of their own, four to eight callers on each, faults armed at random,
// a watchdog for calls that never return, and one summary line at the end.
// Exit status 0 only when no answer was wrong and no call hung.
//
// STRESS_SECONDS (default 60), STRESS_SEED (default: drawn; printed first),
// STRESS_HANG_SECONDS (the watchdog's bound on one call; default 60, 240
// under ThreadSanitizer), STRESS_ONLY (kind names separated by commas, to
// narrow a reproduction).
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>
#include <vector>

#include "LogWriters.h"
#include "stress/Stress.h"

namespace stress {

Totals totals;

namespace {

using Clock = std::chrono::steady_clock;
const Clock::time_point gStart = Clock::now();
std::mutex gPrintMutex;
constexpr unsigned long long kWrongAnswersShown = 10;

void PrintSummary() {
  std::lock_guard<std::mutex> lock(gPrintMutex);
  std::lock_guard<std::mutex> tally(totals.mutex);
  std::printf(
      "stress: %s, %llu browses, %llu wrong answers, %llu hangs; the longest call, %s, "
      "took %lld ms\n",
      TallyText(totals.tally).c_str(), ebindex::IndexService::instance().browseCallCount(),
      totals.wrong.load(), totals.hangs.load(), totals.longestCall.load(),
      totals.longestCallMs.load());
  std::fflush(stdout);
}

// A call still running after the bound is a hang: it is reported with its
// thread's last step and its browser, and the run ends there, since that
// thread can never be joined. A call that waits behind several whole-item
// browses on a starved machine has been seen to take over 20 s; no answer
// takes a minute.
void Watch(std::vector<Slot>& slots, long long hangMs, const std::atomic<bool>& done) {
  while (!done) {
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    const long long now = NowMs();
    for (Slot& slot : slots) {
      for (int i = -1; i < kMostCallers; ++i) {
        const Step& step = i < 0 ? slot.controller : slot.callers[i];
        const long long since = step.sinceMs;
        if (since == 0 || now - since < hangMs) continue;
        ++totals.hangs;
        const std::string thread = i < 0 ? "the controller" : "caller " + std::to_string(i);
        std::shared_ptr<const Subject> subject;
        {
          std::lock_guard<std::mutex> lock(slot.mutex);
          subject = slot.current;
        }
        std::lock_guard<std::mutex> print(gPrintMutex);
        std::fprintf(stderr,
                     "hang: %s of %s has been in %s (extent %llu) for %lld s\n  browser: %s\n",
                     thread.c_str(), slot.item.kind.c_str(), step.call.load(), step.extent.load(),
                     (now - since) / 1000, subject ? subject->describe().c_str() : "none");
      }
    }
    if (totals.hangs > 0) {
      PrintSummary();
      std::_Exit(1);
    }
  }
}

}  // namespace

long long NowMs() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - gStart).count() + 1;
}

void ReportWrong(const Subject& subject, const std::string& what) {
  const unsigned long long count = ++totals.wrong;
  if (count > kWrongAnswersShown) return;
  const std::string browser = subject.describe();
  std::lock_guard<std::mutex> lock(gPrintMutex);
  std::fprintf(stderr, "wrong answer %llu at %lld ms: %s\n  browser: %s\n", count, NowMs(),
               what.c_str(), browser.c_str());
}

}  // namespace stress

int main() {
  using namespace stress;
  using std::chrono::microseconds;
  const long long seconds = static_cast<long long>(EnvNumber("STRESS_SECONDS", 60));
  const unsigned long long seed = EnvNumber("STRESS_SEED", std::random_device()());
  const std::string only = std::getenv("STRESS_ONLY") ? std::getenv("STRESS_ONLY") : "";
  const long long hangMs = 1000 * EnvNumber("STRESS_HANG_SECONDS", kSlowdown > 1 ? 240 : 60);

  // The library logs every failed browse at the host's lowest level; here
  // they come by the thousand on purpose.
  g_ptrLogWriter.reset(new CStderrLogWriter(-2));
  ebindex::IndexService& index = ebindex::IndexService::instance();
  index.reset();
  SetUpHosts();
  index.setItemsPerResponse(1, 1000);
  index.setResponseDelay(microseconds(0), microseconds(40));
  index.setDeliverOnServiceThread(true);

  // One item of each kind chosen, 100k extents or more, with holes and
  // sparse stretches, below half its ceiling to leave room for lookups past
  // it. Each kind's item and browsers have seeds of their own.
  std::vector<std::size_t> chosen;
  for (std::size_t i = 0; i < kKinds.size(); ++i) {
    if (only.empty() ||
        ("," + only + ",").find(std::string(",") + kKinds[i].name + ",") != std::string::npos) {
      chosen.push_back(i);
    }
  }
  std::vector<Slot> slots(chosen.size());
  ebindex::Catalogue catalogue;
  for (std::size_t i = 0; i < slots.size(); ++i) {
    const Kind& kind = kKinds[chosen[i]];
    Random random(Mix(seed, kKinds.size() + chosen[i]));
    Item& item = slots[i].item;
    item = MakeItem(kind, 13, kind.appType == 81 && kind.scheme == ebindex::NameScheme::kHex);
    const unsigned long long bound = std::min(item.ceiling / 2, 1ull << 40);
    Layout(item, item.dense ? 0 : random() % 50, bound, 100000 + random() % 30000, bound / 4096,
           random);
    slots[i].path = "/stress/" + item.kind;
    AddItem(catalogue, slots[i].path, item);
  }
  index.setCatalogue(std::move(catalogue));
  std::printf("stress seed %llu: %lld s, %zu items, hang bound %lld s\n", seed, seconds,
              slots.size(), hangMs / 1000);
  std::fflush(stdout);

  Random random(seed);
  const long long deadlineMs = NowMs() + seconds * 1000;
  std::atomic<bool> done{false};
  std::thread watchdog(Watch, std::ref(slots), hangMs, std::cref(done));
  std::vector<std::thread> controllers;
  for (std::size_t i = 0; i < slots.size(); ++i) {
    controllers.emplace_back(RunSlot, std::ref(slots[i]), Mix(seed, chosen[i]), deadlineMs);
  }
  // Delivery changes now and then for every item: the service reads it when
  // a browse starts.
  while (NowMs() < deadlineMs) {
    std::this_thread::sleep_for(std::chrono::milliseconds(std::min(1000ll, deadlineMs - NowMs())));
    index.setDeliverOnServiceThread(random() % 5 != 0);
    index.setResponseDelay(microseconds(0), microseconds(10 + random() % 50));
  }
  for (std::thread& controller : controllers) controller.join();
  done = true;
  watchdog.join();

  PrintSummary();
  if (totals.tally.empty() || index.browseCallCount() == 0) {
    std::fprintf(stderr, "stress: nothing was looked up or browsed\n");
    return 1;
  }
  return totals.wrong == 0 && totals.hangs == 0 ? 0 : 1;
}
