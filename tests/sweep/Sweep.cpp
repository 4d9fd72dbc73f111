// The truth sweep: seeded random sessions of browsers over random
// catalogues, every answer checked against the catalogue itself. A session
// is plain data, drawn from its seed and replayed, so that a failing one
// can be shrunk to the fewest browsers, calls and extents that still give
// its wrong answer, and printed as a reproducer. Sessions run until the
// count or the time is reached; each class of wrong answer is shown once;
// one summary line. Exit status 0 only when no answer was wrong.
//
// SWEEP_SESSIONS (default 20000), SWEEP_SEED (default: drawn; printed
// first), SWEEP_SECONDS (0, the default: no time cap), SWEEP_SHOWN (classes
// shrunk and printed, default 6), SWEEP_REPLAY (a session seed: replay that
// one session and print all its calls).
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <set>
#include <sstream>

#include "LogWriters.h"
#include "harness/Harness.h"

namespace {

using namespace harness;
const char* const kItemPath = "/sweep/item";

struct BrowserPlan {
  Route route = Route::kV2;
  bool hostAsMaName = false;  // else the service's default host
  unsigned long long pageSize = 100;
  int itemsPerResponse = 7;
  bool serviceThread = false;
  bool seeded = false;  // built on the last block the browser before it saved
  // A host's mistakes: a line of that block damaged, the item's path
  // mistyped, the log writer removed.
  bool damagedBlock = false;
  bool pathMistyped = false;
  bool writerRemoved = false;
  std::vector<Call> calls;
};

struct Session {
  unsigned long long seed = 0;
  Item item;
  std::vector<BrowserPlan> browsers;
};

// What a replay saw. A wrong answer's class is what was wrong, on which
// route, after which faults: for counting them.
struct Wrong {
  std::string what, klass;
};
struct Outcome {
  Tally tally;
  std::vector<Wrong> wrong;
  std::string transcript;  // every call, its answer and what was wrong with it
};

// File-system items may carry any application type but 53, 81 and 106.
const int kOrdinaryAppTypes[] = {0, 0, 0, 13, 29, 33, 1000};
// Extents of an item; mostly small pages against them, now and then one
// of 2^32 or more, which asks for everything.
const std::vector<Band> kExtentCounts = {{1, 0, 1}, {6, 1, 10}, {10, 11, 50}, {3, 61, 240}};
const std::vector<Band> kPageSizes = {{7, 1, 8}, {6, 9, 92}, {3, 101, 100000},
                                      {2, (1ull << 32) - 1, 3},
                                      {2, 1ull << 32, ~0ull - (1ull << 32)}};
const CallMix kCallMix = {62, 12, 8, 6, 12};

Item DrawItem(Random& random) {
  const Item& kind = kKinds[random() % kKinds.size()];
  Item item = MakeItem(kind, random() % 2 == 0 ? 13 : 1 + random() % 63,
                       kind.appType == 81 && !kind.wide() && random() % 2 == 0);
  if (item.appType == 0) item.appType = kOrdinaryAppTypes[random() % 7];
  const std::size_t count = Draw(kExtentCounts, random);
  const unsigned int where = random() % 10;
  // Wide items mostly straddle the point where their names grow a digit.
  const unsigned long long widens = 1ull << (32 + 4 * (random() % 2));
  const unsigned long long first =
      item.dense                 ? 0
      : item.wide() && where < 7 ? widens - 1 - random() % (count + 20)
      : where < 5                ? random() % 50
      : where < 7 ? item.ceiling - 1 - random() % std::min(item.ceiling, count * 8ull + 10)
                  : random() % item.ceiling;
  Layout(item, first, item.ceiling, count, item.ceiling / 64, random);
  return item;
}

// Damages one record line of `block`, as a disk or an editor might: its
// archive-file value becomes unreadable, its other numbers stay. False
// when the block has no record line.
bool Damage(std::string& block, unsigned long long seed) {
  std::vector<std::size_t> valueStarts;
  for (std::size_t at = block.find('\n'); at != std::string::npos && at + 1 < block.size();
       at = block.find('\n', at + 1)) {
    const std::size_t end = block.find('\n', at + 1);
    const std::size_t lastBlank = block.rfind(' ', end);
    if (lastBlank != std::string::npos && lastBlank > at) valueStarts.push_back(lastBlank + 1);
  }
  if (valueStarts.empty()) return false;
  block.insert(valueStarts[seed % valueStarts.size()], "x");
  return true;
}

// The class of a fault, for counting wrong answers by what caused them.
std::string Label(const Fault& fault) {
  if (fault.kind == Fault::kInitialize) return "failInitialize";
  if (fault.kind == Fault::kBrowse) {
    return std::string("failBrowse(") + (fault.result != 0 ? "non-zero" : "0") +
           (fault.afterResponses ? ", after)" : ", before)");
  }
  Fault withEnd = fault;
  withEnd.script.push_back(ebindex::ScriptedResponse::Of(ebindex::ScriptedResponse::kEnd));
  return std::string("script") + (withEnd.mayFail() ? " that fails" : "") +
         (fault.mayFail() && !withEnd.mayFail() ? " without an end" : "") +
         (fault.claimsAbsence() ? " claiming absence" : "");
}

// Which armed faults reached a browser, by the index's call counts: the
// index uses up one fault of each kind per call, the first armed first, and
// one armed but never reached excuses nothing.
class FaultAccount {
 public:
  void arm(const Fault& fault) { armed_.emplace_back(fault, fault.calls); }

