// The truth sweep: seeded random sessions of browsers over random
// catalogues, every answer checked against the catalogue itself.
//
// A session is plain data (Session), drawn from its seed and replayed by
// Run, so that a failing one can be shrunk and printed as a reproducer.
#ifndef EXTENTBROWSE_TESTS_SWEEP_SWEEP_H
#define EXTENTBROWSE_TESTS_SWEEP_SWEEP_H

#include <map>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "ebindex/ExtentNames.h"
#include "ebindex/IndexService.h"

namespace sweep {

constexpr unsigned long long kNoRange = ~0ull;
const char* const kItemPath = "/sweep/item";

struct Extent {
  unsigned long long number;
  unsigned long long afileId;  // below 2^31: the index carries it as a signed 32-bit value
  unsigned long long afileValue;
  bool empty;
};

// One backed-up item and its extents (Catalogues.cpp).
struct Item {
  int appType = 0;
  ebindex::NameScheme scheme = ebindex::NameScheme::kBase32;
  unsigned int nameLength = 13;
  // Type 81 over V2 is found by row, which only an item numbered densely
  // from 0 answers right; an item with holes is browsed over V1 only.
  bool dense = false;
  unsigned long long ceiling = 0;  // extents stay below: names stop ordering there
  std::vector<Extent> extents;     // ascending

  const Extent* find(unsigned long long number) const;
  bool needsRows() const { return appType == 81 && dense; }
};

Item DrawItem(std::mt19937_64& random);
std::string ItemTitle(const Item& item);
// The item as the tool's catalogue lines.
std::string CatalogueLines(const Item& item, const std::string& indent);
// A number to look up: mostly the item's extents and their neighbours.
unsigned long long PickExtent(const Item& item, std::mt19937_64& random);

enum class Route { kV2, kV1Remote, kV1InProcess };

// A fault armed at the item between two calls.
struct Fault {
  enum Kind { kInitialize, kBrowse, kScript } kind = kInitialize;
  int calls = 1;  // or ebindex::kAllCalls
  int result = 0;
  bool afterResponses = false;
  std::vector<ebindex::ScriptedResponse> script;

  // Whether a browse it reaches may fail, and whether its answer says that
  // extents are absent (the index's own word, which the browser must take).
  bool mayFail() const;
  bool claimsAbsence() const;
  std::string describe() const;
};

struct Call {
  enum Kind { kLookup, kEmpty, kEnumerate, kSave, kArm } kind = kLookup;
  unsigned long long extent = 0;
  unsigned long long rangeStart = kNoRange;  // kNoRange: the three-argument GetAFInfo
  Fault fault;
};

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
  std::map<std::string, unsigned long long> answers;  // by kind
  unsigned long long calls = 0, faults = 0;
  std::vector<Wrong> wrong;
};

// Replays the session against a freshly reset index service; with
// `transcript`, writes every call, its answer and what was wrong with it.
Outcome Run(const Session& session, std::string* transcript);

// What a browser was built on and what faults reached it, to judge its
// answers (Checking.cpp). Each judging call returns what is wrong, or "".
class Judge {
 public:
  Judge(const Item& item, const BrowserPlan& plan, const std::string& seedBlock);
  void arm(const Fault& fault);
  // After each call that may browse: the index's counts say which armed
  // faults it reached, since one never reached excuses nothing.
  void afterCall();

  std::string lookup(unsigned long long extent, unsigned long long rangeStart, int result,
                     unsigned long long afileId, unsigned long long afileValue);
  std::string empty(unsigned long long extent, bool answer) const;
  typedef std::vector<std::pair<unsigned long long, bool>> Listing;  // extent, empty
  std::string enumeration(bool opened, const Listing& listed);
  std::string saved(const std::string& block) const;
  std::string firedFaults() const;

 private:
  const Item& item_;
  const BrowserPlan& plan_;
  std::set<unsigned long long> seeded_, brought_;  // brought: by a browse, with its flag
  std::vector<std::pair<Fault, int>> initRules_, browseRules_, scriptRules_;  // calls left
  std::set<std::string> fired_;
  bool mayFail_ = false, absenceClaimed_ = false;
  unsigned long long initCount_ = 0, browseCount_ = 0;
};

// The records of a saved block, ascending; false when it is not one.
bool ReadBlock(const std::string& block, std::vector<Extent>& records);

// Shrinking.cpp: the session without the faults that play no part in its
// first wrong answer of `what`, and that answer's class then; the session
// with browsers, calls, extents and settings dropped while it still gives
// one; the reproducer of a session.
std::string ClassOf(const Session& failing, const std::string& what, Session& needed);
Session Shrink(const Session& failing, const std::string& what);
void PrintReproducer(const Session& session, unsigned long long sessionIndex);

}  // namespace sweep

#endif  // EXTENTBROWSE_TESTS_SWEEP_SWEEP_H
