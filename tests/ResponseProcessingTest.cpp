// Browse responses folded into the extent map: every branch of the
// response callbacks, fed by hand, with the lookups that follow.
#include <gtest/gtest.h>

#include "browser/TdfsIdxBrowseClientResp.h"
#include "support/BrowserFixtures.h"

namespace {

using namespace ebtest;

std::string ItemPath(unsigned long long extent) { return "/f\x12" + Base32Name(extent); }

class ResponseProcessingTest : public IndexTest {
 protected:
  ResponseProcessingTest() {
    AddItem("/f", 0, 0);  // an item the index knows, with no extents
    browser = MakeBrowser(0, "/f");
    log.clear();
  }

  bool Feed(databrowse::BrowseResponse response) {
    return browser->IdxBrowseClientProcessRespCallback(&response);
  }
  bool FeedMessage(CNMessageBase* message) {
    return browser->IdxBrowseClientProcessRespCallback(message);
  }
  // Whether the browser counts as failed: its next browse, though the index
  // answers it, then reports failure.
  bool BrowseFailedFlag() {
    unsigned long long id = 0, value = 0;
    return browser->GetAFInfo(123456, id, value) == EB_BROWSE_FAILED;
  }
  // The range a completion records now for a page starting at extent 1.
  std::pair<unsigned long long, unsigned long long> RangeAtCompletion() {
    log.clear();
    EXPECT_TRUE(browser->OnBrowseCompletionCallBack(Base32Name(1), EB_BROWSE_COMPLETED));
    const auto ranges = RecordedRanges(log);
    return ranges.empty() ? std::make_pair(0ull, 0ull) : ranges.back();
  }

  std::unique_ptr<ExtentBrowseImpl> browser;
};

TEST_F(ResponseProcessingTest, DataPageStoresEveryItemAndTheLastOneWins) {
  EXPECT_TRUE(Feed(DataResponse({{ItemPath(3), 30, 300, false},
                                 {ItemPath(5), 50, 500, true},
                                 {ItemPath(3), 31, 301, true}})));
  EXPECT_EQ(MapOf(*browser), (std::vector<MapRecord>{{3, 31, 301}, {5, 50, 500}}));
  EXPECT_TRUE(browser->IsExtentEmpty(3));
  EXPECT_TRUE(browser->IsExtentEmpty(5));
  EXPECT_TRUE(log.contains(
      "Browse callback successfully processed [3] items out of [3] items received."));
  EXPECT_TRUE(log.contains("extentname [" + Base32Name(3) + "]."));
  // The last item, extent 3, ends the range the browse records.
  EXPECT_EQ(RangeAtCompletion(), std::make_pair(1ull, 3ull));
  EXPECT_FALSE(BrowseFailedFlag());
}

TEST_F(ResponseProcessingTest, IdsAreSigned32BitAndAPathWithoutSeparatorIsTheName) {
  EXPECT_TRUE(Feed(DataResponse({{ItemPath(1), 4294967295ull, 18446744073709551615ull, false},
                                 {ItemPath(2), 0x100000007ull, 9, false},
                                 {Base32Name(42), 1, 2, false}})));
  EXPECT_EQ(MapOf(*browser), (std::vector<MapRecord>{{1, 18446744073709551615ull,
                                                      18446744073709551615ull},
                                                     {2, 7, 9},
                                                     {42, 1, 2}}));
}

TEST_F(ResponseProcessingTest, EndResponsesChangeNothingEvenWithErrorsOrData) {
  ASSERT_TRUE(Feed(DataResponse({{ItemPath(9), 1, 2, false}})));
  browser->setStartExtentNotFound(true);
  for (int type : {databrowse::BROWSE_RESPONSE_END, databrowse::BROWSE_RESPONSE_LAST_PAGE_END}) {
    databrowse::BrowseResponse end = DataResponse({{ItemPath(20), 1, 2, false}});
    end.setint64(1, 1, type);
    const databrowse::BrowseResponse error = ErrorResponse(7);
    end.setlistobject(4, 7, error.findList(7));
    EXPECT_TRUE(Feed(end));
  }
  EXPECT_EQ(log.count("END response received."), 2u);
  EXPECT_EQ(MapOf(*browser), (std::vector<MapRecord>{{9, 1, 2}}));
  // Still "start extent not found": the range is the first extent alone.
  EXPECT_EQ(RangeAtCompletion(), std::make_pair(1ull, 1ull));
  EXPECT_FALSE(BrowseFailedFlag());
}

TEST_F(ResponseProcessingTest, ErrorFourMarksTheStartExtentMissingAndSkipsTheData) {
  databrowse::BrowseResponse notFound = DataResponse({{ItemPath(30), 1, 2, false}});
  notFound.setlistobject(4, 7, ErrorResponse(4).findList(7));
  EXPECT_TRUE(Feed(notFound));
  EXPECT_TRUE(log.contains("Requested extent not found in backup"));
  EXPECT_TRUE(MapOf(*browser).empty());
  EXPECT_EQ(RangeAtCompletion(), std::make_pair(1ull, 1ull));
  EXPECT_FALSE(BrowseFailedFlag());
}

TEST_F(ResponseProcessingTest, AnErrorWithoutCodeOrAnEmptyErrorListIsNoError) {
  databrowse::BrowseResponse noCode = DataResponse({{ItemPath(4), 1, 2, false}});
  std::vector<CNMessageBase> errors(1, databrowse::BrowseError());
  noCode.setlistobject(4, 7, &errors);
  EXPECT_TRUE(Feed(noCode));

  databrowse::BrowseResponse emptyList = DataResponse({{ItemPath(6), 3, 4, false}});
  errors.clear();
  emptyList.setlistobject(4, 7, &errors);
  EXPECT_TRUE(Feed(emptyList));
  EXPECT_EQ(MapOf(*browser), (std::vector<MapRecord>{{4, 1, 2}, {6, 3, 4}}));
  EXPECT_FALSE(BrowseFailedFlag());
}

TEST_F(ResponseProcessingTest, AnyOtherErrorCodeFailsTheBrowser) {
  browser->setStartExtentNotFound(true);
  EXPECT_FALSE(Feed(ErrorResponse(7)));
  EXPECT_TRUE(log.contains("Browse returned error code: 7"));
  EXPECT_TRUE(MapOf(*browser).empty());
  EXPECT_TRUE(BrowseFailedFlag());
}

TEST_F(ResponseProcessingTest, MissingResultsFailTheBrowserButAreConsumed) {
  databrowse::BrowseResponse noResult;
  noResult.setint64(1, 1, 0);
  EXPECT_TRUE(Feed(noResult));
  EXPECT_TRUE(log.contains("browse result not set in Browse response"));
  EXPECT_TRUE(BrowseFailedFlag());

  const databrowse::BrowseResult emptyResult;
  noResult.setObjectAccessor(&emptyResult, 6, 9);
  EXPECT_TRUE(Feed(noResult));
  EXPECT_TRUE(log.contains("data result not set in Browse response"));
}

TEST_F(ResponseProcessingTest, AnEmptyDataPageAddsNothingAndKeepsTheLastItem) {
  ASSERT_TRUE(Feed(DataResponse({{ItemPath(8), 1, 2, false}})));
  EXPECT_TRUE(Feed(DataResponse({})));
  EXPECT_TRUE(log.contains(
      "Browse callback successfully processed [0] items out of [0] items received."));
  EXPECT_EQ(MapOf(*browser), (std::vector<MapRecord>{{8, 1, 2}}));
  EXPECT_EQ(RangeAtCompletion(), std::make_pair(1ull, 8ull));
  EXPECT_FALSE(BrowseFailedFlag());
}

TEST_F(ResponseProcessingTest, LinesAreWrittenByTheCallbackThatOwnsThem) {
  // Compilers differ only in the blank before the '*'.
  const std::string typed = "IdxBrowseClientProcessRespCallback(databrowse::BrowseResponse";
  const std::string generic = "IdxBrowseClientProcessRespCallback(CNMessageBase";
  databrowse::BrowseResponse notFound = ErrorResponse(4);
  CNMessageBase plain = notFound;  // the response class, not the generated type
  Feed(notFound);
  FeedMessage(&notFound);
  FeedMessage(&plain);
  FeedMessage(nullptr);
  const std::vector<CCaptureLogWriter::Line> lines = log.writer().lines();
  ASSERT_EQ(lines.size(), 4u);
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(lines[i].message, "Requested extent not found in backup");
    EXPECT_NE(lines[i].function.find(typed), std::string::npos) << lines[i].function;
  }
  EXPECT_NE(lines[3].function.find(generic), std::string::npos) << lines[3].function;
}

