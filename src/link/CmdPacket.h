#pragma once
// The command packet between the link layers, and its UDP wire form:
//   u16 checksum (sum of every byte from offset 2 on, 16-bit wrapping)
//   u8  flag (0 when sent; non-zero in a reply)
//   u16 code word: (attempt << 12) | (code & 0xFFF)
//   u16 payload length N (= datagram size - 7)
//   N   payload
// all little-endian.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

namespace smt::link {

inline constexpr size_t kCmdHeaderSize = 7;
inline constexpr size_t kCmdMaxReceivePayload = 512;

class CmdPacket {
 public:
  // Copies `length` payload bytes; the buffer only grows. The flag is kept.
  void Set(uint16_t code, const uint8_t* payload, uint16_t length);
  void Set(uint16_t code, const std::vector<uint8_t>& payload) {
    Set(code, payload.data(), static_cast<uint16_t>(payload.size()));
  }
  void Free();

  uint16_t capacity() const { return static_cast<uint16_t>(data_.size()); }
  const uint8_t* data() const { return data_.data(); }
  uint8_t at(size_t i) const { return i < length ? data_[i] : 0; }

  uint8_t flag = 0;     // received: 1 reply, 0 report
  uint16_t code = 0;    // received: the whole code word
  uint16_t length = 0;

 private:
  std::vector<uint8_t> data_;
};

// The 16-bit wrapping sum of bytes [2, size).
uint16_t CmdChecksum(const uint8_t* datagram, size_t size);

// Frames `packet` for sending. False when N + 7 does not fit 16 bits (pack error).
bool EncodeCmdDatagram(const CmdPacket& packet, uint8_t attempt, std::vector<uint8_t>& out);

// Checks and unpacks one received datagram: none when shorter than 7 bytes,
// when the length field is not size - 7 or when the checksum is off.
std::optional<CmdPacket> DecodeCmdDatagram(const uint8_t* datagram, size_t size);

}  // namespace smt::link
