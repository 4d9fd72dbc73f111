// What the two randomized harnesses share: items of every kind and their
// catalogues, the faults the index service injects, the calls a browser is
// asked and the judging of each answer against the catalogue itself. The
// truth sweep (tests/sweep) replays seeded sessions one call at a time; the
// stress harness (tests/stress) runs many browsers and callers at once.
#ifndef EXTENTBROWSE_TESTS_HARNESS_HARNESS_H
#define EXTENTBROWSE_TESTS_HARNESS_HARNESS_H

#include <atomic>
#include <map>
#include <memory>
#include <random>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "ebindex/Catalogue.h"
#include "ebindex/ExtentNames.h"
#include "ebindex/IndexService.h"
#include "extentbrowse/ExtentBrowse.h"

namespace harness {

using Random = std::mt19937_64;
constexpr unsigned long long kNoRange = ~0ull;
constexpr unsigned long long kUntouched = 0xDEADBEEFull;  // an output no call should set

// A number from one of the bands [low, low + span), chosen by weight.
struct Band {
  int weight;
  unsigned long long low, span;
};
unsigned long long Draw(const std::vector<Band>& bands, Random& random);

// Items (Items.cpp). A kind is a way the library names extents; its
// ceiling is where its names stop ordering, before the name length's own.
struct Kind {
  const char* name;
  int appType;
  ebindex::NameScheme scheme;
  unsigned long long ceiling;
};
extern const std::vector<Kind> kKinds;

struct Item {
  std::string kind;
  int appType = 0;
  ebindex::NameScheme scheme = ebindex::NameScheme::kBase32;
  unsigned int nameLength = 13;
  // Type 81 over V2 is found by row, which only an item numbered densely
  // from 0 answers right; an item with holes is browsed over V1 only.
  bool dense = false;
  unsigned long long ceiling = 0;       // extents and most lookups stay below
  std::vector<ebindex::Entry> extents;  // ascending by number; afileId below 2^31

  const ebindex::Entry* find(unsigned long long number) const;
  bool needsRows() const { return appType == 81 && dense; }
  bool v1Only() const { return appType == 81 && !dense; }
  std::string title() const;
};

Item MakeItem(const Kind& kind, unsigned int nameLength, bool dense);
// Adds `count` extents from `first`, below `bound`: runs between gaps,
// mostly small, some wide, now and then a jump of up to `jump`, so that
// pages hold holes and some stretches are too sparse for any page to span.
void Layout(Item& item, unsigned long long first, unsigned long long bound, std::size_t count,
            unsigned long long jump, Random& random);
// The item's entries under `path`, added in the index's (name) order.
void AddItem(ebindex::Catalogue& catalogue, const std::string& path, const Item& item);
// Any number: mostly the item's extents, their neighbours and the numbers
// between and around them.
unsigned long long PickExtent(const Item& item, Random& random);

// Faults (Faults.cpp), armed at one item for `calls` calls.
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
  void arm(const std::string& path) const;
};
Fault DrawFault(Random& random);

// Calls (Calls.cpp): what a browser is asked, and what it answered.
struct Call {
  enum Kind { kLookup, kEmpty, kEnumerate, kSave, kArm } kind = kLookup;
  unsigned long long extent = 0;
  unsigned long long rangeStart = kNoRange;  // kNoRange: the three-argument GetAFInfo
  Fault fault;
};
extern const char* const kCallNames[];

// Weights of the calls drawn; a lookup with an extent range counts apart.
struct CallMix {
  int lookups, rangeLookups, empties, enumerations, saves, faults;
};
Call DrawCall(const Item& item, unsigned long long pageSize, const CallMix& mix, Random& random);

typedef std::vector<std::pair<unsigned long long, bool>> Listing;  // extent, empty
struct Answer {
  int result = -1;
  unsigned long long afileId = kUntouched, afileValue = kUntouched;
  bool empty = false;  // IsExtentEmpty, also asked after a lookup that found
  bool opened = false;
  Listing listing;
  bool written = false;
  std::string block;
  bool readBack = false;                // the block read back as one block
  std::vector<ebindex::Entry> records;  // ascending, as read back
};
// Makes the call (not kArm); a listing stops after `mostListed` extents.
Answer Perform(ExtentBrowse& browser, const Call& call, std::size_t mostListed);
std::string Describe(const Call& call, const Answer& answer);

// Counts of what a run did, by name.
typedef std::map<std::string, unsigned long long> Tally;
void Count(const Call& call, const Answer& answer, Tally& tally);
std::string TallyText(const Tally& tally);

// Judging (Judging.cpp). Besides the catalogue, an answer may rest only on
// what the index said to the browser, and on the records its map holds.
struct Standing {
  unsigned long long pageSize = 0;
  std::atomic<bool> mayFail{false};         // a fault that can fail a browse reached it
  std::atomic<bool> absenceClaimed{false};  // an answer said that extents were absent
  std::vector<unsigned long long> seeded;   // ascending: from the block it was built on
  std::set<unsigned long long> brought;     // by a browse, with its flag
};
// What is wrong with the answer, or "".
std::string Judge(const Item& item, const Call& call, const Answer& answer,
                  const Standing& standing);
// What a right answer shows a browse brought.
void Learn(const Item& item, const Call& call, const Answer& answer, Standing& standing);

// Runs (Runs.cpp).
unsigned long long EnvNumber(const char* name, unsigned long long fallback);
// A seed for part `value` of a run, so that any part can be run alone.
unsigned long long Mix(unsigned long long seed, unsigned long long value);

enum class Route { kV2, kV1Remote, kV1InProcess };
extern const char* const kRouteNames[];
// The browse host of a route: V1 browses through the in-process host are
// answered in process. SetUpHosts() names the hosts' clients.
const char* HostOf(Route route);
void SetUpHosts();
std::unique_ptr<ExtentBrowse> MakeBrowser(const Item& item, const std::string& path,
                                          const std::string& maName, unsigned long long pageSize,
                                          std::iostream* cache);

}  // namespace harness

#endif  // EXTENTBROWSE_TESTS_HARNESS_HARNESS_H
