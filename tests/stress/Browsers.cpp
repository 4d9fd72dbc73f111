// The life of the browsers of one item: each drawn at random (protocol,
// browse host, page size, seed block, faults), built, hammered by its
// callers, then destroyed and replaced.
#include <chrono>
#include <thread>

#include "ebindex/IndexService.h"
#include "stress/Run.h"

namespace stress {

namespace {

using ebindex::ScriptedResponse;

// Hosts a browser may name: one whose client is this process, so that V1
// browses in process, and one whose client is not.
const char* const kLocalClient = "stress-local";
const char* const kInProcessHost = "stress-in-process";
const char* const kRemoteHost = "stress-remote";

enum Route { kV2, kV1Remote, kV1InProcess };
const char* const kRouteNames[] = {"V2", "V1 remote", "V1 in process"};

void SleepUntil(long long ms) {
  for (long long now = NowMs(); now < ms; now = NowMs()) {
    std::this_thread::sleep_for(std::chrono::milliseconds(std::min(ms - now, 50ll)));
  }
}

// Mostly small and medium pages; now and then one past 32 bits, which
// asks for everything. A slow build keeps to the small and medium ones.
unsigned long long DrawPageSize(std::mt19937_64& random) {
  const unsigned int roll = random() % (kSlowdown > 1 ? 12 : 20);
  if (roll < 5) return 1 + random() % 16;
  if (roll < 12) return 17 + random() % 1000;
  if (roll < 17) return 1001 + random() % 50000;
  if (roll < 19) return 50001 + random() % 450000;
  return random() % 2 == 0 ? (1ull << 32) + random() % 1000 : ~0ull;
}

// Responses that fail a browse. Error code 4 is left out: it is the
// index's "nothing here", not a failure.
std::vector<ScriptedResponse> DrawScript(std::mt19937_64& random, std::string& name) {
  using S = ScriptedResponse;
  const int code = 5 + random() % 95;
  const std::vector<std::pair<const char*, S>> failures = {
      {"null", S::Of(S::kNull)},
      {"foreign message", S::Of(S::kOtherClass)},
      {"error", S::Error(code)},
      {"no browse result", S::Of(S::kNoBrowseResult)},
      {"no data list", S::Of(S::kNoDataList)}};
  const auto& failure = failures[random() % failures.size()];
  const bool afterPage = random() % 2 == 0;  // after the real page, or in its place
  name = std::string(afterPage ? "page, " : "") + failure.first +
         (failure.second.kind == S::kErrorCode ? " " + std::to_string(code) : "");
  if (afterPage) return {S::Of(S::kPage), failure.second, S::Of(S::kEnd)};
  return {failure.second, S::Of(S::kEnd)};
}

// Only faults that can fire: a browser initialises its client on its first
// browse and keeps it until a browse fails, so initialisation failures are
// armed before it is built; and the in-process path ignores what the
// handler returns, by design, so Browse failures are aimed only at browsers
// that go through the client.
void ArmFault(Subject& subject, const std::string& path, bool inProcess, bool beforeBuilt,
              std::mt19937_64& random) {
  enum Fault { kScript, kInitialize, kBrowse };
  std::vector<Fault> eligible = {kScript};
  if (beforeBuilt) eligible.push_back(kInitialize);
  if (!inProcess) eligible.push_back(kBrowse);
  const Fault chosen = eligible[random() % eligible.size()];
  const int calls = 1 + random() % 3;

  ebindex::IndexService& index = ebindex::IndexService::instance();
  subject.faulted = true;
  std::string fault;
  if (chosen == kScript) {
    index.scriptResponses(DrawScript(random, fault), calls, path);
    fault = "responses [" + fault + "]";
  } else if (chosen == kInitialize) {
    index.failInitialize(calls, path);
    fault = "initialisation fails";
  } else {
    const int result = 1 + random() % 9;
    const bool after = random() % 2 == 0;
    index.failBrowse(result, after, calls, path);
    fault = "Browse gives " + std::to_string(result) + (after ? " after" : " before") +
            " the responses";
  }
  subject.noteFault(fault + " for " + std::to_string(calls) + " calls from " +
                    std::to_string(NowMs()) + " ms");
  ++totals.faults;
}

}  // namespace

void SetUpHosts() {
  SetLocalClientName(kLocalClient);
  ebindex::IndexService::instance().setHostClientName(kInProcessHost, kLocalClient);
  ebindex::IndexService::instance().setHostClientName(kRemoteHost, "stress-remote-client");
}

void RunSlot(Slot& slot, unsigned long long seed, long long deadlineMs) {
  ebindex::IndexService& index = ebindex::IndexService::instance();
  const ItemKind& kind = *slot.kind;
  std::mt19937_64 random(seed);
  std::shared_ptr<const SavedBlock> lastSaved;
  for (unsigned long long generation = 0; NowMs() < deadlineMs; ++generation) {
    const Route route = kind.v2Allowed ? Route(random() % 3) : Route(1 + random() % 2);
    const std::string host =
        route == kV1InProcess ? kInProcessHost : random() % 2 == 0 ? kRemoteHost : "";
    const unsigned long long pageSize = DrawPageSize(random);
    const int callers = 4 + random() % 5;
    const long long lifetimeMs = (500 + random() % 2500) * (kSlowdown > 1 ? 3 : 1);
    const bool seeded = lastSaved && random() % 100 < 40;
    const bool faulty = random() % 2 == 0;
    const long long faultAtMs = random() % lifetimeMs;
    const bool benign = random() % 100 < 15;

    auto subject = std::make_shared<Subject>(
        kind,
        kind.name + " at " + slot.path + ", " + kRouteNames[route] + ", host '" + host +
            "', page size " + std::to_string(pageSize) +
            (seeded ? ", seeded with " + std::to_string(lastSaved->extents.size()) + " records"
                    : "") +
            ", generation " + std::to_string(generation),
        pageSize);
    index.setProtocolFor(slot.path, route == kV2 ? ebindex::Protocol::V2 : ebindex::Protocol::V1);
    if (benign) {
      // No failure: the items of a page whose error list is set but empty count.
      const int calls = 1 + random() % 3;
      index.scriptResponses({ScriptedResponse::Of(ScriptedResponse::kEmptyErrorList),
                             ScriptedResponse::Of(ScriptedResponse::kPage),
                             ScriptedResponse::Of(ScriptedResponse::kEnd)},
                            calls, slot.path);
      subject->noteFault("no fault: an empty error list for " + std::to_string(calls) + " calls");
    }
    const bool armedBeforeBuilt = faulty && faultAtMs < lifetimeMs / 10;
    if (armedBeforeBuilt) ArmFault(*subject, slot.path, route == kV1InProcess, true, random);
    if (seeded) {
      subject->seed = lastSaved;
      subject->cacheStream.str(lastSaved->text);
    }
    {
      std::lock_guard<std::mutex> lock(slot.mutex);
      slot.current = subject;
    }

    SCParams params = ParamsFor(kind.appType);
    slot.controller.begin("construct", 0);
    subject->browser.reset(new ExtentBrowse(params, slot.path,
                                            seeded ? &subject->cacheStream : nullptr,
                                            EB_MODE_DEFAULT, pageSize, 13, false, 0, host));
    slot.controller.end();
    ++totals.browsers;
    totals.seeded += seeded;

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
    if (faulty && !armedBeforeBuilt) {
      ArmFault(*subject, slot.path, route == kV1InProcess, false, random);
    }
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
