#include "sim/SimBootloader.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace smt::sim {
namespace {

uint32_t LE32(const std::vector<uint8_t>& p, size_t at) {
  if (at + 3 >= p.size()) return 0;
  return uint32_t(p[at]) | (uint32_t(p[at + 1]) << 8) | (uint32_t(p[at + 2]) << 16) | (uint32_t(p[at + 3]) << 24);
}

void PutLE32(std::vector<uint8_t>& p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

uint32_t Rotl(uint32_t x, int c) { return (x << c) | (x >> (32 - c)); }

}  // namespace

std::array<uint8_t, 16> SimMd5(const uint8_t* data, size_t size) {
  static const int s[64] = {7, 12, 17, 22, 7, 12, 17, 22, 7, 12, 17, 22, 7, 12, 17, 22, 5, 9,  14, 20, 5, 9,
                            14, 20, 5, 9,  14, 20, 5, 9,  14, 20, 4, 11, 16, 23, 4, 11, 16, 23, 4, 11, 16, 23,
                            4, 11, 16, 23, 6, 10, 15, 21, 6, 10, 15, 21, 6, 10, 15, 21, 6, 10, 15, 21};
  static uint32_t k[64];
  static const bool init = [] {
    for (int i = 0; i < 64; ++i) k[i] = static_cast<uint32_t>(std::floor(std::fabs(std::sin(i + 1.0)) * 4294967296.0));
    return true;
  }();
  (void)init;
  uint32_t a0 = 0x67452301, b0 = 0xefcdab89, c0 = 0x98badcfe, d0 = 0x10325476;
  std::vector<uint8_t> msg(data, data + size);
  msg.push_back(0x80);
  while (msg.size() % 64 != 56) msg.push_back(0);
  const uint64_t bits = static_cast<uint64_t>(size) * 8;
  for (int i = 0; i < 8; ++i) msg.push_back(static_cast<uint8_t>(bits >> (8 * i)));
  for (size_t off = 0; off < msg.size(); off += 64) {
    uint32_t m[16];
    for (int i = 0; i < 16; ++i)
      m[i] = uint32_t(msg[off + 4 * i]) | (uint32_t(msg[off + 4 * i + 1]) << 8) |
             (uint32_t(msg[off + 4 * i + 2]) << 16) | (uint32_t(msg[off + 4 * i + 3]) << 24);
    uint32_t a = a0, b = b0, c = c0, d = d0;
    for (int i = 0; i < 64; ++i) {
      uint32_t f;
      int g;
      if (i < 16) { f = (b & c) | (~b & d); g = i; }
      else if (i < 32) { f = (d & b) | (~d & c); g = (5 * i + 1) % 16; }
      else if (i < 48) { f = b ^ c ^ d; g = (3 * i + 5) % 16; }
      else { f = c ^ (b | ~d); g = (7 * i) % 16; }
      f = f + a + k[i] + m[g];
      a = d;
      d = c;
      c = b;
      b = b + Rotl(f, s[i]);
    }
    a0 += a; b0 += b; c0 += c; d0 += d;
  }
  std::array<uint8_t, 16> out{};
  const uint32_t words[4] = {a0, b0, c0, d0};
  for (int w = 0; w < 4; ++w)
    for (int i = 0; i < 4; ++i) out[w * 4 + i] = static_cast<uint8_t>(words[w] >> (8 * i));
  return out;
}

bool SimBootloader::Exists(int board, int index) {
  if (board == 3) return index >= 0 && index <= 3;
  return board >= 1 && board <= 4 && index == 0;
}

SimBootloader::SimBootloader() {
  static const char* names[5] = {"", "SMT main board", "SMT head board", "SMT feeder board", "SMT conveyor board"};
  for (int board = 1; board <= 4; ++board) {
    for (int index = 0; index < (board == 3 ? 4 : 1); ++index) {
      Board b;
      b.flash.assign(kFlashSize, 0xFF);
      // The upgrade program, then the configuration block and the rest of
      // its area, then an application already in place.
      for (uint32_t i = 0; i < 0x4000; ++i) b.flash[i] = static_cast<uint8_t>(i * 7 + 1);
      uint8_t* cfg = b.flash.data() + (kConfigAddress - kFlashBase);
      cfg[0] = 0; cfg[1] = 0;  // upgrade mark
      cfg[2] = 2; cfg[3] = 0;  // version
      std::memset(cfg + 4, 0, 64);
      std::memcpy(cfg + 4, names[board], std::strlen(names[board]));
      cfg[0x44] = 5;  cfg[0x45] = 0; cfg[0x46] = 0; cfg[0x47] = 0;
      std::memset(cfg + 0x48, 0, 8);
      for (uint32_t i = 0x50; i < 0x400; ++i) cfg[i] = static_cast<uint8_t>(i ^ (board * 16 + index));
      uint8_t* app = b.flash.data() + (kAppAddress - kFlashBase);
      for (uint32_t i = 0; i < 0x800; ++i) app[i] = static_cast<uint8_t>(i * 3 + board);
      boards_[Key(board, index)] = std::move(b);
    }
  }
}

SimBootloader::Board* SimBootloader::SelectedBoard() {
  auto it = boards_.find(Key(selected_.first, selected_.second));
  return it == boards_.end() ? nullptr : &it->second;
}

bool SimBootloader::InArea(uint32_t address, uint32_t n, bool& application) const {
  const uint64_t end = uint64_t(address) + n;
  if (address >= kConfigAddress && end <= uint64_t(kConfigAddress) + kConfigSize) {
    application = false;
    return true;
  }
  if (address >= kAppAddress && end <= uint64_t(kAppAddress) + kAppSize) {
    application = true;
    return true;
  }
  return false;
}

std::vector<uint8_t> SimBootloader::FailureReply(uint16_t code, uint8_t status) {
  std::vector<uint8_t> r{status};
  if (code == 0xF06) r.resize(17, 0);
  if (code == 0xF04) r.resize(8, 0);
  return r;
}

std::vector<uint8_t> SimBootloader::Handle(uint16_t code, const std::vector<uint8_t>& p, bool& mainBoardRestarts) {
  std::lock_guard lk(m_);
  mainBoardRestarts = false;
  if (code == 0xF00) {
    if (p.size() != 2) return {kLengthError};
    if (!Exists(p[0], p[1])) return {kUnknown};
    selected_ = {p[0], p[1]};
    flags_.emplace_back(p[0], p[1]);
    return {0};
  }
  Board* b = SelectedBoard();
  if (!b) return FailureReply(code, kUnknown);
  switch (code) {
    case 0xF02: {
      if (p.size() != 8) return {kLengthError};
      const uint32_t address = LE32(p, 0), n = LE32(p, 4);
      bool app = false;
      if (n == 0 || !InArea(address, n, app)) return {kUnknown};
      if (app && !b->inBootloader) return {kProtected};
      std::fill_n(b->flash.begin() + (address - kFlashBase), n, 0xFF);
      return {0};
    }
    case 0xF03: {
      if (p.size() < 8) return {kLengthError};
      const uint32_t address = LE32(p, 0), n = LE32(p, 4);
      if (n == 0 || n > kMaxChunk || p.size() != 8 + n) return {kLengthError};
      bool app = false;
      if (!InArea(address, n, app)) return {kUnknown};
      if (app && !b->inBootloader) return {kProtected};
      std::vector<uint8_t> data(p.begin() + 8, p.end());
      if (corruptWrites_ > 0) {
        --corruptWrites_;
        data[data.size() / 2] ^= 0x10;
      }
      if (corruptAt_ >= address && corruptAt_ < address + n) {
        data[corruptAt_ - address] ^= 0x10;
        corruptAt_ = 0;
      }
      // Flash programming only clears bits: writing over unerased flash
      // leaves a mix of old and new.
      uint8_t* at = b->flash.data() + (address - kFlashBase);
      for (uint32_t i = 0; i < n; ++i) at[i] &= data[i];
      if (app) b->appBytesWritten += n;
      return {0};
    }
    case 0xF04: {
      if (p.size() != 8) return {kLengthError};
      const uint32_t address = LE32(p, 0), n = LE32(p, 4);
      if (n == 0 || n > kMaxChunk || address < kFlashBase || uint64_t(address) + n > uint64_t(kFlashBase) + kFlashSize)
        return FailureReply(code, kUnknown);
      std::vector<uint8_t> r{0, 0, 0, 0};
      PutLE32(r, address);
      const uint8_t* at = b->flash.data() + (address - kFlashBase);
      r.insert(r.end(), at, at + n);
      return r;
    }
    case 0xF06: {
      if (p.size() != 8) return FailureReply(code, kLengthError);
      const uint32_t address = LE32(p, 0), n = LE32(p, 4);
      if (address != kAppAddress || n > kAppSize) return FailureReply(code, kUnknown);
      auto digest = SimMd5(b->flash.data() + (address - kFlashBase), n);
      if (wrongDigests_ > 0) {
        --wrongDigests_;
        digest[0] ^= 0xA5;
      }
      std::vector<uint8_t> r{0};
      r.insert(r.end(), digest.begin(), digest.end());
      if (shortDigests_ > 0) {
        --shortDigests_;
        r.pop_back();
      }
      return r;
    }
    case 0xF07: {
      if (p.size() != 4) return {kLengthError};
      const uint32_t address = LE32(p, 0);
      if (address == kFlashBase) {
        b->inBootloader = true;
      } else if (address == kAppAddress) {
        // The upgrade program starts the application only when the block
        // says so and there is an application to start.
        const uint8_t* cfg = b->flash.data() + (kConfigAddress - kFlashBase);
        const uint8_t* app = b->flash.data() + (kAppAddress - kFlashBase);
        const bool blank = app[0] == 0xFF && app[1] == 0xFF && app[2] == 0xFF && app[3] == 0xFF;
        if (blank) return {kProtected};
        b->inBootloader = (cfg[0] | (cfg[1] << 8)) != 0;
      } else {
        return {kUnknown};
      }
      jumps_.push_back({uint32_t(selected_.first), uint32_t(selected_.second), address});
      mainBoardRestarts = selected_.first == 1;
      return {0};
    }
    default: return {kUnknown};
  }
}

std::vector<uint8_t> SimBootloader::Read(int board, int index, uint32_t address, uint32_t n) const {
  std::lock_guard lk(m_);
  auto it = boards_.find(Key(board, index));
  if (it == boards_.end() || address < kFlashBase || uint64_t(address) + n > uint64_t(kFlashBase) + kFlashSize) return {};
  const auto* at = it->second.flash.data() + (address - kFlashBase);
  return {at, at + n};
}

void SimBootloader::Write(int board, int index, uint32_t address, const std::vector<uint8_t>& bytes) {
  std::lock_guard lk(m_);
  auto it = boards_.find(Key(board, index));
  if (it == boards_.end() || address < kFlashBase || uint64_t(address) + bytes.size() > uint64_t(kFlashBase) + kFlashSize)
    return;
  std::copy(bytes.begin(), bytes.end(), it->second.flash.begin() + (address - kFlashBase));
}

bool SimBootloader::InBootloader(int board, int index) const {
  std::lock_guard lk(m_);
  auto it = boards_.find(Key(board, index));
  return it != boards_.end() && it->second.inBootloader;
}

void SimBootloader::SetInBootloader(int board, int index, bool on) {
  std::lock_guard lk(m_);
  auto it = boards_.find(Key(board, index));
  if (it != boards_.end()) it->second.inBootloader = on;
}

std::pair<int, int> SimBootloader::Selected() const {
  std::lock_guard lk(m_);
  return selected_;
}

std::vector<std::pair<int, int>> SimBootloader::UpdateFlags() const {
  std::lock_guard lk(m_);
  return flags_;
}

std::vector<std::array<uint32_t, 3>> SimBootloader::Jumps() const {
  std::lock_guard lk(m_);
  return jumps_;
}

uint64_t SimBootloader::ApplicationBytesWritten(int board, int index) const {
  std::lock_guard lk(m_);
  auto it = boards_.find(Key(board, index));
  return it == boards_.end() ? 0 : it->second.appBytesWritten;
}

}  // namespace smt::sim
