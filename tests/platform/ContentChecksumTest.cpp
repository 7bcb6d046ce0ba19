// The checksum a save's journal records for each file: the same value
// however the bytes are fed, and another value for the damage a file
// interrupted on its way to the disk shows.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <vector>

#include "platform/ContentChecksum.h"

using smt::platform::ContentChecksum;

namespace {

std::vector<uint8_t> Bytes(size_t n) {
  std::vector<uint8_t> b(n);
  uint32_t x = 12345;
  for (auto& v : b) {
    x = x * 1103515245u + 12345u;
    v = static_cast<uint8_t>(x >> 16);
  }
  return b;
}

}  // namespace

TEST(ContentChecksum, PiecesOfAnySizeGiveTheValueOfTheWhole) {
  for (size_t size : {0u, 1u, 7u, 31u, 32u, 33u, 100u, 4096u, 100001u}) {
    const auto bytes = Bytes(size);
    const uint64_t whole = ContentChecksum::Of(bytes);
    for (size_t piece : {1u, 5u, 32u, 33u, 1000u}) {
      ContentChecksum c;
      for (size_t at = 0; at < size; at += piece)
        c.Update(std::span<const uint8_t>(bytes).subspan(at, std::min(piece, size - at)));
      EXPECT_EQ(c.Value(), whole) << size << " bytes in pieces of " << piece;
      EXPECT_EQ(c.size(), size);
    }
  }
}

TEST(ContentChecksum, DamagedBytesGiveAnotherValue) {
  const auto good = Bytes(70000);
  const uint64_t value = ContentChecksum::Of(good);
  auto flipped = good;
  flipped[35000] ^= 0x01;
  const std::vector<uint8_t> cut(good.begin(), good.end() - 1);
  auto zeroBlock = good;
  std::fill(zeroBlock.begin() + 4096, zeroBlock.begin() + 8192, 0);
  auto swapped = good;
  std::swap(swapped[10], swapped[50]);
  auto longer = good;
  longer.push_back(0);
  const std::vector<std::pair<const char*, std::vector<uint8_t>>> damaged = {
      {"one bit flipped", flipped},      {"the last byte cut", cut},          {"a block of zeros", zeroBlock},
      {"two bytes swapped", swapped},    {"a zero byte added", longer},       {"all zeros", std::vector<uint8_t>(70000)},
  };
  for (const auto& [what, bytes] : damaged) EXPECT_NE(ContentChecksum::Of(bytes), value) << what;
}
