#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdint>
#include <fstream>
#include <string>
#include <vector>

#include "platform/FileIo.h"
#include "platform/LargeBlock.h"
#include "support/ResidentMemory.h"
#include "support/TempDir.h"

using smt::platform::kHugePageSize;
using smt::platform::kLargeBlockMin;
using smt::platform::LargeBlockAllocator;
using smt::platform::NewByteBlock;

namespace {
using smt::test::ResidentKiB;

uint8_t PatternByte(size_t i) { return static_cast<uint8_t>(i * 131 + (i >> 8)); }

const size_t kSizes[] = {0,
                         1,
                         4096,
                         kLargeBlockMin - 1,
                         kLargeBlockMin,
                         kLargeBlockMin + 1,
                         kHugePageSize,
                         kHugePageSize + 1,
                         5 * kHugePageSize + 3};
}  // namespace

// Every byte of a block holds what was written to it, at sizes on both sides
// of the large-block limit and of a huge page; a large block starts on a
// huge page.
TEST(LargeBlock, EveryByteOfABlockOfEverySizeHoldsWhatWasWritten) {
  for (size_t size : kSizes) {
    SCOPED_TRACE(size);
    auto block = NewByteBlock(size);
    ASSERT_NE(block.get(), nullptr);
    if (size >= kLargeBlockMin) {
      EXPECT_EQ(reinterpret_cast<uintptr_t>(block.get()) % kHugePageSize, 0u);
    }
    for (size_t i = 0; i < size; ++i) block[i] = PatternByte(i);
    size_t wrong = 0;
    for (size_t i = 0; i < size; ++i) wrong += block[i] != PatternByte(i);
    EXPECT_EQ(wrong, 0u);
  }
}

// A container that grows across the limit keeps its elements through every
// move to a larger block, and a copy of it is equal and independent.
TEST(LargeBlock, AContainerGrowingPastTheLimitKeepsItsElements) {
  struct Row {
    int serial = 0;
    std::string name;  // past the short-string size: its own heap block
    bool operator==(const Row&) const = default;
  };
  std::vector<Row, LargeBlockAllocator<Row>> rows;
  const size_t count = 3 * kHugePageSize / sizeof(Row);
  for (size_t i = 0; i < count; ++i) rows.push_back({static_cast<int>(i), "row number " + std::to_string(i) + " of many"});
  ASSERT_GE(rows.capacity() * sizeof(Row), kLargeBlockMin);
  for (size_t i : {size_t{0}, count / 3, count - 1}) {
    EXPECT_EQ(rows[i].serial, static_cast<int>(i));
    EXPECT_EQ(rows[i].name, "row number " + std::to_string(i) + " of many");
  }
  auto copy = rows;
  EXPECT_EQ(copy, rows);
  copy[5].name = "changed";
  EXPECT_EQ(rows[5].name, "row number 5 of many");
}

// Large blocks go back to the system when freed: 64 MiB of them, every page
// touched, leave (nearly) nothing resident behind.
TEST(LargeBlock, FreedBlocksLeaveNothingResident) {
  const long before = ResidentKiB();
  {
    std::vector<smt::platform::ByteBlock> blocks;
    for (int i = 0; i < 16; ++i) {
      const size_t size = 4 * kHugePageSize - 5;
      blocks.push_back(NewByteBlock(size));
      for (size_t k = 0; k < size; k += 4096) blocks.back()[k] = 1;
    }
    EXPECT_GT(ResidentKiB() - before, 48 * 1024);
  }
  EXPECT_LT(ResidentKiB() - before, 4 * 1024);
}

// A file is read whole, byte for byte, into one block of its size, at sizes
// on both sides of the large-block limit.
TEST(LargeBlock, AFileOfEverySizeIsReadWhole) {
  smt::test::TempDir dir;
  for (size_t size : kSizes) {
    SCOPED_TRACE(size);
    std::vector<uint8_t> bytes(size);
    for (size_t i = 0; i < size; ++i) bytes[i] = PatternByte(i);
    const auto path = dir / "f.bin";
    {
      std::ofstream out(path, std::ios::binary | std::ios::trunc);
      out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    }
    const auto read = smt::platform::ReadFileBuffer(path);
    ASSERT_EQ(read.size(), size);
    EXPECT_TRUE(std::equal(bytes.begin(), bytes.end(), read.bytes().begin()));
  }
}
