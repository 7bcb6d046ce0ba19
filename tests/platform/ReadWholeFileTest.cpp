#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <thread>

#include "platform/FileIo.h"
#include "support/TempDir.h"

using smt::platform::ReadWholeFile;
using smt::test::TempDir;

namespace {
std::vector<uint8_t> Pattern(size_t n) {
  std::vector<uint8_t> v(n);
  for (size_t i = 0; i < n; ++i) v[i] = static_cast<uint8_t>(i * 131 + (i >> 8));
  return v;
}
}  // namespace

// A file is read whole into one buffer of exactly its size: no second,
// larger allocation when the read ends exactly at the stated size.
TEST(ReadWholeFile, ReadsEverySizeIntoOneBufferOfThatSize) {
  TempDir dir;
  for (size_t size : {size_t{0}, size_t{1}, size_t{4095}, size_t{4096}, size_t{65536}, size_t{65537},
                      size_t{3 * 1024 * 1024 + 7}}) {
    SCOPED_TRACE(size);
    const auto bytes = Pattern(size);
    const auto path = dir / "f.bin";
    {
      std::ofstream out(path, std::ios::binary | std::ios::trunc);
      out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    }
    const auto read = ReadWholeFile(path);
    EXPECT_EQ(read, bytes);
    if (size > 0) {
      EXPECT_EQ(read.capacity(), size);
    }
  }
}

// Where the stated size says nothing (a pipe reports 0) every byte is still
// read, across several growths of the buffer.
TEST(ReadWholeFile, ReadsAPipeWhoseSizeIsUnknown) {
  TempDir dir;
  const auto fifo = dir / "pipe";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  const auto bytes = Pattern(300 * 1024 + 11);
  std::thread writer([&] {
    std::ofstream out(fifo, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  });
  const auto read = ReadWholeFile(fifo);
  writer.join();
  EXPECT_EQ(read, bytes);
}

TEST(ReadWholeFile, MissingFileIsNamedInTheError) {
  TempDir dir;
  try {
    ReadWholeFile(dir / "absent.smt");
    FAIL() << "no error";
  } catch (const smt::platform::FileError& e) {
    EXPECT_NE(std::string(e.what()).find("absent.smt"), std::string::npos);
  }
}
