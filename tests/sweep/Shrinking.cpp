// Making a failing session small enough to read, then printing it.
#include <cstdio>
#include <functional>

#include "sweep/Sweep.h"

namespace sweep {

namespace {

// Drops chunks of `size` elements, halving the chunk down to one, keeping
// each drop after which the session still fails.
using Fails = std::function<bool(const Session&)>;

template <typename Size, typename Drop>
void DropChunks(Size size, Drop drop, Session& best, const Fails& fails) {
  for (std::size_t chunk = std::max<std::size_t>(size(best) / 2, 1); chunk >= 1; chunk /= 2) {
    for (std::size_t start = 0; start < size(best);) {
      Session candidate = best;
      drop(candidate, start, std::min(chunk, size(best) - start));
      if (fails(candidate)) {
        best = std::move(candidate);
      } else {
        start += chunk;
      }
    }
    if (chunk == 1) break;
  }
}

// The first wrong answer of `what` the session gives, or null.
const Wrong* FirstOf(const Outcome& outcome, const std::string& what) {
  for (const Wrong& wrong : outcome.wrong) {
    if (wrong.what == what) return &wrong;
  }
  return nullptr;
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

    DropChunks([](const Session& s) { return s.browsers.size(); },
               [](Session& s, std::size_t at, std::size_t n) {
                 s.browsers.erase(s.browsers.begin() + at, s.browsers.begin() + at + n);
               },
               best, fails);
    for (std::size_t b = 0; b < best.browsers.size(); ++b) {
      DropChunks([b](const Session& s) { return s.browsers[b].calls.size(); },
                 [b](Session& s, std::size_t at, std::size_t n) {
                   auto& calls = s.browsers[b].calls;
                   calls.erase(calls.begin() + at, calls.begin() + at + n);
                 },
                 best, fails);
      for (auto simpler : {+[](BrowserPlan& p) { p.serviceThread = false; },
                           +[](BrowserPlan& p) { p.seeded = false; },
                           +[](BrowserPlan& p) { p.hostAsMaName = false; }}) {
        Session candidate = best;
        simpler(candidate.browsers[b]);
        if (fails(candidate)) best = std::move(candidate);
      }
    }
    // Items found by row must stay dense from 0: only their last extents go.
    if (best.item.needsRows()) {
      while (!best.item.extents.empty()) {
        Session candidate = best;
        candidate.item.extents.pop_back();
        if (!fails(candidate)) break;
        best = std::move(candidate);
      }
    } else {
      DropChunks([](const Session& s) { return s.item.extents.size(); },
                 [](Session& s, std::size_t at, std::size_t n) {
                   s.item.extents.erase(s.item.extents.begin() + at,
                                        s.item.extents.begin() + at + n);
                 },
                 best, fails);
    }
  }
  return best;
}

void PrintReproducer(const Session& session, unsigned long long sessionIndex) {
  std::string transcript;
  Run(session, &transcript);
  std::fprintf(
      stderr,
      "  shrunk reproducer of session %llu (SWEEP_REPLAY=%llu replays it whole):\n"
      "  item %s: %s\n  catalogue (tool lines: PATH EXTENT AFILEID AFILEVALUE EMPTY NAME):\n",
      sessionIndex, session.seed, kItemPath, ItemTitle(session.item).c_str());
  const std::string lines = CatalogueLines(session.item);
  for (std::size_t at = 0, end; at < lines.size(); at = end + 1) {
    end = lines.find('\n', at);
    std::fprintf(stderr, "    %s\n", lines.substr(at, end - at).c_str());
  }
  std::fprintf(stderr, "  browsers, one after another, each with its calls:\n%s",
               transcript.c_str());
}

}  // namespace sweep
