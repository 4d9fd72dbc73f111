// Extent names: the three converters and the order of the browsed ranges
// each keeps.
#include <gtest/gtest.h>

#include "naming/ExSQLExtentNameConverter.h"
#include "naming/FSExtentNameConverter.h"
#include "naming/ConverterForAppType.h"
#include "naming/VSAExtentNameConverter.h"
#include "support/Support.h"

namespace {

using ebtest::ScopedLogCapture;
using Number = unsigned long long;

std::string Name(EBExtentNameConverter& converter, Number extent) {
  std::string name = "a longer previous content";
  converter.ExtentNumToName(extent, name);
  return name;
}

TEST(ConverterTest, TheApplicationTypeChoosesTheConverterAndItsFirstScheme) {
  ScopedLogCapture log(4);
  for (const auto& [appType, kind] : std::vector<std::pair<int, std::string>>{
           {106, "vsa"}, {53, "sql"}, {81, "sql"}, {0, "fs"}, {52, "fs"}, {82, "fs"}, {-1, "fs"}}) {
    std::unique_ptr<EBExtentNameConverter> converter(ConverterForAppType(appType, 13));
    EXPECT_EQ(dynamic_cast<VSAExtentNameConverter*>(converter.get())     ? "vsa"
              : dynamic_cast<ExSQLExtentNameConverter*>(converter.get()) ? "sql"
              : dynamic_cast<FSExtentNameConverter*>(converter.get())    ? "fs"
                                                                         : "?",
              kind) << appType;
    // All start in base32, which does not switch them; only the
    // virtual-server converter says its names are new.
    EXPECT_EQ(Name(*converter, 42), "000000000001A") << appType;
    EXPECT_EQ(converter->ExtentNameToNum("000000000001A"), 42u) << appType;
    EXPECT_EQ(converter->isNewNamingScheme(), kind == "vsa") << appType;
  }
  EXPECT_TRUE(log->contains("ioExtNum: [42], buf: [000000000001A], name: [000000000001A]"));
  EXPECT_TRUE(log->contains("Will use [NEW] extent naming scheme."));
}

// The first old name a converter reads switches it for good: names are then
// written in the old scheme, and base32 names are still read.
TEST(ConverterTest, OldNamesSwitchTheSchemeForGoodAndReadFromAFixedPosition) {
  const struct {
    int appType;
    std::vector<std::pair<std::string, Number>> read;  // the first one switches
    std::vector<std::pair<Number, std::string>> written;
  } cases[] = {
      {106,
       {{"Extent123", 123}, {"000000000001A", 42}, {"Extent", 0}, {"Extent-5", ~0ull - 4},
        {"Extent12abc", 12}, {"Extent 42", 42}, {"Extent+7", 7},
        {"Extent99999999999999999999", 9223372036854775807ull}},  // strtoll saturates
       {{7, "Extent7"}, {999999999, "Extent999999999"}, {~0ull, "Extent18446744073709551615"}}},
      {106, {{"xxExtent5", 0}}, {{7, "Extent7"}}},  // read from the 7th character: "nt5"
      {53,
       {{"Ext_0000000a", 10}, {"000000000001A", 42}, {"Ext_1A", 26}, {"Ext_zz", 0},
        {"Ext_ 1f", 31}, {"Ext_0x1f", 31}, {"Ext_-1", ~0ull}, {"Ext_100000000", 1ull << 32},
        {"Ext_1ffffffffffffffff", ~0ull}},  // strtoull saturates
       {{26, "Ext_0000001a"}, {3054, "Ext_00000bee"}, {1ull << 32, "Ext_100000000"},
        {~0ull, "Ext_ffffffffffffffff"}}},
      // A prefix after other text: read from the 5th character, "_0000001a".
      {81, {{"xExt_0000001a", 0}}, {{26, "Ext_0000001a"}}},
  };
  for (const auto& c : cases) {
    std::unique_ptr<EBExtentNameConverter> converter(ConverterForAppType(c.appType, 13));
    for (const auto& [name, number] : c.read) {
      EXPECT_EQ(converter->ExtentNameToNum(name), number) << name;
    }
    EXPECT_FALSE(converter->isNewNamingScheme());
    for (const auto& [number, name] : c.written) EXPECT_EQ(Name(*converter, number), name);
  }
}

// Ranges hold their first extent up to but not their last; nested,
// enclosing and inverted ranges are not kept. Virtual-server ranges in the
// old scheme are names in text order; the database switch keeps numbers.
TEST(ConverterTest, BrowsedRangesHoldTheirFirstExtentUpToButNotTheirLast) {
  ScopedLogCapture log(4);
  const struct {
    int appType;
    std::vector<std::pair<Number, Number>> added;
    std::vector<Number> browsed, notBrowsed;
  } cases[] = {
      {0, {}, {}, {0}},
      {0, {{7, 7}}, {7}, {6, 8}},
      {0, {{10, 20}, {5, 30}}, {10, 19}, {5, 20, 25}},
      {0, {{10, 20}, {12, 15}}, {12, 19}, {20}},
      {0, {{10, 20}, {15, 30}}, {12, 17, 20, 25}, {30}},  // staggered ranges are both kept
      {0, {{0, 99}, {200, 299}, {150, 120}}, {0, 50, 98, 200, 250}, {99, 120, 150, 299, 300}},
      {53, {{10, 20}, {30, 40}}, {15, 35}, {25}},
      {106, {{100, 999999999}, {200, 300}, {10, 1}}, {100, 150, 300, 1000, 5, 20, 99},
       {1, 10, 999999999}},
  };
  for (const auto& c : cases) {
    std::unique_ptr<EBExtentNameConverter> converter(ConverterForAppType(c.appType, 13));
    converter->ExtentNameToNum(c.appType == 106 ? "Extent0" : "0");
    for (const auto& range : c.added) converter->AddToBrowsedExtents(range.first, range.second);
    for (Number n : c.browsed) EXPECT_TRUE(converter->IsExtentAlreadyBrowsed(n)) << n;
    for (Number n : c.notBrowsed) EXPECT_FALSE(converter->IsExtentAlreadyBrowsed(n)) << n;
    converter->ExtentNameToNum("Ext_00000001");
    for (Number n : c.browsed) EXPECT_TRUE(converter->IsExtentAlreadyBrowsed(n)) << n;
  }
  EXPECT_TRUE(log->contains("ioExtNum: 50, matched in ExtentBucket (0, 99)"));
  EXPECT_TRUE(log->contains("ioExtNum: 5, matched in ExtentBucket (Extent100, Extent999999999)"));
  EXPECT_TRUE(log->contains("Inserted bucket <200:Extent200 , 300:Extent300>"));
}

}  // namespace