  // After each call: what the faults it reached allow. A Browse fault that
  // fails before the responses keeps the script's unseen.
  void afterCall(Standing& standing) {
    const ebindex::IndexService& index = ebindex::IndexService::instance();
    std::vector<const Fault*> reached;
    for (; initializeCount_ < index.initializeCallCount(); ++initializeCount_) {
      reached.push_back(use(Fault::kInitialize));
    }
    for (; browseCount_ < index.browseCallCount(); ++browseCount_) {
      const Fault* browse = use(Fault::kBrowse);
      const Fault* script = use(Fault::kScript);
      reached.push_back(browse);
      if (browse == nullptr || browse->afterResponses) reached.push_back(script);
    }
    for (const Fault* fault : reached) {
      if (fault == nullptr) continue;
      fired_.insert(Label(*fault));
      standing.mayFail = standing.mayFail || fault->mayFail();
      standing.absenceClaimed = standing.absenceClaimed || fault->claimsAbsence();
    }
  }

  std::string fired() const {
    std::string text;
    for (const std::string& label : fired_) text += (text.empty() ? "" : ", ") + label;
    return text.empty() ? "none" : text;
  }

 private:
  const Fault* use(Fault::Kind kind) {
    for (auto& rule : armed_) {
      if (rule.first.kind != kind || rule.second == 0) continue;
      if (rule.second > 0) --rule.second;
      return &rule.first;
    }
    return nullptr;
  }

