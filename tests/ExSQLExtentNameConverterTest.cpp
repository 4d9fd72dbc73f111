// The database converter: base32, then "Ext_<hex>" names for good.
#include <gtest/gtest.h>

#include <cstdlib>
#include <random>

#include "naming/ExSQLExtentNameConverter.h"
#include "support/TestSupport.h"

namespace {

using ebtest::LoggingTest;

class ExSQLExtentNameConverterTest : public LoggingTest {
 protected:
  std::string Name(unsigned long long extent) {
    std::string name;
    converter.ExtentNumToName(extent, name);
    return name;
  }
  ExSQLExtentNameConverter converter{13};
};

TEST_F(ExSQLExtentNameConverterTest, SwitchesToHexNamesOnTheFirstOldName) {
  EXPECT_EQ(Name(10), "000000000000A");
  EXPECT_FALSE(converter.isNewNamingScheme()) << "answers false in both schemes";
  EXPECT_EQ(converter.ExtentNameToNum("Ext_0000000a"), 10u);
  EXPECT_EQ(Name(10), "Ext_0000000a");
  EXPECT_EQ(Name(26), "Ext_0000001a");
  EXPECT_EQ(Name(0), "Ext_00000000");
  EXPECT_EQ(Name(3054), "Ext_00000bee");
  EXPECT_EQ(Name(1ull << 32), "Ext_100000000");
  EXPECT_EQ(converter.ExtentNameToNum("000000000001A"), 42u) << "base32 still reads";
  EXPECT_EQ(Name(1), "Ext_00000001") << "and does not switch back";
  EXPECT_FALSE(converter.isNewNamingScheme());
}

TEST_F(ExSQLExtentNameConverterTest, EveryNameItWritesReadsBackToItsNumber) {
  converter.ExtentNameToNum("Ext_00000000");
  for (unsigned long long n : {0ull, 26ull, 4294967295ull, 1ull << 32, 1ull << 40, ~0ull}) {
    EXPECT_EQ(converter.ExtentNameToNum(Name(n)), n) << Name(n);
  }
  EXPECT_EQ(converter.ExtentNameToNum("Ext_1A"), 26u);
  EXPECT_EQ(converter.ExtentNameToNum("Ext_zz"), 0u);
  EXPECT_EQ(converter.ExtentNameToNum("Ext_1ffffffffffffffff"), ~0ull) << "saturates";
  ExSQLExtentNameConverter other(13);
  EXPECT_EQ(other.ExtentNameToNum("xExt_0000001a"), 0u);  // reads "_0000001a"
  EXPECT_EQ(other.ExtentNameToNum("000000000001A"), 42u) << "base32 still reads after the switch";
}

TEST_F(ExSQLExtentNameConverterTest, ReadsLikeTheCLibraryForAnyText) {
  std::mt19937 random(53);
  const std::string pieces[] = {"0", "a", "F", "0x", "-", "+", " ", "g", "Ext_", "ffffffff",
                                "123456789abcdef0123"};
  for (int i = 0; i < 3000; ++i) {
    std::string name = "Ext_";
    const int count = random() % 5;
    for (int p = 0; p < count; ++p) name += pieces[random() % (sizeof pieces / sizeof pieces[0])];
    ASSERT_EQ(converter.ExtentNameToNum(name), std::strtoull(name.c_str() + 4, nullptr, 16))
        << name;
  }
}

TEST_F(ExSQLExtentNameConverterTest, RangesAreNumericInBothSchemes) {
  converter.AddToBrowsedExtents(10, 20);
  converter.ExtentNameToNum("Ext_00000001");
  converter.AddToBrowsedExtents(30, 40);
  EXPECT_TRUE(converter.IsExtentAlreadyBrowsed(15));
  EXPECT_TRUE(converter.IsExtentAlreadyBrowsed(35));
  EXPECT_FALSE(converter.IsExtentAlreadyBrowsed(25));
}

}  // namespace
