// The string helpers for browse paths and item names.
#include <gtest/gtest.h>

#include <string>

#include "browser/PathHelpers.h"
#include "support/TestSupport.h"

namespace {

using ebtest::LoggingTest;
using ebtest::MakeParams;

class TransformPathTest : public LoggingTest {};

TEST_F(TransformPathTest, VirtualServerPathsGetABackslashForEverySlash) {
  const SCParams params = MakeParams(106);
  std::string path = "a/b//c/";
  ASSERT_EQ(path.size(), 7u);
  EXPECT_TRUE(TransformPath(path, &params));
  EXPECT_EQ(path, "a\\b\\\\c\\");
  EXPECT_EQ(log.messages(),
            (std::vector<std::string>{"replaced '/' with '\\' at pos = 1",
                                      "replaced '/' with '\\' at pos = 3",
                                      "replaced '/' with '\\' at pos = 4",
                                      "replaced '/' with '\\' at pos = 6"}));
  EXPECT_EQ(log.writer().lines().front().level, 5);
}

TEST_F(TransformPathTest, OtherTypesAndExistingBackslashesAreLeftAlone) {
  for (int appType : {0, 53, 81, 105, 107}) {
    const SCParams params = MakeParams(appType);
    std::string path = "a/b//c/";
    EXPECT_TRUE(TransformPath(path, &params));
    EXPECT_EQ(path, "a/b//c/") << appType;
  }
  EXPECT_TRUE(log.messages().empty());

  const SCParams virtualServer = MakeParams(106);
  std::string mixed = "\\vm\\disk/0";
  EXPECT_TRUE(TransformPath(mixed, &virtualServer));
  EXPECT_EQ(mixed, "\\vm\\disk\\0");

  std::string path = "/a/b";
  EXPECT_FALSE(TransformPath(path, nullptr));
  EXPECT_EQ(path, "/a/b");
}

TEST(GetRealNameTest, TakesEverythingAfterTheFirstSeparator) {
  struct Case {
    std::string itemName;
    std::string expected;
  };
  const Case cases[] = {
      {"plain", "plain"},
      {"abc\x12xyz", "xyz"},
      {"abc\x12", ""},
      {"\x12" "first", "first"},
      {"a\x12" "b\x12" "c", "b\x12" "c"},
      {"", ""},
  };
  for (const Case& c : cases) {
    std::string out = "previous content";
    GetRealName(c.itemName, out);
    EXPECT_EQ(out, c.expected);
  }
}

TEST(BrowseRespTypeStrTest, NamesTheKnownTypes) {
  const char* names[] = {"Data", "Prediction", "Partial", "Error", "Warning", "End", "Progress"};
  for (int type = 0; type <= 6; ++type) {
    EXPECT_STREQ(BrowseRespTypeStr(static_cast<databrowse::BrowseResponseType>(type)), names[type]);
  }
  for (int type : {7, 15, 100, -1}) {
    EXPECT_STREQ(BrowseRespTypeStr(static_cast<databrowse::BrowseResponseType>(type)), "Unknown");
  }
}

TEST(RemoveDuplicatesTest, ShrinksRunsOfTheCharacterOnly) {
  const char* cases[][3] = {
      {"//a///b/c//", "/", "/a/b/c/"}, {"aabb", "/", "aabb"}, {"aabb", "a", "abb"}, {"", "/", ""}};
  for (const auto& c : cases) {
    std::string text = c[0];
    RemoveDuplicates(text, c[1][0]);
    EXPECT_EQ(text, c[2]) << c[0];
  }
}

}  // namespace
