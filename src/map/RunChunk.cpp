#include "map/RunChunk.h"

#include <cstdlib>
#include <cstring>
#include <new>

namespace extentmap {

namespace {

// Whether runs a and b, a just before b, make one run, and with which step.
bool Joinable(const Run& a, const Run& b, Extent& step) {
  if (a.last + 1u != b.first || a.afileId != b.afileId || a.isEmpty != b.isEmpty) return false;
  step = a.Length() > 1 ? a.step : b.Length() > 1 ? b.step : b.value - a.value;
  if (b.Length() > 1 && b.step != step) return false;
  return a.value + a.Length() * step == b.value;
}

}  // namespace

unsigned CutIntoRuns(const ChunkRecords& records, Run* runs, unsigned limit) {
  unsigned cut = 0;
  for (unsigned i = 0; i < records.count; ++i) {
    const AFileInfoInternal& record = records.records[i];
    if (cut > 0 && ContinueRun(runs[cut - 1], records.offsets[i], record.afileId, record.afileValue,
                               record.isEmpty)) {
      continue;
    }
    if (cut == limit) return limit + 1;
    runs[cut++] = SingleRun(records.offsets[i], record.afileId, record.afileValue, record.isEmpty);
  }
  return cut;
}

RunChunk* RunChunk::Make(const Run* runs, unsigned count, unsigned capacity) {
  void* block = std::malloc(BlockBytes(capacity));
  if (block == nullptr) throw std::bad_alloc();
  RunChunk* chunk = static_cast<RunChunk*>(block);
  chunk->head_.encoding = Encoding::kRuns;
  chunk->runs_ = static_cast<std::uint16_t>(count);
  chunk->capacity_ = static_cast<std::uint16_t>(capacity);
  chunk->count_ = 0;
  for (unsigned at = 0; at < count; ++at) {
    chunk->Set(at, runs[at]);
    chunk->count_ = static_cast<std::uint16_t>(chunk->count_ + runs[at].Length());
  }
  return chunk;
}

Run RunChunk::Get(unsigned at) const {
  Run run;
  run.first = Firsts()[at];
  run.last = Lasts()[at];
  run.isEmpty = Empties()[at] != 0;
  run.afileId = Bodies()[at].afileId;
  run.value = Bodies()[at].value;
  run.step = Bodies()[at].step;
  return run;
}

void RunChunk::Set(unsigned at, const Run& run) {
  Bytes()[at] = run.first;
  Bytes()[capacity_ + at] = run.last;
  Bytes()[2 * capacity_ + at] = run.isEmpty ? 1 : 0;
  Body& body = Bodies()[at];
  body.afileId = run.afileId;
  body.value = run.value;
  body.step = run.step;
}

void RunChunk::Open(unsigned at, unsigned by) {
  if (by == 0) return;
  const unsigned moved = runs_ - at;
  for (unsigned array = 0; array < 3; ++array) {
    std::uint8_t* bytes = Bytes() + array * capacity_ + at;
    std::memmove(bytes + by, bytes, moved);
  }
  Body* bodies = Bodies() + at;
  std::memmove(bodies + by, bodies, moved * sizeof(Body));
  runs_ = static_cast<std::uint16_t>(runs_ + by);
}

void RunChunk::Close(unsigned at) {
  const unsigned moved = runs_ - at - 1;
  for (unsigned array = 0; array < 3; ++array) {
    std::uint8_t* bytes = Bytes() + array * capacity_ + at;
    std::memmove(bytes, bytes + 1, moved);
  }
  Body* bodies = Bodies() + at;
  std::memmove(bodies, bodies + 1, moved * sizeof(Body));
  --runs_;
}

void RunChunk::TryJoin(unsigned at) {
  // Most neighbours differ in what is cheapest to compare.
  if (Lasts()[at] + 1u != Firsts()[at + 1] || Empties()[at] != Empties()[at + 1] ||
      Bodies()[at].afileId != Bodies()[at + 1].afileId) {
    return;
  }
  Run run = Get(at);
  Extent step = 0;
  if (!Joinable(run, Get(at + 1), step)) return;
  run.last = Lasts()[at + 1];
  run.step = step;
  Set(at, run);
  Close(at + 1);
}

void RunChunk::JoinAround(unsigned at) {
  if (at + 1 < runs_) TryJoin(at);
  if (at > 0) TryJoin(at - 1);
}

RunChunk* RunChunk::Reserve(RunChunk* chunk, unsigned runs) {
  if (runs <= chunk->capacity_) return chunk;
  // A chunk gains runs rarely once filled, and a lookup reads fewer cache
  // lines of a smaller chunk, so it has room for exactly the runs it holds;
  // the offset arrays move with the capacity, hence a copy, not realloc.
  const unsigned capacity = runs;
  void* block = std::malloc(BlockBytes(capacity));
  if (block == nullptr) throw std::bad_alloc();
  RunChunk* grown = static_cast<RunChunk*>(block);
  *grown = *chunk;
  grown->capacity_ = static_cast<std::uint16_t>(capacity);
  for (unsigned array = 0; array < 3; ++array) {
    std::memcpy(grown->Bytes() + array * capacity, chunk->Bytes() + array * chunk->capacity_,
                chunk->runs_);
  }
  std::memcpy(grown->Bodies(), chunk->Bodies(), chunk->runs_ * sizeof(Body));
  std::free(chunk);
  return grown;
}

RunChunk* RunChunk::Assign(RunChunk* chunk, unsigned offset, Extent afileId, Extent afileValue,
                           bool isEmpty, bool& inserted) {
  const int at = chunk->RunAtOrBefore(offset);
  if (at >= 0 && offset == chunk->Lasts()[at] + 1u && chunk->Empties()[at] == isEmpty) {
    // The in-order fill: the record carries on the run before it. That
    // leaves the run's start and step as they were, so it can only have
    // come to join the run after it.
    Body& body = chunk->Bodies()[at];
    const unsigned length = offset - chunk->Firsts()[at];
    if (body.afileId == afileId && (length == 1 || body.value + length * body.step == afileValue)) {
      if (length == 1) body.step = afileValue - body.value;
      chunk->Bytes()[chunk->capacity_ + at] = static_cast<std::uint8_t>(offset);
      ++chunk->count_;
      inserted = true;
      if (static_cast<unsigned>(at) + 1 < chunk->runs_ && chunk->Firsts()[at + 1] == offset + 1) {
        chunk->TryJoin(at);
      }
      return chunk;
    }
  }
  const unsigned next = static_cast<unsigned>(at + 1);
  if (next < chunk->runs_ && offset + 1 == chunk->Firsts()[next] &&
      (at < 0 || offset > chunk->Lasts()[at]) && chunk->Empties()[next] == isEmpty) {
    // The descending fill: the record comes just before the run after it,
    // and may join the run before it.
    Body& body = chunk->Bodies()[next];
    const bool single = chunk->Firsts()[next] == chunk->Lasts()[next];
    if (body.afileId == afileId && (single || body.value - body.step == afileValue)) {
      if (single) body.step = body.value - afileValue;
      body.value = afileValue;
      chunk->Bytes()[next] = static_cast<std::uint8_t>(offset);
      ++chunk->count_;
      inserted = true;
      if (at >= 0 && chunk->Lasts()[at] + 1u == offset) chunk->TryJoin(static_cast<unsigned>(at));
      return chunk;
    }
  }
  return Splice(chunk, at, offset, afileId, afileValue, isEmpty, inserted);
}

RunChunk* RunChunk::Splice(RunChunk* chunk, int at, unsigned offset, Extent afileId,
                           Extent afileValue, bool isEmpty, bool& inserted) {
  if (at >= 0 && offset <= chunk->Lasts()[at]) {
    inserted = false;
    const Run run = chunk->Get(at);
    if (run.afileId == afileId && run.ValueAt(offset) == afileValue && run.isEmpty == isEmpty) {
      return chunk;
    }
    // The run splits around the extent: what is before it, the extent
    // alone, what is after it.
    const unsigned before = offset > run.first ? 1 : 0;
    const unsigned after = offset < run.last ? 1 : 0;
    chunk = Reserve(chunk, chunk->runs_ + before + after);
    chunk->Open(at + 1, before + after);
    if (before != 0) {
      Run left = run;
      left.last = static_cast<std::uint8_t>(offset - 1);
      chunk->Set(at, left);
    }
    chunk->Set(at + before, SingleRun(offset, afileId, afileValue, isEmpty));
    if (after != 0) {
      Run right = run;
      right.first = static_cast<std::uint8_t>(offset + 1);
      right.value = run.ValueAt(offset + 1);
      chunk->Set(at + before + 1, right);
    }
    chunk->JoinAround(at + before);
    return chunk;
  }
  inserted = true;
  chunk = Reserve(chunk, chunk->runs_ + 1u);
  const unsigned place = static_cast<unsigned>(at + 1);
  chunk->Open(place, 1);
  chunk->Set(place, SingleRun(offset, afileId, afileValue, isEmpty));
  ++chunk->count_;
  chunk->JoinAround(place);
  return chunk;
}

std::size_t RunChunk::Collect(unsigned from, Extent base, Extent* extents,
                              AFileInfoInternal* records, std::size_t max) const {
  int at = RunAtOrBefore(from);
  if (at < 0) {
    at = 0;
  } else if (from > Lasts()[at]) {
    ++at;
  }
  std::size_t n = 0;
  for (unsigned run = static_cast<unsigned>(at); run < runs_ && n < max; ++run) {
    const unsigned first = Firsts()[run];
    const unsigned last = Lasts()[run];
    const Body& body = Bodies()[run];
    const bool isEmpty = Empties()[run] != 0;
    unsigned offset = from > first ? from : first;
    Extent value = body.value + (offset - first) * body.step;
    for (; offset <= last && n < max; ++offset, ++n) {
      extents[n] = base + offset;
      records[n].afileId = body.afileId;
      records[n].afileValue = value;
      records[n].isEmpty = isEmpty;
      value += body.step;
    }
  }
  return n;
}

void RunChunk::Decode(ChunkRecords& records) const {
  Extent extents[kChunkExtents];
  records.count = static_cast<unsigned>(Collect(0, 0, extents, records.records, kChunkExtents));
  for (unsigned i = 0; i < records.count; ++i) {
    records.offsets[i] = static_cast<std::uint8_t>(extents[i]);
  }
}

}  // namespace extentmap
