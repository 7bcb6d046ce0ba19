#pragma once
// The boards' boot loader commands on the UDP command channel: codes, the
// flash layout they address and the payloads they carry (little-endian).
#include <chrono>
#include <cstdint>
#include <vector>

#include "link/LinkBytes.h"

namespace smt::link::boot {

// Command codes. 0xF01 and 0xF05 are never sent.
inline constexpr uint16_t kUpdateFlag = 0xF00;
inline constexpr uint16_t kErase = 0xF02;
inline constexpr uint16_t kWrite = 0xF03;
inline constexpr uint16_t kRead = 0xF04;
inline constexpr uint16_t kMd5 = 0xF06;
inline constexpr uint16_t kJump = 0xF07;
// A reply with this code answers whatever boot loader command is pending.
inline constexpr uint16_t kAnyReply = 0xFFF;

inline bool IsBootReplyCode(uint16_t code) {
  code &= 0xFFF;
  return (code >= 0xF00 && code <= 0xF07) || code == kAnyReply;
}

// Flash layout of every board.
inline constexpr uint32_t kUpgradeProgramAddress = 0x08000000;
inline constexpr uint32_t kConfigAddress = 0x08010000;
inline constexpr uint32_t kConfigSize = 0x10000;
inline constexpr uint32_t kApplicationAddress = 0x08020000;
inline constexpr uint32_t kApplicationSize = 0x60000;

// Largest data chunk of a read or write command.
inline constexpr uint32_t kMaxChunk = 433;
// Bytes before the data in a read reply.
inline constexpr uint32_t kReadReplyHeader = 8;
// A digest reply: status byte and 16 digest bytes.
inline constexpr uint16_t kMd5ReplyLength = 17;

// Board numbers.
inline constexpr int kMainBoard = 1;
inline constexpr int kHeadBoard = 2;
inline constexpr int kFeedBoard = 3;
inline constexpr int kConveyorBoard = 4;

// How long each command may take before its reply counts as lost, and how
// often a command that may safely be repeated is sent before giving up.
struct BootTimeouts {
  std::chrono::milliseconds reply{1500};   // update flag, read and write chunks
  std::chrono::milliseconds erase{30000};  // erasing up to 384 KiB
  std::chrono::milliseconds md5{15000};    // digest over up to 384 KiB
  std::chrono::milliseconds jump{3000};
  int attempts = 3;                        // sends per command (jump: always 1)
  int failedChunkResends = 3;              // a chunk answered with a failure status
};

inline std::vector<uint8_t> UpdateFlagPayload(uint8_t board, uint8_t index) { return {board, index}; }
inline std::vector<uint8_t> RangePayload(uint32_t address, uint32_t length) {
  return ByteWriter().I32(static_cast<int32_t>(address)).I32(static_cast<int32_t>(length)).Take();
}
inline std::vector<uint8_t> JumpPayload(uint32_t address) {
  return ByteWriter().I32(static_cast<int32_t>(address)).Take();
}
inline std::vector<uint8_t> WritePayload(uint32_t address, const uint8_t* data, uint32_t n) {
  std::vector<uint8_t> p = RangePayload(address, n);
  p.insert(p.end(), data, data + n);
  return p;
}

}  // namespace smt::link::boot
