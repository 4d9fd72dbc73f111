// The clock the performance counters stamp their starts and stops with, and
// its calibration to nanoseconds. Internal to the platform library.
//
// Stamps are ticks of the processor's time-stamp counter where it runs at a
// constant rate (x86-64), which reads in less than half the time of
// steady_clock, and nanoseconds of steady_clock elsewhere. Ticks become
// nanoseconds only when figures are read, by a ratio measured against
// steady_clock between the first counter set's construction and the first
// read.
//
// Thread-safety: every function may be called from any thread.
#ifndef EBPLATFORM_COUNTERCLOCK_H
#define EBPLATFORM_COUNTERCLOCK_H

#include <chrono>
#include <cstdint>

#if defined(__x86_64__)
#include <x86intrin.h>
#endif

namespace counterclock {

inline std::uint64_t SteadyNanos() {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

// Only an invariant time-stamp counter ticks at one rate whatever the
// core's frequency or sleep state; any other is no clock at all.
bool TscIsInvariant();

inline bool UseTsc() {
  static const bool use = TscIsInvariant();
  return use;
}

// Inline: a counter pair reads the clock twice, and a pair has to cost a few
// tens of nanoseconds at most.
inline std::uint64_t Ticks() {
#if defined(__x86_64__)
  if (UseTsc()) return __rdtsc();
#endif
  return SteadyNanos();
}

// Takes the first reading the ratio is measured from, once per process; a
// counter set does so when it is built, so that by the time anyone reads
// figures the span is usually long already.
void StartCalibration();

// Nanoseconds per tick: measured once, at the first call (which waits out
// the rest of a few milliseconds if the span is shorter than that).
double NanosPerTick();

std::chrono::nanoseconds ToNanos(std::uint64_t ticks, double nanosPerTick);

}  // namespace counterclock

#endif  // EBPLATFORM_COUNTERCLOCK_H
