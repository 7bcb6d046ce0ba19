#pragma once
// Byte packing of the machine protocol. UDP payloads are packed
// little-endian two's complement; serial payloads are most significant byte
// first, signed numbers in sign-and-magnitude form (top bit = sign).
#include <cstdint>
#include <cstdlib>
#include <vector>

namespace smt::link {

class ByteWriter {
 public:
  // Little-endian (UDP payloads).
  ByteWriter& U8(uint32_t v) { bytes_.push_back(static_cast<uint8_t>(v)); return *this; }
  ByteWriter& U16(uint32_t v) { U8(v); U8(v >> 8); return *this; }
  ByteWriter& I32(int32_t v) {
    const uint32_t u = static_cast<uint32_t>(v);
    U8(u); U8(u >> 8); U8(u >> 16); U8(u >> 24);
    return *this;
  }
  // Big-endian (serial payloads).
  ByteWriter& BE16(int32_t v) { const uint32_t u = static_cast<uint32_t>(v); U8(u >> 8); U8(u); return *this; }
  ByteWriter& BE32(int32_t v) {
    const uint32_t u = static_cast<uint32_t>(v);
    U8(u >> 24); U8(u >> 16); U8(u >> 8); U8(u);
    return *this;
  }
  // Sign and magnitude: bit 31 the sign, bits 30..0 the magnitude.
  ByteWriter& SM32(int32_t v) {
    const uint32_t mag = static_cast<uint32_t>(std::llabs(static_cast<long long>(v))) & 0x7FFFFFFFu;
    return BE32(static_cast<int32_t>(mag | (v < 0 ? 0x80000000u : 0u)));
  }
  // Sign and magnitude: bit 15 the sign, bits 14..0 the low 15 bits of the magnitude.
  ByteWriter& SM16(int32_t v) {
    const uint32_t mag = static_cast<uint32_t>(std::llabs(static_cast<long long>(v))) & 0x7FFFu;
    return BE16(static_cast<int32_t>(mag | (v < 0 ? 0x8000u : 0u)));
  }

  const std::vector<uint8_t>& bytes() const { return bytes_; }
  std::vector<uint8_t> Take() { return std::move(bytes_); }

 private:
  std::vector<uint8_t> bytes_;
};

inline uint16_t ReadLE16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
inline int32_t ReadLE32(const uint8_t* p) {
  return static_cast<int32_t>(static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
                              (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24));
}
inline int32_t ReadBE32(const uint8_t* p) {
  return static_cast<int32_t>((static_cast<uint32_t>(p[0]) << 24) | (static_cast<uint32_t>(p[1]) << 16) |
                              (static_cast<uint32_t>(p[2]) << 8) | static_cast<uint32_t>(p[3]));
}

}  // namespace smt::link
