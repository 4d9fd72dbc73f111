// What the two randomized harnesses share: items of every kind, the faults
// the index service injects, the calls a browser is asked, and the judging
// of each answer against the catalogue itself. The truth sweep replays
// seeded sessions a call at a time; the stress run has many at once.
#ifndef EXTENTBROWSE_TESTS_HARNESS_HARNESS_H
#define EXTENTBROWSE_TESTS_HARNESS_HARNESS_H

#include <array>
#include <atomic>
#include <map>
#include <memory>
#include <random>
#include <set>
#include <string>
#include <utility>
#include <vector>

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
  // Names of more than one length, which the index orders apart from their numbers.
  bool wide() const { return scheme == ebindex::NameScheme::kHex && ceiling > k2To32; }
  static constexpr unsigned long long k2To32 = 1ull << 32;
  std::string title() const;
};
// An item of each way the library names extents, without extents.
extern const std::vector<Item> kKinds;

// Items.cpp. Layout adds `count` extents from `first`, below `bound`: runs
// between gaps, mostly small, some wide, now and then a jump of up to
// `jump`, so that some stretches are too sparse for any page to span.
Item MakeItem(const Item& kind, unsigned int nameLength, bool dense);
void Layout(Item& item, unsigned long long first, unsigned long long bound, std::size_t count,
            unsigned long long jump, Random& random);
void AddItem(ebindex::Catalogue& catalogue, const std::string& path, const Item& item);
// The entry as a line of a catalogue file, as the tool reads one.
std::string CatalogueLine(const std::string& path, const ebindex::Entry& entry);
// Any number: mostly the item's extents, their neighbours and the numbers
// between and around them.
unsigned long long PickExtent(const Item& item, Random& random);

// Faults.cpp: a fault armed at one item for `calls` calls.
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

// Calls.cpp: what a browser is asked, and what it answered.
struct Call {
  enum Kind { kLookup, kEmpty, kEnumerate, kSave, kArm } kind = kLookup;
  unsigned long long extent = 0;
  unsigned long long rangeStart = kNoRange;  // kNoRange: the three-argument GetAFInfo
  Fault fault;
};
extern const char* const kCallNames[];
typedef std::array<int, 5> CallMix;  // weights of the calls drawn, by Call::Kind
Call DrawCall(const Item& item, unsigned long long pageSize, const CallMix& mix, Random& random);

struct Answer {
  int result = -1;
  unsigned long long afileId = kUntouched, afileValue = kUntouched;
  bool empty = false;  // IsExtentEmpty, also asked after a lookup that found
  bool opened = false;
  std::vector<std::pair<unsigned long long, bool>> listing;  // extent, empty
  bool written = false, readBack = false;  // readBack: the block read back as one block
  std::string block;
  Item records;  // the block's records, as an item of their own without flags
};
// Makes the call (not kArm).
Answer Perform(ExtentBrowse& browser, const Call& call);
std::string Describe(const Call& call, const Answer& answer);

typedef std::map<std::string, unsigned long long> Tally;  // what a run did, by name
void Count(const Call& call, const Answer& answer, Tally& tally);
std::string TallyText(const Tally& tally);

// Judging.cpp. Besides the catalogue, an answer may rest only on what the
// index told the browser and on the records its map holds.
struct Standing {
  unsigned long long pageSize = 0;
  std::atomic<bool> mayFail{false};         // a fault that can fail a browse reached it
  std::atomic<bool> absenceClaimed{false};  // an answer said that extents were absent
  std::set<unsigned long long> seeded;      // from the block it was built on
  std::set<unsigned long long> brought;     // by a browse, with its flag
  // The browser names a path the index does not hold: every lookup must
  // fail, never say "not found", and no enumeration may open.
  bool itemMissing = false;
};
// What is wrong with the answer, or "".
std::string Judge(const Item& item, const Call& call, const Answer& answer,
                  const Standing& standing);
// What a right answer shows a browse brought.
void Learn(const Item& item, const Call& call, const Answer& answer, Standing& standing);

// Runs.cpp. Mix: a seed for part `value` of a run, so that it can run alone.
unsigned long long EnvNumber(const char* name, unsigned long long fallback);
unsigned long long Mix(unsigned long long seed, unsigned long long value);

enum class Route { kV2, kV1Remote, kV1InProcess };
extern const char* const kRouteNames[];
// A route's browse host: V1 browses through the in-process host are
// answered in process, once SetUpHosts() has named the hosts' clients.
const char* HostOf(Route route);
void SetUpHosts();
std::unique_ptr<ExtentBrowse> MakeBrowser(const Item& item, const std::string& path,
                                          const std::string& maName, unsigned long long pageSize,
                                          std::iostream* cache);

}  // namespace harness

#endif  // EXTENTBROWSE_TESTS_HARNESS_HARNESS_H
