#include "link/SerialFrame.h"

namespace smt::link {

std::vector<uint8_t> BuildSerialFrame(uint8_t code, const std::vector<uint8_t>& payload) {
  std::vector<uint8_t> f;
  f.reserve(payload.size() + 9);
  f.push_back(kFrameStart);
  f.push_back(0x00);
  f.push_back(static_cast<uint8_t>(payload.size() + 2));
  f.push_back(code);
  f.insert(f.end(), payload.begin(), payload.end());
  uint8_t sum = 0;
  for (size_t i = 1; i < f.size(); ++i) sum = static_cast<uint8_t>(sum + f[i]);
  f.push_back(sum);
  f.insert(f.end(), std::begin(kFrameTail), std::end(kFrameTail));
  return f;
}

bool SerialFrameParser::Push(uint8_t byte) {
  if (count_ == kCapacity) {
    ++overflows_;
    return false;
  }
  ring_[(head_ + count_) % kCapacity] = byte;
  ++count_;
  return true;
}

bool SerialFrameParser::Next(std::vector<uint8_t>& frame) {
  for (;;) {
    while (count_ > 0 && At(0) != kFrameStart) {
      Drop(1);
      ++skipped_;
    }
    if (count_ == 0) return false;
    for (size_t k = 1; k <= kMaxTailOffset && k + 3 < count_; ++k) {
      if (At(k) == 0xFF && At(k + 1) == 0xFC && At(k + 2) == 0xFF && At(k + 3) == 0xFF) {
        const size_t n = k + 4;
        frame.resize(n);
        for (size_t i = 0; i < n; ++i) frame[i] = At(i);
        Drop(n);
        return true;
      }
    }
    // Every tail position within reach has arrived and none matched: this
    // start byte begins no frame.
    if (count_ >= kMaxTailOffset + 4) {
      Drop(1);
      ++skipped_;
      continue;
    }
    return false;  // the rest of the frame has not arrived yet
  }
}

size_t SerialFrameParser::Feed(const uint8_t* data, size_t size,
                               const std::function<void(const std::vector<uint8_t>&)>& onFrame) {
  std::vector<uint8_t> frame;
  size_t taken = 0;
  for (; taken < size; ++taken) {
    if (!Push(data[taken])) break;
    while (Next(frame)) onFrame(frame);
  }
  return taken;
}

}  // namespace smt::link
