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
  enum class Check { Ok, Missing, Unreadable, TooShort, TooLarge };
  // The initial stack pointer and the reset vector: anything shorter cannot run.
  static constexpr size_t kMinSize = 8;

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
