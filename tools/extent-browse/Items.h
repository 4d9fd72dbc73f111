// What a catalogue holds, item by item: the `items` command.
#ifndef EXTENTBROWSE_TOOLS_ITEMS_H
#define EXTENTBROWSE_TOOLS_ITEMS_H

#include <cstddef>
#include <iosfwd>
#include <string>
#include <vector>

#include "ebindex/Catalogue.h"

struct ItemSummary {
  std::string path;
  int appType = 0;  // as the tool takes it from the item's names
  std::size_t extents = 0;
  std::string names;  // the naming schemes its names are in, "base32", ...
};

// Every item of `catalogue`, in the catalogue's order.
std::vector<ItemSummary> SummariseItems(const ebindex::Catalogue& catalogue);

// One line per item, or one JSON object per item.
void PrintItems(std::ostream& out, const std::vector<ItemSummary>& items, bool json);

#endif  // EXTENTBROWSE_TOOLS_ITEMS_H
