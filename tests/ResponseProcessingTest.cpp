// Browse responses folded into the extent map: every branch of the
// response callbacks, fed by hand, and what the browse then records.
#include <gtest/gtest.h>

#include "support/Support.h"

namespace {

using namespace ebtest;

std::string ItemPath(unsigned long long extent) { return "/f\x12" + Base32Name(extent); }

struct DataItem {
  std::string path;  // as the index sends it: item path, 0x12, extent name
  unsigned long long afileId, afileValue;
  bool empty;
};

databrowse::BrowseResponse DataResponse(const std::vector<DataItem>& items) {
  databrowse::BrowseResponse response;
  response.setint64(1, 1, databrowse::BROWSE_RESPONSE_DATA);
  auto& data = *response.getObjectAccessor(true, true, 6, 9, 100, 98)->getlistobject(3, 6, true);
  for (const DataItem& item : items) {
    data.push_back(databrowse::BrowseData());
    data.back().setstring(5, 5, item.path);
    CNMessageBase* archiveFile = data.back().getObjectAccessor(true, true, 9, 21, 100, 93);
    archiveFile->setint64(1, 12, static_cast<long long>(item.afileId));
    archiveFile->setint64(2, 13, static_cast<long long>(item.afileValue));
    data.back().getObjectAccessor(true, true, 1, 1, 100, 0)->setint64(1, 18, item.empty);
  }
  return response;
}

// `response` with another type and, unless null, another error list.
databrowse::BrowseResponse With(databrowse::BrowseResponse response, int type,
                                std::vector<CNMessageBase>* errors = nullptr) {
  response.setint64(1, 1, type);
  if (errors != nullptr) response.setlistobject(4, 7, errors);
  return response;
}

std::vector<CNMessageBase> ErrorCode(int code) {
  databrowse::BrowseError error;
  error.setint64(1, 1, code);
  return std::vector<CNMessageBase>(1, error);
}

databrowse::BrowseResponse ErrorResponse(int code) {
  std::vector<CNMessageBase> errors = ErrorCode(code);
  return With(databrowse::BrowseResponse(), databrowse::BROWSE_RESPONSE_ERROR, &errors);
}

class ResponseProcessingTest : public IndexTest {
 protected:
  ResponseProcessingTest() {
    AddItem("/f", 0, 0);  // an item the index knows, with no extents
    browser = MakeBrowser(0, "/f");
    log->clear();
  }
  bool Feed(CNMessageBase* message) { return browser->IdxBrowseClientProcessRespCallback(message); }
  // Whether the browser counts as failed: its next browse, though the index
  // answers it, then reports failure.
  bool Failed() {
    unsigned long long id = 0, value = 0;
    return browser->GetAFInfo(123456, id, value) == EB_BROWSE_FAILED;
  }
  // The range a completion records now for a page starting at extent 1.
  std::pair<unsigned long long, unsigned long long> RangeAtCompletion() {
    log->clear();
    EXPECT_TRUE(browser->OnBrowseCompletionCallBack(Base32Name(1), EB_BROWSE_COMPLETED));
    const auto ranges = RecordedRanges(log);
    return ranges.empty() ? std::make_pair(0ull, 0ull) : ranges.back();
  }

