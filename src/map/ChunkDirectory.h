// Where the extent map's chunks are. By number: a flat vector of chunk
// pointers for the numbers below its size, which items numbered densely
// from 0 fill, and a hash map for the chunks beyond it; either way a hit
// finds its chunk without descending a tree. In order: a B-tree set of the
// chunk numbers, for the walks in extent order.
//
// Owns the chunks it holds. Not thread-safe: the map's owner locks.
#ifndef EXTENTBROWSE_SRC_MAP_CHUNKDIRECTORY_H
#define EXTENTBROWSE_SRC_MAP_CHUNKDIRECTORY_H

#include <cstddef>
#include <functional>
#include <utility>
#include <vector>

#include "absl/container/btree_set.h"
#include "absl/container/flat_hash_map.h"
#include "map/Chunk.h"
#include "map/HeapCost.h"

namespace extentmap {

class ChunkDirectory {
 public:
  using Numbers = absl::btree_set<Extent, std::less<Extent>, CountingAllocator<Extent>>;

  // The containers count their blocks into `bytes`, which must outlive them.
  explicit ChunkDirectory(std::size_t* bytes);
  ~ChunkDirectory() { Clear(); }
  ChunkDirectory(const ChunkDirectory&) = delete;
  ChunkDirectory& operator=(const ChunkDirectory&) = delete;

  // Chunk `number`, or null.
  Chunk* Find(Extent number) const {
    if (number < flat_.size()) return flat_[number];
    if (far_.empty()) return nullptr;
    const auto found = far_.find(number);
    return found == far_.end() ? nullptr : found->second;
  }
  // Where chunk `number` is held, to put it back once it has moved; null
  // when there is none.
  Chunk** Slot(Extent number) {
    if (number < flat_.size()) return flat_[number] != nullptr ? &flat_[number] : nullptr;
    if (far_.empty()) return nullptr;
    const auto found = far_.find(number);
    return found == far_.end() ? nullptr : &found->second;
  }
  // The flat part's slot of chunk `number`, or null past it: the in-order
  // insert's road, which must be short.
  Chunk** FlatSlot(Extent number) { return number < flat_.size() ? &flat_[number] : nullptr; }

  // Takes chunk `number`, which the directory does not hold. Throws
  // std::bad_alloc before anything changes.
  void Add(Extent number, Chunk* chunk);
  // Gives chunk `number` up, without freeing it.
  void Remove(Extent number) noexcept;
  // Brings the hash map's chunks into the flat part as far as there are
  // chunks to fill it: two slots for every chunk, `elsewhere` (chunks the
  // map holds in other forms) counted too. Each chunk moves once, so the
  // work is paid for by the chunks made.
  void Widen(std::size_t elsewhere) noexcept;

  const Numbers& numbers() const { return numbers_; }
  // The heap bytes of the chunks' own blocks.
  std::size_t ChunkBytes() const;
  // Frees every chunk.
  void Clear();

 private:
  using Far = absl::flat_hash_map<Extent, Chunk*, absl::Hash<Extent>, std::equal_to<Extent>,
                                  CountingAllocator<std::pair<const Extent, Chunk*>>>;
  using Flat = std::vector<Chunk*, CountingAllocator<Chunk*>>;

  Numbers numbers_;
  Far far_;
  Flat flat_;
};

}  // namespace extentmap

#endif  // EXTENTBROWSE_SRC_MAP_CHUNKDIRECTORY_H
