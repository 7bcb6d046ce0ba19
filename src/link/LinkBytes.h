#pragma once
// Byte packing of the machine protocol. UDP payloads are packed
// little-endian two's complement; serial payloads are most significant byte
// first, signed numbers in sign-and-magnitude form (top bit = sign).
#include <cstdint>
#include <cstdlib>
#include <cstdint>
#include <string>
#include <vector>

namespace smt::link {

// A built payload. `misfit` names the first value that did not fit its
// field (empty when all fitted): such a payload is never sent.
struct Payload : std::vector<uint8_t> {
  Payload() = default;
  Payload(std::vector<uint8_t> bytes, std::string bad = {}) : std::vector<uint8_t>(std::move(bytes)), misfit(std::move(bad)) {}
  Payload(std::initializer_list<uint8_t> bytes) : std::vector<uint8_t>(bytes) {}
  std::string misfit;
};

// Every field is checked against its width and sign form; a value that does
// not fit is written as 0 and remembered (the first one), never cut short.
class ByteWriter {
 public:
  // Little-endian (UDP payloads).
  ByteWriter& U8(int64_t v) {
    if (!Fits(v, 0, 0xFF, "u8")) v = 0;
    return Put(static_cast<uint8_t>(v));
  }
  ByteWriter& U16(int64_t v) {
    if (!Fits(v, 0, 0xFFFF, "u16")) v = 0;
    Put(static_cast<uint8_t>(v));
    return Put(static_cast<uint8_t>(v >> 8));
  }
  ByteWriter& I32(int64_t v) {
    if (!Fits(v, INT32_MIN, INT32_MAX, "i32")) v = 0;
    const uint32_t u = static_cast<uint32_t>(v);
    Put(u); Put(u >> 8); Put(u >> 16); Put(u >> 24);
    return *this;
  }
  // Big-endian (serial payloads). BE16: the value's 16 two's-complement bits.
  ByteWriter& BE16(int64_t v) {
    if (!Fits(v, -32768, 0xFFFF, "BE16")) v = 0;
    const uint32_t u = static_cast<uint32_t>(v);
    Put(u >> 8);
    return Put(u);
  }
  ByteWriter& BE32(int64_t v) {
    if (!Fits(v, INT32_MIN, INT32_MAX, "BE32")) v = 0;
    const uint32_t u = static_cast<uint32_t>(v);
    Put(u >> 24); Put(u >> 16); Put(u >> 8); Put(u);
    return *this;
  }
  // Sign and magnitude: bit 31 the sign, bits 30..0 the magnitude.
  ByteWriter& SM32(int64_t v) {
    if (!Fits(v, -0x7FFFFFFFLL, 0x7FFFFFFFLL, "SM32")) v = 0;
    const uint32_t bits = static_cast<uint32_t>(v < 0 ? -v : v) | (v < 0 ? 0x80000000u : 0u);
    Put(bits >> 24); Put(bits >> 16); Put(bits >> 8);
    return Put(bits);
  }
  // Sign and magnitude: bit 15 the sign, bits 14..0 the magnitude.
  ByteWriter& SM16(int64_t v) {
    if (!Fits(v, -0x7FFF, 0x7FFF, "SM16")) v = 0;
    const uint32_t bits = static_cast<uint32_t>(v < 0 ? -v : v) | (v < 0 ? 0x8000u : 0u);
    Put(bits >> 8);
    return Put(bits);
  }
  // A byte taken as it is (fixed codes, bytes already in range).
  ByteWriter& Raw(uint8_t b) { return Put(b); }

  const std::vector<uint8_t>& bytes() const { return bytes_; }
  // The first value that did not fit, as "300 (u8: 0 to 255)"; empty when all fitted.
  const std::string& misfit() const { return misfit_; }
  bool ok() const { return misfit_.empty(); }
  Payload Take() { return Payload(std::move(bytes_), std::move(misfit_)); }

 private:
  ByteWriter& Put(uint32_t b) { bytes_.push_back(static_cast<uint8_t>(b)); return *this; }
  bool Fits(int64_t v, int64_t lo, int64_t hi, const char* form) {
    if (v >= lo && v <= hi) return true;
    if (misfit_.empty())
      misfit_ = std::to_string(v) + " (" + form + ": " + std::to_string(lo) + " to " + std::to_string(hi) + ")";
    return false;
  }
  std::vector<uint8_t> bytes_;
  std::string misfit_;
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
