// How the index answers a request: positioning, old naming schemes, paging,
// response splitting, errors, extent ranges and path matching.
#include <gtest/gtest.h>

#include <cstdio>

#include "support/Support.h"

namespace {

using namespace ebtest;
using Names = std::vector<std::string>;
using Responses = std::vector<databrowse::BrowseResponse>;

std::vector<long long> TypesOf(const Responses& responses) {
  std::vector<long long> types;
  for (const auto& response : responses) types.push_back(response.getint64(1));
  return types;
}

Names AllNames(const Responses& responses) {
  Names names;
  for (const auto& response : responses) {
    for (const std::string& name : NamesIn(response)) names.push_back(name);
  }
  return names;
}

class IndexAnswerTest : public ::testing::Test {
 protected:
  IndexAnswerTest() {
    char hex[16];
    for (int i = 1; i <= 20; ++i) {
      if (i <= 5) catalogue.addEntry("/vol/f", MakeEntry(i, "00" + std::to_string(i) + "0"));
      catalogue.addEntry("/db/dec", MakeEntry(i, "Extent" + std::to_string(i)));
      std::snprintf(hex, sizeof hex, "Ext_%08x", i);
      catalogue.addEntry("/db/hex", MakeEntry(i, hex));
    }
  }
  std::vector<databrowse::BrowseResponse> Answer(const databrowse::BrowseRequest& request,
                                                 int perResponse = 100) {
    return ebindex::AnswerRequest(catalogue, request, perResponse);
  }

  ebindex::Catalogue catalogue;
};

// An empty list stands for the one answer the index gives when nothing
// matches: an error response with code 4, then the end.
TEST_F(IndexAnswerTest, NamePagesStartAtTheStartNameSkipTheOffsetAndTakeThePageSize) {
  const struct {
    std::string path, start;
    unsigned long long offset;
    long long pageSize;
    Names names;
  } cases[] = {
      {"/vol/f", "0030", 0, kNoPageSize, {"0030", "0040", "0050"}},
      {"/vol/f", "0025", 0, kNoPageSize, {"0030", "0040", "0050"}},
      {"/vol/f", "", 0, kNoPageSize, {"0010", "0020", "0030", "0040", "0050"}},
      {"/vol/f", "0060", 0, kNoPageSize, {}},
      {"/vol/f", "", 1, 2, {"0020", "0030"}},
      {"/vol/f", "0020", 2, 4294967295LL, {"0040", "0050"}},
      {"/vol/f", "", 0x100000004ULL, kNoPageSize, {"0050"}},  // the offset's low 32 bits
      {"/vol/f", "", 0, 0, {}},
      {"/vol/f", "0040", 2, kNoPageSize, {}},
      // Base32 start names are translated into an item's old scheme; "A"
      // is 10, and entries sort as bytes.
      {"/db/dec", "A", 0, 3, {"Extent10", "Extent11", "Extent12"}},
      {"/db/dec", "00a", 0, 1, {"Extent10"}},
      {"/db/hex", "G", 0, 2, {"Ext_00000010", "Ext_00000011"}},
      {"/db/dec", "Extent5", 0, 1, {"Extent5"}},  // a name of the item's scheme is kept
      {"/vol/f", "A", 0, kNoPageSize, {}},        // an item in base32 is not translated
  };
  for (const auto& c : cases) {
    const databrowse::Query query = PageQuery(c.start, c.offset, c.pageSize);
    const auto responses = Answer(NameRequest(c.path, &query));
    EXPECT_EQ(AllNames(responses), c.names) << c.path << " " << c.start;
    if (c.names.empty()) {
      ASSERT_EQ(TypesOf(responses), (std::vector<long long>{3, 5}));
      EXPECT_EQ(responses[0].findList(7)->front().getint64(1), 4);
    }
  }
  // Without a query: everything from the first entry.
  EXPECT_EQ(AllNames(Answer(NameRequest("/vol/f"))), (Names{"0010", "0020", "0030", "0040", "0050"}));
  EXPECT_EQ(TypesOf(Answer(NameRequest("/vol/other"))), (std::vector<long long>{3, 5}));
}

TEST_F(IndexAnswerTest, ExtentRangesSelectByNumberInNumberOrder) {
  // Name order and number order differ; numbers are sparse.
  for (const auto& [extent, name] : std::vector<std::pair<unsigned long long, std::string>>{
           {9, "a"}, {3, "b"}, {1, "c"}, {7, "d"}, {~0ull, "e"}}) {
    catalogue.addEntry("/fs/g", MakeEntry(extent, name));
  }
  EXPECT_EQ(AllNames(Answer(RangeRequest("/fs/g", 2, 6))), (Names{"b", "d"}));
  EXPECT_EQ(AllNames(Answer(RangeRequest("/fs/g", 3, 1))), (Names{"b"}));
  // A range reaching past the last number saturates instead of wrapping.
  EXPECT_EQ(AllNames(Answer(RangeRequest("/fs/g", 5, ~0ull))), (Names{"d", "a", "e"}));
  // The start name plays no part; offset and page size do.
  const databrowse::Query paging = PageQuery("zzz", 1, 1);
  EXPECT_EQ(AllNames(Answer(RangeRequest("/fs/g", 0, 10, &paging))), (Names{"b"}));
  EXPECT_EQ(TypesOf(Answer(RangeRequest("/fs/g", 4, 3))), (std::vector<long long>{3, 5}));
  EXPECT_EQ(TypesOf(Answer(RangeRequest("/vol/other", 0, 10))), (std::vector<long long>{3, 5}));
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

}  // namespace
