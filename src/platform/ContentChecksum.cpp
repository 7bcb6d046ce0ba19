#include "platform/ContentChecksum.h"

#include <algorithm>
#include <bit>
#include <cstring>

namespace smt::platform {

namespace {

constexpr uint64_t kP1 = 0x9E3779B185EBCA87ull;
constexpr uint64_t kP2 = 0xC2B2AE3D27D4EB4Full;
constexpr uint64_t kP3 = 0x165667B19E3779F9ull;
constexpr uint64_t kP4 = 0x85EBCA77C2B2AE63ull;
constexpr uint64_t kP5 = 0x27D4EB2F165667C5ull;

inline uint64_t Load64(const uint8_t* p) {
  uint64_t v;
  std::memcpy(&v, p, 8);
  if constexpr (std::endian::native == std::endian::big) v = __builtin_bswap64(v);
  return v;
}

inline uint64_t Round(uint64_t acc, uint64_t input) {
  acc += input * kP2;
  acc = std::rotl(acc, 31);
  return acc * kP1;
}

inline uint64_t Merge(uint64_t acc, uint64_t lane) {
  acc ^= Round(0, lane);
  return acc * kP1 + kP4;
}

}  // namespace

ContentChecksum::ContentChecksum() : lane_{kP1 + kP2, kP2, 0, 0 - kP1} {}

void ContentChecksum::Stripe(const uint8_t* p) {
  lane_[0] = Round(lane_[0], Load64(p));
  lane_[1] = Round(lane_[1], Load64(p + 8));
  lane_[2] = Round(lane_[2], Load64(p + 16));
  lane_[3] = Round(lane_[3], Load64(p + 24));
}

void ContentChecksum::Update(std::span<const uint8_t> bytes) {
  const uint8_t* p = bytes.data();
  size_t n = bytes.size();
  total_ += n;
  if (pendingSize_ > 0) {
    const size_t take = std::min(n, sizeof pending_ - pendingSize_);
    std::memcpy(pending_ + pendingSize_, p, take);
    pendingSize_ += take;
    p += take;
    n -= take;
    if (pendingSize_ < sizeof pending_) return;
    Stripe(pending_);
    pendingSize_ = 0;
  }
  for (; n >= 32; p += 32, n -= 32) Stripe(p);
  if (n > 0) {
    std::memcpy(pending_, p, n);
    pendingSize_ = n;
  }
}

uint64_t ContentChecksum::Value() const {
  uint64_t h = std::rotl(lane_[0], 1) + std::rotl(lane_[1], 7) + std::rotl(lane_[2], 12) + std::rotl(lane_[3], 18);
  for (uint64_t lane : lane_) h = Merge(h, lane);
  h += total_;
  // The bytes that do not fill a stripe, eight and then one at a time.
  size_t i = 0;
  for (; i + 8 <= pendingSize_; i += 8) h = std::rotl(h ^ Round(0, Load64(pending_ + i)), 27) * kP1 + kP4;
  for (; i < pendingSize_; ++i) h = std::rotl(h ^ (pending_[i] * kP5), 11) * kP1;
  h ^= h >> 33;
  h *= kP2;
  h ^= h >> 29;
  h *= kP3;
  h ^= h >> 32;
  return h;
}

}  // namespace smt::platform
