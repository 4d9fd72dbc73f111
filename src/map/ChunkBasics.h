// What both chunk encodings share: the chunk's size, the tag that opens
// every chunk, and the plain list a chunk is decoded into to be re-encoded.
#ifndef EXTENTBROWSE_SRC_MAP_CHUNKBASICS_H
#define EXTENTBROWSE_SRC_MAP_CHUNKBASICS_H

#include <cstdint>

#include "extentbrowse/AFileInfoInternal.h"

namespace extentmap {

using Extent = unsigned long long;

// A chunk covers the 256 extents that share all but their low 8 bits, so an
// offset in it fits a byte and its presence bits fill four words.
constexpr unsigned kChunkBits = 8;
constexpr unsigned kChunkExtents = 1u << kChunkBits;

enum class Encoding : std::uint8_t { kRuns, kPacked };

// The first member of every encoding, so that a chunk's pointer says how to
// read the rest of it.
struct Chunk {
  Encoding encoding;
};

// One chunk's records in ascending order of offset.
struct ChunkRecords {
  unsigned count = 0;
  std::uint8_t offsets[kChunkExtents];
  AFileInfoInternal records[kChunkExtents];
};

// Counted by halves, quarters and bytes: the baseline x86-64 target has no
// population-count instruction, and the library is built for it.
inline unsigned BitCount(std::uint64_t bits) {
  bits -= (bits >> 1) & 0x5555555555555555ull;
  bits = (bits & 0x3333333333333333ull) + ((bits >> 2) & 0x3333333333333333ull);
  bits = (bits + (bits >> 4)) & 0x0F0F0F0F0F0F0F0Full;
  return static_cast<unsigned>((bits * 0x0101010101010101ull) >> 56);
}

}  // namespace extentmap

#endif  // EXTENTBROWSE_SRC_MAP_CHUNKBASICS_H
