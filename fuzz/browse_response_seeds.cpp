// Writes the seeds of the browse response fuzzer: the answers the index
// service gives for a few catalogues, its scripted failures, and a few
// responses only a hand can make. Each seed is one file in the directory
// given, named after what it holds.
#include <fstream>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "BrowseMessages.h"
#include "BrowseResponseInput.h"
#include "IdxBrowseClient.h"
#include "ebindex/ExtentNames.h"
#include "ebindex/IndexService.h"

namespace {

using namespace browsefuzz;

constexpr int kNameLength = 13;
const char* const kPath = "/data/item.bin";

std::string Base32(unsigned long long number) {
  return ebindex::ExtentName(ebindex::NameScheme::kBase32, number, kNameLength);
}
std::string Decimal(unsigned long long number) {
  return ebindex::ExtentName(ebindex::NameScheme::kDecimal, number, kNameLength);
}
std::string Hex(unsigned long long number) {
  return ebindex::ExtentName(ebindex::NameScheme::kHex, number, kNameLength);
}

// Extents first .. first + count - 1 of one item, with ids that exercise
// the 32-bit narrowing and a few empty extents.
ebindex::Catalogue CatalogueOf(std::string (*name)(unsigned long long), unsigned long long first,
                               unsigned long long count) {
  ebindex::Catalogue catalogue;
  catalogue.addItem(kPath);
  for (unsigned long long extent = first; extent < first + count; ++extent) {
    ebindex::Entry entry;
    entry.extent = extent;
    entry.name = name(extent);
    entry.afileId = extent % 5 == 4 ? 4294967295ull : 100 + extent;
    entry.afileValue = extent % 3 == 2 ? 0x8000000000000000ull + extent : 4096 * extent;
    entry.empty = extent % 4 == 3;
    catalogue.addEntry(kPath, entry);
  }
  return catalogue;
}

// A request for the item's extents from `startName` on, `pageSize` at most
// (0: all of them).
databrowse::BrowseRequest RequestFor(const std::string& path, const std::string& startName,
                                     unsigned pageSize) {
  databrowse::BrowseRequest request;
  databrowse::BrowsePath browsePath;
  browsePath.setstring(1, 1, path);
  const std::vector<CNMessageBase> paths(1, browsePath);
  request.setlistobject(4, 4, &paths);
  databrowse::BrowsePaging paging;
  paging.setint64(2, 2, 0);
  if (pageSize != 0) paging.setint64(3, 3, pageSize);
  paging.setstring(4, 4, startName);
  databrowse::QueryOptions options;
  options.setObjectAccessor(&paging, 2, 2);
  databrowse::Query query;
  query.setObjectAccessor(&options, 8, 8);
  const std::vector<CNMessageBase> queries(1, query);
  request.setlistobject(12, 12, &queries);
  return request;
}

FuzzInput InputOf(int appTypeIndex, const std::string& pageName,
                  const std::vector<const CNMessageBase*>& messages) {
  FuzzInput input;
  input.appTypeIndex = appTypeIndex;
  input.nameLength = kNameLength;
  input.pageName.raw = pageName;
  for (const CNMessageBase* message : messages) input.responses.push_back(PlanOf(message));
  return input;
}

FuzzInput Answer(int appTypeIndex, const ebindex::Catalogue& catalogue,
                 const databrowse::BrowseRequest& request, int perResponse,
                 const std::string& pageName) {
  const std::vector<databrowse::BrowseResponse> answer =
      ebindex::AnswerRequest(catalogue, request, perResponse);
  std::vector<const CNMessageBase*> messages;
  for (const databrowse::BrowseResponse& response : answer) messages.push_back(&response);
  return InputOf(appTypeIndex, pageName, messages);
}

// Keeps a copy of every message the service delivers, null ones as null.
class Collector : public IdxBrowseClientResp {
 public:
  bool processResp(CNMessageBase* message) override { return keep(message); }
  bool processResp(databrowse::BrowseResponse* response) override { return keep(response); }
  std::vector<std::unique_ptr<CNMessageBase>> messages;

