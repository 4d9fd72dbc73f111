// A chunk held as packed records: a presence bit and an empty bit per
// extent, and the archive file and value of the present extents only, in
// offset order. An extent's record is found by counting the presence bits
// before it, or directly when all 256 are present; no extent number is
// stored. Random records cost their 16 bytes of values and a third of a
// byte more.
#ifndef EXTENTBROWSE_SRC_MAP_PACKEDCHUNK_H
#define EXTENTBROWSE_SRC_MAP_PACKEDCHUNK_H

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "map/ChunkBasics.h"

namespace extentmap {

class PackedChunk {
 public:
  static constexpr std::size_t BlockBytes(unsigned capacity) {
    return sizeof(PackedChunk) + capacity * sizeof(Pair);
  }

  // A chunk of the records with room for `capacity` of them. Throws
  // std::bad_alloc.
  static PackedChunk* Make(const ChunkRecords& records, unsigned capacity);
  // The same, with room for all 256, made at `place` (BlockBytes(256)
  // bytes that the chunk does not own: it lives in the dense region's next
  // segment, and is never moved or freed on its own).
  static PackedChunk* MakeResident(void* place, const ChunkRecords& records);

  // Inserts or replaces the record at `offset`. May move the chunk. On a
  // failed allocation nothing has changed and std::bad_alloc is thrown.
  // `lookAgain` says it is time to see whether the records have become runs.
  static PackedChunk* Assign(PackedChunk* chunk, unsigned offset, Extent afileId, Extent afileValue,
                             bool isEmpty, bool& inserted, bool& lookAgain);

  // The in-order insert, after every record the chunk holds, done here
  // when the chunk has room and no look for runs falls due; false, and
  // nothing done, when Assign must do it.
  bool AppendInPlace(unsigned offset, Extent afileId, Extent afileValue, bool isEmpty) {
    if (offset <= last_ || count_ == capacity_ || IsLookCount(count_ + 1u, count_ == offset)) {
      return false;
    }
    Pair& pair = Pairs()[count_];
    pair.afileId = afileId;
    pair.value = afileValue;
    const unsigned word = offset >> 6;
    const std::uint64_t bit = 1ull << (offset & 63);
    present_[word] |= bit;
    if (isEmpty) empty_[word] |= bit;
    last_ = static_cast<std::uint8_t>(offset);
    for (unsigned later = word + 1; later < 4; ++later) ++rankBefore_[later];
    ++count_;
    return true;
  }

  bool Find(unsigned offset, AFileInfoInternal& record) const {
    const unsigned word = offset >> 6;
    const std::uint64_t bit = 1ull << (offset & 63);
    if (count_ == kChunkExtents) {
      // Nothing to count: the record's address does not wait for the
      // header, so both are fetched at once.
      const Pair& pair = Pairs()[offset];
      record.afileId = pair.afileId;
      record.afileValue = pair.value;
      record.isEmpty = (empty_[word] & bit) != 0;
      return true;
    }
    const std::uint64_t present = present_[word];
    if ((present & bit) == 0) return false;
    const Pair& pair = Pairs()[rankBefore_[word] + BitCount(present & (bit - 1))];
    record.afileId = pair.afileId;
    record.afileValue = pair.value;
    record.isEmpty = (empty_[word] & bit) != 0;
    return true;
  }

  // As CollectFromChunk.
  std::size_t Collect(unsigned from, Extent base, Extent* extents, AFileInfoInternal* records,
                      std::size_t max) const;
  void Decode(ChunkRecords& records) const;

  // The runs the records would be cut into, counted up to limit + 1.
  unsigned CountRuns(unsigned limit) const;
  // The records stay packed until their count reaches the next power of
  // two, or 32 more have been replaced, or 4 more since one replacement
  // made a record continue its neighbours' run (a run being healed).
  void PostponeLook() {
    replaces_ = 0;
    healed_ = false;
  }

  // A full chunk's values, extent by extent, and its empty bits.
  void CopyFull(Extent* values, std::uint64_t* empty) const {
    std::memcpy(values, Pairs(), kChunkExtents * sizeof(Pair));
    std::memcpy(empty, empty_, sizeof empty_);
  }

  // The record at `offset` of a full chunk.
  void FindFull(unsigned offset, AFileInfoInternal& record) const {
    const Pair& pair = Pairs()[offset];
    record.afileId = pair.afileId;
    record.afileValue = pair.value;
    record.isEmpty = ((empty_[offset >> 6] >> (offset & 63)) & 1) != 0;
  }
  // Replaces the record at `offset` of a full chunk.
  void ReplaceFull(unsigned offset, Extent afileId, Extent afileValue, bool isEmpty) {
    Pair& pair = Pairs()[offset];
    pair.afileId = afileId;
    pair.value = afileValue;
    const std::uint64_t bit = 1ull << (offset & 63);
    empty_[offset >> 6] = isEmpty ? empty_[offset >> 6] | bit : empty_[offset >> 6] & ~bit;
  }

  bool Full() const { return count_ == kChunkExtents; }
  bool resident() const { return resident_; }
  unsigned count() const { return count_; }
  unsigned capacity() const { return capacity_; }
  Chunk* AsChunk() { return &head_; }

 private:
  struct Pair {
    Extent afileId;
    Extent value;
  };

  // The counts at which a growing chunk is looked at again for runs: each
  // look reads at most as many records as were added since the one before.
  // A chunk filled in order from its first extent with no run among its
  // first records is looked at only once full.
  static bool IsLookCount(unsigned count, bool filledInOrder) {
    return count == kChunkExtents || (!filledInOrder && count >= 16 && (count & (count - 1)) == 0);
  }

  const Pair* Pairs() const { return reinterpret_cast<const Pair*>(this + 1); }
  Pair* Pairs() { return reinterpret_cast<Pair*>(this + 1); }
  unsigned RankOf(unsigned offset) const {
    const unsigned word = offset >> 6;
    return rankBefore_[word] + BitCount(present_[word] & ((1ull << (offset & 63)) - 1));
  }

  // Fills a zeroed header and its pairs with the records.
  PackedChunk* Fill(const ChunkRecords& records);

  // Whether the records at center - 1, center and center + 1 are all held
  // and make one run.
  bool InLine(unsigned center) const;

  // Calls visit(offset, record) for the records at `from` and after, in
  // order, while it returns true.
  template <class Visit>
  void Walk(unsigned from, Visit&& visit) const;

  Chunk head_;
  std::uint8_t rankBefore_[4];  // present extents in the words before each word
  std::uint16_t count_;
  std::uint16_t capacity_;
  std::uint16_t replaces_;  // since the last look for runs
  bool healed_;             // a replacement since then continued a run
  std::uint8_t last_;       // the highest offset held
  bool resident_;
  std::uint64_t present_[4];
  std::uint64_t empty_[4];
};

}  // namespace extentmap

#endif  // EXTENTBROWSE_SRC_MAP_PACKEDCHUNK_H
