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
  converter.AddToBrowsedExtents(500, 500);
  EXPECT_TRUE(Browsed(500));
  converter.AddToBrowsedExtents(20, 40);  // nested: not kept
  EXPECT_TRUE(Browsed(45));
}

TEST_F(FSExtentNameConverterTest, SingletonsStaggeredNestedAndEnclosingRanges) {
  EXPECT_FALSE(Browsed(0)) << "nothing browsed yet";
  converter.AddToBrowsedExtents(7, 7);
  EXPECT_TRUE(Browsed(7));
  EXPECT_FALSE(Browsed(6));
  EXPECT_FALSE(Browsed(8));

  FSExtentNameConverter enclosing(13);
  enclosing.AddToBrowsedExtents(10, 20);
  EXPECT_TRUE(enclosing.IsExtentAlreadyBrowsed(10));
  EXPECT_TRUE(enclosing.IsExtentAlreadyBrowsed(19));
  EXPECT_FALSE(enclosing.IsExtentAlreadyBrowsed(20));
  EXPECT_FALSE(enclosing.IsExtentAlreadyBrowsed(9));
  enclosing.AddToBrowsedExtents(5, 30);  // encloses (10, 20): not kept
  EXPECT_FALSE(enclosing.IsExtentAlreadyBrowsed(5));
  EXPECT_FALSE(enclosing.IsExtentAlreadyBrowsed(25));
  EXPECT_TRUE(enclosing.IsExtentAlreadyBrowsed(12));

  FSExtentNameConverter staggered(13);
  staggered.AddToBrowsedExtents(10, 20);
  staggered.AddToBrowsedExtents(15, 30);  // ordered after (10, 20): both kept
  for (unsigned long long n : {12ull, 17ull, 20ull, 25ull}) {
    EXPECT_TRUE(staggered.IsExtentAlreadyBrowsed(n)) << n;
  }
  EXPECT_FALSE(staggered.IsExtentAlreadyBrowsed(30));
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
