#include "map/ExtentMap.h"

#include <functional>
#include <iterator>
#include <new>
#include <utility>

#include "absl/container/btree_map.h"
#include "map/Chunk.h"
#include "map/ChunkDirectory.h"
#include "map/DenseRegion.h"
#include "map/HeapCost.h"

using extentmap::Chunk;
using extentmap::ChunkRecords;
using extentmap::CountingAllocator;
using extentmap::Extent;
using extentmap::kChunkBits;
using extentmap::kChunkExtents;

namespace {

// A chunk is made once its extents hold this many records. Below it the
// tree holds them for its 33 to 47 bytes a record; a chunk's own fixed
// bytes and directory entry, spread over this many, stay under that.
constexpr unsigned kRecordsForChunk = 12;

}  // namespace

// Every record is in exactly one place: the dense region if it lies below
// the region's end, else a chunk if the directory has one for it, else the
// sparse tree.
struct ExtentMap::Impl {
  template <class T>
  using Allocator = CountingAllocator<T>;
  // The sparse tree's record: AFileInfoInternal's fields, made in the tree
  // from them rather than copied from a record.
  struct SparseRecord {
    SparseRecord(Extent afileId, Extent afileValue, bool isEmpty)
        : afileId(afileId), afileValue(afileValue), isEmpty(isEmpty) {}
    Extent afileId;
    Extent afileValue;
    bool isEmpty;
  };
  // absl::btree_map's own container with nodes of 1 KiB rather than its
  // 256 bytes: 31 records a node instead of 7 take a third fewer levels to
  // find and a quarter of the node allocations to append, and cost 33 bytes
  // a record instead of 38. The alias fixes the node size; the container
  // it is made of takes it as a parameter.
  using Sparse = absl::container_internal::btree_map_container<
      absl::container_internal::btree<absl::container_internal::map_params<
          Extent, SparseRecord, std::less<Extent>, Allocator<std::pair<const Extent, SparseRecord>>,
          1024, false>>>;

  std::size_t containerBytes = 0;  // the tree's and the directory's blocks
  Sparse sparse{Sparse::key_compare(), Allocator<int>(&containerBytes)};
  extentmap::ChunkDirectory directory{&containerBytes};
  extentmap::DenseRegion region;
  // The tree's highest extent, the chunk it lies in and how many records of
  // that chunk the tree holds (while the tree holds any): an ascending
  // fill, the usual way records come, appends there and counts them
  // without a walk.
  Extent lastSparse = 0;
  Extent tailChunk = 0;
  unsigned tailHeld = 0;

  ~Impl() { Clear(); }

  bool Find(Extent extent, AFileInfoInternal& record) const {
    if (extent < region.end()) {
      region.Find(extent, record);
      return true;
    }
    const Chunk* chunk = directory.Find(extent >> kChunkBits);
    if (chunk != nullptr) return FindInChunk(chunk, extent & (kChunkExtents - 1), record);
    const auto found = sparse.find(extent);
    if (found == sparse.end()) return false;
    record.afileId = found->second.afileId;
    record.afileValue = found->second.afileValue;
    record.isEmpty = found->second.isEmpty;
    return true;
  }

  // Whether the map holds one record more.
  bool Assign(Extent extent, Extent afileId, Extent afileValue, bool isEmpty) {
    if (extent < region.end()) {
      region.Replace(extent, afileId, afileValue, isEmpty);
      return false;
    }
    const Extent number = extent >> kChunkBits;
    if (Chunk** slot = directory.Slot(number)) {
      const unsigned offset = extent & (kChunkExtents - 1);
      if (AppendInPlace(*slot, offset, afileId, afileValue, isEmpty)) return true;
      Chunk* const before = *slot;
      bool inserted = false;
      *slot = AssignInChunk(before, offset, afileId, afileValue, isEmpty, inserted);
      // Only a chunk that has just become full and packed, by a record more
      // or a new encoding, can complete the region's next segment.
      if ((inserted || *slot != before) &&
          number - region.chunks() < extentmap::DenseRegion::kSegmentChunks &&
          FullPacked(*slot) != nullptr) {
        GrowRegion();
      }
      return inserted;
    }
    return AssignInSparse(extent, afileId, afileValue, isEmpty);
  }

