#include <algorithm>

#include "ebindex/Catalogue.h"

namespace ebindex {

// Virtual-server requests name items with backslashes and callers differ in
// whether they end a path with a separator; both must reach the same item.
std::string Catalogue::normalisePath(const std::string& path) {
  std::string normalised = path;
  std::replace(normalised.begin(), normalised.end(), '\\', '/');
  if (!normalised.empty() && normalised.back() == '/') normalised.pop_back();
  return normalised;
}

void Catalogue::addItem(const std::string& path) {
  items_.emplace(normalisePath(path), Item{path, {}});
}

void Catalogue::addEntry(const std::string& path, const Entry& entry) {
  auto inserted = items_.emplace(normalisePath(path), Item{path, {}});
  std::vector<Entry>& entries = inserted.first->second.entries;
  // Entries stay ordered by name as bytes, the order the index answers in;
  // std::string compares its characters as unsigned, which is that order.
  auto position = std::lower_bound(
      entries.begin(), entries.end(), entry.name,
      [](const Entry& existing, const std::string& name) { return existing.name < name; });
  if (position != entries.end() && position->name == entry.name) {
    *position = entry;
  } else {
    entries.insert(position, entry);
  }
}

const std::vector<Entry>* Catalogue::find(const std::string& path) const {
  auto found = items_.find(normalisePath(path));
  return found == items_.end() ? nullptr : &found->second.entries;
}

std::string Catalogue::storedPath(const std::string& path) const {
  auto found = items_.find(normalisePath(path));
  return found == items_.end() ? std::string() : found->second.path;
}

std::vector<std::string> Catalogue::paths() const {
  std::vector<std::string> result;
  result.reserve(items_.size());
  for (const auto& item : items_) result.push_back(item.second.path);
  return result;
}

}  // namespace ebindex
