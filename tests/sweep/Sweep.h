// The truth sweep: seeded random sessions of browsers over random
// catalogues, every answer checked against the catalogue itself.
//
// A session is plain data (Session), drawn from its seed and replayed by
// Run, so that a failing one can be shrunk and printed as a reproducer.
#ifndef EXTENTBROWSE_TESTS_SWEEP_SWEEP_H
#define EXTENTBROWSE_TESTS_SWEEP_SWEEP_H

#include <set>
#include <string>
#include <utility>
#include <vector>

#include "harness/Harness.h"

namespace sweep {

using namespace harness;
const char* const kItemPath = "/sweep/item";

struct BrowserPlan {
  Route route = Route::kV2;
  bool hostAsMaName = false;  // else the service's default host
  unsigned long long pageSize = 100;
  int itemsPerResponse = 7;
  bool serviceThread = false;
  bool seeded = false;  // built on the last block the browser before it saved
  std::vector<Call> calls;
};

struct Session {
  unsigned long long seed = 0;
  Item item;
  std::vector<BrowserPlan> browsers;
};

Session DrawSession(unsigned long long seed);

// What a replay saw. A wrong answer's class is what was wrong, on which
// route, after which faults: for counting them.
struct Wrong {
  std::string what, klass;
};
struct Outcome {
  Tally tally;
  std::vector<Wrong> wrong;
};

// Replays the session against a freshly reset index service; with
// `transcript`, writes every call, its answer and what was wrong with it.
Outcome Run(const Session& session, std::string* transcript);

// Which armed faults reached a browser, by the index's call counts: one
// armed but never reached excuses nothing (FaultAccount.cpp).
class FaultAccount {
 public:
  FaultAccount();
  void arm(const Fault& fault);
  // After each call that may browse: what the faults it reached allow.
  void afterCall(Standing& standing);
  std::string fired() const;

 private:
  std::vector<std::pair<Fault, int>> initRules_, browseRules_, scriptRules_;  // calls left
  std::set<std::string> fired_;
  unsigned long long initCount_, browseCount_;
};

// Shrinking.cpp: the session without the faults that play no part in its
// first wrong answer of `what`, and that answer's class then; the session
// with browsers, calls, extents and settings dropped while it still gives
// one; the session as a reader needs it: its item, its catalogue as the
// tool's lines, and every call with its answer and what was wrong with it.
std::string ClassOf(const Session& failing, const std::string& what, Session& needed);
Session Shrink(const Session& failing, const std::string& what);
std::string Reproducer(const Session& session);

}  // namespace sweep

#endif  // EXTENTBROWSE_TESTS_SWEEP_SWEEP_H
