#include "link/FirmwareConfigBlock.h"

#include <cmath>
#include <limits>

#include "link/BootloaderProtocol.h"

namespace smt::link {

FirmwareConfigBlock::FirmwareConfigBlock() : area_(boot::kConfigSize, 0xFF) {}

void FirmwareConfigBlock::Fill(uint8_t value) { std::fill(area_.begin(), area_.end(), value); }

uint16_t FirmwareConfigBlock::U16(size_t at) const { return static_cast<uint16_t>(area_[at] | (area_[at + 1] << 8)); }

uint32_t FirmwareConfigBlock::U32(size_t at) const {
  return static_cast<uint32_t>(area_[at]) | (static_cast<uint32_t>(area_[at + 1]) << 8) |
         (static_cast<uint32_t>(area_[at + 2]) << 16) | (static_cast<uint32_t>(area_[at + 3]) << 24);
}

void FirmwareConfigBlock::PutU16(size_t at, uint16_t v) {
  area_[at] = static_cast<uint8_t>(v);
  area_[at + 1] = static_cast<uint8_t>(v >> 8);
}

void FirmwareConfigBlock::PutU32(size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) area_[at + i] = static_cast<uint8_t>(v >> (8 * i));
}

std::string FirmwareConfigBlock::DescriptionBytes() const {
  std::string s;
  for (size_t i = 0; i < kDescriptionSize; ++i) {
    const char c = static_cast<char>(area_[kDescriptionOffset + i]);
    if (c == '\0') break;
    s.push_back(c);
  }
  return s;
}

void FirmwareConfigBlock::SetDescriptionBytes(const std::string& text) {
  for (size_t i = 0; i < kDescriptionSize; ++i)
    area_[kDescriptionOffset + i] = i < text.size() ? static_cast<uint8_t>(text[i]) : 0;
}

void FirmwareConfigBlock::SetLimits(int32_t x, int32_t y) {
  PutU32(kXLimitOffset, static_cast<uint32_t>(x));
  PutU32(kYLimitOffset, static_cast<uint32_t>(y));
}

std::string BinaryDigits(uint32_t value) {
  std::string s;
  for (; value != 0; value >>= 1) s.insert(s.begin(), (value & 1) ? '1' : '0');
  return s;
}

std::string VersionDigits(uint16_t version) {
  const std::string d = std::to_string(version);
  return (version >= 1 && version <= 9) ? "0" + d : d;
}

int32_t LimitInSteps(double limitMm, double pulsesPerMm) {
  const double v = std::trunc(limitMm * pulsesPerMm);
  if (!std::isfinite(v)) return 0;
  if (v >= static_cast<double>(std::numeric_limits<int32_t>::max())) return std::numeric_limits<int32_t>::max();
  if (v <= static_cast<double>(std::numeric_limits<int32_t>::min())) return std::numeric_limits<int32_t>::min();
  return static_cast<int32_t>(v);
}

}  // namespace smt::link
