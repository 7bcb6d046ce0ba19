#include "platform/LargeBlock.h"

#include <sys/mman.h>

#include <cstdint>

namespace smt::platform {

namespace {
size_t MappedLength(size_t bytes) { return (bytes + kHugePageSize - 1) & ~(kHugePageSize - 1); }
}  // namespace

void* MapLargeBlock(size_t bytes) {
  const size_t length = MappedLength(bytes > 0 ? bytes : 1);
  if (length < bytes) throw std::bad_alloc();
  // One huge page more than needed, then the unaligned ends are given back.
  const size_t room = length + kHugePageSize;
  void* base = ::mmap(nullptr, room, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (base == MAP_FAILED) throw std::bad_alloc();
  const auto b = reinterpret_cast<uintptr_t>(base);
  const uintptr_t at = (b + kHugePageSize - 1) & ~(uintptr_t{kHugePageSize} - 1);
  if (at > b) ::munmap(base, at - b);
  if (b + room > at + length) ::munmap(reinterpret_cast<void*>(at + length), b + room - (at + length));
#ifdef MADV_HUGEPAGE
  (void)::madvise(reinterpret_cast<void*>(at), length, MADV_HUGEPAGE);
#endif
  return reinterpret_cast<void*>(at);
}

void UnmapLargeBlock(void* block, size_t bytes) noexcept {
  if (block) ::munmap(block, MappedLength(bytes > 0 ? bytes : 1));
}

void LargeBlockDelete::operator()(uint8_t* p) const noexcept {
  if (bytes >= kLargeBlockMin) UnmapLargeBlock(p, bytes);
  else delete[] p;
}

ByteBlock NewByteBlock(size_t bytes) {
  if (bytes >= kLargeBlockMin) return ByteBlock(static_cast<uint8_t*>(MapLargeBlock(bytes)), LargeBlockDelete{bytes});
  return ByteBlock(new uint8_t[bytes > 0 ? bytes : 1], LargeBlockDelete{bytes});
}

}  // namespace smt::platform
