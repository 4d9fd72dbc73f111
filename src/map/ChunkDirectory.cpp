#include "map/ChunkDirectory.h"

#include <iterator>
#include <new>

namespace extentmap {

namespace {

// Two flat slots for every chunk and a few more, so that slots without a
// chunk never cost more than the chunks do.
constexpr std::size_t kFlatSlotsPerChunk = 2;
constexpr std::size_t kFlatSlotsFree = 64;

}  // namespace

ChunkDirectory::ChunkDirectory(std::size_t* bytes)
    : numbers_(Numbers::key_compare(), CountingAllocator<Extent>(bytes)),
      far_(0, Far::hasher(), Far::key_equal(), Far::allocator_type(bytes)),
      flat_(Flat::allocator_type(bytes)) {}

void ChunkDirectory::Add(Extent number, Chunk* chunk) {
  numbers_.insert(number);
  if (number < flat_.size()) {
    flat_[number] = chunk;
    return;
  }
  try {
    far_.emplace(number, chunk);
  } catch (...) {
    numbers_.erase(number);
    throw;
  }
}

void ChunkDirectory::Remove(Extent number) noexcept {
  if (number < flat_.size()) {
    flat_[number] = nullptr;
  } else {
    far_.erase(number);
  }
  numbers_.erase(number);
}

void ChunkDirectory::Widen(std::size_t elsewhere) noexcept {
  if (far_.empty()) return;
  const std::size_t allowed = kFlatSlotsPerChunk * (numbers_.size() + elsewhere) + kFlatSlotsFree;
  if (allowed <= flat_.size()) return;
  // Up to the last chunk within reach, so that no slot is made past it.
  const auto beyond = numbers_.lower_bound(allowed);
  if (beyond == numbers_.begin() || *std::prev(beyond) < flat_.size()) return;
  const std::size_t wanted = static_cast<std::size_t>(*std::prev(beyond)) + 1;
  // The flat part is only a faster road to chunks the hash map finds
  // anyway: without memory for it, it stays as it is.
  try {
    if (wanted > flat_.capacity()) {
      const std::size_t grown = flat_.capacity() + flat_.capacity() / 2;
      flat_.reserve(wanted > grown ? wanted : grown);
    }
  } catch (const std::bad_alloc&) {
    return;
  }
  const std::size_t old = flat_.size();
  flat_.resize(wanted, nullptr);
  for (auto number = numbers_.lower_bound(old); number != beyond; ++number) {
    const auto found = far_.find(*number);
    flat_[*number] = found->second;
    far_.erase(found);
  }
  if (far_.empty()) Far(0, far_.hash_function(), far_.key_eq(), far_.get_allocator()).swap(far_);
}

std::size_t ChunkDirectory::ChunkBytes() const {
  std::size_t bytes = 0;
  for (const Chunk* chunk : flat_) {
    if (chunk != nullptr) bytes += ChunkHeapBytes(chunk);
  }
  for (const auto& entry : far_) bytes += ChunkHeapBytes(entry.second);
  return bytes;
}

void ChunkDirectory::Clear() {
  for (Chunk* chunk : flat_) {
    if (chunk != nullptr) FreeChunk(chunk);
  }
  for (const auto& entry : far_) FreeChunk(entry.second);
  numbers_.clear();
  Far(0, far_.hash_function(), far_.key_eq(), far_.get_allocator()).swap(far_);
  Flat(flat_.get_allocator()).swap(flat_);
}

}  // namespace extentmap
