// The truth sweep's run: sessions one after another until the count or the
// time is reached; each class of wrong answer shown once, shrunk; one
// summary line. Exit status 0 only when no answer was wrong.
//
// SWEEP_SESSIONS (default 20000), SWEEP_SEED (default: drawn; printed
// first), SWEEP_SECONDS (0, the default: no time cap), SWEEP_SHOWN (classes
// shrunk and printed, default 6), SWEEP_REPLAY (a session seed: replay that
// one session and print all its calls).
#include <chrono>
#include <cstdio>

#include "LogWriters.h"
#include "sweep/Sweep.h"

int main() {
  using namespace sweep;
  // Failed browses are logged at the error level, and come here by the thousand.
  g_ptrLogWriter.reset(new CStderrLogWriter(-2));
  if (const unsigned long long replay = EnvNumber("SWEEP_REPLAY", 0)) {
    const Session session = DrawSession(replay);
    std::printf("session %llu:\n%s", replay, Reproducer(session).c_str());
    return Run(session, nullptr).wrong.empty() ? 0 : 1;
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
    const Outcome outcome = Run(session, nullptr);
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
