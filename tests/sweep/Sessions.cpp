// Drawing a session from its seed, and replaying it against the library and
// the index service.
#include <algorithm>
#include <memory>
#include <sstream>

#include "extentbrowse/ExtentBrowse.h"
#include "extentbrowse/ExtentBrowseImpl.h"
#include "sweep/Sweep.h"

namespace sweep {

namespace {

using ebindex::ScriptedResponse;
constexpr unsigned long long kUntouched = 0xDEADBEEFull;
// V1 browses whose host's client is this process run in process.
const char* const kLocalClient = "sweep-local";
const char* const kInProcessHost = "sweep-in-process";
const char* const kRemoteHost = "sweep-remote";
const char* const kRouteNames[] = {"V2", "V1 remote", "V1 in process"};

// Mostly small pages against small items; now and then one of 2^32 or
// more, which asks for everything.
unsigned long long DrawPageSize(std::mt19937_64& random) {
  const unsigned int roll = random() % 20;
  if (roll < 7) return 1 + random() % 8;
  if (roll < 13) return 9 + random() % 92;
  if (roll < 16) return 101 + random() % 100000;
  if (roll < 18) return (1ull << 32) - 1 + random() % 3;
  return (1ull << 32) + random() % (~0ull - (1ull << 32));
}

Fault DrawFault(std::mt19937_64& random) {
  Fault fault;
  fault.calls = random() % 8 == 0 ? ebindex::kAllCalls : 1 + static_cast<int>(random() % 3);
  const unsigned int roll = random() % 20;
  if (roll < 4) {
    fault.kind = Fault::kInitialize;
  } else if (roll < 11) {
    fault.kind = Fault::kBrowse;
    fault.result = random() % 3 == 0 ? 0 : static_cast<int>(random() % 9) - 1;
    fault.afterResponses = random() % 2 == 0;
  } else {
    fault.kind = Fault::kScript;
    using S = ScriptedResponse;
    if (random() % 5 == 0) {  // the whole answer, once or with its first page twice
      fault.script = {S::Of(S::kEmptyErrorList), S::Of(S::kPage), S::Of(S::kEnd)};
      fault.script.erase(fault.script.begin(), fault.script.begin() + random() % 2);
      return fault;
    }
    for (int length = 1 + random() % 4; length > 0; --length) {
      S step = S::Of(static_cast<S::Kind>(random() % (S::kEnd + 1)));
      if (step.kind == S::kErrorCode || step.kind == S::kOtherClass) {
        const unsigned int code = random() % 10;
        step.errorCode = code < 4 ? 4 : code == 4 ? 0 : 1 + static_cast<int>(random() % 99);
      }
      fault.script.push_back(step);
    }
  }
  return fault;
}

Call DrawCall(const Item& item, unsigned long long pageSize, std::mt19937_64& random) {
  Call call;
  const unsigned int roll = random() % 100;
  call.extent = PickExtent(item, random);
  if (roll < 45) return call;
  if (roll < 62) {
    // Mostly a range that holds the extent, else 0, one past it or one
    // ending before it.
    const unsigned int where = random() % 10;
    const unsigned long long n = call.extent;
    call.rangeStart = where < 6   ? n - std::min(n, random() % pageSize)
                      : where < 7 ? 0
                      : where < 8 ? n + 1 + random() % 100
                      : where < 9 ? n - std::min(n, pageSize + random() % 100)
                                  : PickExtent(item, random);
    return call;
  }
  call.kind = roll < 74   ? Call::kEmpty
              : roll < 82 ? Call::kEnumerate
              : roll < 88 ? Call::kSave
                          : Call::kArm;
  if (call.kind == Call::kArm) call.fault = DrawFault(random);
  return call;
}

const char* ResultName(int result) {
  static const char* const kNames[] = {"found", "not-found", "browse-failed"};
  return result >= EB_EXTENT_FOUND && result <= EB_BROWSE_FAILED ? kNames[result] : "unknown";
}

void ArmAtIndex(const Fault& fault) {
  ebindex::IndexService& index = ebindex::IndexService::instance();
  if (fault.kind == Fault::kInitialize) index.failInitialize(fault.calls, kItemPath);
  if (fault.kind == Fault::kBrowse) {
    index.failBrowse(fault.result, fault.afterResponses, fault.calls, kItemPath);
  }
  if (fault.kind == Fault::kScript) index.scriptResponses(fault.script, fault.calls, kItemPath);
}

}  // namespace

Session DrawSession(unsigned long long seed) {
  std::mt19937_64 random(seed);
  Session session;
  session.seed = seed;
  session.item = DrawItem(random);
  const bool v1Only = session.item.appType == 81 && !session.item.dense;
  for (int count = random() % 4 == 0 ? 2 + random() % 3 : 1; count > 0; --count) {
    BrowserPlan plan;
    plan.route = v1Only ? Route(1 + random() % 2) : Route(random() % 3);
    plan.hostAsMaName = random() % 2 == 0;
    plan.pageSize = DrawPageSize(random);
    plan.itemsPerResponse = 1 + static_cast<int>(random() % 7);
    plan.serviceThread = random() % 4 == 0;
    plan.seeded = !session.browsers.empty() && random() % 2 == 0;
    if (plan.seeded && random() % 4 != 0) {
      Call save;
      save.kind = Call::kSave;
      session.browsers.back().calls.push_back(save);
    }
    for (int calls = 2 + random() % 28; calls > 0; --calls) {
      plan.calls.push_back(DrawCall(session.item, plan.pageSize, random));
    }
    session.browsers.push_back(std::move(plan));
  }
  return session;
}

namespace {

std::string DescribeBrowser(const BrowserPlan& plan) {
  const char* host = plan.route == Route::kV1InProcess ? kInProcessHost : kRemoteHost;
  return std::string(kRouteNames[static_cast<int>(plan.route)]) + " (host " + host +
         (plan.hostAsMaName ? " as MA name" : " as default host") + "), page size " +
         std::to_string(plan.pageSize) + ", " + std::to_string(plan.itemsPerResponse) +
         " items per response" + (plan.serviceThread ? ", on the service thread" : "") +
         (plan.seeded ? ", built on the last block saved before it" : "");
}

// One browser's calls, each judged as it returns.
class Player {
 public:
  Player(ExtentBrowse& browser, Judge& judge, Outcome& outcome, const Item& item)
      : browser_(browser), judge_(judge), outcome_(outcome), item_(item) {}

