#include "map/DenseRegion.h"

#include <memory>
#include <new>

#include "map/HeapCost.h"

namespace extentmap {

void DenseRegion::Replace(Extent extent, Extent afileId, Extent afileValue, bool isEmpty) {
  Segment& segment = *segments_[extent >> kSegmentBits];
  const unsigned index = static_cast<unsigned>(extent & (kSegmentExtents - 1));
  segment.values[2 * index] = afileId;
  segment.values[2 * index + 1] = afileValue;
  const std::uint64_t bit = 1ull << (index & 63);
  segment.empty[index >> 6] =
      isEmpty ? segment.empty[index >> 6] | bit : segment.empty[index >> 6] & ~bit;
}

void DenseRegion::Append(const PackedChunk* const* chunks) {
  std::unique_ptr<Segment> segment(new Segment);
  segments_.push_back(segment.get());
  for (unsigned at = 0; at < kSegmentChunks; ++at) {
    chunks[at]->CopyFull(segment->values + 2 * kChunkExtents * at, segment->empty + 4 * at);
  }
  segment.release();
  chunks_ += kSegmentChunks;
}

std::size_t DenseRegion::Collect(Extent from, Extent* extents, AFileInfoInternal* records,
                                 std::size_t max) const {
  std::size_t n = 0;
  for (Extent extent = from; extent < end() && n < max; ++extent, ++n) {
    extents[n] = extent;
    Find(extent, records[n]);
  }
  return n;
}

std::size_t DenseRegion::HeapBytes() const {
  return segments_.size() * HeapCost(sizeof(Segment)) +
         (segments_.capacity() == 0 ? 0 : HeapCost(segments_.capacity() * sizeof(Segment*)));
}

void DenseRegion::Clear() {
  for (Segment* segment : segments_) delete segment;
  std::vector<Segment*>().swap(segments_);
  chunks_ = 0;
}

}  // namespace extentmap
