// The browser's end: what the destructor does to a browse that runs, or
// would start, while it waits.
#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <functional>
#include <future>
#include <sstream>
#include <thread>

#include "extentbrowse/EBPerfCounters.h"
#include "support/Support.h"

namespace {

using namespace ebtest;

// Holds, once, the thread that writes a counter table after `marker`. With
// the counter set logging after every update, each counter stop writes a
// table, so a browser's thread can be stopped at a chosen point from the
// outside: right after taking the browse semaphore (WaitToSendBrowse stops
// there), or in the first response of a running browse.
class Gate : public CCaptureLogWriter {
 public:
  explicit Gate(std::string marker) : CCaptureLogWriter(4), marker_(std::move(marker)) {}
  std::promise<void> held, release;

 protected:
  void writeLine(int level, const char* function, int line, const std::string& message) override {
    CCaptureLogWriter::writeLine(level, function, line, message);
    if (message == marker_) armed_ = std::this_thread::get_id();
    const bool table = message.rfind("Performance counters", 0) == 0;
    if (table && armed_.load() == std::this_thread::get_id()) {
      armed_ = std::thread::id();
      held.set_value();
      release.get_future().wait();
    }
  }

 private:
  const std::string marker_;
  std::atomic<std::thread::id> armed_{std::thread::id()};
};

// Whether a thread of this process sleeps; the destructor's thread does so
// only in the semaphore wait that follows its first line.
bool Sleeping(pid_t thread) {
  std::ifstream stat("/proc/self/task/" + std::to_string(thread) + "/stat");
  const std::string text{std::istreambuf_iterator<char>(stat), {}};
  const std::size_t end = text.rfind(") ");
  return end != std::string::npos && text.compare(end + 2, 1, "S") == 0;
}

class LifecycleTest : public IndexTest {};

TEST_F(LifecycleTest, TheDestructorWaitsForARunningBrowseAndNoBrowseStartsOnceItWaits) {
  AddItem("/f", 0, 10);
  const std::string kWaiting =
      "ExtentBrowseImpl destructor going to wait for any browse thread to complete.";
  const std::string kBeforeTurn = "ExtentBrowseImpl::StartBrowse waiting to create browseThread";
  const struct {
    std::string holdAfter;
    std::function<bool(ExtentBrowseImpl&)> call;  // true when the call did its work
    bool browses;
  } cases[] = {
      {"Going to create browseThread",
       [](ExtentBrowseImpl& b) { return b.StartBrowse(Base32Name(0), 0, ~0ull); }, true},
      {kBeforeTurn, [](ExtentBrowseImpl& b) {
         unsigned long long id = 0, value = 0;
         return b.GetAFInfo(5, id, value) != EB_BROWSE_FAILED;
       }, false},
      {kBeforeTurn, [](ExtentBrowseImpl& b) { return b.OpenEnum() != nullptr; }, false},
  };
  for (const auto& c : cases) {
    const unsigned long long browsesBefore = BrowseCount();
    std::stringstream seed("START_EXTENT_INFO\n1 2 3\nEND_EXTENT_INFO\n");
    ExtentBrowseImpl* browser = MakeBrowser(0, "/f", 100, "", &seed).release();
    const boost::shared_ptr<Gate> gate(new Gate(c.holdAfter));
    const boost::shared_ptr<CLogWriterInterface> previous = g_ptrLogWriter;
    g_ptrLogWriter = gate;
    gEbPerfCounter->setLogAfterUpdate(true);

    bool worked = false;
    std::thread caller([&] { worked = c.call(*browser); });
    gate->held.get_future().wait();
    std::atomic<pid_t> tid{0};
    std::atomic<bool> destroyed{false};
    std::thread destroying([&] {
      tid = gettid();
      delete browser;
      destroyed = true;
    });
    // Once its line is in, the destructor's thread needs no lock of the log's.
    while (!destroyed && !(gate->contains(kWaiting) && Sleeping(tid))) std::this_thread::yield();
    ASSERT_FALSE(destroyed) << "the destructor did not wait for the browse in progress";
    // Lookups the map answers need no browse, destructor or not.
    unsigned long long id = 0, value = 0;
    EXPECT_EQ(browser->GetAFInfo(1, id, value), EB_EXTENT_FOUND);
    EXPECT_EQ(value, 3u);
    gate->release.set_value();
    caller.join();
    destroying.join();
    gEbPerfCounter->setLogAfterUpdate(false);
    g_ptrLogWriter = previous;

    EXPECT_EQ(worked, c.browses) << c.holdAfter;
    EXPECT_EQ(BrowseCount() - browsesBefore, c.browses ? 1u : 0u);
    EXPECT_NE(gate->contains("StartBrowse will exit now because the owner ExtentBrowse object "
                             "is going to be removed"),
              c.browses);
    // Under the function the catalogue gives: the browse's or the enumeration's.
    EXPECT_EQ(UncataloguedLines(gate->lines()), "");
    const std::vector<std::string> lines = gate->messages();
    const auto at = [&](const std::string& line) {
      return std::find(lines.begin(), lines.end(), line) - lines.begin();
    };
    const std::string recorded = c.browses ? "Added to browsedExtents: (0, 9)" : kWaiting;
    EXPECT_LE(at(kWaiting), at(recorded));
    EXPECT_LT(at(recorded), at("ExtentBrowseImpl destructor completed"));
  }
}

}  // namespace
