// How the index answers a request: positioning, old naming schemes, paging,
// response splitting, errors, extent ranges and path matching.
#include <gtest/gtest.h>

#include <climits>
#include <cstdio>

#include "support/IndexFixtures.h"

namespace {

using namespace ebtest;
using Names = std::vector<std::string>;

class IndexAnswerTest : public ::testing::Test {
 protected:
  IndexAnswerTest() {
    for (int i = 1; i <= 5; ++i) {
      catalogue.addEntry("/vol/f", MakeEntry(i, "00" + std::to_string(i) + "0"));
    }
  }

  std::vector<databrowse::BrowseResponse> Answer(const databrowse::BrowseRequest& request,
                                                 int perResponse = 100) {
    return ebindex::AnswerRequest(catalogue, request, perResponse);
  }
  Names NamesFrom(const std::string& path, const std::string& start, unsigned long long offset = 0,
                  long long pageSize = kNoPageSize) {
    const databrowse::Query query = PageQuery(start, offset, pageSize);
    return AllNames(Answer(NameRequest(path, &query)));
  }
  // The one answer the index gives when nothing matches.
  void ExpectNotFound(const std::vector<databrowse::BrowseResponse>& responses) {
    ASSERT_EQ(TypesOf(responses), (std::vector<long long>{3, 5}));
    EXPECT_EQ(FirstErrorCode(responses[0]), 4);
  }