  // Makes the call; returns its transcript line and sets `wrong`.
  std::string play(const Call& call, std::string& lastBlock, std::string& wrong) {
    if (call.kind == Call::kArm) {
      ArmAtIndex(call.fault);
      judge_.arm(call.fault);
      ++outcome_.faults;
      return "arm: " + call.fault.describe();
    }
    ++outcome_.calls;
    if (call.kind == Call::kLookup) return lookup(call, wrong);
    if (call.kind == Call::kEmpty) return empty(call.extent, wrong);
    if (call.kind == Call::kEnumerate) return enumerate(wrong);
    std::stringstream saved;
    const bool written = browser_.GetImpl()->SaveExtentInfo(&saved);
    ++outcome_.answers["saves"];
    wrong = written ? judge_.saved(saved.str()) : "SaveExtentInfo gave false";
    if (written) lastBlock = saved.str();
    const std::string text = saved.str();
    return "SaveExtentInfo -> " + std::to_string(std::count(text.begin(), text.end(), '\n') - 2) +
           " records";
  }

 private:
  std::string lookup(const Call& call, std::string& wrong) {
    unsigned long long afileId = kUntouched, afileValue = kUntouched;
    const int result = call.rangeStart == kNoRange
                           ? browser_.GetAFInfo(call.extent, afileId, afileValue)
                           : browser_.GetAFInfo(call.extent, afileId, afileValue, call.rangeStart);
    judge_.afterCall();
    ++outcome_.answers[ResultName(result)];
    std::string line = "GetAFInfo(" + std::to_string(call.extent) +
                       (call.rangeStart == kNoRange ? "" : ", " + std::to_string(call.rangeStart)) +
                       ") -> " + ResultName(result);
    if (result == EB_EXTENT_FOUND || afileId != kUntouched || afileValue != kUntouched) {
      line += " " + std::to_string(afileId) + " " + std::to_string(afileValue);
    }
    wrong = judge_.lookup(call.extent, call.rangeStart, result, afileId, afileValue);
    // A record a lookup found carries its flag, unless it came from the seed block.
    if (result != EB_EXTENT_FOUND || !wrong.empty()) return line;
    return line + "; " + empty(call.extent, wrong);
  }

  std::string empty(unsigned long long extent, std::string& wrong) {
    const bool answer = browser_.IsExtentEmpty(static_cast<unsigned long>(extent));
    ++outcome_.answers[answer ? "empty" : "not empty"];
    wrong = judge_.empty(extent, answer);
    return "IsExtentEmpty(" + std::to_string(extent) + ") -> " + (answer ? "true" : "false");
  }