 private:
  bool keep(const CNMessageBase* message) {
    messages.push_back(message != nullptr ? std::make_unique<CNMessageBase>(*message) : nullptr);
    return true;
  }
};

// What the index service delivers for `script` in place of the real answer.
FuzzInput Scripted(int appTypeIndex, const std::vector<ebindex::ScriptedResponse>& script) {
  ebindex::IndexService& index = ebindex::IndexService::instance();
  index.reset();
  index.setCatalogue(CatalogueOf(Base32, 0, 6));
  index.scriptResponses(script, 1);
  Collector collector;
  IdxBrowseClient client;
  client.Initialize(RequestFor(kPath, Base32(0), 0), &collector, 2000, nullptr, nullptr);
  client.Browse(nullptr, nullptr);
  std::vector<const CNMessageBase*> messages;
  for (const std::unique_ptr<CNMessageBase>& message : collector.messages) {
    messages.push_back(message.get());
  }
  return InputOf(appTypeIndex, Base32(0), messages);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::cerr << "usage: browse_response_seeds DIRECTORY\n";
    return 2;
  }
  const std::string directory = argv[1];
  int failures = 0;
  auto write = [&](const std::string& name, const FuzzInput& input) {
    std::ofstream out(directory + "/" + name, std::ios::binary);
    const std::string bytes = Encode(input);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out) {
      std::cerr << "cannot write " << directory << "/" << name << "\n";
      ++failures;
    }
  };
  using ebindex::ScriptedResponse;
  constexpr int kFileSystem = 0, kDatabase = 1, kDatabaseToo = 2, kVirtualServer = 3;

  // The index's own answers: whole items in several responses, a page from
  // the middle, and an item the index lacks.
  write("fs_pages",
        Answer(kFileSystem, CatalogueOf(Base32, 0, 10), RequestFor(kPath, "", 0), 4, Base32(0)));
  write("fs_middle_page", Answer(kFileSystem, CatalogueOf(Base32, 0, 12),
                                 RequestFor(kPath, Base32(5), 4), 3, Base32(5)));
  write("fs_unknown_item", Answer(kFileSystem, CatalogueOf(Base32, 0, 3),
                                  RequestFor("/elsewhere", Base32(0), 0), 4, Base32(0)));
  write("vsa_new_names", Answer(kVirtualServer, CatalogueOf(Base32, 100, 8),
                                RequestFor(kPath, Base32(100), 0), 3, Base32(100)));
  write("vsa_old_names", Answer(kVirtualServer, CatalogueOf(Decimal, 7, 8),
                                RequestFor(kPath, Base32(7), 0), 3, Base32(7)));
  write("sql_old_names",
        Answer(kDatabase, CatalogueOf(Hex, 0xFFFFFFF0ull, 9),
               RequestFor(kPath, Base32(0xFFFFFFF0ull), 0), 4, Base32(0xFFFFFFF0ull)));
  write("sql_new_names", Answer(kDatabaseToo, CatalogueOf(Base32, 40, 6),
                                RequestFor(kPath, Base32(40), 0), 2, Base32(40)));

  // The index service's scripted failures.
  write("null_after_page", Scripted(kFileSystem, {ScriptedResponse::Of(ScriptedResponse::kPage),
                                                  ScriptedResponse::Of(ScriptedResponse::kNull),
                                                  ScriptedResponse::Of(ScriptedResponse::kEnd)}));
  write("other_class", Scripted(kFileSystem, {ScriptedResponse::Of(ScriptedResponse::kOtherClass),
                                              ScriptedResponse::Of(ScriptedResponse::kPage)}));
  write("error_code_7", Scripted(kFileSystem, {ScriptedResponse::Error(7),
                                               ScriptedResponse::Of(ScriptedResponse::kEnd)}));
  write("error_code_4_after_page",
        Scripted(kVirtualServer,
                 {ScriptedResponse::Of(ScriptedResponse::kPage), ScriptedResponse::Error(4)}));
  write("no_browse_result",
        Scripted(kDatabase, {ScriptedResponse::Of(ScriptedResponse::kNoBrowseResult),
                             ScriptedResponse::Of(ScriptedResponse::kPage)}));
  write("no_data_list", Scripted(kFileSystem, {ScriptedResponse::Of(ScriptedResponse::kNoDataList),
                                               ScriptedResponse::Of(ScriptedResponse::kEnd)}));
  write("empty_page_after_page",
        Scripted(kFileSystem, {ScriptedResponse::Of(ScriptedResponse::kPage),
                               ScriptedResponse::Of(ScriptedResponse::kEmptyDataList)}));
  write("empty_error_list",
        Scripted(kVirtualServer, {ScriptedResponse::Of(ScriptedResponse::kEmptyErrorList),
                                  ScriptedResponse::Of(ScriptedResponse::kEnd)}));

  // What only a hand makes: null to the typed callback, a bare message of
  // the response's class, codes and types beyond 32 bits, paths with more
  // than one separator or none, items without their fields.
  {
    FuzzInput input = Scripted(kFileSystem, {ScriptedResponse::Of(ScriptedResponse::kPage),
                                             ScriptedResponse::Of(ScriptedResponse::kNull)});
    input.responses.back().typedEntry = true;
    input.responses.front().bareMessage = true;
    write("typed_null_after_bare_page", input);
  }
  {
    FuzzInput input = Scripted(kDatabase, {ScriptedResponse::Error(4), ScriptedResponse::Error(0),
                                           ScriptedResponse::Of(ScriptedResponse::kEnd)});
    input.responses[0].body.errors[0].code = 0x100000004ull;
    input.responses[0].body.errors[0].wide = true;
    input.responses[1].body.errors[0].code = 0x100000000ull;
    input.responses[1].body.errors[0].wide = true;
    input.responses[2].body.type = 0xFFFFFFFF00000005ull;
    input.responses[2].body.wideType = true;
    input.responses[2].typedEntry = true;
    write("wide_codes_and_type", input);
  }
  {
    FuzzInput input = Scripted(kVirtualServer, {ScriptedResponse::Of(ScriptedResponse::kPage)});
    std::vector<ItemPlan>& items = input.responses[0].body.items;
    items[0].prefix = std::string("/a\x12") + "b";
    items[1].hasPrefix = false;
    items[2].hasPath = false;
    items[3].hasArchiveFile = false;
    items[4].hasAttributes = false;
    items[5].name.kind = NamePlan::kDecimal;
    items[5].name.number = 18446744073709551615ull;
    input.pageName.raw = "Extent";
    write("odd_items", input);
  }
  return failures == 0 ? 0 : 1;
}
