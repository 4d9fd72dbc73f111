// Random items of every kind, kept within what their names can order.
#include <algorithm>

#include "sweep/Sweep.h"

namespace sweep {

namespace {

using ebindex::NameScheme;

struct Kind {
  int appType;
  NameScheme scheme;
  unsigned long long ceiling;  // before the name length's own limit
};

constexpr unsigned long long k2To32 = 1ull << 32;
// Old virtual-machine names end at 10^9, old database names order only
// below 2^32 (eight hex digits), and new virtual-machine ranges end at 2^32.
const Kind kKinds[] = {
    {0, NameScheme::kBase32, ~0ull},         {106, NameScheme::kBase32, k2To32},
    {106, NameScheme::kDecimal, 1000000000}, {53, NameScheme::kBase32, ~0ull},
    {53, NameScheme::kHex, k2To32},          {81, NameScheme::kBase32, ~0ull},
    {81, NameScheme::kHex, k2To32},
};
// File-system items may carry any application type but the three above.
const int kOrdinaryAppTypes[] = {0, 0, 0, 13, 29, 33, 1000};

// Base32 names of one length sort in number order only below 32^length.
unsigned long long Base32Limit(unsigned int length) {
  return length * 5 >= 64 ? ~0ull : 1ull << (length * 5);
}

// Runs of extents between gaps, from `first`, below `ceiling`.
std::vector<Extent> Layout(std::mt19937_64& random, unsigned long long first,
                           unsigned long long ceiling, std::size_t count, bool dense) {
  std::vector<Extent> extents;
  for (unsigned long long next = first; extents.size() < count && next < ceiling; ++next) {
    const unsigned long long afileId = random() % 4 == 0 ? random() % 10 : random() % (1ull << 31);
    const unsigned long long afileValue = random() % 8 == 0 ? ~0ull - random() % 2 : random();
    extents.push_back(Extent{next, afileId, afileValue, random() % 5 == 0});
    if (dense || random() % 3 != 0) continue;
    const unsigned long long gap = random() % 6 == 0 ? random() % 1000 : random() % 5;
    if (ceiling - next <= gap + 1) break;
    next += gap;
  }
  return extents;
}

}  // namespace

const Extent* Item::find(unsigned long long number) const {
  auto found = std::lower_bound(
      extents.begin(), extents.end(), number,
      [](const Extent& extent, unsigned long long n) { return extent.number < n; });
  return found != extents.end() && found->number == number ? &*found : nullptr;
}

Item DrawItem(std::mt19937_64& random) {
  const Kind& kind = kKinds[random() % (sizeof kKinds / sizeof kKinds[0])];
  Item item;
  item.appType = kind.appType == 0 ? kOrdinaryAppTypes[random() % 7] : kind.appType;
  item.scheme = kind.scheme;
  // Any length; a base32 item keeps to the numbers its names order.
  item.nameLength = random() % 2 == 0 ? 13 : 1 + random() % 63;
  item.ceiling = kind.scheme != NameScheme::kBase32
                     ? kind.ceiling
                     : std::min(kind.ceiling, Base32Limit(item.nameLength));
  item.dense = kind.appType == 81 && random() % 2 == 0;

  const unsigned int roll = random() % 20;
  const std::size_t count = roll == 0   ? 0
                            : roll < 7  ? 1 + random() % 10
                            : roll < 17 ? 11 + random() % 50
                                        : 61 + random() % 240;
  unsigned long long first = 0;
  if (!item.dense) {
    const unsigned int where = random() % 10;
    first = where < 5   ? random() % 50
            : where < 7 ? item.ceiling - 1 -
                              random() % std::min<unsigned long long>(item.ceiling, count * 8 + 10)
                        : random() % item.ceiling;
  }
  item.extents = Layout(random, first, item.ceiling, count, item.dense);
  return item;
}

std::string ItemTitle(const Item& item) {
  const char* names = item.scheme == NameScheme::kDecimal ? "Extent<decimal>"
                      : item.scheme == NameScheme::kHex   ? "Ext_<hex>"
                                                          : "base32";
  return "application type " + std::to_string(item.appType) + ", " + names +
         " names, name length " + std::to_string(item.nameLength) +
         (item.needsRows() ? ", dense from 0" : "") + ", " + std::to_string(item.extents.size()) +
         " extents";
}

std::string CatalogueLines(const Item& item, const std::string& indent) {
  std::string lines;
  for (const Extent& e : item.extents) {
    lines += indent + kItemPath + "\t" + std::to_string(e.number) + "\t" +
             std::to_string(e.afileId) + "\t" + std::to_string(e.afileValue) + "\t" +
             (e.empty ? "1" : "0") + "\t" +
             ebindex::ExtentName(item.scheme, e.number, item.nameLength) + "\n";
  }
  return lines;
}

// Any number may be asked for; most are the item's extents, their
// neighbours and the numbers between and around them.
unsigned long long PickExtent(const Item& item, std::mt19937_64& random) {
  const unsigned int roll = random() % 100;
  if (!item.extents.empty() && roll < 85) {
    const unsigned long long any = item.extents[random() % item.extents.size()].number;
    const unsigned long long low = item.extents.front().number, high = item.extents.back().number;
    return roll < 50   ? any
           : roll < 70 ? (random() % 2 == 0 ? any + 1 : any - 1)
                       : low - 20 + random() % (high - low + 40);
  }
  return roll < 92 ? random() % item.ceiling : roll < 96 ? random() : random() % 200;
}

}  // namespace sweep
