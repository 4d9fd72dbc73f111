/// @file
/// The index's catalogue: the backed-up items it knows, each with its
/// extents as the index stores them.
#ifndef EBINDEX_CATALOGUE_H
#define EBINDEX_CATALOGUE_H

#include <map>
#include <string>
#include <vector>

namespace ebindex {

/// One extent of an item as the index stores it: what a browse response
/// carries for it.
struct Entry {
  unsigned long long extent = 0;  ///< The extent number.
  /// The index name; entries of an item are ordered by it, as bytes. A
  /// browser reads the extent number back from it, so it must be the name
  /// ExtentName() writes for `extent` in the item's scheme.
  std::string name;
  unsigned long long afileId = 0;     ///< The archive file that holds the extent.
  unsigned long long afileValue = 0;  ///< The second archive-file value.
  bool empty = false;                 ///< The extent holds no data.
};

/// Items keyed by browse path. Paths are compared after turning '\' into '/'
/// and dropping one trailing separator.
///
/// Thread-safety: none of its own. The index service shares one catalogue
/// read-only between the calls it answers; build it before installing it.
class Catalogue {
 public:
  /// Adds an item without entries, or leaves an existing one as it is.
  /// @param path the item's browse path.
  void addItem(const std::string& path);
  /// Adds an entry to the item, creating the item when needed. An entry with
  /// the name of an existing entry of the item replaces it. Entries added in
  /// name order cost a search and an append each.
  /// @param path the item's browse path.
  /// @param entry the entry; copied.
  void addEntry(const std::string& path, const Entry& entry);

  /// @param path an item's browse path.
  /// @return the item's entries ordered by name, or null for an unknown
  ///   item; valid until the catalogue changes.
  const std::vector<Entry>* find(const std::string& path) const;
  /// @param path an item's browse path.
  /// @return the path of the item as it was added, or empty for an unknown
  ///   item.
  std::string storedPath(const std::string& path) const;
  /// @return the items' paths as added, in normalised order.
  std::vector<std::string> paths() const;
  /// @return whether the catalogue holds no item.
  bool empty() const { return items_.empty(); }

  /// @param path a browse path.
  /// @return the path as items are compared: '\' turned into '/', one
  ///   trailing separator dropped.
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