  std::vector<std::pair<Fault, int>> armed_;  // with the calls each has left
  std::set<std::string> fired_;
  unsigned long long initializeCount_ = ebindex::IndexService::instance().initializeCallCount();
  unsigned long long browseCount_ = ebindex::IndexService::instance().browseCallCount();
};

std::string DescribeBrowser(const BrowserPlan& plan) {
  return std::string(kRouteNames[static_cast<int>(plan.route)]) + " (host " + HostOf(plan.route) +
         (plan.hostAsMaName ? " as MA name" : " as default host") + "), page size " +
         std::to_string(plan.pageSize) + ", " + std::to_string(plan.itemsPerResponse) +
         " items per response" + (plan.serviceThread ? ", on the service thread" : "") +
         (plan.seeded ? ", built on the last block saved before it" : "") +
         (plan.damagedBlock ? ", one of its lines damaged" : "") +
         (plan.pathMistyped ? ", on a path the index does not hold" : "") +
         (plan.writerRemoved ? ", with the log writer removed" : "");
}

Session DrawSession(unsigned long long seed) {
  Random random(seed);
  Session session;
  session.seed = seed;
  session.item = DrawItem(random);
  for (int count = random() % 4 == 0 ? 2 + random() % 3 : 1; count > 0; --count) {
    BrowserPlan plan;
    plan.route = session.item.v1Only() ? Route(1 + random() % 2) : Route(random() % 3);
    plan.hostAsMaName = random() % 2 == 0;
    plan.pageSize = Draw(kPageSizes, random);
    plan.itemsPerResponse = 1 + static_cast<int>(random() % 7);
    plan.serviceThread = random() % 4 == 0;
    plan.seeded = !session.browsers.empty() && random() % 2 == 0;
    if (plan.seeded && random() % 4 != 0) {
      session.browsers.back().calls.push_back({Call::kSave, 0, kNoRange, Fault()});
    }
    const unsigned int mistake = random() % 40;
    plan.damagedBlock = plan.seeded && mistake < 4;
    plan.pathMistyped = !plan.seeded && mistake < 2;
    plan.writerRemoved = mistake == 39;
    for (int calls = 2 + random() % 28; calls > 0; --calls) {
      plan.calls.push_back(DrawCall(session.item, plan.pageSize, kCallMix, random));
    }
    session.browsers.push_back(std::move(plan));
  }
  return session;
}

// Replays the session against a freshly reset index service.
Outcome Run(const Session& session) {
  ebindex::IndexService& index = ebindex::IndexService::instance();
  index.reset();
  SetUpHosts();
  const Item& item = session.item;
  ebindex::Catalogue catalogue;
  AddItem(catalogue, kItemPath, item);
  // A neighbour whose answers would all be wrong for the item.
  for (ebindex::Entry entry : item.extents) {
    entry.afileId += 1;
    entry.empty = !entry.empty;
    catalogue.addEntry(std::string(kItemPath) + "x", entry);
  }
  index.setCatalogue(std::move(catalogue));

  Outcome outcome;
  Answer lastSave;
  for (std::size_t b = 0; b < session.browsers.size(); ++b) {
    const BrowserPlan& plan = session.browsers[b];
    index.setProtocol(plan.route == Route::kV2 ? ebindex::Protocol::V2 : ebindex::Protocol::V1);
    const std::string host = HostOf(plan.route);
    index.setDefaultHost(plan.hostAsMaName ? "localhost" : host);
    index.setItemsPerResponse(plan.itemsPerResponse);
    index.setDeliverOnServiceThread(plan.serviceThread);
    Standing standing;
    standing.pageSize = plan.pageSize;
    standing.itemMissing = plan.pathMistyped;
    std::string block = plan.seeded ? lastSave.block : "";
    // A damaged block seeds nothing, however little is damaged.
    const bool damaged = plan.damagedBlock && Damage(block, session.seed);
    for (const ebindex::Entry& record : lastSave.records.extents) {
      if (plan.seeded && !damaged) standing.seeded.insert(record.extent);
    }
    // Whatever follows the block on the stream is the caller's, and stays;
    // a block ignored is left to be read again.
    std::stringstream cache(block.empty() ? "" : block + "after\n");
    const std::string next = damaged ? "START_EXTENT_INFO" : "after";
    outcome.transcript +=
        "  browser " + std::to_string(b + 1) + ": " + DescribeBrowser(plan) + "\n";
    FaultAccount account;
    const auto note = [&](const std::string& line, const std::string& wrong) {
      outcome.transcript += "    " + line + (wrong.empty() ? "" : "   <== WRONG: " + wrong) + "\n";
      if (wrong.empty()) return;
      outcome.wrong.push_back(Wrong{wrong, wrong + "; " +
                                               kRouteNames[static_cast<int>(plan.route)] +
                                               "; faults that fired: " + account.fired()});
    };
    const boost::shared_ptr<CLogWriterInterface> writer = g_ptrLogWriter;
    if (plan.writerRemoved) g_ptrLogWriter.reset();
    std::unique_ptr<ExtentBrowse> browser =
        MakeBrowser(item, plan.pathMistyped ? std::string(kItemPath) + "-typo" : kItemPath,
                    plan.hostAsMaName ? host : "", plan.pageSize, plan.seeded ? &cache : nullptr);
    std::string after;
    if (!block.empty() && !(cache >> after && after == next)) {
      note("built on the block", "the browser left its stream elsewhere than after its block");
    }
    for (const Call& call : plan.calls) {
      Answer answer;
      if (call.kind == Call::kArm) {
        call.fault.arm(kItemPath);
        account.arm(call.fault);
      } else {
        answer = Perform(*browser, call);
        account.afterCall(standing);
      }
      Count(call, answer, outcome.tally);
      const std::string wrong = Judge(item, call, answer, standing);
      if (wrong.empty()) Learn(item, call, answer, standing);
      if (call.kind == Call::kSave && answer.written) lastSave = answer;
      note(Describe(call, answer), wrong);
    }
    browser.reset();
    g_ptrLogWriter = writer;
    index.clearFaults();
  }
  return outcome;
}

using Fails = std::function<bool(const Session&)>;

// Drops the elements `part` picks out of a session one at a time, from the
// last, keeping each drop after which the session still fails; with
// `lastOnly`, stops at the first that must stay.
template <typename Part>
void DropEach(Part part, Session& best, const Fails& fails, bool lastOnly = false) {
  for (std::size_t i = part(best).size(); i-- > 0;) {
    Session candidate = best;
    part(candidate).erase(part(candidate).begin() + i);
    if (fails(candidate)) {
      best = std::move(candidate);
    } else if (lastOnly) {
      return;
    }
  }
}

// The first wrong answer of `what` the session gives, or null.
const Wrong* FirstOf(const Outcome& outcome, const std::string& what) {
  auto found = std::find_if(outcome.wrong.begin(), outcome.wrong.end(),
                            [&what](const Wrong& wrong) { return wrong.what == what; });
  return found != outcome.wrong.end() ? &*found : nullptr;
}

// The session without the faults that play no part in its first wrong
// answer of `what`, and that answer's class then.
std::string ClassOf(const Session& failing, const std::string& what, Session& needed) {
  needed = failing;
  for (BrowserPlan& plan : needed.browsers) {
    for (std::size_t c = plan.calls.size(); c-- > 0;) {
      if (plan.calls[c].kind != Call::kArm) continue;
      const Call armed = plan.calls[c];
      plan.calls.erase(plan.calls.begin() + c);
      if (FirstOf(Run(needed), what) == nullptr) {
        plan.calls.insert(plan.calls.begin() + c, armed);
      }
    }
  }
  return FirstOf(Run(needed), what)->klass;
}

// The session with browsers, calls and extents dropped while it still
// gives a wrong answer of `what`.
Session Shrink(const Session& failing, const std::string& what) {
  int budget = 3000;  // replays; a shrink is for reading, not for the last call
  const Fails fails = [&](const Session& candidate) {
    return budget-- > 0 && FirstOf(Run(candidate), what) != nullptr;
  };
  Session best = failing;
  for (int pass = 0; pass < 3 && budget > 0; ++pass) {
    DropEach([](Session& s) -> std::vector<BrowserPlan>& { return s.browsers; }, best, fails);
    for (std::size_t b = 0; b < best.browsers.size(); ++b) {
      DropEach([b](Session& s) -> std::vector<Call>& { return s.browsers[b].calls; }, best, fails);
    }
    // Items found by row must stay dense from 0, while a browser goes over V2:
    // only their last extents go.
    best.item.dense = best.item.dense &&
                      std::any_of(best.browsers.begin(), best.browsers.end(),
                                  [](const BrowserPlan& plan) { return plan.route == Route::kV2; });
    DropEach([](Session& s) -> std::vector<ebindex::Entry>& { return s.item.extents; }, best, fails,
             best.item.needsRows());
  }
  return best;
}

// The session as a reader needs it: its item, its catalogue as the tool's
// lines, and every call with its answer and what was wrong with it.
std::string Reproducer(const Session& session) {
  std::string text = std::string("  item ") + kItemPath + ", " + session.item.title() +
                     "\n  catalogue (tool lines: PATH EXTENT AFILEID AFILEVALUE EMPTY NAME):\n";
  for (const ebindex::Entry& e : session.item.extents)
    text += "    " + CatalogueLine(kItemPath, e) + "\n";
  text += "  browsers, one after another, each with its calls:\n";
  return text + Run(session).transcript;
}

}  // namespace

