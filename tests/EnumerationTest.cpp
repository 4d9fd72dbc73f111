// Listing every extent of an item: one full browse, then the map in order.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <future>
#include <sstream>

#include "browser/WireFields.h"
#include "support/Support.h"

namespace {

using namespace ebtest;
using namespace std::chrono_literals;

typedef std::vector<std::pair<unsigned long long, bool>> Listing;

class EnumerationTest : public IndexTest {
 protected:
  // Opens, lists and closes; `opened` tells whether OpenEnum gave a handle.
  Listing List(ExtentBrowseImpl& browser, bool* opened = nullptr) {
    Listing listing;
    void* handle = browser.OpenEnum();
    if (opened != nullptr) *opened = handle != nullptr;
    if (handle == nullptr) return listing;
    unsigned long long extent = 0;
    bool empty = false;
    while (browser.EnumExtent(handle, extent, empty)) listing.emplace_back(extent, empty);
    EXPECT_FALSE(browser.EnumExtent(handle, extent, empty)) << "stays at the end";
    browser.CloseEnum(handle);
    return listing;
  }
};

TEST_F(EnumerationTest, OneFullBrowseListsEveryExtentOnceInOrderAndLaterListsNeedNone) {
  AddItem("/f", 5, 20);
  AddItem("/f", 100, 3);
  // Responses of a few items each, delivered on the service's thread.
  index().setItemsPerResponse(4);
  index().setDeliverOnServiceThread(true);
  std::stringstream cache("START_EXTENT_INFO\n1 5 6\nEND_EXTENT_INFO\n");
  auto browser = MakeBrowser(0, "/f", 10, "", &cache);
  Listing expected{{1, false}};  // a seeded browser still browses
  for (unsigned long long extent : {5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20,
                                    21, 22, 23, 24, 100, 101, 102}) {
    expected.emplace_back(extent, extent % 7 == 0);
  }
  EXPECT_EQ(List(*browser), expected);
  EXPECT_TRUE(log->contains("Enumerating all the extents") &&
              log->contains("Finished enumerating all the extents"));
  // One browse, through no browse host, recording no range.
  EXPECT_EQ(BrowseCount(), 1u);
  EXPECT_FALSE(index().initializeCalls()[0].request.hasTag(wire::request::kBrowseHost.tag));
  EXPECT_TRUE(RecordedRanges(log).empty());

  // An extent that appears in the index later arrives through a lookup.
  AddItem("/f", 400, 1);
  unsigned long long id = 0, value = 0;
  ASSERT_EQ(browser->GetAFInfo(400, id, value), EB_EXTENT_FOUND);
  const Listing second = List(*browser);
  EXPECT_EQ(BrowseCount(), 2u);
  ASSERT_EQ(second.size(), 25u);
  EXPECT_EQ(second.back().first, 400u);
}

TEST_F(EnumerationTest, AFailedFullBrowseOpensNothingHoldsNothingAndIsTriedAgain) {
  AddItem("/f", 0, 3);
  using Kind = ebindex::ScriptedResponse;
  const std::vector<std::function<void()>> faults = {
      [this] { index().failBrowse(2, true, 1); },
      // Success without a response, or a page without END: never answered.
      [this] { index().failBrowse(0, false, 1); },
      [this] { index().scriptResponses({Kind::Of(Kind::kPage)}, 1); },
      // Nor is a full browse whose responses failed taken as complete.
      [this] {
        index().scriptResponses({Kind::Of(Kind::kPage), Kind::Of(Kind::kNoBrowseResult)}, 1);
      },
  };
  for (const auto& fault : faults) {
    auto browser = MakeBrowser(0, "/f");
    fault();
    bool opened = true;
    EXPECT_TRUE(List(*browser, &opened).empty());
    EXPECT_FALSE(opened);
    EXPECT_TRUE(log->contains("Browse() failed. [/f]"));
    // The map lock is not left held.
    auto other = std::async(std::launch::async, [&] { return browser->IsExtentEmpty(1); });
    EXPECT_EQ(other.wait_for(60s), std::future_status::ready);
    EXPECT_EQ(List(*browser, &opened).size(), 3u);
    EXPECT_TRUE(opened);
  }
}

// Its own thread may still ask what the map answers, and even browse: the
// map lock is entered again, and left by CloseEnum, a call later than the
// one that entered it. Records a browse inserts meanwhile move the map's
// B-tree nodes; the listing goes on from the next extent number all the
// same. (That other threads wait meanwhile, the stress harness shows: they
// look up while one thread lists, under ThreadSanitizer.)
TEST_F(EnumerationTest, TheEnumeratingThreadMayStillAskTheMap) {
  AddItem("/f", 0, 3);
  auto browser = MakeBrowser(0, "/f", 500);
  void* handle = browser->OpenEnum();
  ASSERT_NE(handle, nullptr);
  unsigned long long extent = 0, id = 0, value = 0;
  bool empty = false;
  ASSERT_TRUE(browser->EnumExtent(handle, extent, empty) && extent == 0);
  AddItem("/f", 1000, 500);
  EXPECT_TRUE(browser->IsExtentEmpty(0) && browser->GetAFInfo(1000, id, value) == EB_EXTENT_FOUND);
  std::vector<unsigned long long> rest;
  while (browser->EnumExtent(handle, extent, empty)) rest.push_back(extent);
  browser->CloseEnum(handle);
  ASSERT_EQ(rest.size(), 502u);
  EXPECT_TRUE(rest[0] == 1 && rest[1] == 2 && rest[2] == 1000 && rest.back() == 1499);
  EXPECT_TRUE(std::is_sorted(rest.begin(), rest.end()));
  EXPECT_EQ(std::async(std::launch::async, [&] { return browser->IsExtentEmpty(0); })
                .wait_for(60s), std::future_status::ready) << "the lock is left";
}

}  // namespace
