// The stand-in index service's answers: the pages and ranges a request
// selects, in every naming scheme. (Its clients, protocols and faults are
// walked by the truth sweep and the stress run, whose judging would call
// any slip there a wrong answer.)
#include <gtest/gtest.h>

#include "ebindex/CatalogueFile.h"
#include "ebindex/ExtentNames.h"
#include "support/Support.h"

namespace {

using namespace ebtest;
using ebindex::ExtentName;
using ebindex::NameScheme;
using Names = std::vector<std::string>;

// A data query of `size` items after `offset`, from the name `start`.
databrowse::Query PageQuery(const std::string& start, unsigned long long offset = 0,
                            long long size = 2) {
  databrowse::Query query;
  query.setint64(1, 1, 0);
  CNMessageBase& paging =
      *query.getObjectAccessor(true, true, 5, 8, databrowse::QueryOptions::kFamily,
                               databrowse::QueryOptions::kNumber)
           ->getObjectAccessor(true, true, 2, 2, databrowse::BrowsePaging::kFamily,
                               databrowse::BrowsePaging::kNumber);
  paging.setint64(2, 2, static_cast<long long>(offset));
  paging.setint64(3, 3, size);
  paging.setstring(4, 4, start);
  return query;
}

// A request for `path` by name (browse mode 2), or for an extent range (3).
databrowse::BrowseRequest Request(const std::string& path, const databrowse::Query& query,
                                  bool ranged = false, unsigned long long start = 0,
                                  unsigned long long count = 0) {
  databrowse::BrowsePath browsePath;
  browsePath.setstring(1, 1, path);
  if (ranged) {
    databrowse::ExtentRange range;
    range.setint64(1, 1, static_cast<long long>(start));
    range.setint64(2, 2, static_cast<long long>(count));
    browsePath
        .getObjectAccessor(true, true, 2, 5, databrowse::BrowsePathParameters::kFamily,
                           databrowse::BrowsePathParameters::kNumber)
        ->getlistobject(3, 6, true)
        ->push_back(range);
  }
  databrowse::BrowseRequest request;
  request
      .getObjectAccessor(true, true, 8, 8, databrowse::BrowseMode::kFamily,
                         databrowse::BrowseMode::kNumber)
      ->setint64(1, 1, ranged ? 3 : 2);
  request.getlistobject(4, 4, true)->push_back(browsePath);
  request.getlistobject(12, 12, true)->push_back(query);
  return request;
}

Names NamesIn(const CNMessageBase& response) {
  Names names;
  const CNMessageBase* result = response.findObject(9);
  const std::vector<CNMessageBase>* items = result != nullptr ? result->findList(6) : nullptr;
  for (std::size_t i = 0; items != nullptr && i < items->size(); ++i) {
    const std::string path = (*items)[i].getstring(5, 5);
    names.push_back(path.substr(path.find('\x12') + 1));  // npos + 1 is 0: the whole path
  }
  return names;
}

// The names the index answers a request with, or "error C" for its answer
// when nothing matches: an error response with code C (4 for a known item,
// 2 for an item it does not hold), then the end.
TEST(IndexAnswerTest, PagesStartAtTheirNameOrRowAndRangesSelectByNumber) {
  ebindex::Catalogue catalogue;
  for (unsigned long long i = 1; i <= 12; ++i) {
    catalogue.addEntry("/f", MakeEntry(i, Base32Name(i)));
    catalogue.addEntry("/dec", MakeEntry(i, ExtentName(NameScheme::kDecimal, i, 13)));
    catalogue.addEntry("/hex", MakeEntry(i, ExtentName(NameScheme::kHex, i, 13)));
  }
  catalogue.addEntry("/g", MakeEntry(~0ull, "e"));  // name order and number order differ
  catalogue.addEntry("/g", MakeEntry(3, "f"));
  const auto names = [&](databrowse::BrowseRequest request, int appType) {
    request.getObjectAccessor(true, true, 3, 3, 18, 46)->setint64(14, 38, appType);
    const auto responses = ebindex::AnswerRequest(catalogue, request, 2);
    if (responses.size() == 2 && responses[0].findList(7) != nullptr) {
      return Names{"error " + std::to_string(responses[0].findList(7)->front().getint64(1))};
    }
    Names all;
    for (const auto& response : responses) {
      for (const std::string& name : NamesIn(response)) all.push_back(name);
    }
    return all;
  };
  const auto page = [](const std::string& path, const std::string& start, unsigned long long offset,
                       long long size) { return Request(path, PageQuery(start, offset, size)); };
  const struct {
    databrowse::BrowseRequest request;
    int appType;
    Names names;
  } cases[] = {
      {page("/f", Base32Name(3), 0, 3), 0, {Base32Name(3), Base32Name(4), Base32Name(5)}},
      {page("/f", "", 1, 2), 0, {Base32Name(2), Base32Name(3)}},
      {page("/f", "", 0x100000001ULL, 1), 0, {Base32Name(2)}},  // the offset's low 32 bits
      {page("/f", Base32Name(13), 0, 100), 0, {"error 4"}},
      {page("/f", Base32Name(12), 1, 100), 0, {"error 4"}},
      // Base32 start names are translated into an item's old scheme.
      {page("/dec", Base32Name(10), 0, 2), 0, {"Extent10", "Extent11"}},
      {page("/hex", Base32Name(10), 0, 1), 0, {"Ext_0000000a"}},
      {page("/dec", "Extent5", 0, 1), 0, {"Extent5"}},
      {page("\\f\\", Base32Name(12), 0, 1), 0, {Base32Name(12)}},  // however the path is written
      // Database requests on V2 start at the row of their offset.
      {page("/f", Base32Name(9), 1, 2), 81, {Base32Name(2), Base32Name(3)}},
      {Request("/g", PageQuery("", 0, 100), true, 2, ~0ull), 0, {"f", "e"}},  // not wrapped
      {Request("/g", PageQuery("", 0, 100), true, 4, 3), 0, {"error 4"}},
      {Request("/nowhere", PageQuery("")), 0, {"error 2"}},
      {Request("/nowhere", PageQuery(""), true, 0, 5), 0, {"error 2"}},
  };
  for (const auto& c : cases) EXPECT_EQ(names(c.request, c.appType), c.names) << c.appType;
}

// A file that cannot be read installs nothing, and says why.
TEST(IndexAnswerTest, ACatalogueFileThatCannotBeReadSaysWhy) {
  for (const auto& [file, reason] : std::vector<std::pair<std::string, std::string>>{
           {"/nonexistent/index.tsv", "No such file or directory"}, {"/", "Is a directory"}}) {
    std::string error;
    EXPECT_FALSE(ebindex::InstallCatalogueFile(file, 13, error));
    EXPECT_EQ(error, "cannot read " + file + ": " + reason);
  }
}

}  // namespace
