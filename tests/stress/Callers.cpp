// A caller thread: lookups at random and in order, emptiness, enumerations
// and cache saves on one browser, each answer checked against the catalogue.
#include <algorithm>
#include <cstdio>

#include "extentbrowse/ExtentBrowseImpl.h"
#include "stress/Run.h"

namespace stress {

namespace {

constexpr unsigned long long kNoRange = ~0ull;
constexpr unsigned long long kUntouched = 0xDEADBEEFull;
// Nothing browses this item, so a browser seeded on it answers only from
// its seed.
const char* const kProbePath = "/stress/probe";

const char* ResultName(ExtentBrowseResult result) {
  return result == EB_EXTENT_FOUND       ? "found"
         : result == EB_EXTENT_NOT_FOUND ? "not-found"
         : result == EB_BROWSE_FAILED    ? "browse-failed"
                                         : "an unexpected result";
}

std::string Expected(const Extent* extent) {
  if (extent == nullptr) return "the catalogue lacks it";
  char text[96];
  std::snprintf(text, sizeof text, "the catalogue has %llu %llu%s", extent->afileId,
                extent->afileValue, extent->empty ? " (empty)" : "");
  return text;
}

class Caller {
 public:
  Caller(Subject& subject, Step& step, unsigned long long seed)
      : subject_(subject), kind_(subject.kind), step_(step), random_(seed) {}

 private:
  // One library call, published for the watchdog while it runs.
  template <typename Call>
  auto call(const char* name, unsigned long long number, Call&& body) {
    struct Ended {
      Step& step;
      ~Ended() { step.end(); }
    } ended{step_};
    step_.begin(name, number);
    return body();
  }

 public:
  void run(const std::atomic<bool>& stop) {
    while (!stop) {
      const unsigned int roll = random_() % 100;
      if (roll < 60) {
        // Some name an extent range.
        const unsigned long long number = pick();
        lookup(number, roll < 50 ? kNoRange : rangeFor(number));
      } else if (roll < 72) {
        walk(stop);
      } else if (roll < 85) {
        const unsigned long long number = pick();
        ++totals.lookups;
        const bool empty = call("IsExtentEmpty", number, [&] {
          return subject_.browser->IsExtentEmpty(number);
        });
        const Extent* extent = kind_.find(number);
        if (empty && (extent == nullptr || !extent->empty)) {
          ReportWrong(subject_, "IsExtentEmpty(" + std::to_string(number) + ") gave true; " +
                                    Expected(extent));
        }
      } else if (roll < 93) {
        enumerate();
      } else {
        save();
      }
    }
  }

 private:
  // Mostly extents of the item, then their neighbours (the edges of holes),
  // numbers anywhere up to past the end, and small numbers.
  unsigned long long pick() {
    const std::vector<Extent>& extents = kind_.extents;
    const unsigned long long any = extents[random_() % extents.size()].number;
    const unsigned long long last = extents.back().number;
    const unsigned int roll = random_() % 100;
    const unsigned long long number =
        roll < 60   ? any
        : roll < 75 ? (random_() % 2 == 0 ? any + 1 : any - 1)
        : roll < 90 ? random_() % (last + 1000)
        : roll < 95 ? last + 1 + random_() % (kind_.ceiling - last - 1)
                    : random_() % 200;
    return number < kind_.ceiling ? number : random_() % 200;
  }

  // Mostly a range that holds the extent, else one after it or before it.
  unsigned long long rangeFor(unsigned long long number) {
    const unsigned long long page = subject_.pageSize;
    const unsigned int roll = random_() % 10;
    if (roll < 8) return number - random_() % std::min(page, number + 1);
    if (roll == 8 && number >= page && number - page >= 1000) {
      return number - page - random_() % 1000;
    }
    return number + 1 + random_() % 1000;
  }

