#include "ThrdPerfCounter.h"

#include <algorithm>

#include "CLogWriterInterface.h"

namespace {

constexpr const char* kDefaultTitle = "For All The Files";
// The reset history is for hosts that check what was reset; a long-lived
// process that resets now and then must not grow it without end.
constexpr std::size_t kResetHistoryLimit = 1024;

double Milliseconds(std::chrono::nanoseconds duration) { return duration.count() / 1e6; }

}  // namespace

ThrdPerfCounter::ThrdPerfCounter(EvEvent* event) : event_(event) {}

void ThrdPerfCounter::AddPerfCounter(int id, const char* name, CTRBASETYPE, bool) {
  std::lock_guard<std::mutex> lock(mutex_);
  Counter& counter = counters_[id];
  if (counter.name.empty()) counter.name = name != nullptr ? name : "";
}

void ThrdPerfCounter::finish(Counter& counter, std::vector<Start>::iterator start,
                             Clock::time_point now) {
  const Clock::duration elapsed = now - start->at;
  counter.running.erase(start);
  ++counter.count;
  counter.total += elapsed;
  counter.max = std::max(counter.max, elapsed);
}

void ThrdPerfCounter::_StartPerfCounter(const std::string&, int id) {
  ++platformCalls_;
  const Clock::time_point now = Clock::now();
  std::lock_guard<std::mutex> lock(mutex_);
  auto found = counters_.find(id);
  if (found == counters_.end()) return;
  found->second.running.push_back(Start{std::this_thread::get_id(), now});
}

void ThrdPerfCounter::_StopPerfCounter(const std::string&, int id, unsigned long long) {
  ++platformCalls_;
  const Clock::time_point now = Clock::now();
  std::lock_guard<std::mutex> lock(mutex_);
  auto found = counters_.find(id);
  if (found == counters_.end() || found->second.running.empty()) return;
  std::vector<Start>& running = found->second.running;
  // A counter started and stopped on one thread measures that thread's
  // work; one stopped elsewhere (a response arriving on the service's
  // thread) ends the start that has waited longest.
  const std::thread::id self = std::this_thread::get_id();
  auto mine = std::find_if(running.rbegin(), running.rend(),
                           [self](const Start& start) { return start.thread == self; });
  auto start = mine != running.rend() ? std::next(mine).base() : running.begin();
  finish(found->second, start, now);
}

void ThrdPerfCounter::_ResetPerfCounter(const std::string&, int id) {
  ++platformCalls_;
  std::lock_guard<std::mutex> lock(mutex_);
  if (resets_.size() == kResetHistoryLimit) resets_.erase(resets_.begin());
  resets_.push_back(id);
  auto found = counters_.find(id);
  if (found == counters_.end()) return;
  Counter& counter = found->second;
  counter.count = 0;
  counter.total = Clock::duration(0);
  counter.max = Clock::duration(0);
  counter.running.clear();
}

void ThrdPerfCounter::_LogPerfCounters(const std::string& module, const std::string& title,
                                       long long) {
  ++platformCalls_;
  const std::vector<Snapshot> rows = snapshot();
  CLogWriterInterface* writer = g_ptrLogWriter.get();
  if (writer->getLevel() < 1) return;
  writer->writeLog(1, __PRETTY_FUNCTION__, __LINE__, 0, 0, "Performance counters of %s (%s)",
                   module.c_str(), title.c_str());
  writer->writeLog(1, __PRETTY_FUNCTION__, __LINE__, 0, 0, "%3s  %-30s %10s %12s %10s %10s",
                   "id", "counter", "count", "total ms", "avg ms", "max ms");
  for (const Snapshot& row : rows) {
    const double average = row.count == 0 ? 0.0 : Milliseconds(row.total) / row.count;
    writer->writeLog(1, __PRETTY_FUNCTION__, __LINE__, 0, 0, "%3d  %-30s %10llu %12.3f %10.3f %10.3f",
                     row.id, row.name.c_str(), row.count, Milliseconds(row.total), average,
                     Milliseconds(row.max));
  }
}

void ThrdPerfCounter::_StopPerfCounters(const std::string&, const std::string&, bool, bool,
                                        long long) {
  ++platformCalls_;
  const Clock::time_point now = Clock::now();
  std::lock_guard<std::mutex> lock(mutex_);
  for (auto& entry : counters_) {
    Counter& counter = entry.second;
    while (!counter.running.empty()) finish(counter, counter.running.begin(), now);
  }
}

void ThrdPerfCounter::logAfterUpdateStep(const char* module) {
  if (isLogAfterUpdate()) _LogPerfCounters(module, kDefaultTitle, -1);
}

void ThrdPerfCounter::StartPerfCounter(const char* module, int id) {
  if (!isEnabled()) return;
  _StartPerfCounter(module, id);
}

void ThrdPerfCounter::StopPerfCounter(const char* module, int id, unsigned long long count) {
  if (!isEnabled()) return;
  _StopPerfCounter(module, id, count);
  logAfterUpdateStep(module);
}

void ThrdPerfCounter::ResetPerfCounter(const char* module, int id) {
  if (!isEnabled()) return;
  _ResetPerfCounter(module, id);
  logAfterUpdateStep(module);
}

void ThrdPerfCounter::LogPerfCounters(const char* module, const char* title, long long reserved) {
  if (!isEnabled()) return;
  _LogPerfCounters(module, title != nullptr ? title : kDefaultTitle, reserved);
}

void ThrdPerfCounter::StopPerfCounters(const char* module, const char* title, bool logAfter,
                                       bool quiet, long long reserved) {
  if (!isEnabled() || isBulkStopSuppressed()) return;
  _StopPerfCounters(module, title != nullptr ? title : kDefaultTitle, logAfter, quiet, reserved);
  logAfterUpdateStep(module);
}

std::vector<ThrdPerfCounter::Snapshot> ThrdPerfCounter::snapshot() const {
  std::lock_guard<std::mutex> lock(mutex_);
  std::vector<Snapshot> rows;
  rows.reserve(counters_.size());
  for (const auto& entry : counters_) {
    Snapshot row;
    row.id = entry.first;
    row.name = entry.second.name;
    row.count = entry.second.count;
    row.total = std::chrono::duration_cast<std::chrono::nanoseconds>(entry.second.total);
    row.max = std::chrono::duration_cast<std::chrono::nanoseconds>(entry.second.max);
    row.running = entry.second.running.size();
    rows.push_back(row);
  }
  return rows;
}

std::vector<int> ThrdPerfCounter::resetHistory() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return resets_;
}
