// The extent map's dense prefix: chunks 0 to chunks() - 1, every extent of
// which has a record, held as full packed chunks side by side in segments
// of 16. An extent's record is then found by arithmetic on its number and
// one read from a short segment table, not through a chunk pointer per
// chunk: at millions of extents the table stays in cache where a directory
// entry for every chunk would not. The region grows a whole segment at a
// time. A chunk filled in order may be built in its place in the next
// segment, so that it need not be copied there once the segment is full.
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
  // 16 chunks, 66 KiB: a segment comes from the heap's free lists, where a
  // block past malloc's threshold would be mapped and unmapped, page faults
  // and all, each time.
  static constexpr unsigned kSegmentChunks = 16;

  DenseRegion() = default;
  ~DenseRegion() { Clear(); }
  DenseRegion(const DenseRegion&) = delete;
  DenseRegion& operator=(const DenseRegion&) = delete;

  Extent chunks() const { return chunks_; }
  // The first extent past the region.
  Extent end() const { return chunks_ << kChunkBits; }

  // The record of an extent below end().
  void Find(Extent extent, AFileInfoInternal& record) const {
    ChunkAt(extent >> kChunkBits).FindFull(extent & (kChunkExtents - 1), record);
  }
  // Replaces the record of an extent below end().
  void Replace(Extent extent, Extent afileId, Extent afileValue, bool isEmpty) {
    ChunkAt(extent >> kChunkBits)
        .ReplaceFull(extent & (kChunkExtents - 1), afileId, afileValue, isEmpty);
  }

  // The place of chunk `number`, one of the kSegmentChunks from chunks()
  // on, in the segment that will hold them. Throws std::bad_alloc.
  void* PlaceFor(Extent number);

  // Takes the next kSegmentChunks chunks, full and packed, copying those
  // not built in their place. The caller then frees those it owns. Throws
  // std::bad_alloc before anything changes.
  void Append(const PackedChunk* const* chunks);

  // Up to `max` records from extent `from` (below end()) on. Returns how many.
  std::size_t Collect(Extent from, Extent* extents, AFileInfoInternal* records,
                      std::size_t max) const;

  std::size_t HeapBytes() const;
  void Clear();

 private:
  static constexpr std::size_t kChunkBlock = PackedChunk::BlockBytes(kChunkExtents);
  struct Segment {
    alignas(8) unsigned char chunks[kSegmentChunks][kChunkBlock];
  };

  const PackedChunk& ChunkAt(Extent number) const {
    return *reinterpret_cast<const PackedChunk*>(
        segments_[number / kSegmentChunks]->chunks[number % kSegmentChunks]);
  }
  PackedChunk& ChunkAt(Extent number) {
    return *reinterpret_cast<PackedChunk*>(
        segments_[number / kSegmentChunks]->chunks[number % kSegmentChunks]);
  }

  std::vector<Segment*> segments_;
  Segment* next_ = nullptr;  // the segment after the region, once a chunk is built there
  Extent chunks_ = 0;
};

}  // namespace extentmap

#endif  // EXTENTBROWSE_SRC_MAP_DENSEREGION_H
