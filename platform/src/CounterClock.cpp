#include "CounterClock.h"

#include <cmath>
#include <limits>
#include <thread>

#if defined(__x86_64__)
#include <cpuid.h>
#endif

namespace counterclock {

namespace {

struct ClockPair {
  std::uint64_t ticks;
  std::uint64_t nanos;
};

// A thread preempted between the two reads would skew the ratio by the
// time it was away, so keep the closest of a few tries.
ClockPair ReadClocks() {
  ClockPair best{Ticks(), SteadyNanos()};
  std::uint64_t bestGap = std::numeric_limits<std::uint64_t>::max();
  for (int attempt = 0; attempt < 5; ++attempt) {
    const std::uint64_t before = Ticks();
    const std::uint64_t nanos = SteadyNanos();
    const std::uint64_t after = Ticks();
    if (after - before < bestGap) {
      bestGap = after - before;
      best = ClockPair{before + (after - before) / 2, nanos};
    }
  }
  return best;
}

const ClockPair& CalibrationOrigin() {
  static const ClockPair origin = ReadClocks();
  return origin;
}

// Over 5 ms the two reads' jitter (tens of nanoseconds) is noise in the
// fifth decimal; a read sooner than that waits out the rest, once.
constexpr std::uint64_t kCalibrationSpanNanos = 5000000;

}  // namespace

bool TscIsInvariant() {
#if defined(__x86_64__)
  unsigned eax = 0, ebx = 0, ecx = 0, edx = 0;
  if (__get_cpuid(0x80000007u, &eax, &ebx, &ecx, &edx) == 0) return false;
  return (edx & (1u << 8)) != 0;
#else
  return false;
#endif
}

void StartCalibration() { CalibrationOrigin(); }

double NanosPerTick() {
  if (!UseTsc()) return 1.0;
  static const double ratio = [] {
    const ClockPair origin = CalibrationOrigin();
    ClockPair now = ReadClocks();
    if (now.nanos - origin.nanos < kCalibrationSpanNanos) {
      std::this_thread::sleep_for(
          std::chrono::nanoseconds(kCalibrationSpanNanos - (now.nanos - origin.nanos)));
      now = ReadClocks();
    }
    if (now.ticks <= origin.ticks) return 1.0;
    return static_cast<double>(now.nanos - origin.nanos) /
           static_cast<double>(now.ticks - origin.ticks);
  }();
  return ratio;
}

std::chrono::nanoseconds ToNanos(std::uint64_t ticks, double nanosPerTick) {
  return std::chrono::nanoseconds(
      static_cast<std::chrono::nanoseconds::rep>(std::llround(ticks * nanosPerTick)));
}

}  // namespace counterclock
