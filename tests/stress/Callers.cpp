// A caller thread: lookups at random and in order, emptiness, enumerations
// and cache saves on one browser, each answer judged against the catalogue.
#include <algorithm>
#include <vector>

#include "stress/Stress.h"

namespace stress {

namespace {

// Enumerations and saves are drawn often but made only when due (see due()).
const CallMix kCallMix = {57, 11, 15, 9, 8, 0};
// Nothing browses this item, so a browser seeded on it answers only from
// its seed.
const char* const kProbePath = "/stress/probe";

std::string Expected(const Item& item, const Call& call) {
  if (call.kind != Call::kLookup && call.kind != Call::kEmpty) return "";
  const ebindex::Entry* entry = item.find(call.extent);
  if (entry == nullptr) return "; the catalogue lacks it";
  return "; the catalogue has " + std::to_string(entry->afileId) + " " +
         std::to_string(entry->afileValue) + (entry->empty ? " (empty)" : "");
}

class Caller {
 public:
  Caller(Subject& subject, Step& step, unsigned long long seed)
      : subject_(subject), item_(subject.item), step_(step), random_(seed) {}

  void run(const std::atomic<bool>& stop) {
    while (!stop) {
      if (random_() % 100 < 12) {
        walk(stop);
        continue;
      }
      const Call call = DrawCall(item_, subject_.standing.pageSize, kCallMix, random_);
      if (call.kind == Call::kEnumerate) {
        enumerate(call);
      } else if (call.kind != Call::kSave) {
        play(*subject_.browser, item_, subject_.standing, call);
      } else if (due(subject_.nextSaveMs)) {
        save(call);
      }
    }
    totals.add(tally_);
  }

 private:
  // One library call, published for the watchdog while it runs, then
  // judged; false when its answer was wrong.
  bool play(ExtentBrowse& browser, const Item& item, const Standing& standing, const Call& call,
            Answer* answer = nullptr, const char* who = "") {
    Answer made;
    step_.begin(kCallNames[call.kind], call.extent);
    made = Perform(browser, call, item.extents.size() + 100);
    step_.end();
    Count(call, made, tally_);
    const std::string wrong = Judge(item, call, made, standing);
    if (!wrong.empty()) {
      ReportWrong(subject_, who + Describe(call, made) + ": " + wrong + Expected(item, call));
    }
    if (answer != nullptr) *answer = std::move(made);
    return wrong.empty();
  }

  // A restore reading extents in order, now and then with a stride or backwards.
  void walk(const std::atomic<bool>& stop) {
    Call call;
    call.extent = PickExtent(item_, random_);
    const long long stride =
        (random_() % 4 == 0 ? 1 + random_() % 7 : 1) * (random_() % 5 == 0 ? -1 : 1);
    for (int steps = 20 + random_() % 300; steps > 0 && !stop && call.extent < item_.ceiling;
         --steps, call.extent += stride) {
      play(*subject_.browser, item_, subject_.standing, call);
    }
  }

  // Claims the next call over the whole item, or says it is not yet due.
  bool due(std::atomic<long long>& next) {
    long long at = next;
    const long long now = NowMs();
    return now >= at && now < subject_.heavyCallsUntilMs &&
           next.compare_exchange_strong(at, now + kHeavyCallSpacingMs);
  }

  void enumerate(const Call& call) {
    // A slow build lists one item at a time in the whole run: each listing
    // browses the whole item, and several at once starve every other call.
    static std::mutex slowBuildListing;
    std::unique_lock<std::mutex> alone(slowBuildListing, std::defer_lock);
    if (kSlowdown > 1 && !alone.try_lock()) return;
    std::unique_lock<std::mutex> only(subject_.enumeration, std::try_to_lock);
    if (only.owns_lock() && due(subject_.nextEnumerationMs)) {
      play(*subject_.browser, item_, subject_.standing, call);
    }
  }

  // A saved block is judged, then read by a browser on an item the index
  // does not know, which can only answer from the block: its extents
  // found, anything else not. It seeds the subject's successor.
  void save(const Call& call) {
    auto answer = std::make_shared<Answer>();
    if (!play(*subject_.browser, item_, subject_.standing, call, answer.get())) return;
    const std::vector<ebindex::Entry>& records = answer->records;
    std::vector<unsigned long long> picks;  // eight of the block's extents, one from anywhere
    for (int i = 0; i < 9; ++i) {
      picks.push_back(i < 8 && !records.empty() ? records[random_() % records.size()].extent
                                                : PickExtent(item_, random_));
    }
    std::sort(picks.begin(), picks.end());
    picks.erase(std::unique(picks.begin(), picks.end()), picks.end());
    Item truth;  // what the probe may answer for the picks
    Standing standing;
    for (unsigned long long n : picks) {
      auto record = std::lower_bound(records.begin(), records.end(), n,
                                     [](const ebindex::Entry& entry, unsigned long long number) {
                                       return entry.extent < number;
                                     });
      if (record == records.end() || record->extent != n) continue;
      truth.extents.push_back(*item_.find(n));
      standing.seeded.push_back(n);
    }
    std::stringstream stream(answer->block);
    step_.begin("probe: construct", 0);
    std::unique_ptr<ExtentBrowse> probe = MakeBrowser(item_, kProbePath, "", 100, &stream);
    step_.end();
    for (unsigned long long n : picks) {
      Call lookup;
      lookup.extent = n;
      play(*probe, truth, standing, lookup, nullptr, "a browser seeded from the saved block: ");
    }
    step_.begin("probe: destroy", 0);
    probe.reset();
    step_.end();
    std::lock_guard<std::mutex> lock(subject_.mutex);
    subject_.saved = std::move(answer);
  }

  Subject& subject_;
  const Item& item_;
  Step& step_;
  Random random_;
  Tally tally_;
};

}  // namespace

void RunCaller(Subject& subject, Step& step, unsigned long long seed,
               const std::atomic<bool>& stop) {
  Caller(subject, step, seed).run(stop);
}

}  // namespace stress
