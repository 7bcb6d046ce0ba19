#include "platform/Archive.h"

#include <cstring>

#include "platform/TextCodec.h"

namespace smt::platform {

void ArchiveWriter::WriteU16(uint16_t v) {
  bytes_.push_back(static_cast<uint8_t>(v));
  bytes_.push_back(static_cast<uint8_t>(v >> 8));
}

void ArchiveWriter::WriteU32(uint32_t v) {
  for (int i = 0; i < 4; ++i) bytes_.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

void ArchiveWriter::WriteF64(double v) {
  uint64_t bits;
  std::memcpy(&bits, &v, sizeof bits);
  for (int i = 0; i < 8; ++i) bytes_.push_back(static_cast<uint8_t>(bits >> (8 * i)));
}

void ArchiveWriter::WriteString(std::string_view utf8) {
  bool ascii = true;
  for (char c : utf8) ascii &= static_cast<unsigned char>(c) < 0x80;
  if (ascii && utf8.size() < 0xFFFE) {
    // Plain text: each character is its UTF-16 unit, written in one go.
    const size_t n = utf8.size();
    WriteU8(0xFF);
    WriteU16(0xFFFE);
    if (n < 0xFF) {
      WriteU8(static_cast<uint8_t>(n));
    } else {
      WriteU8(0xFF);
      WriteU16(static_cast<uint16_t>(n));
    }
    const size_t at = bytes_.size();
    bytes_.resize(at + 2 * n);
    uint8_t* out = bytes_.data() + at;
    for (size_t i = 0; i < n; ++i) {
      out[2 * i] = static_cast<uint8_t>(utf8[i]);
      out[2 * i + 1] = 0;
    }
    return;
  }
  std::u16string u = Utf8ToUtf16(utf8);
  // Unicode tag: 0xFF then 0xFFFE.
  WriteU8(0xFF);
  WriteU16(0xFFFE);
  size_t n = u.size();
  if (n < 0xFF) {
    WriteU8(static_cast<uint8_t>(n));
  } else if (n < 0xFFFE) {
    WriteU8(0xFF);
    WriteU16(static_cast<uint16_t>(n));
  } else {
    WriteU8(0xFF);
    WriteU16(0xFFFF);
    WriteU32(static_cast<uint32_t>(n));
  }
  for (char16_t c : u) WriteU16(static_cast<uint16_t>(c));
}

void ArchiveReader::Need(size_t n, const char* what) const {
  if (remaining() < n) {
    throw ArchiveError(std::string("data ends inside ") + what + " at byte " + std::to_string(pos_) + " (" +
                       std::to_string(n) + " bytes needed, " + std::to_string(remaining()) + " left)");
  }
}

uint8_t ArchiveReader::ReadU8() {
  Need(1, "a byte");
  return data_[pos_++];
}

uint16_t ArchiveReader::ReadU16() {
  Need(2, "a 16-bit value");
  uint16_t v = static_cast<uint16_t>(data_[pos_] | (data_[pos_ + 1] << 8));
  pos_ += 2;
  return v;
}

uint32_t ArchiveReader::ReadU32() {
  Need(4, "a 32-bit value");
  uint32_t v = 0;
  for (int i = 0; i < 4; ++i) v |= static_cast<uint32_t>(data_[pos_ + i]) << (8 * i);
  pos_ += 4;
  return v;
}

double ArchiveReader::ReadF64() {
  Need(8, "a double");
  uint64_t bits = 0;
  for (int i = 0; i < 8; ++i) bits |= static_cast<uint64_t>(data_[pos_ + i]) << (8 * i);
  pos_ += 8;
  double v;
  std::memcpy(&v, &bits, sizeof v);
  return v;
}

std::span<const uint8_t> ArchiveReader::ReadBytes(size_t n) {
  Need(n, "a block");
  auto s = data_.subspan(pos_, n);
  pos_ += n;
  return s;
}

std::string ArchiveReader::ReadString() {
  bool unicode = false;
  uint32_t len = ReadU8();
  if (len == 0xFF) {
    uint16_t w = ReadU16();
    if (w == 0xFFFE) {
      // Unicode tag; the real length follows in the same three forms.
      unicode = true;
      len = ReadU8();
      if (len == 0xFF) {
        len = ReadU16();
        if (len == 0xFFFF) len = ReadU32();
      }
    } else if (w == 0xFFFF) {
      len = ReadU32();
    } else {
      len = w;
    }
  }
  if (unicode) {
    if (len > remaining() / 2) {
      throw ArchiveError("string of " + std::to_string(len) + " characters at byte " + std::to_string(pos_) +
                         " runs past the end of the data");
    }
    const uint8_t* p = data_.data() + pos_;
    pos_ += 2 * static_cast<size_t>(len);
    // Plain text (every unit below 0x80) is copied without a UTF-16 string in between.
    std::string ascii(len, '\0');
    uint8_t high = 0;
    for (uint32_t i = 0; i < len; ++i) {
      ascii[i] = static_cast<char>(p[2 * i]);
      high |= static_cast<uint8_t>(p[2 * i + 1] | (p[2 * i] & 0x80));
    }
    if (high == 0) return ascii;
    std::u16string u(len, u'\0');
    for (uint32_t i = 0; i < len; ++i) u[i] = static_cast<char16_t>(p[2 * i] | (p[2 * i + 1] << 8));
    return Utf16ToUtf8(u);
  }
  if (len > remaining()) {
    throw ArchiveError("string of " + std::to_string(len) + " bytes at byte " + std::to_string(pos_) +
                       " runs past the end of the data");
  }
  std::string_view raw(reinterpret_cast<const char*>(data_.data() + pos_), len);
  pos_ += len;
  bool ascii = true;
  for (char c : raw) ascii &= static_cast<unsigned char>(c) < 0x80;
  return ascii ? std::string(raw) : GbkToUtf8(raw);
}

}  // namespace smt::platform
