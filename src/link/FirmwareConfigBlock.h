#pragma once
// The configuration block at the start of a board's 64 KiB configuration
// area: upgrade mark, version, device description, board information bits
// and the X and Y travel limits (little-endian). The area is always moved
// whole; bytes past the block are kept as they were read.
#include <cstdint>
#include <string>
#include <vector>

namespace smt::link {


class FirmwareConfigBlock {
 public:
  static constexpr size_t kMarkOffset = 0x00;
  static constexpr size_t kVersionOffset = 0x02;
  static constexpr size_t kDescriptionOffset = 0x04;
  static constexpr size_t kDescriptionSize = 64;
  static constexpr size_t kInformationOffset = 0x44;
  static constexpr size_t kXLimitOffset = 0x48;
  static constexpr size_t kYLimitOffset = 0x4C;
  static constexpr uint16_t kExpectedVersion = 2;

  // The whole area, 0x10000 bytes, filled with 0xFF (erased flash).
  FirmwareConfigBlock();

  std::vector<uint8_t>& bytes() { return area_; }
  const std::vector<uint8_t>& bytes() const { return area_; }
  uint8_t* data() { return area_.data(); }
  void Fill(uint8_t value);

  uint16_t UpgradeMark() const { return U16(kMarkOffset); }
  void SetUpgradeMark(uint16_t mark) { PutU16(kMarkOffset, mark); }
  uint16_t Version() const { return U16(kVersionOffset); }
  void SetVersion(uint16_t v) { PutU16(kVersionOffset, v); }
  // Up to the first NUL or the end of the 64-byte field, 8-bit text as stored.
  std::string DescriptionBytes() const;
  void SetDescriptionBytes(const std::string& text);
  uint32_t Information() const { return U32(kInformationOffset); }
  void SetInformation(uint32_t v) { PutU32(kInformationOffset, v); }
  int32_t XLimit() const { return static_cast<int32_t>(U32(kXLimitOffset)); }
  int32_t YLimit() const { return static_cast<int32_t>(U32(kYLimitOffset)); }
  void SetLimits(int32_t x, int32_t y);

 private:
  uint16_t U16(size_t at) const;
  uint32_t U32(size_t at) const;
  void PutU16(size_t at, uint16_t v);
  void PutU32(size_t at, uint32_t v);

  std::vector<uint8_t> area_;
};

// Base 2, most significant set bit first, no leading zeros; 0 gives "".
std::string BinaryDigits(uint32_t value);

// The version after the "V3." label: "%d" with a "0" in front for 1 to 9.
std::string VersionDigits(uint16_t version);

// Millimetres x pulses per millimetre, truncated toward zero into 32 bits
// (clamped to the 32-bit range).
int32_t LimitInSteps(double limitMm, double pulsesPerMm);

}  // namespace smt::link
