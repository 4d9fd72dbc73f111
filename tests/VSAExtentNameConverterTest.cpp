// The virtual-server converter: two naming schemes, ranges by name.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <random>

#include "naming/NameOrder.h"
#include "naming/VSAExtentNameConverter.h"
#include "support/TestSupport.h"

namespace {

using ebtest::LoggingTest;

class VSAExtentNameConverterTest : public LoggingTest {
 protected:
  std::string Name(unsigned long long extent) {
    std::string name;
    converter.ExtentNumToName(extent, name);
    return name;
  }
  VSAExtentNameConverter converter{13};
};

TEST_F(VSAExtentNameConverterTest, StartsInBase32AndSwitchesForGoodOnAnOldName) {
  EXPECT_TRUE(log.contains("Will use [NEW] extent naming scheme."));
  EXPECT_TRUE(converter.isNewNamingScheme());
  EXPECT_EQ(Name(7), "0000000000007");
  EXPECT_EQ(converter.ExtentNameToNum("000000000001A"), 42u);
  EXPECT_TRUE(converter.isNewNamingScheme()) << "base32 names do not switch";

  EXPECT_EQ(converter.ExtentNameToNum("Extent123"), 123u);
  EXPECT_FALSE(converter.isNewNamingScheme());
  EXPECT_EQ(Name(7), "Extent7");
  EXPECT_EQ(Name(0), "Extent0");
  EXPECT_EQ(Name(999999999), "Extent999999999");
  EXPECT_EQ(Name(18446744073709551615ull), "Extent18446744073709551615");
  EXPECT_EQ(converter.ExtentNameToNum("000000000001A"), 42u);
  EXPECT_FALSE(converter.isNewNamingScheme()) << "and never switch back";
}

TEST_F(VSAExtentNameConverterTest, OldNamesAreReadFromTheSeventhCharacter) {
  EXPECT_EQ(converter.ExtentNameToNum("Extent"), 0u);
  EXPECT_EQ(converter.ExtentNameToNum("Extent-5"), 18446744073709551611ull);
  EXPECT_EQ(converter.ExtentNameToNum("Extent12abc"), 12u);
  VSAExtentNameConverter other(13);
  EXPECT_EQ(other.ExtentNameToNum("xxExtent5"), 0u);  // reads "nt5"
  EXPECT_FALSE(other.isNewNamingScheme());
  // Beyond the signed range the number saturates.
  EXPECT_EQ(converter.ExtentNameToNum("Extent99999999999999999999"), 9223372036854775807ull);
}

TEST_F(VSAExtentNameConverterTest, ReadsLikeTheCLibraryForAnyText) {
  std::mt19937 random(106);
  const std::string pieces[] = {"0", "1", "9", "42", "-", "+", " ", "\t", "x", "Extent", "007",
                                "123456789012345678", "99999999999999999999"};
  for (int i = 0; i < 3000; ++i) {
    std::string name = i % 2 ? "Extent" : "";
    const int count = 1 + random() % 5;
    for (int p = 0; p < count; ++p) name += pieces[random() % (sizeof pieces / sizeof pieces[0])];
    if (name.find("Extent") == std::string::npos) continue;
    const char* text = name.size() > 6 ? name.c_str() + 6 : "";
    const unsigned long long expected = static_cast<unsigned long long>(std::strtoll(text, nullptr, 10));
    ASSERT_EQ(converter.ExtentNameToNum(name), expected) << name;
    if (std::strlen(text) < 19) {
      ASSERT_EQ(expected, static_cast<unsigned long long>(std::atoll(text))) << name;
    }
  }
}

TEST_F(VSAExtentNameConverterTest, RangesAreNamesInTextOrder) {
  converter.ExtentNameToNum("Extent0");
  converter.AddToBrowsedExtents(100, 999999999);
  for (unsigned long long n : {100ull, 150ull, 1000ull, 5ull, 20ull, 99ull}) {
    EXPECT_TRUE(converter.IsExtentAlreadyBrowsed(n)) << n;
  }
  for (unsigned long long n : {1ull, 10ull, 999999999ull}) {
    EXPECT_FALSE(converter.IsExtentAlreadyBrowsed(n)) << n;
  }
  EXPECT_TRUE(log.contains("ioExtNum: 5, matched in ExtentBucket (Extent100, Extent999999999)"));

  log.clear();
  converter.AddToBrowsedExtents(200, 300);  // nested: logged, not kept
  EXPECT_TRUE(log.contains("Inserted bucket <200:Extent200 , 300:Extent300>"));
  EXPECT_TRUE(converter.IsExtentAlreadyBrowsed(300));
  // Extent1 sorts before Extent10: as names this range ends before it starts.
  converter.AddToBrowsedExtents(10, 1);
  EXPECT_FALSE(converter.IsExtentAlreadyBrowsed(10));
  EXPECT_TRUE(converter.IsExtentAlreadyBrowsed(150));
}

TEST(NameOrderTest, ComparesAsCStrings) {
  const std::string a = "Extent1", b = "Extent10";
  EXPECT_TRUE(::operator<(a, b));
  EXPECT_TRUE(::operator<=(a, a));
  EXPECT_TRUE(::operator>(b, a));
  EXPECT_TRUE(::operator>=(b, b));
  // Up to the first NUL only, unlike std::string's own order.
  const std::string withNul("ab\0z", 4), shorter = "ab";
  EXPECT_FALSE(::operator<(shorter, withNul));
  EXPECT_TRUE(::operator<=(withNul, shorter));
  // Bytes compare unsigned.
  EXPECT_TRUE(::operator<(std::string("a"), std::string("\xe9")));

  ebtest::ScopedLogCapture log(4);
  PrintBucket(ExtentBucket<std::string>("Extent1", "Extent9"));
  EXPECT_TRUE(log.contains("Bucket <Extent1, Extent9>"));
}

}  // namespace