  bool AssignInSparse(Extent extent, Extent afileId, Extent afileValue, bool isEmpty) {
    const Extent number = extent >> kChunkBits;
    unsigned held = 0;  // of the extent's chunk in the tree, when the record is new
    if (sparse.empty() || extent > lastSparse) {
      sparse.try_emplace(sparse.end(), extent, afileId, afileValue, isEmpty);
      held = sparse.size() > 1 && number == tailChunk ? tailHeld + 1 : 1;
      lastSparse = extent;
      tailChunk = number;
      tailHeld = held;
    } else {
      const auto placed = sparse.try_emplace(extent, afileId, afileValue, isEmpty);
      if (placed.second) {
        held = number == tailChunk ? ++tailHeld : HeldInSparse(placed.first, number);
      } else {
        placed.first->second = SparseRecord(afileId, afileValue, isEmpty);
      }
    }
    const bool inserted = held != 0;
    if (held >= kRecordsForChunk) {
      // A chunk saves memory but the record is in either way: should it
      // not be allocated, the next record of these extents tries again.
      try {
        Promote(number);
      } catch (const std::bad_alloc&) {
      }
    }
    return inserted;
  }

  // The records of chunk `number` in the tree around `at`, counted up to
  // kRecordsForChunk.
  unsigned HeldInSparse(Sparse::iterator at, Extent number) const {
    unsigned held = 1;
    for (auto before = at; held < kRecordsForChunk && before != sparse.begin();) {
      if ((std::prev(before)->first >> kChunkBits) != number) break;
      --before;
      ++held;
    }
    for (auto after = std::next(at);
         held < kRecordsForChunk && after != sparse.end() && (after->first >> kChunkBits) == number;
         ++after) {
      ++held;
    }
    return held;
  }

  // Moves the tree's records of chunk `number` into a chunk of their own.
  void Promote(Extent number) {
    const auto first = sparse.lower_bound(number << kChunkBits);
    auto last = first;
    ChunkRecords records;
    for (; last != sparse.end() && (last->first >> kChunkBits) == number; ++last) {
      records.offsets[records.count] = static_cast<std::uint8_t>(last->first);
      AFileInfoInternal& record = records.records[records.count++];
      record.afileId = last->second.afileId;
      record.afileValue = last->second.afileValue;
      record.isEmpty = last->second.isEmpty;
    }
    // A chunk filled in order from its first extent, next to a region of
    // four segments or more, is built where the region will want it. The
    // first four are copied, so that the room of a segment begun and never
    // filled is at most a quarter of the region's.
    constexpr unsigned kChunks = extentmap::DenseRegion::kSegmentChunks;
    void* place = nullptr;
    if (region.chunks() >= 4 * kChunks && number - region.chunks() < kChunks &&
        records.offsets[records.count - 1] == records.count - 1) {
      place = region.PlaceFor(number);
    }
    Chunk* chunk = extentmap::BuildChunk(records, place);
    try {
      directory.Add(number, chunk);
    } catch (...) {
      extentmap::FreeChunk(chunk);
      throw;
    }
    sparse.erase(first, last);
    if (number == tailChunk && !sparse.empty()) {
      const auto tail = std::prev(sparse.end());
      lastSparse = tail->first;
      tailChunk = lastSparse >> kChunkBits;
      tailHeld = HeldInSparse(tail, tailChunk);
    }
    directory.Widen(region.chunks());
  }

  // Moves the next segment's worth of chunks into the dense region once they
  // are all full and packed. The region is only a faster road to records
  // the chunks hold anyway: without memory for it, they stay where they are.
  void GrowRegion() noexcept {
    constexpr unsigned kChunks = extentmap::DenseRegion::kSegmentChunks;
    for (;;) {
      const Extent first = region.chunks();
      Chunk* chunks[kChunks];
      const extentmap::PackedChunk* full[kChunks];
      for (unsigned at = 0; at < kChunks; ++at) {
        chunks[at] = directory.Find(first + at);
        full[at] = chunks[at] != nullptr ? FullPacked(chunks[at]) : nullptr;
        if (full[at] == nullptr) return;
      }
      try {
        region.Append(full);
      } catch (const std::bad_alloc&) {
        return;
      }
      for (unsigned at = 0; at < kChunks; ++at) {
        directory.Remove(first + at);
        extentmap::FreeChunk(chunks[at]);
      }
    }
  }

