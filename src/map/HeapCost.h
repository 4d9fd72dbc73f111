// What the extent map's allocations cost the heap, and the allocator its
// containers count them through.
//
// The map reports its own heap bytes so that a test can hold it to a bound
// without asking the allocator, whose statistics are process-wide and move
// with every other allocation. The figure follows glibc's malloc, which the
// benchmarks measure: a word of bookkeeping beside each block, blocks in
// steps of 16 bytes and at least 32, and a block of 128 KiB or more mapped
// in whole pages of its own.
#ifndef EXTENTBROWSE_SRC_MAP_HEAPCOST_H
#define EXTENTBROWSE_SRC_MAP_HEAPCOST_H

#include <cstddef>
#include <memory>

namespace extentmap {

constexpr std::size_t HeapCost(std::size_t bytes) {
  constexpr std::size_t kMappedFrom = 128 * 1024;
  constexpr std::size_t kPage = 4096;
  const std::size_t withHeader = bytes + sizeof(std::size_t);
  if (bytes >= kMappedFrom) return (withHeader + kPage - 1) / kPage * kPage;
  const std::size_t rounded = (withHeader + 15) / 16 * 16;
  return rounded < 32 ? 32 : rounded;
}

// A standard allocator that adds the cost of each block it hands out to a
// counter it does not own, and takes it off when the block comes back.
// Copies share the counter, so a container's rebound copies count into the
// same one. Not thread-safe: the counter belongs to one map, which its
// owner locks.
template <class T>
class CountingAllocator {
 public:
  using value_type = T;

  explicit CountingAllocator(std::size_t* bytes) noexcept : bytes_(bytes) {}
  template <class U>
  CountingAllocator(const CountingAllocator<U>& other) noexcept : bytes_(other.bytes()) {}

  T* allocate(std::size_t n) {
    T* block = std::allocator<T>().allocate(n);
    *bytes_ += HeapCost(n * sizeof(T));
    return block;
  }
  void deallocate(T* block, std::size_t n) noexcept {
    std::allocator<T>().deallocate(block, n);
    *bytes_ -= HeapCost(n * sizeof(T));
  }

  std::size_t* bytes() const noexcept { return bytes_; }

  template <class U>
  bool operator==(const CountingAllocator<U>& other) const noexcept {
    return bytes_ == other.bytes();
  }
  template <class U>
  bool operator!=(const CountingAllocator<U>& other) const noexcept {
    return bytes_ != other.bytes();
  }

 private:
  std::size_t* bytes_;
};

}  // namespace extentmap

#endif  // EXTENTBROWSE_SRC_MAP_HEAPCOST_H
