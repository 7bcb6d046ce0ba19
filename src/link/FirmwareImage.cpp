#include "link/FirmwareImage.h"

#include <algorithm>

#include <QCryptographicHash>
#include <cstdio>
#include <filesystem>
#include <system_error>

#include "link/BootloaderProtocol.h"

namespace smt::link {

std::string FirmwareImage::FileName(int board) {
  switch (board) {
    case 1: return "MainApplication.bin";
    case 2: return "HeadApplication.bin";
    case 3: return "FeedApplication.bin";
    case 4: return "ConveyorApplication.bin";
    default: return "";
  }
}

std::string FirmwareImage::PathFor(const std::string& appDir, int board) {
  return (std::filesystem::path(appDir) / "Update" / FileName(board)).string();
}

FirmwareImage::Check FirmwareImage::CheckContent(const std::vector<uint8_t>& b) {
  if (b.size() < kMinSize) return Check::TooShort;
  if (std::all_of(b.begin(), b.end(), [](uint8_t v) { return v == 0xFF; })) return Check::Erased;
  auto word = [&](size_t at) {
    return static_cast<uint32_t>(b[at]) | static_cast<uint32_t>(b[at + 1]) << 8 | static_cast<uint32_t>(b[at + 2]) << 16 |
           static_cast<uint32_t>(b[at + 3]) << 24;
  };
  const uint32_t stack = word(0);
  const bool inRam = (stack > kRamStart && stack <= kRamEnd) || (stack > kCoupledRamStart && stack <= kCoupledRamEnd);
  if (!inRam || (stack & 3u) != 0) return Check::NoStack;
  const uint32_t reset = word(4);
  // Thumb code (bit 0 set), past the vector table, inside the image once
  // it lies at the start of the application area.
  const uint32_t target = reset & ~1u;
  if ((reset & 1u) == 0 || target < boot::kApplicationAddress + kMinSize ||
      target >= boot::kApplicationAddress + b.size())
    return Check::NoReset;
  return Check::Ok;
}

FirmwareImage::Check FirmwareImage::Load(const std::string& path) {
  path_ = path;
  bytes_.clear();
  std::error_code ec;
  if (!std::filesystem::is_regular_file(path, ec)) return Check::Missing;
  const auto expected = std::filesystem::file_size(path, ec);
  if (ec) return Check::Unreadable;
  if (expected > boot::kApplicationSize) return Check::TooLarge;
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) return Check::Unreadable;
  // One byte more than the area: a file that grew since its size was taken
  // is caught as well.
  std::vector<uint8_t> buffer(boot::kApplicationSize + 1);
  const size_t n = std::fread(buffer.data(), 1, buffer.size(), f);
  const bool error = std::ferror(f) != 0;
  std::fclose(f);
  if (error || n != expected) return Check::Unreadable;
  if (n > boot::kApplicationSize) return Check::TooLarge;
  if (n < kMinSize) return Check::TooShort;
  buffer.resize(n);
  // Nothing that cannot start on the board is written into it.
  if (const Check c = CheckContent(buffer); c != Check::Ok) return c;
  bytes_ = std::move(buffer);
  md5_ = Md5Of(bytes_.data(), bytes_.size());
  return Check::Ok;
}

Md5Digest Md5Of(const uint8_t* data, size_t size) {
  const QByteArray h = QCryptographicHash::hash(
      QByteArrayView(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size)), QCryptographicHash::Md5);
  Md5Digest d{};
  for (size_t i = 0; i < d.size() && i < static_cast<size_t>(h.size()); ++i) d[i] = static_cast<uint8_t>(h[static_cast<qsizetype>(i)]);
  return d;
}

Md5Digest ErasedFlashMd5(size_t length) {
  const std::vector<uint8_t> erased(length, 0xFF);
  return Md5Of(erased.data(), erased.size());
}

std::string Md5Hex(const Md5Digest& d) {
  std::string s;
  char b[3];
  for (uint8_t v : d) {
    std::snprintf(b, sizeof b, "%02x", v);
    s += b;
  }
  return s;
}

}  // namespace smt::link
