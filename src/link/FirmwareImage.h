#pragma once
// A board's application image from the "Update" folder, read whole and
// checked before anything is sent: it must exist, be read completely, hold
// at least the start vectors and fit the application area. Its MD5 is what
// the board's digest of the written area must equal.
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace smt::link {

using Md5Digest = std::array<uint8_t, 16>;

class FirmwareImage {
 public:
  // Erased: every byte 0xFF (an empty flash read back, not a program).
  // NoStack: the vector table's initial stack pointer is not in the boards'
  // RAM. NoReset: its reset vector does not point at Thumb code inside the
  // image as the board's application area holds it.
  enum class Check { Ok, Missing, Unreadable, TooShort, TooLarge, Erased, NoStack, NoReset };
  // The processor's own part of the vector table (16 words): anything
  // shorter cannot be an application.
  static constexpr size_t kMinSize = 64;
  // Where the boards' RAM lies: an initial stack pointer is the top of the
  // stack, so it may equal the end.
  static constexpr uint32_t kRamStart = 0x20000000, kRamEnd = 0x20080000;
  static constexpr uint32_t kCoupledRamStart = 0x10000000, kCoupledRamEnd = 0x10010000;

  // Whether `bytes` look like an application linked for the boards'
  // application area (the size is checked by Load).
  static Check CheckContent(const std::vector<uint8_t>& bytes);

  // "MainApplication.bin", "HeadApplication.bin", "FeedApplication.bin",
  // "ConveyorApplication.bin" for boards 1 to 4.
  static std::string FileName(int board);
  // <appDir>/Update/<file name>.
  static std::string PathFor(const std::string& appDir, int board);

  Check Load(const std::string& path);

  const std::vector<uint8_t>& bytes() const { return bytes_; }
  uint32_t size() const { return static_cast<uint32_t>(bytes_.size()); }
  const Md5Digest& md5() const { return md5_; }
  const std::string& path() const { return path_; }

 private:
  std::string path_;
  std::vector<uint8_t> bytes_;
  Md5Digest md5_{};
};

Md5Digest Md5Of(const uint8_t* data, size_t size);
// The digest of `length` bytes of erased flash (0xFF).
Md5Digest ErasedFlashMd5(size_t length);
std::string Md5Hex(const Md5Digest& d);

}  // namespace smt::link
