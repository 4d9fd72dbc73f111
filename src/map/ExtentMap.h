// ExtentMap: the browser's records by extent number, in ascending order,
// sized for items of tens of millions of extents.
//
// The extent space is cut into aligned chunks of 256 extents. A chunk that
// holds enough records is one block in the smaller of two encodings: runs
// (consecutive extents of one archive file whose values step evenly, a few
// bytes per run) or packed records (16 bytes each, found by rank with no
// extent number stored). The records of thinly held chunks stay in a
// B-tree of single records. A hit in a chunk is an array index and one or
// two reads of the chunk, with no tree to descend.
//
// Thread-safety: none of its own. The browser reads and writes it only
// under its map lock; a reader needs the same lock as a writer.
#ifndef EXTENTBROWSE_SRC_MAP_EXTENTMAP_H
#define EXTENTBROWSE_SRC_MAP_EXTENTMAP_H

#include <cstddef>
#include <memory>
#include <type_traits>

#include "extentbrowse/AFileInfoInternal.h"

class ExtentMap {
 public:
  ExtentMap();
  ~ExtentMap();
  ExtentMap(const ExtentMap&) = delete;
  ExtentMap& operator=(const ExtentMap&) = delete;

  // The record of `extent`, copied into `record`; false when there is none,
  // and `record` is then as it was. Allocates nothing.
  bool Find(unsigned long long extent, AFileInfoInternal& record) const;

  // Stores `record` as the record of `extent`, replacing any it had. Throws
  // std::bad_alloc when memory runs out; the map then holds what it held.
  void Assign(unsigned long long extent, const AFileInfoInternal& record);

  // The record with the lowest extent number at or after `from`; false
  // when there is none.
  bool NextAtOrAfter(unsigned long long from, unsigned long long& extent,
                     AFileInfoInternal& record) const;

  // Calls visit(extent, record) for every record in ascending order of
  // extent. `visit` must not change the map.
  template <class Visit>
  void ForEach(Visit&& visit) const;

  // Drops every record and gives the memory back.
  void Clear();
  bool Empty() const { return size_ == 0; }
  std::size_t Size() const { return size_; }
  // The heap bytes the map holds, each block counted as the allocator
  // hands it out (its size rounded up, its bookkeeping word included).
  // Walks the chunks, so it is for tests and diagnostics.
  std::size_t HeapBytes() const;

 private:
  struct Impl;

  // The walk over the map's parts stays behind this header: it hands the
  // records to the visitor a batch at a time, through one call per batch.
  using BatchVisit = void (*)(void* visit, const unsigned long long* extents,
                              const AFileInfoInternal* records, std::size_t count);
  void VisitBatches(BatchVisit batchVisit, void* visit) const;
  template <class Visit>
  static void VisitBatch(void* visit, const unsigned long long* extents,
                         const AFileInfoInternal* records, std::size_t count) {
    Visit& each = *static_cast<Visit*>(visit);
    for (std::size_t i = 0; i < count; ++i) each(extents[i], records[i]);
  }

  std::unique_ptr<Impl> impl_;
  std::size_t size_ = 0;
};

template <class Visit>
void ExtentMap::ForEach(Visit&& visit) const {
  using Visitor = std::remove_reference_t<Visit>;
  VisitBatches(&VisitBatch<Visitor>, const_cast<void*>(static_cast<const void*>(&visit)));
}

#endif  // EXTENTBROWSE_SRC_MAP_EXTENTMAP_H
