// SCParams as a key: equality, hash, and the ordering.
#include <gtest/gtest.h>

#include <map>
#include <unordered_set>

#include "extentbrowse/SCParams.h"

namespace {

SCParams Record(unsigned long long client, int appType, unsigned long long backupSet, int appId,
                unsigned long long instance, long long to, long long from) {
  SCParams p;
  p.sourceClientId = client;
  p.appType = appType;
  p.bkpSetId = backupSet;
  p.AppId = appId;
  p.appInstance = instance;
  p.totime = to;
  p.fromtime = from;
  return p;
}

TEST(SCParamsHashTest, IsTheSignExtendedExclusiveOrOfTheFields) {
  EXPECT_EQ(scphash(SCParams()), 0u);
  EXPECT_EQ(scphash(Record(0, -1, 0, 0, 0, 0, 0)), 18446744073709551615ull);
  EXPECT_EQ(scphash(Record(0, 0, 0, -2, 0, 0, 0)), 18446744073709551614ull);
  EXPECT_EQ(scphash(Record(1, 2, 4, 8, 16, 32, 64)), 127u);
  EXPECT_EQ(scphash(Record(5, 0, 5, 0, 0, 0, 0)), 0u);
  EXPECT_EQ(SCParams_Hash_Value()(Record(1, 0, 0, 0, 0, -1, 0)), ~1ull);
}

TEST(SCParamsEqualityTest, ComparesEveryFieldAndIsSymmetric) {
  const SCParams base = Record(1, 106, 3, 4, 5, 6, 7);
  const SCParams variants[] = {
      Record(9, 106, 3, 4, 5, 6, 7), Record(1, 53, 3, 4, 5, 6, 7), Record(1, 106, 9, 4, 5, 6, 7),
      Record(1, 106, 3, 9, 5, 6, 7), Record(1, 106, 3, 4, 9, 6, 7), Record(1, 106, 3, 4, 5, 9, 7),
      Record(1, 106, 3, 4, 5, 6, 9),
  };
  SCParams_Compare compare;
  EXPECT_TRUE(base == Record(1, 106, 3, 4, 5, 6, 7));
  EXPECT_TRUE(compare(base, Record(1, 106, 3, 4, 5, 6, 7)));
  for (const SCParams& other : variants) {
    EXPECT_FALSE(base == other);
    EXPECT_FALSE(other == base);
    EXPECT_EQ(compare(base, other), compare(other, base));
    EXPECT_FALSE(compare(base, other));
  }
}

TEST(SCParamsOrderTest, CollidingHashesAreDistinctKeysAndOtherwiseTheHashOrders) {
  const SCParams a = Record(1, 0, 2, 0, 0, 10, 20);
  const SCParams swappedIds = Record(2, 0, 1, 0, 0, 10, 20);
  const SCParams swappedTimes = Record(1, 0, 2, 0, 0, 20, 10);
  ASSERT_EQ(scphash(a), scphash(swappedIds));
  ASSERT_EQ(scphash(a), scphash(swappedTimes));

  // Exactly one of a < b, b < a holds for records that differ.
  EXPECT_NE(a < swappedIds, swappedIds < a);
  EXPECT_NE(a < swappedTimes, swappedTimes < a);
  EXPECT_FALSE(a < a);

  std::map<SCParams, int> byRecord{{a, 1}, {swappedIds, 2}, {swappedTimes, 3}};
  EXPECT_EQ(byRecord.size(), 3u);
  EXPECT_EQ(byRecord[swappedIds], 2);

  // Records with different hashes order by hash.
  const SCParams low = Record(100, 0, 0, 0, 0, 0, 0);   // hash 100
  const SCParams high = Record(1, 0, 0, 0, 0, 0, 200);  // hash 201
  EXPECT_TRUE(low < high);
  EXPECT_FALSE(high < low);
  // Field order would say the opposite; the hash decides.
  const SCParams negativeType = Record(0, -1, 0, 0, 0, 0, 0);  // hash all ones
  EXPECT_TRUE(high < negativeType);
}

}  // namespace