TEST_F(ResponseProcessingTest, NullAndForeignMessagesFailTheBrowser) {
  EXPECT_FALSE(FeedMessage(nullptr));
  EXPECT_FALSE(browser->IdxBrowseClientProcessRespCallback(
      static_cast<databrowse::BrowseResponse*>(nullptr)));
  EXPECT_EQ(log.count("null pointer received IdxBrowseClientResp callback"), 2u);
  databrowse::BrowseData foreign;
  EXPECT_FALSE(FeedMessage(&foreign));
  EXPECT_TRUE(log.contains("Unknown response received in IdxBrowseClientResp callback"));
  EXPECT_TRUE(BrowseFailedFlag());
}

TEST_F(ResponseProcessingTest, TheResponseObjectForwardsThroughBothInterfacesWhenItHasAnOwner) {
  TdfsIdxBrowseClientResp response(browser.get());
  databrowse::BrowseResponse page = DataResponse({{ItemPath(1), 10, 11, false}});
  IdxBrowseClientResp& remote = response;
  DirectIdxBrowseClientResp& direct = response;
  EXPECT_TRUE(remote.processResp(&page));
  page = DataResponse({{ItemPath(2), 20, 21, false}});
  EXPECT_TRUE(direct.processResp(static_cast<CNMessageBase*>(&page)));
  EXPECT_EQ(MapOf(*browser), (std::vector<MapRecord>{{1, 10, 11}, {2, 20, 21}}));
  EXPECT_EQ(direct.reserved, 0);

  TdfsIdxBrowseClientResp orphan(nullptr);
  EXPECT_FALSE(orphan.processResp(&page));
  EXPECT_FALSE(orphan.processResp(static_cast<CNMessageBase*>(&page)));
  EXPECT_EQ(log.count("data is not set."), 2u);
  EXPECT_EQ(MapOf(*browser).size(), 2u);
}

}  // namespace
