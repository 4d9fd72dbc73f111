// The string helpers for browse paths and item names.
#include <gtest/gtest.h>

#include "browser/PathHelpers.h"
#include "support/Support.h"

namespace {

TEST(PathHelpersTest, OnlyVirtualServerPathsGetABackslashForEverySlash) {
  ebtest::ScopedLogCapture log(5);
  for (int appType : {0, 53, 81, 105, 107}) {
    const SCParams params = ebtest::MakeParams(appType);
    std::string path = "a/b//c/";
    EXPECT_TRUE(TransformPath(path, &params) && path == "a/b//c/") << appType;
  }
  EXPECT_TRUE(log->messages().empty());
  const SCParams virtualServer = ebtest::MakeParams(106);
  std::string path = "\\a/b//c/";
  EXPECT_TRUE(TransformPath(path, &virtualServer));
  EXPECT_EQ(path, "\\a\\b\\\\c\\");
  std::vector<std::string> lines;  // positions after the backslash already there
  for (int at : {2, 4, 5, 7}) {
    lines.push_back("replaced '/' with '\\' at pos = " + std::to_string(at));
  }
  EXPECT_EQ(log->messages(), lines);
  EXPECT_EQ(log->lines().front().level, 5);
  EXPECT_FALSE(TransformPath(path, nullptr));
}

TEST(PathHelpersTest, RealNamesFollowTheFirstSeparator) {
  const std::pair<std::string, std::string> names[] = {
      {"plain", "plain"}, {"abc\x12xyz", "xyz"}, {"abc\x12", ""}, {"\x12" "first", "first"},
      {"a\x12" "b\x12" "c", "b\x12" "c"}, {"", ""}};
  for (const auto& [item, real] : names) {
    std::string out = "previous content";
    GetRealName(item, out);
    EXPECT_EQ(out, real);
  }
}

}  // namespace