int main() {
  // Failed browses are logged at the error level, and come here by the thousand.
  g_ptrLogWriter.reset(new CStderrLogWriter(-2));
  if (const unsigned long long replay = EnvNumber("SWEEP_REPLAY", 0)) {
    const Session session = DrawSession(replay);
    std::printf("session %llu:\n%s", replay, Reproducer(session).c_str());
    return Run(session).wrong.empty() ? 0 : 1;
  }
  const unsigned long long sessions = EnvNumber("SWEEP_SESSIONS", 20000);
  const unsigned long long seed = EnvNumber("SWEEP_SEED", std::random_device()());
  const unsigned long long seconds = EnvNumber("SWEEP_SECONDS", 0);
  const unsigned long long shown = EnvNumber("SWEEP_SHOWN", 6);
  std::printf("sweep seed %llu: up to %llu sessions%s\n", seed, sessions,
              seconds > 0 ? (", " + std::to_string(seconds) + " s at most").c_str() : "");
  std::fflush(stdout);

  const auto start = std::chrono::steady_clock::now();
  Tally tally;
  // Each class of wrong answer: the session it first showed in, and how many showed it.
  std::map<std::string, std::pair<unsigned long long, unsigned long long>> classes;
  unsigned long long run = 0, wrong = 0, wrongSessions = 0;
  for (; run < sessions; ++run) {
    if (seconds > 0 && std::chrono::steady_clock::now() - start >= std::chrono::seconds(seconds))
      break;
    const Session session = DrawSession(Mix(seed, run));
    const Outcome outcome = Run(session);
    for (const auto& count : outcome.tally) tally[count.first] += count.second;
    if (outcome.wrong.empty()) continue;
    wrong += outcome.wrong.size();
    ++wrongSessions;
    // A wrong answer's class is what it was, on which route, after which
    // faults: those it needs, since a session fires many that play no part.
    const std::string& what = outcome.wrong.front().what;
    Session needed;
    const std::string klass = ClassOf(session, what, needed);
    if (classes.count(klass) == 0 && classes.size() < shown) {
      std::fprintf(stderr,
                   "wrong answer in session %llu: %s\n"
                   "  shrunk reproducer of session %llu (SWEEP_REPLAY=%llu replays it whole):\n%s",
                   run, klass.c_str(), run, session.seed, Reproducer(Shrink(needed, what)).c_str());
    }
    auto& counted = classes.emplace(klass, std::make_pair(run, 0ull)).first->second;
    ++counted.second;
  }

  for (const auto& klass : classes) {
    std::fprintf(stderr, "class: %s: first in session %llu, %llu of %llu sessions\n",
                 klass.first.c_str(), klass.second.first, klass.second.second, run);
  }
  std::printf("sweep: %llu sessions (%s), %llu wrong answers in %llu sessions\n", run,
              TallyText(tally).c_str(), wrong, wrongSessions);
  return tally.empty() || wrong > 0 ? 1 : 0;
}
