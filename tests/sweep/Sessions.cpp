// Drawing a session from its seed, and replaying it against the library and
// the index service.
#include <sstream>

#include "sweep/Sweep.h"

namespace sweep {

namespace {

// File-system items may carry any application type but 53, 81 and 106.
const int kOrdinaryAppTypes[] = {0, 0, 0, 13, 29, 33, 1000};
// Extents of an item; mostly small pages against them, now and then one
// of 2^32 or more, which asks for everything.
const std::vector<Band> kExtentCounts = {{1, 0, 1}, {6, 1, 10}, {10, 11, 50}, {3, 61, 240}};
const std::vector<Band> kPageSizes = {{7, 1, 8},
                                      {6, 9, 92},
                                      {3, 101, 100000},
                                      {2, (1ull << 32) - 1, 3},
                                      {2, 1ull << 32, ~0ull - (1ull << 32)}};
const CallMix kCallMix = {45, 17, 12, 8, 6, 12};

Item DrawItem(Random& random) {
  const Kind& kind = kKinds[random() % kKinds.size()];
  Item item = MakeItem(kind, random() % 2 == 0 ? 13 : 1 + random() % 63,
                       kind.appType == 81 && random() % 2 == 0);
  if (item.appType == 0) item.appType = kOrdinaryAppTypes[random() % 7];
  const std::size_t count = Draw(kExtentCounts, random);
  const unsigned int where = random() % 10;
  const unsigned long long first =
      item.dense  ? 0
      : where < 5 ? random() % 50
      : where < 7 ? item.ceiling - 1 - random() % std::min(item.ceiling, count * 8ull + 10)
                  : random() % item.ceiling;
  Layout(item, first, item.ceiling, count, item.ceiling / 64, random);
  return item;
}

std::string DescribeBrowser(const BrowserPlan& plan) {
  return std::string(kRouteNames[static_cast<int>(plan.route)]) + " (host " + HostOf(plan.route) +
         (plan.hostAsMaName ? " as MA name" : " as default host") + "), page size " +
         std::to_string(plan.pageSize) + ", " + std::to_string(plan.itemsPerResponse) +
         " items per response" + (plan.serviceThread ? ", on the service thread" : "") +
         (plan.seeded ? ", built on the last block saved before it" : "");
}

}  // namespace

Session DrawSession(unsigned long long seed) {
  Random random(seed);
  Session session;
  session.seed = seed;
  session.item = DrawItem(random);
  for (int count = random() % 4 == 0 ? 2 + random() % 3 : 1; count > 0; --count) {
    BrowserPlan plan;
    plan.route = session.item.v1Only() ? Route(1 + random() % 2) : Route(random() % 3);
    plan.hostAsMaName = random() % 2 == 0;
    plan.pageSize = Draw(kPageSizes, random);
    plan.itemsPerResponse = 1 + static_cast<int>(random() % 7);
    plan.serviceThread = random() % 4 == 0;
    plan.seeded = !session.browsers.empty() && random() % 2 == 0;
    if (plan.seeded && random() % 4 != 0) {
      Call save;
      save.kind = Call::kSave;
      session.browsers.back().calls.push_back(save);
    }
    for (int calls = 2 + random() % 28; calls > 0; --calls) {
      plan.calls.push_back(DrawCall(session.item, plan.pageSize, kCallMix, random));
    }
    session.browsers.push_back(std::move(plan));
  }
  return session;
}

Outcome Run(const Session& session, std::string* transcript) {
  ebindex::IndexService& index = ebindex::IndexService::instance();
  index.reset();
  SetUpHosts();
  const Item& item = session.item;
  ebindex::Catalogue catalogue;
  AddItem(catalogue, kItemPath, item);
  // A neighbour whose answers would all be wrong for the item.
  for (ebindex::Entry entry : item.extents) {
    entry.afileId += 1;
    entry.empty = !entry.empty;
    catalogue.addEntry(std::string(kItemPath) + "x", entry);
  }
  index.setCatalogue(std::move(catalogue));

  Outcome outcome;
  Answer lastSave;
  for (std::size_t b = 0; b < session.browsers.size(); ++b) {
    const BrowserPlan& plan = session.browsers[b];
    index.setProtocol(plan.route == Route::kV2 ? ebindex::Protocol::V2 : ebindex::Protocol::V1);
    const std::string host = HostOf(plan.route);
    index.setDefaultHost(plan.hostAsMaName ? "localhost" : host);
    index.setItemsPerResponse(plan.itemsPerResponse);
    index.setDeliverOnServiceThread(plan.serviceThread);
    Standing standing;
    standing.pageSize = plan.pageSize;
    const std::string& block = plan.seeded ? lastSave.block : std::string();
    for (const ebindex::Entry& record : lastSave.records) {
      if (plan.seeded) standing.seeded.push_back(record.extent);
    }
    // Whatever follows the block on the stream is the caller's, and stays.
    std::stringstream cache(block.empty() ? "" : block + "after\n");
    if (transcript != nullptr) {
      *transcript += "  browser " + std::to_string(b + 1) + ": " + DescribeBrowser(plan) + "\n";
    }
    FaultAccount account;
    const auto note = [&](const std::string& line, const std::string& wrong) {
      if (transcript != nullptr) {
        *transcript += "    " + line + (wrong.empty() ? "" : "   <== WRONG: " + wrong) + "\n";
      }
      if (wrong.empty()) return;
      outcome.wrong.push_back(Wrong{wrong, wrong + "; " +
                                               kRouteNames[static_cast<int>(plan.route)] +
                                               "; faults that fired: " + account.fired()});
    };
    const std::unique_ptr<ExtentBrowse> browser =
        MakeBrowser(item, kItemPath, plan.hostAsMaName ? host : "", plan.pageSize,
                    plan.seeded ? &cache : nullptr);
    std::string after;
    if (!block.empty() && !(cache >> after && after == "after")) {
      note("built on the block", "the browser read past its block");
    }
    for (const Call& call : plan.calls) {
      Answer answer;
      if (call.kind == Call::kArm) {
        call.fault.arm(kItemPath);
        account.arm(call.fault);
      } else {
        answer = Perform(*browser, call, item.extents.size() + 100);
        account.afterCall(standing);
      }
      Count(call, answer, outcome.tally);
      const std::string wrong = Judge(item, call, answer, standing);
      if (wrong.empty()) Learn(item, call, answer, standing);
      if (call.kind == Call::kSave && answer.written) lastSave = answer;
      note(Describe(call, answer), wrong);
    }
    index.clearFaults();
  }
  return outcome;
}

}  // namespace sweep
