// The extent map's dense prefix: chunks 0 to chunks() - 1, every extent of
// which has a record, held as their packed records one chunk after another
// in segments of 16 chunks. An extent's record is then found by arithmetic
// on its number and one read from a short segment table, not through a
// chunk pointer per chunk: at millions of extents the table stays in cache
// where a directory entry for every chunk would not. The region grows a
// whole segment at a time, so it holds no room it does not use.
//
// Owned by the map; not thread-safe (the map's owner locks).
#ifndef EXTENTBROWSE_SRC_MAP_DENSEREGION_H
#define EXTENTBROWSE_SRC_MAP_DENSEREGION_H

#include <cstddef>
#include <cstdint>
#include <vector>

#include "map/ChunkBasics.h"
#include "map/PackedChunk.h"

namespace extentmap {

class DenseRegion {
 public:
  // 16 chunks, 64 KiB of records: a segment comes from the heap's free
  // lists, where a block past malloc's threshold would be mapped and
  // unmapped, page faults and all, each time.
  static constexpr unsigned kSegmentBits = 12;
  static constexpr Extent kSegmentExtents = Extent{1} << kSegmentBits;
  static constexpr unsigned kSegmentChunks = kSegmentExtents >> kChunkBits;

  DenseRegion() = default;
  ~DenseRegion() { Clear(); }
  DenseRegion(const DenseRegion&) = delete;
  DenseRegion& operator=(const DenseRegion&) = delete;

  Extent chunks() const { return chunks_; }
  // The first extent past the region.
  Extent end() const { return chunks_ << kChunkBits; }

  // The record of an extent below end().
  void Find(Extent extent, AFileInfoInternal& record) const {
    const Segment& segment = *segments_[extent >> kSegmentBits];
    const unsigned index = static_cast<unsigned>(extent & (kSegmentExtents - 1));
    record.afileId = segment.values[2 * index];
    record.afileValue = segment.values[2 * index + 1];
    record.isEmpty = ((segment.empty[index >> 6] >> (index & 63)) & 1) != 0;
  }

  // Replaces the record of an extent below end().
  void Replace(Extent extent, Extent afileId, Extent afileValue, bool isEmpty);

  // Takes the records of kSegmentChunks full chunks, numbered from chunks()
  // on. Throws std::bad_alloc before anything changes.
  void Append(const PackedChunk* const* chunks);

  // Up to `max` records from extent `from` (below end()) on. Returns how many.
  std::size_t Collect(Extent from, Extent* extents, AFileInfoInternal* records,
                      std::size_t max) const;

  std::size_t HeapBytes() const;
  void Clear();

 private:
  struct Segment {
    Extent values[2 * kSegmentExtents];  // afileId and afileValue of each extent
    std::uint64_t empty[kSegmentExtents / 64];
  };

  std::vector<Segment*> segments_;
  Extent chunks_ = 0;
};

}  // namespace extentmap

#endif  // EXTENTBROWSE_SRC_MAP_DENSEREGION_H
