#include "Items.h"

#include <ostream>

#include "IndexSetup.h"
#include "JsonLine.h"
#include "Messages.h"
#include "ebindex/ExtentNames.h"

namespace {

// The schemes of an item's names, the old one first: an old-scheme item
// also holds base32 names when its browsers wrote both.
std::string SchemesOf(const std::vector<ebindex::Entry>& entries) {
  bool base32 = false;
  const char* old = nullptr;
  for (const ebindex::Entry& entry : entries) {
    switch (ebindex::SchemeOfName(entry.name)) {
      case ebindex::NameScheme::kDecimal:
        old = "Extent<decimal>";
        break;
      case ebindex::NameScheme::kHex:
        old = "Ext_<hex>";
        break;
      case ebindex::NameScheme::kBase32:
        base32 = true;
        break;
    }
  }
  if (old == nullptr) return base32 ? "base32" : "none";
  return base32 ? std::string(old) + " and base32" : std::string(old);
}

}  // namespace

std::vector<ItemSummary> SummariseItems(const ebindex::Catalogue& catalogue) {
  std::vector<ItemSummary> items;
  for (const std::string& path : catalogue.paths()) {
    const std::vector<ebindex::Entry>* entries = catalogue.find(path);
    ItemSummary item;
    item.path = path;
    item.appType = AppTypeOfNames(catalogue, path);
    item.extents = entries != nullptr ? entries->size() : 0;
    item.names = entries != nullptr ? SchemesOf(*entries) : "none";
    items.push_back(std::move(item));
  }
  return items;
}

void PrintItems(std::ostream& out, const std::vector<ItemSummary>& items, bool json) {
  for (const ItemSummary& item : items) {
    if (json) {
      EmitJson(out, {{"path", item.path},
                     {"app_type", item.appType},
                     {"extents", item.extents},
                     {"names", item.names}});
    } else {
      // A path is the catalogue's text, and goes to a terminal as text.
      out << Printable(item.path) << ": application type " << item.appType << ", " << item.extents
          << (item.extents == 1 ? " extent, " : " extents, ") << item.names << " names\n";
    }
  }
}