  std::unique_ptr<ExtentBrowseImpl> browser;
};

TEST_F(ResponseProcessingTest, EachKindOfResponseChangesTheMapTheRangeAndTheOutcomeAsItShould) {
  const databrowse::BrowseResponse page = DataResponse({{ItemPath(9), 1, 2, false}});
  const int data = databrowse::BROWSE_RESPONSE_DATA;
  std::vector<CNMessageBase> noCode(1, databrowse::BrowseError()), none, code4 = ErrorCode(4),
      code7 = ErrorCode(7);
  databrowse::BrowseResponse noResult, noDataList;
  noResult.setint64(1, 1, 0);
  noDataList = noResult;
  const databrowse::BrowseResult emptyResult;
  noDataList.setObjectAccessor(&emptyResult, 6, 9);
  const struct {
    const char* what;
    std::vector<databrowse::BrowseResponse> responses;
    bool accepted;  // what the callback returns for the last response
    std::vector<MapRecord> map;
    unsigned long long rangeEnd;  // of the range from extent 1
    bool failed;
    std::string line;
  } cases[] = {
      {"the last record of an extent wins; the last item ends the range",
       {DataResponse({{ItemPath(3), 30, 300, false}, {ItemPath(5), 50, 500, true},
                      {ItemPath(3), 31, 301, true}})},
       true, {{3, 31, 301}, {5, 50, 500}}, 3, false,
       "Browse callback successfully processed [3] items out of [3] items received."},
      {"ids are signed 32-bit; a path without separator is the name",
       {DataResponse({{ItemPath(1), 4294967295ull, ~0ull, false},
                      {ItemPath(2), 0x100000007, 9, false}, {Base32Name(42), 1, 2, false}})},
       true, {{1, ~0ull, ~0ull}, {2, 7, 9}, {42, 1, 2}}, 42, false,
       "extentname [" + Base32Name(42) + "]."},
      {"end responses change nothing, whatever they carry",
       {With(page, databrowse::BROWSE_RESPONSE_END, &code7),
        With(page, databrowse::BROWSE_RESPONSE_LAST_PAGE_END)},
       true, {}, 1, false, "END response received."},
      {"error 4: the start extent is missing, the data skipped",
       {page, With(DataResponse({{ItemPath(30), 1, 2, false}}), data, &code4)},
       true, {{9, 1, 2}}, 1, false, "Requested extent not found in backup"},
      {"an error without a code, or an empty error list, is no error",
       {With(DataResponse({{ItemPath(4), 1, 2, false}}), data, &noCode),
        With(DataResponse({{ItemPath(6), 3, 4, false}}), data, &none)},
       true, {{4, 1, 2}, {6, 3, 4}}, 6, false, ""},
      {"any other code fails the browse", {ErrorResponse(7)}, false, {}, 1, true,
       "Browse returned error code: 7"},
      {"a response without its result fails, but is consumed", {noResult}, true, {}, 1, true,
       "browse result not set in Browse response"},
      {"a result without its data list as well", {noDataList}, true, {}, 1, true,
       "data result not set in Browse response"},
      {"an empty page adds nothing and keeps the last item", {page, DataResponse({})}, true,
       {{9, 1, 2}}, 9, false,
       "Browse callback successfully processed [0] items out of [0] items received."},
  };
  for (const auto& c : cases) {
    browser = MakeBrowser(0, "/f");
    // A browse starts by assuming its start extent missing.
    browser->setStartExtentNotFound(true);
    log->clear();
    bool accepted = false;
    for (databrowse::BrowseResponse response : c.responses) {
      accepted = browser->IdxBrowseClientProcessRespCallback(&response);
    }
    EXPECT_EQ(accepted, c.accepted) << c.what;
    EXPECT_TRUE(c.line.empty() || log->contains(c.line)) << c.what;
    EXPECT_EQ(MapOf(*browser), c.map) << c.what;
    EXPECT_EQ(RangeAtCompletion(), std::make_pair(1ull, c.rangeEnd)) << c.what;
    EXPECT_EQ(Failed(), c.failed) << c.what;
  }
}

// A plain message of the response class is read as a response, by the
// callback for responses; a foreign one fails the browse.
TEST_F(ResponseProcessingTest, GenericMessagesAreReadByTheirClassAndOthersFail) {
  CNMessageBase plain = ErrorResponse(4);
  databrowse::BrowseData foreign;
  EXPECT_TRUE(Feed(&plain));
  EXPECT_EQ(log->lines().at(0).message, "Requested extent not found in backup");
  EXPECT_FALSE(Feed(&foreign));
  EXPECT_TRUE(Failed());
}

}  // namespace
