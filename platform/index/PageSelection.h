// Which entries of an item a browse request asks for. Internal to the index
// service.
#ifndef EBINDEX_PAGESELECTION_H
#define EBINDEX_PAGESELECTION_H

#include <cstddef>
#include <string>
#include <vector>

#include "BrowseMessages.h"
#include "ebindex/Catalogue.h"
#include "ebindex/IndexService.h"

namespace ebindex {

// What the index needs from a request, whichever flavour carried it.
struct PageRequest {
  std::string path;
  bool byExtentRange = false;
  bool hasRange = false;
  unsigned long long rangeStart = 0;
  unsigned long long rangeCount = 0;
  // Database items number their extents densely from 0, so a V2 client
  // asks for them by row: the offset counts from the item's first entry and
  // the start name plays no part.
  bool byRow = false;
  unsigned long long offset = 0;
  bool limited = false;  // false: every entry from the start position
  unsigned long long pageSize = 0;
  std::string startName;
};

PageRequest ReadRequest(const databrowse::BrowseRequest& request, Protocol protocol);

// The browse path a request names, for matching faults and settings.
std::string PathOf(const databrowse::BrowseRequest& request);

// The entries of one answer, in the order they are sent. Name-paged answers
// are a run of the item's own entries; extent ranges are picked by number.
class PageSelection {
 public:
  PageSelection() = default;
  static PageSelection Run(const Entry* first, std::size_t count);
  static PageSelection Picked(std::vector<const Entry*> entries);

  std::size_t size() const { return run_ != nullptr ? runSize_ : picked_.size(); }
  bool empty() const { return size() == 0; }
  const Entry& operator[](std::size_t i) const { return run_ != nullptr ? run_[i] : *picked_[i]; }

 private:
  const Entry* run_ = nullptr;
  std::size_t runSize_ = 0;
  std::vector<const Entry*> picked_;
};

PageSelection Select(const std::vector<Entry>& entries, const PageRequest& page);

}  // namespace ebindex

#endif  // EBINDEX_PAGESELECTION_H
