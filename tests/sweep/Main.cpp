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
#include <cstdlib>

#include "LogWriters.h"
#include "sweep/Sweep.h"

namespace {

// Each session's seed from the run's, so that any one can be replayed alone.
unsigned long long Mix(unsigned long long seed, unsigned long long value) {
  unsigned long long z = seed + 0x9E3779B97F4A7C15ull * (value + 1);
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
  return z ^ (z >> 31);
}

unsigned long long EnvNumber(const char* name, unsigned long long fallback) {
  const char* text = std::getenv(name);
  return text != nullptr && *text != '\0' ? std::strtoull(text, nullptr, 10) : fallback;
}

struct Class {
  unsigned long long firstSession = 0, sessions = 0;
};

}  // namespace

int main() {
  using namespace sweep;
  // Failed browses are logged at the error level, and come here by the thousand.
  g_ptrLogWriter.reset(new CStderrLogWriter(-2));
  if (const unsigned long long replay = EnvNumber("SWEEP_REPLAY", 0)) {
    std::string transcript;
    const Session session = DrawSession(replay);
    const Outcome outcome = Run(session, &transcript);
    std::printf("session %llu: item %s\n%s%s", replay, ItemTitle(session.item).c_str(),
                CatalogueLines(session.item, "").c_str(), transcript.c_str());
    return outcome.wrong.empty() ? 0 : 1;
  }
  const unsigned long long sessions = EnvNumber("SWEEP_SESSIONS", 20000);
  const unsigned long long seed = EnvNumber("SWEEP_SEED", std::random_device()());
  const unsigned long long seconds = EnvNumber("SWEEP_SECONDS", 0);
  const unsigned long long shown = EnvNumber("SWEEP_SHOWN", 6);
  std::printf("sweep seed %llu: up to %llu sessions%s\n", seed, sessions,
              seconds > 0 ? (", " + std::to_string(seconds) + " s at most").c_str() : "");
  std::fflush(stdout);

  const auto start = std::chrono::steady_clock::now();
  std::map<std::string, unsigned long long> answers;
  std::map<std::string, Class> classes;
  unsigned long long printed = 0;
  unsigned long long run = 0, calls = 0, faults = 0, wrong = 0, wrongSessions = 0;
  for (; run < sessions; ++run) {
    if (seconds > 0 && std::chrono::steady_clock::now() - start >= std::chrono::seconds(seconds))
      break;
    const Session session = DrawSession(Mix(seed, run));
    const Outcome outcome = Run(session, nullptr);
    calls += outcome.calls;
    faults += outcome.faults;
    for (const auto& answer : outcome.answers) answers[answer.first] += answer.second;
    if (outcome.wrong.empty()) continue;
    wrong += outcome.wrong.size();
    ++wrongSessions;
    // A wrong answer's class is what it was, on which route, after which
    // faults: those it needs, since a session fires many that play no part.
    const Wrong& first = outcome.wrong.front();
    Session needed;
    const std::string klass = ClassOf(session, first.what, needed);
    if (classes.count(klass) == 0 && printed < shown) {
      ++printed;
      std::fprintf(stderr, "wrong answer in session %llu: %s\n", run, klass.c_str());
      PrintReproducer(Shrink(needed, first.what), run);
      std::fflush(stderr);
    }
    Class& counted = classes[klass];
    if (counted.sessions++ == 0) counted.firstSession = run;
  }

  for (const auto& klass : classes) {
    std::fprintf(stderr, "class: %s: first in session %llu, %llu of %llu sessions\n",
                 klass.first.c_str(), klass.second.firstSession, klass.second.sessions, run);
  }
  std::string byKind;
  for (const auto& answer : answers) {
    byKind += (byKind.empty() ? "" : ", ") + std::to_string(answer.second) + " " + answer.first;
  }
  std::printf(
      "sweep: %llu sessions, %llu calls (%s), %llu faults armed, %llu wrong answers in "
      "%llu sessions\n",
      run, calls, byKind.c_str(), faults, wrong, wrongSessions);
  if (calls == 0) return 1;
  return wrong == 0 ? 0 : 1;
}
