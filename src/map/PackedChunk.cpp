#include "map/PackedChunk.h"

#include <cstdlib>
#include <cstring>
#include <new>

#include "map/RunChunk.h"

namespace extentmap {

namespace {

// Growth by a quarter keeps a chunk's unused room under a quarter of its
// records. A chunk that holds every extent below the one coming is being
// filled in order and will most likely be full: it doubles, to get there in
// five moves instead of a dozen, and can leave at most half its room unused
// should the fill stop.
unsigned GrownCapacity(unsigned capacity, bool filledInOrder) {
  const unsigned step = filledInOrder ? capacity : capacity / 4 < 4 ? 4 : capacity / 4;
  return capacity + step < kChunkExtents ? capacity + step : kChunkExtents;
}

}  // namespace

PackedChunk* PackedChunk::Make(const ChunkRecords& records, unsigned capacity) {
  void* block = std::malloc(BlockBytes(capacity));
  if (block == nullptr) throw std::bad_alloc();
  PackedChunk* chunk = static_cast<PackedChunk*>(block);
  std::memset(chunk, 0, sizeof(PackedChunk));
  chunk->capacity_ = static_cast<std::uint16_t>(capacity);
  return chunk->Fill(records);
}

PackedChunk* PackedChunk::MakeResident(void* place, const ChunkRecords& records) {
  PackedChunk* chunk = static_cast<PackedChunk*>(place);
  std::memset(chunk, 0, sizeof(PackedChunk));
  chunk->capacity_ = kChunkExtents;
  chunk->resident_ = true;
  return chunk->Fill(records);
}

PackedChunk* PackedChunk::Fill(const ChunkRecords& records) {
  head_.encoding = Encoding::kPacked;
  count_ = static_cast<std::uint16_t>(records.count);
  if (records.count != 0) last_ = records.offsets[records.count - 1];
  Pair* pairs = Pairs();
  for (unsigned i = 0; i < records.count; ++i) {
    const unsigned offset = records.offsets[i];
    const std::uint64_t bit = 1ull << (offset & 63);
    present_[offset >> 6] |= bit;
    if (records.records[i].isEmpty) empty_[offset >> 6] |= bit;
    pairs[i].afileId = records.records[i].afileId;
    pairs[i].value = records.records[i].afileValue;
  }
  for (unsigned word = 1; word < 4; ++word) {
    rankBefore_[word] =
        static_cast<std::uint8_t>(rankBefore_[word - 1] + BitCount(present_[word - 1]));
  }
  PostponeLook();
  return this;
}

PackedChunk* PackedChunk::Assign(PackedChunk* chunk, unsigned offset, Extent afileId,
                                 Extent afileValue, bool isEmpty, bool& inserted, bool& lookAgain) {
  const unsigned word = offset >> 6;
  const std::uint64_t bit = 1ull << (offset & 63);
  // Records mostly come in order, after every record the chunk holds.
  const unsigned index = offset > chunk->last_ ? chunk->count_ : chunk->RankOf(offset);
  inserted = (chunk->present_[word] & bit) == 0;
  if (inserted) {
    if (chunk->count_ == chunk->capacity_) {
      const unsigned capacity = GrownCapacity(chunk->capacity_, index == offset);
      void* grown = std::realloc(chunk, BlockBytes(capacity));
      if (grown == nullptr) throw std::bad_alloc();
      chunk = static_cast<PackedChunk*>(grown);
      chunk->capacity_ = static_cast<std::uint16_t>(capacity);
    }
    Pair* pairs = chunk->Pairs();
    if (index < chunk->count_) {
      std::memmove(pairs + index + 1, pairs + index, (chunk->count_ - index) * sizeof(Pair));
    }
    pairs[index].afileId = afileId;
    pairs[index].value = afileValue;
    chunk->present_[word] |= bit;
    if (isEmpty) chunk->empty_[word] |= bit;
    if (offset > chunk->last_) chunk->last_ = static_cast<std::uint8_t>(offset);
    for (unsigned later = word + 1; later < 4; ++later) ++chunk->rankBefore_[later];
    lookAgain = IsLookCount(++chunk->count_, index == offset);
    return chunk;
  }
  Pair& pair = chunk->Pairs()[index];
  const bool changed = pair.afileId != afileId || pair.value != afileValue ||
                       ((chunk->empty_[word] & bit) != 0) != isEmpty;
  pair.afileId = afileId;
  pair.value = afileValue;
  chunk->empty_[word] = isEmpty ? chunk->empty_[word] | bit : chunk->empty_[word] & ~bit;
  if (changed &&
      (chunk->InLine(offset - 1) || chunk->InLine(offset) || chunk->InLine(offset + 1))) {
    chunk->healed_ = true;
  }
  ++chunk->replaces_;
  lookAgain = chunk->replaces_ >= 32 || (chunk->healed_ && chunk->replaces_ >= 4);
  return chunk;
}

bool PackedChunk::InLine(unsigned center) const {
  if (center - 1u >= kChunkExtents - 2) return false;
  for (unsigned offset = center - 1; offset <= center + 1; ++offset) {
    if ((present_[offset >> 6] & (1ull << (offset & 63))) == 0) return false;
    if (((empty_[offset >> 6] >> (offset & 63)) & 1) !=
        ((empty_[center >> 6] >> (center & 63)) & 1)) {
      return false;
    }
  }
  const Pair* pairs = Pairs() + RankOf(center - 1);
  return pairs[0].afileId == pairs[1].afileId && pairs[1].afileId == pairs[2].afileId &&
         pairs[1].value - pairs[0].value == pairs[2].value - pairs[1].value;
}

template <class Visit>
void PackedChunk::Walk(unsigned from, Visit&& visit) const {
  if (from >= kChunkExtents) return;
  unsigned word = from >> 6;
  unsigned index = RankOf(from);
  std::uint64_t bits = present_[word] & (~0ull << (from & 63));
  const Pair* pairs = Pairs();
  AFileInfoInternal record;
  for (;;) {
    for (; bits != 0; bits &= bits - 1, ++index) {
      const unsigned bitIndex = static_cast<unsigned>(__builtin_ctzll(bits));
      record.afileId = pairs[index].afileId;
      record.afileValue = pairs[index].value;
      record.isEmpty = ((empty_[word] >> bitIndex) & 1) != 0;
      if (!visit(word * 64 + bitIndex, record)) return;
    }
    if (++word == 4) return;
    bits = present_[word];
  }
}

std::size_t PackedChunk::Collect(unsigned from, Extent base, Extent* extents,
                                 AFileInfoInternal* records, std::size_t max) const {
  std::size_t n = 0;
  if (max == 0) return 0;
  Walk(from, [&](unsigned offset, const AFileInfoInternal& record) {
    extents[n] = base + offset;
    records[n] = record;
    return ++n < max;
  });
  return n;
}

void PackedChunk::Decode(ChunkRecords& records) const {
  records.count = 0;
  Walk(0, [&records](unsigned offset, const AFileInfoInternal& record) {
    records.offsets[records.count] = static_cast<std::uint8_t>(offset);
    records.records[records.count++] = record;
    return true;
  });
}

unsigned PackedChunk::CountRuns(unsigned limit) const {
  unsigned cut = 0;
  Run current;
  Walk(0, [&](unsigned offset, const AFileInfoInternal& record) {
    if (cut > 0 &&
        ContinueRun(current, offset, record.afileId, record.afileValue, record.isEmpty)) {
      return true;
    }
    if (cut == limit) {
      cut = limit + 1;
      return false;
    }
    current = SingleRun(offset, record.afileId, record.afileValue, record.isEmpty);
    ++cut;
    return true;
  });
  return cut;
}

}  // namespace extentmap
