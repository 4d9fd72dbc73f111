// Making a failing session small enough to read, and writing it out.
#include <algorithm>
#include <functional>

#include "sweep/Sweep.h"

namespace sweep {

namespace {

using Fails = std::function<bool(const Session&)>;

// Drops runs of the elements `part` picks out of a session, halving the run
// down to one, keeping each drop after which the session still fails.
template <typename Part>
void DropRuns(Part part, Session& best, const Fails& fails) {
  for (std::size_t run = std::max<std::size_t>(part(best).size() / 2, 1);; run /= 2) {
    for (std::size_t start = 0; start < part(best).size();) {
      Session candidate = best;
      auto& elements = part(candidate);
      elements.erase(elements.begin() + start,
                     elements.begin() + std::min(start + run, elements.size()));
      if (fails(candidate)) {
        best = std::move(candidate);
      } else {
        start += run;
      }
    }
    if (run == 1) return;
  }
}

// The first wrong answer of `what` the session gives, or null.
const Wrong* FirstOf(const Outcome& outcome, const std::string& what) {
  auto found = std::find_if(outcome.wrong.begin(), outcome.wrong.end(),
                            [&what](const Wrong& wrong) { return wrong.what == what; });
  return found != outcome.wrong.end() ? &*found : nullptr;
}

}  // namespace

std::string ClassOf(const Session& failing, const std::string& what, Session& needed) {
  needed = failing;
  for (std::size_t b = 0; b < needed.browsers.size(); ++b) {
    for (std::size_t c = 0; c < needed.browsers[b].calls.size();) {
      if (needed.browsers[b].calls[c].kind != Call::kArm) {
        ++c;
        continue;
      }
      Session candidate = needed;
      candidate.browsers[b].calls.erase(candidate.browsers[b].calls.begin() + c);
      if (FirstOf(Run(candidate, nullptr), what) != nullptr) {
        needed = std::move(candidate);
      } else {
        ++c;
      }
    }
  }
  const Outcome outcome = Run(needed, nullptr);
  return FirstOf(outcome, what)->klass;
}

Session Shrink(const Session& failing, const std::string& what) {
  int budget = 3000;  // replays; a shrink is for reading, not for the last call
  const Fails fails = [&](const Session& candidate) {
    return budget-- > 0 && FirstOf(Run(candidate, nullptr), what) != nullptr;
  };
  Session best = failing;
  for (std::size_t before = ~std::size_t(0);;) {
    std::size_t now = best.item.extents.size() + best.browsers.size();
    for (const BrowserPlan& plan : best.browsers) now += plan.calls.size();
    if (now >= before || budget <= 0) break;
    before = now;

    DropRuns([](Session& s) -> std::vector<BrowserPlan>& { return s.browsers; }, best, fails);
    for (std::size_t b = 0; b < best.browsers.size(); ++b) {
      DropRuns([b](Session& s) -> std::vector<Call>& { return s.browsers[b].calls; }, best, fails);
      for (auto simpler : {+[](BrowserPlan& p) { p.serviceThread = false; },
                           +[](BrowserPlan& p) { p.seeded = false; },
                           +[](BrowserPlan& p) { p.hostAsMaName = false; }}) {
        Session candidate = best;
        simpler(candidate.browsers[b]);
        if (fails(candidate)) best = std::move(candidate);
      }
    }
    // Items found by row must stay dense from 0, while a browser goes over V2:
    // only their last extents go.
    best.item.dense = best.item.dense &&
                      std::any_of(best.browsers.begin(), best.browsers.end(),
                                  [](const BrowserPlan& plan) { return plan.route == Route::kV2; });
    while (best.item.needsRows() && !best.item.extents.empty()) {
      Session candidate = best;
      candidate.item.extents.pop_back();
      if (!fails(candidate)) break;
      best = std::move(candidate);
    }
    if (!best.item.needsRows()) {
      DropRuns([](Session& s) -> std::vector<ebindex::Entry>& { return s.item.extents; }, best,
               fails);
    }
  }
  return best;
}

std::string Reproducer(const Session& session) {
  std::string text = std::string("  item ") + kItemPath + ", " + session.item.title() +
                     "\n  catalogue (tool lines: PATH EXTENT AFILEID AFILEVALUE EMPTY NAME):\n";
  for (const ebindex::Entry& e : session.item.extents) {
    text += std::string("    ") + kItemPath + "\t" + std::to_string(e.extent) + "\t" +
            std::to_string(e.afileId) + "\t" + std::to_string(e.afileValue) + "\t" +
            (e.empty ? "1" : "0") + "\t" + e.name + "\n";
  }
  text += "  browsers, one after another, each with its calls:\n";
  Run(session, &text);
  return text;
}

}  // namespace sweep