  std::string enumerate(std::string& wrong) {
    void* handle = browser_.OpenEnum();
    judge_.afterCall();
    Judge::Listing listed;
    std::string shown;
    unsigned long long number = 0;
    bool empty = false;
    // A listing that never ends is as wrong as a short one: stop well past the item.
    while (handle != nullptr && listed.size() <= item_.extents.size() + 100 &&
           browser_.EnumExtent(handle, number, empty)) {
      listed.emplace_back(number, empty);
      if (listed.size() <= 12) shown += " " + std::to_string(number) + (empty ? "e" : "");
    }
    if (handle != nullptr) browser_.CloseEnum(handle);
    ++outcome_.answers[handle != nullptr ? "enumerations" : "null enumerations"];
    wrong = judge_.enumeration(handle != nullptr, listed);
    if (handle == nullptr) return "OpenEnum -> null";
    return "enumeration -> " + std::to_string(listed.size()) + " extents:" + shown +
           (listed.size() > 12 ? " ..." : "");
  }

  ExtentBrowse& browser_;
  Judge& judge_;
  Outcome& outcome_;
  const Item& item_;
};

}  // namespace

Outcome Run(const Session& session, std::string* transcript) {
  ebindex::IndexService& index = ebindex::IndexService::instance();
  index.reset();
  SetLocalClientName(kLocalClient);
  index.setHostClientName(kInProcessHost, kLocalClient);
  index.setHostClientName(kRemoteHost, "sweep-remote-client");
  const Item& item = session.item;
  ebindex::Catalogue catalogue;
  catalogue.addItem(kItemPath);
  for (const Extent& e : item.extents) {
    const std::string name = ebindex::ExtentName(item.scheme, e.number, item.nameLength);
    catalogue.addEntry(kItemPath, {e.number, name, e.afileId, e.afileValue, e.empty});
    // A neighbour whose answers would all be wrong for the item.
    catalogue.addEntry(std::string(kItemPath) + "x", {e.number, name, e.afileId + 1, 0, !e.empty});
  }
  index.setCatalogue(std::move(catalogue));

  Outcome outcome;
  std::string lastBlock;
  for (std::size_t b = 0; b < session.browsers.size(); ++b) {
    const BrowserPlan& plan = session.browsers[b];
    index.setProtocol(plan.route == Route::kV2 ? ebindex::Protocol::V2 : ebindex::Protocol::V1);
    const std::string host = plan.route == Route::kV1InProcess ? kInProcessHost : kRemoteHost;
    index.setDefaultHost(plan.hostAsMaName ? "localhost" : host);
    index.setItemsPerResponse(plan.itemsPerResponse);
    index.setDeliverOnServiceThread(plan.serviceThread);
    const std::string seedBlock = plan.seeded ? lastBlock : std::string();
    // Whatever follows the block on the stream is the caller's, and stays.
    std::stringstream cache(seedBlock.empty() ? "" : seedBlock + "after\n");
    if (transcript != nullptr) {
      *transcript += "  browser " + std::to_string(b + 1) + ": " + DescribeBrowser(plan) + "\n";
    }
    SCParams params;
    params.sourceClientId = 7;
    params.appType = item.appType;
    Judge judge(item, plan, seedBlock);
    const auto note = [&](const std::string& line, const std::string& wrong) {
      if (transcript != nullptr) {
        *transcript += "    " + line + (wrong.empty() ? "" : "   <== WRONG: " + wrong) + "\n";
      }
      if (wrong.empty()) return;
      outcome.wrong.push_back(Wrong{wrong, wrong + "; " +
                                               kRouteNames[static_cast<int>(plan.route)] +
                                               "; faults that fired: " + judge.firedFaults()});
    };
    ExtentBrowse browser(params, kItemPath, plan.seeded ? &cache : nullptr, EB_MODE_DEFAULT,
                         plan.pageSize, static_cast<int>(item.nameLength), false, 0,
                         plan.hostAsMaName ? host : "");
    std::string after;
    if (!seedBlock.empty() && !(cache >> after && after == "after")) {
      note("built on the block", "the browser read past its block");
    }
    Player player(browser, judge, outcome, item);
    for (const Call& call : plan.calls) {
      std::string wrong;
      const std::string line = player.play(call, lastBlock, wrong);
      note(line, wrong);
    }
    index.clearFaults();
  }
  return outcome;
}

}  // namespace sweep
