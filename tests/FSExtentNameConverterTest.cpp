// The file-system converter: base32 names and numeric browsed ranges.
#include <gtest/gtest.h>

#include "naming/FSExtentNameConverter.h"
#include "naming/NewExtentNameConverter.h"
#include "naming/ExSQLExtentNameConverter.h"
#include "naming/VSAExtentNameConverter.h"
#include "support/TestSupport.h"

namespace {

using ebtest::LoggingTest;

class FSExtentNameConverterTest : public LoggingTest {
 protected:
  bool Browsed(unsigned long long extent) { return converter.IsExtentAlreadyBrowsed(extent); }
  FSExtentNameConverter converter{13};
};

TEST_F(FSExtentNameConverterTest, NamesAreBase32AndReplaceTheWholeString) {
  std::string name = "a much longer previous content";
  converter.ExtentNumToName(42, name);
  EXPECT_EQ(name, "000000000001A");
  EXPECT_EQ(converter.ExtentNameToNum(name), 42u);
  EXPECT_TRUE(log.contains("ioExtNum: [42], buf: [000000000001A], name: [000000000001A]"));
  EXPECT_FALSE(converter.isNewNamingScheme());
}

TEST_F(FSExtentNameConverterTest, TheWorkedBucketExamples) {
  converter.AddToBrowsedExtents(0, 99);
  converter.AddToBrowsedExtents(200, 299);
  for (unsigned long long n : {0ull, 50ull, 98ull, 200ull}) EXPECT_TRUE(Browsed(n)) << n;
  for (unsigned long long n : {99ull, 150ull, 299ull, 300ull}) EXPECT_FALSE(Browsed(n)) << n;
  EXPECT_TRUE(log.contains("ioExtNum: 50, matched in ExtentBucket (0, 99)"));
}

TEST(FSExtentRangesTest, SingletonsStaggeredNestedAndEnclosingRanges) {
  ebtest::ScopedLogCapture log(0);
  struct Case {
    std::vector<std::pair<unsigned long long, unsigned long long>> added;
    std::vector<unsigned long long> browsed, notBrowsed;
  };
  const Case cases[] = {
      {{}, {}, {0}},
      {{{7, 7}}, {7}, {6, 8}},
      {{{10, 20}}, {10, 19}, {9, 20}},
      {{{10, 20}, {5, 30}}, {12}, {5, 25}},       // an enclosing range is not kept
      {{{10, 20}, {12, 15}}, {12, 19}, {20}},     // nor a nested one
      {{{10, 20}, {15, 30}}, {12, 17, 20, 25}, {30}},  // staggered: both kept
      // A range that ends before it starts claims nothing and leaves the
      // order of the others intact.
      {{{20, 10}}, {}, {10, 15, 20}},
      {{{0, 99}, {200, 299}, {150, 120}}, {50, 250}, {120, 150}},
  };
  for (const Case& c : cases) {
    FSExtentNameConverter converter(13);
    for (const auto& range : c.added) converter.AddToBrowsedExtents(range.first, range.second);
    for (unsigned long long n : c.browsed) EXPECT_TRUE(converter.IsExtentAlreadyBrowsed(n)) << n;
    for (unsigned long long n : c.notBrowsed) EXPECT_FALSE(converter.IsExtentAlreadyBrowsed(n)) << n;
  }
}

TEST(NewExtentNameConverterTest, TheApplicationTypeChoosesTheConverter) {
  ebtest::ScopedLogCapture log(0);
  struct Case {
    int appType;
    const char* converter;
  };
  for (const Case& c : {Case{106, "vsa"}, Case{53, "sql"}, Case{81, "sql"}, Case{0, "fs"},
                        Case{52, "fs"}, Case{82, "fs"}, Case{-1, "fs"}}) {
    EBExtentNameConverter* converter = NewExtentNameConverter(c.appType, 13);
    const std::string kind = dynamic_cast<VSAExtentNameConverter*>(converter)     ? "vsa"
                             : dynamic_cast<ExSQLExtentNameConverter*>(converter) ? "sql"
                             : dynamic_cast<FSExtentNameConverter*>(converter)    ? "fs"
                                                                                  : "?";
    EXPECT_EQ(kind, c.converter) << c.appType;
    delete converter;
  }
}

}  // namespace
