#pragma once
// Serial frames of the machine link.
// Program to board: EE 00 len code payload sum FF FC FF FF, with
// len = payload + 2 and sum = low byte of the bytes from the 00 to the last
// payload byte. Board to program: EE type ... FF FC FF FF.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

namespace smt::link {

inline constexpr uint8_t kFrameStart = 0xEE;
inline constexpr uint8_t kFrameTail[4] = {0xFF, 0xFC, 0xFF, 0xFF};

std::vector<uint8_t> BuildSerialFrame(uint8_t code, const std::vector<uint8_t>& payload);

// Finds board frames in the received bytes, however they are cut into reads.
// A frame is a start byte followed by the tail within 30 bytes (the tail
// begins 1 to 30 bytes after the start). Bytes before a start byte are junk
// and passed over; a start byte whose tail cannot be within reach any more is
// passed over too. A frame that has only partly arrived is kept until the
// rest comes. The bytes are held in a 256-byte ring.
class SerialFrameParser {
 public:
  static constexpr size_t kCapacity = 256;
  static constexpr size_t kMaxTailOffset = 30;

  // False (and the byte not taken) when the ring is full.
  bool Push(uint8_t byte);
  // The next complete frame, or false when none is complete yet.
  bool Next(std::vector<uint8_t>& frame);
  // Pushes `size` bytes, handing each frame to `onFrame` as soon as it is
  // complete. Returns the number of bytes taken (less than `size` only when
  // the ring was full: reported, never overrun).
  size_t Feed(const uint8_t* data, size_t size, const std::function<void(const std::vector<uint8_t>&)>& onFrame);

  size_t Pending() const { return count_; }
  uint64_t SkippedBytes() const { return skipped_; }
  uint64_t Overflows() const { return overflows_; }
  void Clear() { head_ = count_ = 0; }

 private:
  uint8_t At(size_t i) const { return ring_[(head_ + i) % kCapacity]; }
  void Drop(size_t n) { head_ = (head_ + n) % kCapacity; count_ -= n; }

  uint8_t ring_[kCapacity] = {};
  size_t head_ = 0;
  size_t count_ = 0;
  uint64_t skipped_ = 0;
  uint64_t overflows_ = 0;
};

}  // namespace smt::link
