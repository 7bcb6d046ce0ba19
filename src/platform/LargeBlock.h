#pragma once
// Memory for large blocks (a file read whole, a board's placements, the
// buffer a save formats into). A fresh page of memory costs a fault the
// first time it is touched (the kernel clears the page and maps it): a few
// microseconds for a small page (about 3.6 µs measured here, some 0.9 ms for
// every megabyte, in the order of reading the megabyte from the page cache).
// A block of kLargeBlockMin bytes or more
// is therefore mapped on its own, aligned to and rounded up to whole huge
// pages (2 MiB) and marked for huge pages where the system offers them
// (madvise): one fault for 2 MiB. It goes back to the system when freed.
// The price is the rounding: a block holds up to 2 MiB more than asked for.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <new>

namespace smt::platform {

inline constexpr size_t kLargeBlockMin = size_t{1} << 20;
inline constexpr size_t kHugePageSize = size_t{2} << 20;

// A mapping of at least `bytes` bytes, aligned to kHugePageSize. Throws
// std::bad_alloc when the system gives none.
void* MapLargeBlock(size_t bytes);
// Gives back a block of MapLargeBlock(bytes).
void UnmapLargeBlock(void* block, size_t bytes) noexcept;

// A buffer of `bytes` bytes (not cleared): a large block from its own
// mapping, a smaller one from the heap.
struct LargeBlockDelete {
  size_t bytes = 0;
  void operator()(uint8_t* p) const noexcept;
};
using ByteBlock = std::unique_ptr<uint8_t[], LargeBlockDelete>;
ByteBlock NewByteBlock(size_t bytes);

// An allocator for containers that grow large (a board's placements): a
// block of kLargeBlockMin bytes or more is a mapping of its own, a smaller
// one comes from the heap. Every instance is interchangeable.
template <class T>
struct LargeBlockAllocator {
  using value_type = T;
  LargeBlockAllocator() = default;
  template <class U>
  LargeBlockAllocator(const LargeBlockAllocator<U>&) noexcept {}
  T* allocate(size_t n) {
    if (n > static_cast<size_t>(-1) / sizeof(T)) throw std::bad_array_new_length();
    const size_t bytes = n * sizeof(T);
    if (bytes >= kLargeBlockMin) return static_cast<T*>(MapLargeBlock(bytes));
    return std::allocator<T>().allocate(n);
  }
  void deallocate(T* p, size_t n) noexcept {
    const size_t bytes = n * sizeof(T);
    if (bytes >= kLargeBlockMin) UnmapLargeBlock(p, bytes);
    else std::allocator<T>().deallocate(p, n);
  }
  template <class U>
  bool operator==(const LargeBlockAllocator<U>&) const noexcept {
    return true;
  }
};

}  // namespace smt::platform
