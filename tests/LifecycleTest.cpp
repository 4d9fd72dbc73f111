// The facade and the browser's life: construction logging, the log guard,
// destruction, and the small accessors.
#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "common/EBLog.h"
#include "extentbrowse/ExtentBrowse.h"
#include "extentbrowse/ExtentBrowseImpl.h"
#include "support/TestSupport.h"

namespace {

using ebtest::MakeParams;
using ebtest::ScopedLogCapture;

int g_argumentEvaluations = 0;
int CountedArgument() { return ++g_argumentEvaluations; }

void WriteOneLinePerLevel() {
  EB_LOG(-1, "level %d", -1);
  EB_LOG(1, "level %d", 1);
  EB_LOG(2, "level %d", 2);
  EB_LOG(4, "level %d", 4);
  EB_LOG(5, "level %d", 5);
}

TEST(LogGuardTest, WritesOnlyLinesAtOrBelowTheWritersLevel) {
  struct Case {
    int writerLevel;
    std::vector<std::string> expected;
  };
  const Case cases[] = {
      {-2, {}}, {0, {"level -1"}}, {3, {"level -1", "level 1", "level 2"}},
      {4, {"level -1", "level 1", "level 2", "level 4"}},
      {5, {"level -1", "level 1", "level 2", "level 4", "level 5"}}};
  for (const Case& c : cases) {
    ScopedLogCapture log(c.writerLevel);
    WriteOneLinePerLevel();
    EXPECT_EQ(log.messages(), c.expected) << "writer level " << c.writerLevel;
  }
}

TEST(LogGuardTest, PassesTheCallersSignatureAndEvaluatesArgumentsOnlyWhenWritten) {
  ScopedLogCapture log(0);
  g_argumentEvaluations = 0;
  EB_LOG(4, "not wanted %d", CountedArgument());
  EXPECT_EQ(g_argumentEvaluations, 0);
  EB_LOG(-1, "wanted %d", CountedArgument());
  EXPECT_EQ(g_argumentEvaluations, 1);

  const std::vector<CCaptureLogWriter::Line> lines = log.writer().lines();
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0].level, -1);
  EXPECT_EQ(lines[0].message, "wanted 1");
  EXPECT_NE(lines[0].function.find("PassesTheCallersSignature"), std::string::npos);
  EXPECT_GT(lines[0].line, 0);
}

TEST(FacadeTest, LogsItsArgumentsAtLevelOneExactly) {
  ScopedLogCapture log(1);
  SCParams params = MakeParams(106);
  params.sourceClientId = 21;
  params.bkpSetId = 22;
  params.AppId = -3;
  params.appInstance = 23;
  params.totime = 0x100000005LL;  // narrowed to 32 bits in the line
  params.fromtime = -1;
  {
    ExtentBrowse browse(params, "/vm/disk0", nullptr, EB_MODE_DEFAULT, 500, 13, true, 2, "ma7");
  }
  const std::vector<CCaptureLogWriter::Line> lines = log.writer().lines();
  ASSERT_GE(lines.size(), 2u);
  EXPECT_EQ(lines[0].level, 1);
  EXPECT_EQ(lines[0].message,
            "ExtentBrowse::ExtentBrowse browsePath: /vm/disk0, pageSize: 500, ExtentNameLength: "
            "13 ma: ma7");
  EXPECT_EQ(lines[1].level, 1);
  EXPECT_EQ(lines[1].message,
            "ExtentBrowse::ExtentBrowse sourceClientId: 21 appType: 106 bkpSetId: 22 AppId: -3 "
            "appInstance: 23 totime: 5 fromtime: 4294967295 ");
  EXPECT_NE(lines[0].function.find("ExtentBrowse::ExtentBrowse("), std::string::npos);
}

TEST(BrowserLifecycleTest, DestructorLogsItsTwoLinesInOrder) {
  ScopedLogCapture log(4);
  SCParams params = MakeParams(0);
  { ExtentBrowse browse(params, "/f", nullptr, EB_MODE_DEFAULT, 10, 13, false, 0, ""); }
  const int waiting =
      log.indexOf("ExtentBrowseImpl destructor going to wait for any browse thread to complete.");
  const int completed = log.indexOf("ExtentBrowseImpl destructor completed");
  ASSERT_GE(waiting, 0);
  EXPECT_GT(completed, waiting);
}

TEST(BrowserLifecycleTest, AQuietBrowserWritesNothingAndReportsNoError) {
  ScopedLogCapture log(0);
  SCParams params = MakeParams(0);
  {
    ExtentBrowse browse(params, "/f", nullptr, EB_MODE_DEFAULT, 10, 13, false, 0, "");
    std::string text = "stale";
    EXPECT_EQ(browse.GetLatestErrorInfo(text), 0);
    EXPECT_EQ(text, "");
  }
  EXPECT_TRUE(log.messages().empty());
}

}  // namespace