  // Found must carry the ids of `expected`, not-found needs `expected` null,
  // and browse-failed needs `mayFail`.
  bool check(ExtentBrowseResult result, unsigned long long afileId, unsigned long long afileValue,
             const Extent* expected, bool mayFail, const std::string& what) {
    const bool right =
        result == EB_EXTENT_FOUND
            ? expected != nullptr && afileId == expected->afileId &&
                  afileValue == expected->afileValue
            : result == EB_EXTENT_NOT_FOUND ? expected == nullptr
                                            : result == EB_BROWSE_FAILED && mayFail;
    if (!right) {
      char outputs[64];
      std::snprintf(outputs, sizeof outputs, " %llu %llu; ", afileId, afileValue);
      ReportWrong(subject_, what + " gave " + ResultName(result) + outputs + Expected(expected));
    }
    return right;
  }

  void lookup(unsigned long long number, unsigned long long rangeStart) {
    ExtentBrowse& browser = *subject_.browser;
    unsigned long long afileId = kUntouched, afileValue = kUntouched;
    ++totals.lookups;
    const ExtentBrowseResult result = call("GetAFInfo", number, [&] {
      return rangeStart == kNoRange ? browser.GetAFInfo(number, afileId, afileValue)
                                    : browser.GetAFInfo(number, afileId, afileValue, rangeStart);
    });
    const Extent* extent = kind_.find(number);
    const std::string range = rangeStart == kNoRange ? "" : ", " + std::to_string(rangeStart);
    const std::string what = "GetAFInfo(" + std::to_string(number) + range + ")";
    if (!check(result, afileId, afileValue, extent, mayFail(number, rangeStart), what) ||
        result != EB_EXTENT_FOUND) {
      return;
    }
    // The record is in the map now, so its flag must be the index's, unless
    // it came from the seed, whose records carry none.
    ++totals.lookups;
    const bool empty = call("IsExtentEmpty", number, [&] { return browser.IsExtentEmpty(number); });
    if (empty != extent->empty && (empty || !subject_.seededWith(number))) {
      ReportWrong(subject_, "IsExtentEmpty(" + std::to_string(number) + ") after found gave " +
                                (empty ? "true; " : "false; ") + Expected(extent));
    }
  }

  bool mayFail(unsigned long long number, unsigned long long rangeStart) const {
    if (rangeStart != kNoRange) {
      const bool holds = number >= rangeStart && number - rangeStart < subject_.pageSize;
      // A range that misses the extent cannot answer for it.
      if (!holds) return true;
    }
    return subject_.faulted && !subject_.seededWith(number);
  }

  // A restore reading extents in order, now and then with a stride or backwards.
  void walk(const std::atomic<bool>& stop) {
    unsigned long long number = pick();
    const long long stride =
        (random_() % 4 == 0 ? 1 + random_() % 7 : 1) * (random_() % 5 == 0 ? -1 : 1);
    for (int steps = 20 + random_() % 300; steps > 0 && !stop && number < kind_.ceiling;
         --steps, number += stride) {
      lookup(number, kNoRange);
    }
  }

  // Claims the next call over the whole item, or says it is not yet due.
  bool due(std::atomic<long long>& next) {
    long long at = next;
    const long long now = NowMs();
    return now >= at && now < subject_.heavyCallsUntilMs &&
           next.compare_exchange_strong(at, now + kHeavyCallSpacingMs);
  }

  void enumerate() {
    // A slow build lists one item at a time in the whole run: each listing
    // browses the whole item, and several at once starve every other call.
    static std::mutex slowBuildListing;
    std::unique_lock<std::mutex> alone(slowBuildListing, std::defer_lock);
    if (kSlowdown > 1 && !alone.try_lock()) return;
    std::unique_lock<std::mutex> only(subject_.enumeration, std::try_to_lock);
    if (!only.owns_lock() || !due(subject_.nextEnumerationMs)) return;
    ExtentBrowse& browser = *subject_.browser;
    void* handle = call("OpenEnum", 0, [&] { return browser.OpenEnum(); });
    if (handle == nullptr) {
      if (!subject_.faulted) ReportWrong(subject_, "OpenEnum gave null");
      return;
    }
    ++totals.enumerations;
    const std::vector<Extent>& extents = kind_.extents;
    std::size_t listed = 0;
    unsigned long long number = 0;
    bool empty = false, reported = false;
    for (; call("EnumExtent", listed, [&] { return browser.EnumExtent(handle, number, empty); });
         ++listed) {
      if (!reported && (listed >= extents.size() || number != extents[listed].number ||
                        empty != extents[listed].empty)) {
        reported = true;
        ReportWrong(subject_, "enumeration item " + std::to_string(listed) + " is " +
                                  std::to_string(number) + (empty ? " (empty)" : "") + "; " +
                                  Expected(listed < extents.size() ? &extents[listed] : nullptr));
      }
    }
    call("CloseEnum", 0, [&] { browser.CloseEnum(handle); });
    if (!reported && listed != extents.size()) {
      ReportWrong(subject_, "enumeration listed " + std::to_string(listed) + " extents of " +
                                std::to_string(extents.size()));
    }
  }