  ebindex::Catalogue catalogue;
};

TEST_F(IndexAnswerTest, StartsAtTheFirstEntryAtOrAfterTheStartName) {
  EXPECT_EQ(NamesFrom("/vol/f", "0030"), (Names{"0030", "0040", "0050"}));
  EXPECT_EQ(NamesFrom("/vol/f", "0025"), (Names{"0030", "0040", "0050"}));
  EXPECT_EQ(NamesFrom("/vol/f", "0000"), (Names{"0010", "0020", "0030", "0040", "0050"}));
  EXPECT_EQ(NamesFrom("/vol/f", ""), NamesFrom("/vol/f", "0000"));
  const databrowse::Query past = PageQuery("0060");
  ExpectNotFound(Answer(NameRequest("/vol/f", &past)));
  // Without a query: from the first entry, everything.
  EXPECT_EQ(AllNames(Answer(NameRequest("/vol/f"))), NamesFrom("/vol/f", ""));
}

TEST_F(IndexAnswerTest, Base32StartNamesAreTranslatedIntoAnOldScheme) {
  char name[16];
  for (int i = 1; i <= 20; ++i) {
    catalogue.addEntry("/db/dec", MakeEntry(i, "Extent" + std::to_string(i)));
    std::snprintf(name, sizeof name, "Ext_%08x", i);
    catalogue.addEntry("/db/hex", MakeEntry(i, name));
  }
  // "A" is 10; entries sort as bytes, so Extent10 is followed by Extent11.
  EXPECT_EQ(NamesFrom("/db/dec", "A", 0, 3), (Names{"Extent10", "Extent11", "Extent12"}));
  EXPECT_EQ(NamesFrom("/db/dec", "00a", 0, 1), (Names{"Extent10"}));
  EXPECT_EQ(NamesFrom("/db/hex", "G", 0, 2), (Names{"Ext_00000010", "Ext_00000011"}));
  // A name already in the item's scheme, or any non-base32 name, is used as it is.
  EXPECT_EQ(NamesFrom("/db/dec", "Extent5", 0, 1), (Names{"Extent5"}));
  // An item in base32 names is not translated.
  EXPECT_EQ(NamesFrom("/vol/f", "A"), Names{});
}

TEST_F(IndexAnswerTest, SkipsTheOffsetThenTakesThePageSize) {
  EXPECT_EQ(NamesFrom("/vol/f", "", 1, 2), (Names{"0020", "0030"}));
  EXPECT_EQ(NamesFrom("/vol/f", "0020", 2, 4294967295LL), (Names{"0040", "0050"}));
  EXPECT_EQ(NamesFrom("/vol/f", "", 0x100000001ULL), NamesFrom("/vol/f", "", 1));  // low 32 bits
  const databrowse::Query none = PageQuery("", 0, 0);
  ExpectNotFound(Answer(NameRequest("/vol/f", &none)));
  const databrowse::Query beyond = PageQuery("0040", 2);
  ExpectNotFound(Answer(NameRequest("/vol/f", &beyond)));
}

TEST_F(IndexAnswerTest, SplitsIntoResponsesOfAtMostRItemsThenOneEnd) {
  const std::vector<databrowse::BrowseResponse> responses = Answer(NameRequest("/vol/f"), 2);
  ASSERT_EQ(TypesOf(responses), (std::vector<long long>{0, 0, 0, 5}));
  EXPECT_EQ(NamesIn(responses[0]), (Names{"0010", "0020"}));
  EXPECT_EQ(NamesIn(responses[2]), (Names{"0050"}));
  // Each item: stored path, 0x12, name; archive file; empty flag.
  EXPECT_EQ(responses[2].toString(),
            "BrowseResponse{1:0 9:BrowseResult{6:[BrowseData{1:ItemAttributes{18:0} "
            "5:\"/vol/f\\x120050\" 21:ArchiveFileInfo{12:1005 13:2005}}]}}");
  ExpectNotFound(Answer(NameRequest("/vol/other")));
  ExpectNotFound(Answer(RangeRequest("/vol/other", 0, 10)));
}

TEST_F(IndexAnswerTest, ExtentRangesSelectByNumberInNumberOrder) {
  // Name order and number order differ; numbers are sparse.
  catalogue.addEntry("/fs/g", MakeEntry(9, "a"));
  catalogue.addEntry("/fs/g", MakeEntry(3, "b"));
  catalogue.addEntry("/fs/g", MakeEntry(1, "c"));
  catalogue.addEntry("/fs/g", MakeEntry(7, "d"));
  catalogue.addEntry("/fs/g", MakeEntry(ULLONG_MAX, "e"));
  EXPECT_EQ(AllNames(Answer(RangeRequest("/fs/g", 2, 6))), (Names{"b", "d"}));
  EXPECT_EQ(AllNames(Answer(RangeRequest("/fs/g", 3, 1))), (Names{"b"}));
  // A range reaching past the last number saturates instead of wrapping.
  EXPECT_EQ(AllNames(Answer(RangeRequest("/fs/g", 5, ULLONG_MAX))), (Names{"d", "a", "e"}));
  // The start name plays no part; offset and page size do.
  const databrowse::Query paging = PageQuery("zzz", 1, 1);
  EXPECT_EQ(AllNames(Answer(RangeRequest("/fs/g", 0, 10, &paging))), (Names{"b"}));
  ExpectNotFound(Answer(RangeRequest("/fs/g", 4, 3)));
}

TEST_F(IndexAnswerTest, DatabaseRequestsOnV2ArePositionedByRow) {
  const databrowse::Query query = PageQuery("0050", 1, 2);
  databrowse::BrowseRequest request = NameRequest("/vol/f", &query);
  request.getObjectAccessor(true, true, 3, 3, 18, 46)->setint64(14, 38, 81);
  // Row 1 on, whatever the start name; over V1 the start name positions.
  EXPECT_EQ(AllNames(Answer(request)), (Names{"0020", "0030"}));
  EXPECT_EQ(AllNames(ebindex::AnswerRequest(catalogue, request, 100, ebindex::Protocol::V1)),
            Names{});
  // Other application types keep name positioning.
  request.getObjectAccessor(true, true, 3, 3, 18, 46)->setint64(14, 38, 53);
  EXPECT_EQ(AllNames(Answer(request)), Names{});
}

TEST(CatalogueTest, PathsMatchWithEitherSeparatorAndOneTrailingSeparator) {
  ebindex::Catalogue catalogue;
  catalogue.addEntry("\\vm\\disk0\\", MakeEntry(1, "n1"));
  for (const char* path : {"/vm/disk0", "/vm/disk0/", "\\vm\\disk0", "\\vm/disk0\\"}) {
    ASSERT_NE(catalogue.find(path), nullptr) << path;
  }
  EXPECT_EQ(catalogue.find("/vm/disk0//"), nullptr);
  EXPECT_EQ(catalogue.storedPath("/vm/disk0"), "\\vm\\disk0\\");
  // Items are sent under the path as it was added.
  const auto responses = ebindex::AnswerRequest(catalogue, NameRequest("/vm/disk0"), 100);
  EXPECT_NE(responses[0].toString().find(R"(5:"\\vm\\disk0\\\x12n1")"), std::string::npos)
      << responses[0].toString();

  // An entry of an existing name replaces it; order stays by name bytes.
  catalogue.addEntry("/vm/disk0", MakeEntry(2, "\xC0"));
  catalogue.addEntry("/vm/disk0", MakeEntry(3, "n1"));
  const std::vector<ebindex::Entry>& entries = *catalogue.find("/vm/disk0");
  ASSERT_EQ(entries.size(), 2u);
  EXPECT_TRUE(entries[0].extent == 3u && entries[1].name == "\xC0");
}

}  // namespace
