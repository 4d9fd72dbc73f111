// Items of every kind, kept within what their names can order.
#include <algorithm>

#include "harness/Harness.h"

namespace harness {

using ebindex::NameScheme;
constexpr unsigned long long k2To32 = 1ull << 32;

// Old virtual-machine names end at 10^9, and new virtual-machine ranges end
// at 2^32. Old database names order as their numbers only among names of
// one length: the wide kinds cross from eight hex digits to nine, or nine to
// ten, which the browser must not take for number order.
const std::vector<Item> kKinds = {{"fs", 0, NameScheme::kBase32, 13, false, ~0ull, {}},
                                  {"vs-base32", 106, NameScheme::kBase32, 13, false, k2To32, {}},
                                  {"vs-old", 106, NameScheme::kDecimal, 13, false, 1000000000, {}},
                                  {"db53-base32", 53, NameScheme::kBase32, 13, false, ~0ull, {}},
                                  {"db53-old", 53, NameScheme::kHex, 13, false, k2To32, {}},
                                  {"db81-base32", 81, NameScheme::kBase32, 13, false, ~0ull, {}},
                                  {"db81-old", 81, NameScheme::kHex, 13, false, k2To32, {}},
                                  {"db53-old-wide", 53, NameScheme::kHex, 13, false, ~0ull, {}},
                                  {"db81-old-wide", 81, NameScheme::kHex, 13, false, ~0ull, {}}};

const ebindex::Entry* Item::find(unsigned long long number) const {
  auto found = std::lower_bound(
      extents.begin(), extents.end(), number,
      [](const ebindex::Entry& entry, unsigned long long n) { return entry.extent < n; });
  return found != extents.end() && found->extent == number ? &*found : nullptr;
}

std::string Item::title() const {
  return kind + ", application type " + std::to_string(appType) + ", name length " +
         std::to_string(nameLength) + (needsRows() ? ", dense from 0" : "");
}

Item MakeItem(const Item& kind, unsigned int nameLength, bool dense) {
  Item item = kind;
  item.nameLength = nameLength;
  item.dense = dense;
  // Base32 names of one length sort in number order only below 32^length.
  if (kind.scheme == NameScheme::kBase32 && nameLength * 5 < 64) {
    item.ceiling = std::min(kind.ceiling, 1ull << (nameLength * 5));
  }
  return item;
}

void Layout(Item& item, unsigned long long first, unsigned long long bound, std::size_t count,
            unsigned long long jump, Random& random) {
  for (unsigned long long next = first; item.extents.size() < count && next < bound; ++next) {
    const unsigned long long afileId = random() % 4 == 0 ? random() % 10 : random() % (1ull << 31);
    const unsigned long long afileValue = random() % 8 == 0 ? ~0ull - random() % 2 : random();
    item.extents.push_back({next, ebindex::ExtentName(item.scheme, next, item.nameLength), afileId,
                            afileValue, random() % 5 == 0});
    if (item.dense || random() % 3 != 0) continue;
    const unsigned int roll = random() % 100;
    const unsigned long long gap = roll < 80   ? random() % 5
                                   : roll < 97 ? random() % 1000
                                               : random() % std::max(jump, 1ull);
    if (bound - next > gap + 1) next += gap;
  }
}

void AddItem(ebindex::Catalogue& catalogue, const std::string& path, const Item& item) {
  // The catalogue takes entries cheapest in name order, which only the
  // decimal scheme does not share with number order.
  std::vector<ebindex::Entry> entries = item.extents;
  std::sort(entries.begin(), entries.end(),
            [](const ebindex::Entry& a, const ebindex::Entry& b) { return a.name < b.name; });
  catalogue.addItem(path);
  for (const ebindex::Entry& entry : entries) catalogue.addEntry(path, entry);
}

std::string CatalogueLine(const std::string& path, const ebindex::Entry& entry) {
  return path + "\t" + std::to_string(entry.extent) + "\t" + std::to_string(entry.afileId) + "\t" +
         std::to_string(entry.afileValue) + "\t" + (entry.empty ? "1\t" : "0\t") + entry.name;
}

unsigned long long PickExtent(const Item& item, Random& random) {
  const unsigned int roll = random() % 100;
  if (!item.extents.empty() && roll < 85) {
    const unsigned long long any = item.extents[random() % item.extents.size()].extent;
    const unsigned long long low = item.extents.front().extent, high = item.extents.back().extent;
    return roll < 50   ? any
           : roll < 70 ? (random() % 2 == 0 ? any + 1 : any - 1)
                       : low - 20 + random() % (high - low + 40);
  }
  return roll < 92 ? random() % item.ceiling : roll < 96 ? random() : random() % 200;
}

}  // namespace harness
