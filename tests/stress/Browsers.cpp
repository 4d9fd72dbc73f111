// The life of the browsers of one item: each drawn at random (protocol,
// browse host, page size, seed block, faults), built, hammered by its
// callers, then destroyed and replaced.
#include <chrono>
#include <thread>
#include <vector>

#include "stress/Stress.h"

namespace stress {

namespace {

// Mostly small and medium pages; now and then one past 32 bits, which
// asks for everything. A slow build keeps to the small and medium ones.
const std::vector<Band> kPageSizes = {{10, 1, 16},        {14, 17, 1000},        {10, 1001, 50000},
                                      {4, 50001, 450000}, {1, 1ull << 32, 1000}, {1, ~0ull, 1}};
const std::vector<Band> kSlowBuildPageSizes(kPageSizes.begin(), kPageSizes.begin() + 2);

void SleepUntil(long long ms) {
  for (long long now = NowMs(); now < ms; now = NowMs()) {
    std::this_thread::sleep_for(std::chrono::milliseconds(std::min(ms - now, 50ll)));
  }
}

// Only faults that can fire: a browser initialises its client on its first
// browse and keeps it until a browse fails, so initialisation failures are
// armed before it is built. An answer that claims extents are absent would
// excuse every not-found of the browser's life, so none is drawn.
void ArmFault(Subject& subject, bool built, Random& random) {
  Fault fault = DrawFault(random);
  while (fault.claimsAbsence() || (built && fault.kind == Fault::kInitialize)) {
    fault = DrawFault(random);
  }
  if (fault.mayFail()) subject.standing.mayFail = true;
  fault.arm(subject.path);
  subject.noteFault(fault.describe() + " from " + std::to_string(NowMs()) + " ms");
  totals.add({{"faults armed", 1}});
}

}  // namespace

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
    const bool faulty = random() % 2 == 0;
    const long long faultAtMs = random() % lifetimeMs;

    auto subject = std::make_shared<Subject>(slot.item, slot.path);
    subject->standing.pageSize = pageSize;
    if (seeded) {
      for (const ebindex::Entry& record : lastSaved->records) {
        subject->standing.seeded.push_back(record.extent);
      }
      subject->cacheStream.str(lastSaved->block);
    }
    subject->description =
        slot.item.kind + " at " + slot.path + ", " + kRouteNames[static_cast<int>(route)] +
        ", host '" + host + "', page size " + std::to_string(pageSize) +
        (seeded ? ", seeded with " + std::to_string(subject->standing.seeded.size()) + " records"
                : "") +
        ", generation " + std::to_string(generation);
    index.setProtocolFor(slot.path,
                         route == Route::kV2 ? ebindex::Protocol::V2 : ebindex::Protocol::V1);
    const bool armedBeforeBuilt = faulty && faultAtMs < lifetimeMs / 10;
    if (armedBeforeBuilt) ArmFault(*subject, false, random);
    {
      std::lock_guard<std::mutex> lock(slot.mutex);
      slot.current = subject;
    }

    slot.controller.begin("construct", 0);
    subject->browser =
        MakeBrowser(slot.item, slot.path, host, pageSize, seeded ? &subject->cacheStream : nullptr);
    slot.controller.end();
    totals.add({{"browsers", 1}, {"browsers seeded from a saved block", seeded}});

    const long long bornMs = NowMs();
    subject->heavyCallsUntilMs =
        std::min(bornMs + lifetimeMs, deadlineMs) - kHeavyCallSpacingMs / 2;
    std::atomic<bool> stop{false};
    std::vector<std::thread> threads;
    for (int i = 0; i < callers; ++i) {
      threads.emplace_back(RunCaller, std::ref(*subject), std::ref(slot.callers[i]),
                           Mix(Mix(seed, generation), i), std::cref(stop));
    }
    SleepUntil(std::min(bornMs + faultAtMs, deadlineMs));
    if (faulty && !armedBeforeBuilt) ArmFault(*subject, true, random);
    SleepUntil(std::min(bornMs + lifetimeMs, deadlineMs));
    stop = true;
    for (std::thread& thread : threads) thread.join();

    if (subject->saved) lastSaved = subject->saved;  // its callers have returned
    slot.controller.begin("destroy", 0);
    subject->browser.reset();
    slot.controller.end();
    index.clearFaults(slot.path);
  }
}

}  // namespace stress