  void save() {
    if (!due(subject_.nextSaveMs)) return;
    std::stringstream stream;
    const bool written = call("SaveExtentInfo", 0, [&] {
      return subject_.browser->GetImpl()->SaveExtentInfo(&stream);
    });
    auto block = std::make_shared<SavedBlock>();
    block->text = stream.str();
    const std::string fault = written ? readBlock(*block) : "SaveExtentInfo gave false";
    if (!fault.empty()) return ReportWrong(subject_, fault);
    probe(*block);
    ++totals.saves;
    std::lock_guard<std::mutex> lock(subject_.mutex);
    subject_.saved = std::move(block);
  }

  // Every record must be the catalogue's, in ascending order, between the
  // block's markers. Returns what is wrong, or nothing.
  std::string readBlock(SavedBlock& block) const {
    std::istringstream in(block.text);
    std::string line;
    if (!std::getline(in, line) || line != "START_EXTENT_INFO") return "saved block: no start";
    while (std::getline(in, line) && line != "END_EXTENT_INFO") {
      unsigned long long number = 0, afileId = 0, afileValue = 0;
      char extra = 0;
      const Extent* extent = nullptr;
      if (std::sscanf(line.c_str(), "%llu %llu %llu%c", &number, &afileId, &afileValue,
                      &extra) != 3 ||
          (!block.extents.empty() && number <= block.extents.back()) ||
          (extent = kind_.find(number)) == nullptr || extent->afileId != afileId ||
          extent->afileValue != afileValue) {
        return "saved block: record line \"" + line + "\" out of order or not the catalogue's";
      }
      block.extents.push_back(number);
    }
    if (line != "END_EXTENT_INFO" || (std::getline(in, line) && !line.empty())) {
      return "saved block: no end, or text after it";
    }
    return std::string();
  }

  // A browser seeded from the block, on an item the index does not know,
  // can only answer from the block: its extents found, anything else not.
  void probe(const SavedBlock& block) {
    std::stringstream stream(block.text);
    SCParams params = ParamsFor(kind_.appType);
    std::unique_ptr<ExtentBrowse> seeded(call("probe: construct", 0, [&] {
      return new ExtentBrowse(params, kProbePath, &stream, EB_MODE_DEFAULT, 100, 13, false, 0, "");
    }));
    for (int i = 0; i < 9; ++i) {
      // Eight from the block, then one from anywhere.
      const unsigned long long number = i < 8 && !block.extents.empty()
                                            ? block.extents[random_() % block.extents.size()]
                                            : pick();
      const bool held = std::binary_search(block.extents.begin(), block.extents.end(), number);
      unsigned long long afileId = kUntouched, afileValue = kUntouched;
      ++totals.lookups;
      const ExtentBrowseResult result = call("probe: GetAFInfo", number, [&] {
        return seeded->GetAFInfo(number, afileId, afileValue);
      });
      check(result, afileId, afileValue, held ? kind_.find(number) : nullptr, false,
            "a browser seeded from the saved block: GetAFInfo(" + std::to_string(number) + ")");
    }
    call("probe: destroy", 0, [&] { seeded.reset(); });
  }

  Subject& subject_;
  const ItemKind& kind_;
  Step& step_;
  std::mt19937_64 random_;
};

}  // namespace

void RunCaller(Subject& subject, Step& step, unsigned long long seed,
               const std::atomic<bool>& stop) {
  Caller(subject, step, seed).run(stop);
}

}  // namespace stress
