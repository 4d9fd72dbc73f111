#include "stress/Run.h"

#include <algorithm>

namespace stress {

namespace {

using ebindex::NameScheme;
constexpr unsigned long long k2To32 = 1ull << 32, k2To36 = 1ull << 36, k2To40 = 1ull << 40;
constexpr unsigned long long kOldVirtualServerEnd = 1000000000ull;  // where that scheme ends

// Runs of extents between gaps: mostly small gaps, some wide, and now and
// then a jump far ahead, so that pages hold holes and some stretches are
// too sparse for any page to span. Extents stay below half of `limit`, to
// leave room for lookups past the last one.
std::vector<Extent> Layout(std::mt19937_64& random, unsigned long long limit, bool dense) {
  const std::size_t count = 100000 + random() % 30000;
  std::vector<Extent> extents;
  unsigned long long next = dense ? 0 : random() % 50;
  while (extents.size() < count) {
    for (std::size_t run = random() % 8 == 0 ? 1 + random() % 5 : 1 + random() % 2000;
         run > 0 && extents.size() < count; --run, ++next) {
      extents.push_back(Extent{next, random() % (1ull << 31), random(), random() % 10 == 0});
    }
    if (dense) continue;
    const unsigned int roll = random() % 100;
    const unsigned long long gap = roll < 80   ? 1 + random() % 20
                                   : roll < 95 ? 100 + random() % 5000
                                               : random() % (limit / 64);
    next += next + gap > limit / 2 ? 1 : gap;
  }
  return extents;
}

bool ByNumber(const Extent& extent, unsigned long long number) { return extent.number < number; }

}  // namespace

const Extent* ItemKind::find(unsigned long long number) const {
  auto found = std::lower_bound(extents.begin(), extents.end(), number, ByNumber);
  return found != extents.end() && found->number == number ? &*found : nullptr;
}

std::vector<ItemKind> MakeKinds(std::mt19937_64& random) {
  // Old-scheme database names read back exactly only below 2^32, and the
  // virtual-server schemes end at 2^32 and at 10^9.
  std::vector<ItemKind> kinds = {
      {"fs", 0, NameScheme::kBase32, true, k2To40, {}},
      {"db53-old", 53, NameScheme::kHex, true, k2To32, {}},
      {"db53-base32", 53, NameScheme::kBase32, true, k2To40, {}},
      {"db81-dense", 81, NameScheme::kHex, true, k2To32, {}},
      {"db81-holes", 81, NameScheme::kBase32, false, k2To32, {}},
      {"vs-old", 106, NameScheme::kDecimal, true, kOldVirtualServerEnd, {}},
      {"vs-base32", 106, NameScheme::kBase32, true, k2To32, {}},
  };
  for (ItemKind& kind : kinds) {
    // Extents past 2^32 where the names allow them.
    const unsigned long long limit = kind.ceiling == k2To40 ? k2To36 : kind.ceiling;
    kind.extents = Layout(random, limit, kind.name == "db81-dense");
  }
  return kinds;
}

void AddItem(ebindex::Catalogue& catalogue, const std::string& path, const ItemKind& kind) {
  std::vector<ebindex::Entry> entries;
  for (const Extent& e : kind.extents) {
    entries.push_back({e.number, ebindex::ExtentName(kind.naming, e.number, 13), e.afileId,
                       e.afileValue, e.empty});
  }
  // The catalogue takes entries cheapest in name order, which only the
  // decimal scheme does not share with number order.
  std::sort(entries.begin(), entries.end(),
            [](const ebindex::Entry& a, const ebindex::Entry& b) { return a.name < b.name; });
  catalogue.addItem(path);
  for (const ebindex::Entry& entry : entries) catalogue.addEntry(path, entry);
}

}  // namespace stress
