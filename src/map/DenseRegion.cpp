#include "map/DenseRegion.h"

#include <cstring>
#include <memory>

#include "map/HeapCost.h"

namespace extentmap {

void* DenseRegion::PlaceFor(Extent number) {
  if (next_ == nullptr) next_ = new Segment;
  return next_->chunks[number - chunks_];
}

void DenseRegion::Append(const PackedChunk* const* chunks) {
  std::unique_ptr<Segment> made(next_ == nullptr ? new Segment : nullptr);
  Segment* segment = next_ != nullptr ? next_ : made.get();
  if (segments_.size() == segments_.capacity()) segments_.reserve(2 * segments_.size() + 1);
  for (unsigned at = 0; at < kSegmentChunks; ++at) {
    if (chunks[at] != static_cast<const void*>(segment->chunks[at])) {
      std::memcpy(segment->chunks[at], chunks[at], kChunkBlock);
    }
  }
  segments_.push_back(segment);
  made.release();
  next_ = nullptr;
  chunks_ += kSegmentChunks;
}

std::size_t DenseRegion::Collect(Extent from, Extent* extents, AFileInfoInternal* records,
                                 std::size_t max) const {
  std::size_t n = 0;
  while (from < end() && n < max) {
    const Extent base = from & ~Extent{kChunkExtents - 1};
    n += ChunkAt(from >> kChunkBits)
             .Collect(static_cast<unsigned>(from - base), base, extents + n, records + n, max - n);
    from = base + kChunkExtents;
  }
  return n;
}

std::size_t DenseRegion::HeapBytes() const {
  const std::size_t segments = segments_.size() + (next_ != nullptr ? 1 : 0);
  return segments * HeapCost(sizeof(Segment)) +
         (segments_.capacity() == 0 ? 0 : HeapCost(segments_.capacity() * sizeof(Segment*)));
}

void DenseRegion::Clear() {
  for (Segment* segment : segments_) delete segment;
  std::vector<Segment*>().swap(segments_);
  delete next_;
  next_ = nullptr;
  chunks_ = 0;
}

}  // namespace extentmap