  std::size_t Collect(Extent from, Extent* extents, AFileInfoInternal* records,
                      std::size_t max) const {
    std::size_t n = 0;
    if (from < region.end()) {
      n = region.Collect(from, extents, records, max);
      if (n == max) return n;
      from = region.end();
    }
    auto record = sparse.lower_bound(from);
    const auto lastRecord = sparse.end();
    const extentmap::ChunkDirectory::Numbers& numbers = directory.numbers();
    auto number = numbers.lower_bound(from >> kChunkBits);
    // Chunks and tree records never share a chunk's extents: the tree's
    // records before the next chunk come first, then the chunk, whole.
    while (n < max) {
      const bool chunkAhead = number != numbers.end();
      const Extent base = chunkAhead ? *number << kChunkBits : 0;
      for (; n < max && record != lastRecord && (!chunkAhead || record->first < base);
           ++record, ++n) {
        extents[n] = record->first;
        records[n].afileId = record->second.afileId;
        records[n].afileValue = record->second.afileValue;
        records[n].isEmpty = record->second.isEmpty;
      }
      if (n == max || !chunkAhead) break;
      const unsigned start = from > base ? static_cast<unsigned>(from - base) : 0;
      n += extentmap::CollectFromChunk(directory.Find(*number), start, base, extents + n,
                                       records + n, max - n);
      ++number;
    }
    return n;
  }

  void VisitBatches(BatchVisit batchVisit, void* visit) const {
    constexpr std::size_t kBatch = 256;
    Extent extents[kBatch];
    AFileInfoInternal records[kBatch];
    std::size_t n = 0;
    for (Extent from = 0; from < region.end(); from += n) {
      n = region.Collect(from, extents, records, kBatch);
      batchVisit(visit, extents, records, n);
    }
    n = 0;
    auto record = sparse.begin();
    const auto lastRecord = sparse.end();
    // The tree's records below `limit`, or all that are left.
    const auto takeRecords = [&](bool bounded, Extent limit) {
      for (; record != lastRecord; ++record) {
        const auto& entry = *record;
        if (bounded && entry.first >= limit) break;
        // The tree's nodes lie in memory about in the order they were
        // made, so what lies two nodes ahead of a record is likely to come soon.
        __builtin_prefetch(reinterpret_cast<const char*>(&entry) + 2048);
        extents[n] = entry.first;
        records[n].afileId = entry.second.afileId;
        records[n].afileValue = entry.second.afileValue;
        records[n].isEmpty = entry.second.isEmpty;
        if (++n == kBatch) {
          batchVisit(visit, extents, records, n);
          n = 0;
        }
      }
    };
    for (const Extent number : directory.numbers()) {
      const Extent base = number << kChunkBits;
      takeRecords(true, base);
      const Chunk* chunk = directory.Find(number);
      for (unsigned from = 0; from < kChunkExtents;) {
        n += extentmap::CollectFromChunk(chunk, from, base, extents + n, records + n, kBatch - n);
        if (n < kBatch) break;
        batchVisit(visit, extents, records, n);
        n = 0;
        from = static_cast<unsigned>(extents[kBatch - 1] - base) + 1;
      }
    }
    takeRecords(false, 0);
    if (n != 0) batchVisit(visit, extents, records, n);
  }

  void Clear() {
    sparse.clear();
    directory.Clear();
    region.Clear();
  }
};

ExtentMap::ExtentMap() : impl_(new Impl) {}

ExtentMap::~ExtentMap() = default;

bool ExtentMap::Find(unsigned long long extent, AFileInfoInternal& record) const {
  return impl_->Find(extent, record);
}

void ExtentMap::Assign(unsigned long long extent, const AFileInfoInternal& record) {
  if (impl_->Assign(extent, record.afileId, record.afileValue, record.isEmpty)) ++size_;
}

bool ExtentMap::NextAtOrAfter(unsigned long long from, unsigned long long& extent,
                              AFileInfoInternal& record) const {
  return impl_->Collect(from, &extent, &record, 1) == 1;
}

void ExtentMap::VisitBatches(BatchVisit batchVisit, void* visit) const {
  impl_->VisitBatches(batchVisit, visit);
}

void ExtentMap::Clear() {
  impl_->Clear();
  size_ = 0;
}

std::size_t ExtentMap::HeapBytes() const {
  return extentmap::HeapCost(sizeof(Impl)) + impl_->containerBytes + impl_->directory.ChunkBytes() +
         impl_->region.HeapBytes();
}
