#include "Stats.h"

#include <boost/shared_ptr.hpp>
#include <ostream>
#include <string>
#include <vector>

#include "JsonLine.h"
#include "LogWriters.h"
#include "ebindex/IndexService.h"
#include "extentbrowse/EBPerfCounters.h"

void PrintStats(std::ostream& out, bool json) {
  // The library writes the table at level 1 through the host's writer;
  // catching it here puts it on standard output whatever --log-level says.
  // The JSON form reads the same counters, and reports them the same once:
  // the table resets them.
  Json counters = Json::array();
  if (json && gEbPerfCounter != nullptr) {
    for (const ThrdPerfCounter::Snapshot& counter : gEbPerfCounter->snapshot()) {
      counters.push_back({{"id", counter.id},
                          {"name", counter.name},
                          {"count", counter.count},
                          {"total_ms", counter.total.count() / 1e6},
                          {"max_ms", counter.max.count() / 1e6}});
    }
  }
  const boost::shared_ptr<CLogWriterInterface> previous = g_ptrLogWriter;
  const boost::shared_ptr<CCaptureLogWriter> capture(new CCaptureLogWriter(1));
  g_ptrLogWriter = capture;
  LogEBPerfcounters();
  g_ptrLogWriter = previous;

  const unsigned long long requests = ebindex::IndexService::instance().browseCallCount();
  if (json) {
    EmitJson(out, {{"counters", counters}, {"browse_requests", requests}});
    return;
  }
  const std::vector<std::string> lines = capture->messages();
  if (lines.empty()) out << "no counters yet: no browser has been constructed\n";
  for (const std::string& line : lines) out << line << "\n";
  out << "browse requests: " << requests << "\n";
}
