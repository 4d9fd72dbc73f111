#include "map/Chunk.h"

#include <cstdlib>
#include <new>

#include "map/HeapCost.h"

namespace extentmap {

namespace {

// A packed chunk turns back into runs only when they would need at most
// half the runs and half the bytes that would send it back, so that a chunk
// on the edge does not flip at every record.
constexpr unsigned kRunsToLeavePacked = RunChunk::kMaxRuns / 2;

bool RunsFit(unsigned runs, unsigned records) {
  return runs <= RunChunk::kMaxRuns &&
         RunChunk::BlockBytes(runs) <= PackedChunk::BlockBytes(records);
}

Chunk* Packed(const RunChunk* chunk) {
  ChunkRecords records;
  chunk->Decode(records);
  return PackedChunk::Make(records, records.count)->AsChunk();
}

Chunk* Runs(const PackedChunk* chunk, unsigned runs) {
  ChunkRecords records;
  chunk->Decode(records);
  Run cut[kRunsToLeavePacked];
  CutIntoRuns(records, cut, kRunsToLeavePacked);
  return RunChunk::Make(cut, runs, runs)->AsChunk();
}

}  // namespace

std::size_t CollectFromChunk(const Chunk* chunk, unsigned from, Extent base, Extent* extents,
                             AFileInfoInternal* records, std::size_t max) {
  return chunk->encoding == Encoding::kPacked
             ? AsPacked(chunk)->Collect(from, base, extents, records, max)
             : AsRuns(chunk)->Collect(from, base, extents, records, max);
}

Chunk* BuildChunk(const ChunkRecords& records, void* residentPlace) {
  Run runs[RunChunk::kMaxRuns];
  const unsigned cut = CutIntoRuns(records, runs, RunChunk::kMaxRuns);
  if (RunsFit(cut, records.count)) return RunChunk::Make(runs, cut, cut)->AsChunk();
  if (residentPlace != nullptr) return PackedChunk::MakeResident(residentPlace, records)->AsChunk();
  return PackedChunk::Make(records, records.count)->AsChunk();
}

Chunk* AssignInChunk(Chunk* chunk, unsigned offset, Extent afileId, Extent afileValue, bool isEmpty,
                     bool& inserted) {
  // Re-encoding after the record is in is worth doing but not worth
  // failing for: when it cannot be allocated, the chunk keeps an encoding
  // that holds the record, only less well.
  if (chunk->encoding == Encoding::kRuns) {
    RunChunk* runs =
        RunChunk::Assign(AsRuns(chunk), offset, afileId, afileValue, isEmpty, inserted);
    if (RunsFit(runs->runs(), runs->count())) return runs->AsChunk();
    try {
      Chunk* packed = Packed(runs);
      FreeChunk(runs->AsChunk());
      return packed;
    } catch (const std::bad_alloc&) {
      return runs->AsChunk();
    }
  }
  bool lookAgain = false;
  PackedChunk* packed = PackedChunk::Assign(AsPacked(chunk), offset, afileId, afileValue, isEmpty,
                                            inserted, lookAgain);
  if (!lookAgain) return packed->AsChunk();
  const unsigned runs = packed->CountRuns(kRunsToLeavePacked);
  if (runs <= kRunsToLeavePacked &&
      2 * RunChunk::BlockBytes(runs) <= PackedChunk::BlockBytes(packed->count())) {
    try {
      Chunk* made = Runs(packed, runs);
      FreeChunk(packed->AsChunk());
      return made;
    } catch (const std::bad_alloc&) {
    }
  }
  packed->PostponeLook();
  return packed->AsChunk();
}

std::size_t ChunkHeapBytes(const Chunk* chunk) {
  if (chunk->encoding == Encoding::kRuns)
    return HeapCost(RunChunk::BlockBytes(AsRuns(chunk)->capacity()));
  return AsPacked(chunk)->resident()
             ? 0
             : HeapCost(PackedChunk::BlockBytes(AsPacked(chunk)->capacity()));
}

void FreeChunk(Chunk* chunk) noexcept {
  if (chunk->encoding == Encoding::kPacked && AsPacked(chunk)->resident()) return;
  std::free(chunk);
}

}  // namespace extentmap
