// SCParams as a key: equality, hash, and the ordering.
#include <gtest/gtest.h>

#include <map>

#include "extentbrowse/SCParams.h"

namespace {

// Client, application type, backup set, application id, instance, to, from.
SCParams Record(unsigned long long client, int appType, unsigned long long backupSet, int appId,
                unsigned long long instance, long long to, long long from) {
  return SCParams{client, appType, backupSet, appId, instance, to, from};
}

TEST(SCParamsTest, EveryFieldTellsRecordsApartAndTheHashOrdersThemFirst) {
  const SCParams base = Record(1, 106, 3, 4, 5, 6, 7);
  const SCParams variants[] = {
      Record(9, 106, 3, 4, 5, 6, 7), Record(1, 53, 3, 4, 5, 6, 7), Record(1, 106, 9, 4, 5, 6, 7),
      Record(1, 106, 3, 9, 5, 6, 7), Record(1, 106, 3, 4, 9, 6, 7), Record(1, 106, 3, 4, 5, 9, 7),
      Record(1, 106, 3, 4, 5, 6, 9),
      // Hashes equal to the base's: still different keys.
      Record(3, 106, 1, 4, 5, 6, 7), Record(1, 106, 3, 4, 5, 7, 6)};
  EXPECT_TRUE(base == Record(1, 106, 3, 4, 5, 6, 7));
  EXPECT_TRUE(SCParams_Compare()(base, Record(1, 106, 3, 4, 5, 6, 7)));
  EXPECT_FALSE(base < base);
  std::map<SCParams, int> keys{{base, 0}};
  for (const SCParams& other : variants) {
    EXPECT_FALSE(base == other || other == base || SCParams_Compare()(other, base));
    EXPECT_NE(base < other, other < base) << "exactly one of them";
    keys.emplace(other, 0);
  }
  EXPECT_EQ(keys.size(), 10u);
  // The hash is the exclusive-or of the fields, the 32-bit ones sign-extended;
  // records with different hashes order by it, whatever the fields say.
  EXPECT_EQ(scphash(Record(1, 2, 4, -9, 16, 32, 64)), 119ull ^ ~8ull);
  EXPECT_EQ(SCParams_Hash_Value()(Record(0, -1, 0, 0, 0, 0, 0)), ~0ull);
  EXPECT_TRUE(Record(100, 0, 0, 0, 0, 0, 0) < Record(1, 0, 0, 0, 0, 0, 200));
  EXPECT_TRUE(Record(1, 0, 0, 0, 0, 0, 200) < Record(0, -1, 0, 0, 0, 0, 0));
}

}  // namespace
