// The index's catalogue: the backed-up items it knows, each with its
// extents as the index stores them.
//
// Thread-safety: none of its own. The index service shares one catalogue
// read-only between the calls it answers; build it before installing it.
#ifndef EBINDEX_CATALOGUE_H
#define EBINDEX_CATALOGUE_H

#include <map>
#include <string>
#include <vector>

namespace ebindex {

// One extent of an item as the index stores it.
struct Entry {
  unsigned long long extent = 0;
  std::string name;  // the index name; entries of an item are ordered by it, as bytes
  unsigned long long afileId = 0;
  unsigned long long afileValue = 0;
  bool empty = false;
};

// Items keyed by browse path. Paths are compared after turning '\' into '/'
// and dropping one trailing separator.
class Catalogue {
 public:
  // Adds an item without entries, or leaves an existing one as it is.
  void addItem(const std::string& path);
  // Adds an entry to the item, creating the item when needed. An entry with
  // the name of an existing entry of the item replaces it. Entries added in
  // name order cost a search and an append each.
  void addEntry(const std::string& path, const Entry& entry);

  // The item's entries ordered by name, or null for an unknown item.
  const std::vector<Entry>* find(const std::string& path) const;
  // The path of the item as it was added, or empty for an unknown item.
  std::string storedPath(const std::string& path) const;
  std::vector<std::string> paths() const;  // as added, in normalised order
  bool empty() const { return items_.empty(); }

  static std::string normalisePath(const std::string& path);

 private:
  struct Item {
    std::string path;
    std::vector<Entry> entries;
  };
  std::map<std::string, Item> items_;  // by normalised path
};

}  // namespace ebindex

#endif  // EBINDEX_CATALOGUE_H
