// The facade's construction line, and the log guard every line passes.
#include <gtest/gtest.h>

#include "common/EBLog.h"
#include "extentbrowse/EBPerfCounters.h"
#include "extentbrowse/ExtentBrowse.h"
#include "support/Support.h"

namespace {

int g_argumentEvaluations = 0;
int CountedArgument() { return ++g_argumentEvaluations; }

// A host that removed its writer (kNoWriter) gets no line and no argument
// evaluated.
TEST(LogGuardTest, WritesOnlyWantedLinesAndEvaluatesArgumentsOnlyForThem) {
  constexpr int kNoWriter = -100;
  const boost::shared_ptr<CLogWriterInterface> previous = g_ptrLogWriter;
  for (int writerLevel : {kNoWriter, -2, 0, 3, 4, 5}) {
    const boost::shared_ptr<CCaptureLogWriter> writer(new CCaptureLogWriter(writerLevel));
    g_ptrLogWriter = writer;
    if (writerLevel == kNoWriter) g_ptrLogWriter.reset();
    g_argumentEvaluations = 0;
    std::vector<std::string> expected;
    for (int level : {-1, 1, 2, 4, 5}) {
      EB_LOG(level, "level %d", level + 0 * CountedArgument());
      if (level <= writerLevel) expected.push_back("level " + std::to_string(level));
    }
    EXPECT_EQ(writer->messages(), expected);
    EXPECT_EQ(g_argumentEvaluations, static_cast<int>(expected.size()));
    // The platform's counter table goes through the same writer, or none.
    LogEBPerfcounters();
  }
  g_ptrLogWriter = previous;
}

TEST(FacadeTest, LogsItsArgumentsAtLevelOne) {
  ebtest::ScopedLogCapture log(1);
  SCParams params{21, 106, 22, -3, 23, 0x100000005LL, -1};  // `totime` narrowed to 32 bits
  {
    ExtentBrowse browse(params, "/vm/disk0", nullptr, EB_MODE_DEFAULT, 500, 13, true, 2, "ma7");
    // Failures are results and log lines: no error text is ever recorded.
    std::string text = "stale";
    EXPECT_EQ(browse.GetLatestErrorInfo(text), 0);
    EXPECT_EQ(text, "");
  }
  const std::vector<CCaptureLogWriter::Line> lines = log->lines();
  ASSERT_GE(lines.size(), 2u);
  EXPECT_TRUE(lines[0].level == 1 && lines[1].level == 1);
  EXPECT_EQ(lines[0].message,
            "ExtentBrowse::ExtentBrowse browsePath: /vm/disk0, pageSize: 500, ExtentNameLength: "
            "13 ma: ma7");
  EXPECT_EQ(lines[1].message,
            "ExtentBrowse::ExtentBrowse sourceClientId: 21 appType: 106 bkpSetId: 22 AppId: -3 "
            "appInstance: 23 totime: 5 fromtime: 4294967295 ");
}

}  // namespace
