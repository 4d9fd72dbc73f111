// One chunk of the extent map: the records of 256 aligned extents, held in
// whichever of two encodings is the smaller for them, and re-encoded as
// records come.
//
// A chunk is one heap block that starts with its encoding; its pointer is
// owned by the map's directory. Nothing here is thread-safe: the map's
// owner locks.
#ifndef EXTENTBROWSE_SRC_MAP_CHUNK_H
#define EXTENTBROWSE_SRC_MAP_CHUNK_H

#include <cstddef>

#include "extentbrowse/AFileInfoInternal.h"
#include "map/PackedChunk.h"
#include "map/RunChunk.h"

namespace extentmap {

inline const PackedChunk* AsPacked(const Chunk* chunk) {
  return reinterpret_cast<const PackedChunk*>(chunk);
}
inline const RunChunk* AsRuns(const Chunk* chunk) {
  return reinterpret_cast<const RunChunk*>(chunk);
}
inline PackedChunk* AsPacked(Chunk* chunk) { return reinterpret_cast<PackedChunk*>(chunk); }
inline RunChunk* AsRuns(Chunk* chunk) { return reinterpret_cast<RunChunk*>(chunk); }

// The chunk as packed records, when it is and holds all 256; else null.
inline const PackedChunk* FullPacked(const Chunk* chunk) {
  return chunk->encoding == Encoding::kPacked && AsPacked(chunk)->Full() ? AsPacked(chunk)
                                                                         : nullptr;
}

inline bool FindInChunk(const Chunk* chunk, unsigned offset, AFileInfoInternal& record) {
  return chunk->encoding == Encoding::kPacked ? AsPacked(chunk)->Find(offset, record)
                                              : AsRuns(chunk)->Find(offset, record);
}

// The in-order insert after every record the chunk holds, done in place
// when it can be; false, and nothing done, when AssignInChunk must do it.
inline bool AppendInPlace(Chunk* chunk, unsigned offset, Extent afileId, Extent afileValue,
                          bool isEmpty) {
  return chunk->encoding == Encoding::kPacked
             ? AsPacked(chunk)->AppendInPlace(offset, afileId, afileValue, isEmpty)
             : AsRuns(chunk)->ExtendInPlace(offset, afileId, afileValue, isEmpty);
}

// Up to `max` records of the chunk at `base`, those at offset `from` and
// after, in ascending order. Returns how many.
std::size_t CollectFromChunk(const Chunk* chunk, unsigned from, Extent base, Extent* extents,
                             AFileInfoInternal* records, std::size_t max);

// A chunk of the sorted records given, in the smaller encoding; packed, it
// is built at `residentPlace` when that is given (see
// PackedChunk::MakeResident).
Chunk* BuildChunk(const ChunkRecords& records, void* residentPlace);

// Inserts or replaces the record at `offset`. The chunk may move or change
// its encoding: the old pointer is then freed and the new one returned.
// `inserted` says whether the chunk holds one record more. On a failed
// allocation the chunk is left as it was and std::bad_alloc is thrown.
//
// The record comes as its three fields, as it does to every part of the
// map on its way in, so that they travel in registers. Handed on as a
// record, one its caller has just written field by field tends to be
// copied with a 16-byte load, which the processor cannot forward from two
// 8-byte stores: every insert would stall for a dozen cycles.
Chunk* AssignInChunk(Chunk* chunk, unsigned offset, Extent afileId, Extent afileValue, bool isEmpty,
                     bool& inserted);

// The bytes of the chunk's own block, none for a chunk built in the dense
// region's next segment.
std::size_t ChunkHeapBytes(const Chunk* chunk);
// Frees the chunk's block, unless the chunk lives in the dense region's
// next segment.
void FreeChunk(Chunk* chunk) noexcept;

}  // namespace extentmap

#endif  // EXTENTBROWSE_SRC_MAP_CHUNK_H
