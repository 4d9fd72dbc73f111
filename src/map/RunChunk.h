// A chunk held as runs: each run is consecutive extents of one archive file
// with one empty flag, whose second values step by one constant, stored as
// its first and last offset, the archive file, the first value and the
// step. The runs of a restore's usual item (extents written in order, a
// few archive files per chunk) cost a few hundred bytes a chunk.
#ifndef EXTENTBROWSE_SRC_MAP_RUNCHUNK_H
#define EXTENTBROWSE_SRC_MAP_RUNCHUNK_H

#include <cstddef>
#include <cstdint>

#include "map/ChunkBasics.h"

namespace extentmap {

// One run, unpacked. A run of one extent has no step of its own: its step
// is whatever the next extent needs.
struct Run {
  std::uint8_t first = 0;
  std::uint8_t last = 0;
  bool isEmpty = false;
  Extent afileId = 0;
  Extent value = 0;  // the first extent's
  Extent step = 0;

  unsigned Length() const { return last - first + 1u; }
  Extent ValueAt(unsigned offset) const { return value + (offset - first) * step; }
};

inline Run SingleRun(unsigned offset, Extent afileId, Extent afileValue, bool isEmpty) {
  Run run;
  run.first = run.last = static_cast<std::uint8_t>(offset);
  run.isEmpty = isEmpty;
  run.afileId = afileId;
  run.value = afileValue;
  return run;
}

// Whether the record at `offset` carries `run` on by one extent; if so, the
// run now ends there.
inline bool ContinueRun(Run& run, unsigned offset, Extent afileId, Extent afileValue,
                        bool isEmpty) {
  if (offset != run.last + 1u || afileId != run.afileId || isEmpty != run.isEmpty) return false;
  if (run.Length() == 1) {
    run.step = afileValue - run.value;
  } else if (afileValue != run.ValueAt(offset)) {
    return false;
  }
  run.last = static_cast<std::uint8_t>(offset);
  return true;
}

// Cuts sorted records into runs, each as long as it can be, into `runs`
// (room for `limit`). Returns how many, or limit + 1 when there are more.
unsigned CutIntoRuns(const ChunkRecords& records, Run* runs, unsigned limit);

// The runs are sorted and do not overlap; holes between them are extents
// the chunk does not hold. Laid out as the fields below, the first and last
// offsets and the empty flags of all runs as three byte arrays (so that a
// search reads one cache line), then the rest of each run together.
class RunChunk {
 public:
  // Past this many runs a chunk is packed instead: a lookup stays a short
  // search, and packed records cost less than runs this short.
  static constexpr unsigned kMaxRuns = 32;

  static std::size_t BlockBytes(unsigned capacity) {
    return BodiesOffset(capacity) + capacity * sizeof(Body);
  }

  // A chunk of runs[0, count) with room for `capacity` runs. Throws
  // std::bad_alloc.
  static RunChunk* Make(const Run* runs, unsigned count, unsigned capacity);

  // Inserts or replaces the record at `offset`, splitting and joining runs.
  // May move the chunk (the old block is then freed). On a failed
  // allocation nothing has changed and std::bad_alloc is thrown.
  static RunChunk* Assign(RunChunk* chunk, unsigned offset, Extent afileId, Extent afileValue,
                          bool isEmpty, bool& inserted);

  // The in-order insert that carries the last run on by one extent, done
  // here; false, and nothing done, when Assign must do it.
  bool ExtendInPlace(unsigned offset, Extent afileId, Extent afileValue, bool isEmpty) {
    const unsigned at = runs_ - 1u;
    if (offset != Lasts()[at] + 1u || Empties()[at] != isEmpty) return false;
    Body& body = Bodies()[at];
    const unsigned length = offset - Firsts()[at];
    if (body.afileId != afileId || (length > 1 && body.value + length * body.step != afileValue)) {
      return false;
    }
    if (length == 1) body.step = afileValue - body.value;
    Bytes()[capacity_ + at] = static_cast<std::uint8_t>(offset);
    ++count_;
    return true;
  }

  bool Find(unsigned offset, AFileInfoInternal& record) const {
    const int at = RunAtOrBefore(offset);
    if (at < 0 || offset > Lasts()[at]) return false;
    const Body& body = Bodies()[at];
    record.afileId = body.afileId;
    record.afileValue = body.value + (offset - Firsts()[at]) * body.step;
    record.isEmpty = Empties()[at] != 0;
    return true;
  }

  // As CollectFromChunk.
  std::size_t Collect(unsigned from, Extent base, Extent* extents, AFileInfoInternal* records,
                      std::size_t max) const;
  void Decode(ChunkRecords& records) const;

  unsigned runs() const { return runs_; }
  unsigned count() const { return count_; }
  unsigned capacity() const { return capacity_; }
  Chunk* AsChunk() { return &head_; }

 private:
  struct Body {
    Extent afileId;
    Extent value;
    Extent step;
  };

  static std::size_t BodiesOffset(unsigned capacity) {
    return (sizeof(RunChunk) + 3 * capacity + 7) / 8 * 8;
  }

  // The last run that starts at or before `offset`, or -1. Branch-free:
  // which half holds the offset is as good as random to the predictor.
  int RunAtOrBefore(unsigned offset) const {
    const std::uint8_t* firsts = Firsts();
    unsigned low = 0;
    for (unsigned left = runs_; left > 1;) {
      const unsigned half = left / 2;
      low = firsts[low + half] <= offset ? low + half : low;
      left -= half;
    }
    return runs_ != 0 && firsts[low] <= offset ? static_cast<int>(low) : -1;
  }

  const std::uint8_t* Firsts() const { return reinterpret_cast<const std::uint8_t*>(this + 1); }
  const std::uint8_t* Lasts() const { return Firsts() + capacity_; }
  const std::uint8_t* Empties() const { return Lasts() + capacity_; }
  const Body* Bodies() const {
    return reinterpret_cast<const Body*>(reinterpret_cast<const char*>(this) +
                                         BodiesOffset(capacity_));
  }
  std::uint8_t* Bytes() { return reinterpret_cast<std::uint8_t*>(this + 1); }
  Body* Bodies() {
    return reinterpret_cast<Body*>(reinterpret_cast<char*>(this) + BodiesOffset(capacity_));
  }

  Run Get(unsigned at) const;
  void Set(unsigned at, const Run& run);
  // Moves the runs from `at` on by `by` places up, or one place down over
  // `at`, within the capacity.
  void Open(unsigned at, unsigned by);
  void Close(unsigned at);
  // Joins run `at` with the next one when they make one run.
  void TryJoin(unsigned at);
  void JoinAround(unsigned at);
  // The chunk, moved to a block with room for `runs` runs.
  static RunChunk* Reserve(RunChunk* chunk, unsigned runs);
  // Assign's road when the record does not carry on the run `at` (the last
  // that starts at or before it, or -1).
  static RunChunk* Splice(RunChunk* chunk, int at, unsigned offset, Extent afileId,
                          Extent afileValue, bool isEmpty, bool& inserted);

  Chunk head_;
  std::uint16_t runs_;
  std::uint16_t capacity_;
  std::uint16_t count_;  // extents held, the runs' lengths summed
};

}  // namespace extentmap

#endif  // EXTENTBROWSE_SRC_MAP_RUNCHUNK_H
