#pragma once
// The archive form of the job and library files: strings as a Unicode tag
// (FF FE FF), a length in one of three forms and UTF-16LE text; the reader
// also takes the older 8-bit form (no tag, GBK text). Integers are
// little-endian. The reader checks every length against the bytes that are
// there and throws ArchiveError when the data runs short.
#include <cstdint>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace smt::platform {

class ArchiveError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Archive text conversions in one pass (the same readings as Utf8ToUtf16 and
// Utf16ToUtf8). EncodeUtf16Le writes at most utf8.size() units (2 bytes
// each) to `out` and returns how many; DecodeUtf16Le reads `units`
// little-endian units and writes at most 3 bytes per unit to `out`, returning
// the bytes written.
size_t EncodeUtf16Le(std::string_view utf8, uint8_t* out);
// Writes `utf8` as one archive string (header and UTF-16LE text) at `out`,
// which has room for ArchiveStringBound(utf8.size()) bytes; returns the
// bytes written (what ArchiveWriter::WriteString appends).
size_t PutArchiveString(std::string_view utf8, uint8_t* out);

// Bytes of a Unicode string header for `units` UTF-16 units, and the header
// itself: the tag FF FE FF and the length in its one-, three- or seven-byte form.
size_t UnicodeHeaderSize(size_t units);
void PutUnicodeHeader(uint8_t* out, size_t units);
inline size_t ArchiveStringBound(size_t utf8Bytes) { return 10 + 2 * utf8Bytes; }
size_t DecodeUtf16Le(const uint8_t* units16, size_t units, char* out);

class ArchiveWriter {
 public:
  void WriteString(std::string_view utf8);
  void WriteI32(int32_t v) { WriteU32(static_cast<uint32_t>(v)); }
  void WriteU32(uint32_t v);
  void WriteU16(uint16_t v);
  void WriteU8(uint8_t v) { bytes_.push_back(v); }
  void WriteF64(double v);
  void WriteBytes(std::span<const uint8_t> b) { bytes_.insert(bytes_.end(), b.begin(), b.end()); }

  const std::vector<uint8_t>& bytes() const { return bytes_; }
  std::vector<uint8_t> take() { return std::move(bytes_); }
  // Room for `n` more bytes without growing on the way.
  void Reserve(size_t n) { bytes_.reserve(bytes_.size() + n); }

 private:
  std::vector<uint8_t> bytes_;
};

class ArchiveReader {
 public:
  explicit ArchiveReader(std::span<const uint8_t> data) : data_(data) {}

  std::string ReadString();
  // The next string decoded into `scratch` (reused from string to string):
  // the view is valid until `scratch` changes. `wasUnicode` tells whether it
  // was in the Unicode form.
  std::string_view ReadStringInto(std::string& scratch, bool* wasUnicode = nullptr);
  int32_t ReadI32() { return static_cast<int32_t>(ReadU32()); }
  uint32_t ReadU32() {
    Need(4, "a 32-bit value");
    uint32_t v = 0;
    for (int i = 0; i < 4; ++i) v |= static_cast<uint32_t>(data_[pos_ + i]) << (8 * i);
    pos_ += 4;
    return v;
  }
  uint16_t ReadU16() {
    Need(2, "a 16-bit value");
    const uint16_t v = static_cast<uint16_t>(data_[pos_] | (data_[pos_ + 1] << 8));
    pos_ += 2;
    return v;
  }
  uint8_t ReadU8() {
    Need(1, "a byte");
    return data_[pos_++];
  }
  double ReadF64();
  std::span<const uint8_t> ReadBytes(size_t n);

  size_t offset() const { return pos_; }
  size_t remaining() const { return data_.size() - pos_; }
  bool AtEnd() const { return pos_ == data_.size(); }

 private:
  void Need(size_t n, const char* what) const {
    if (remaining() < n) [[unlikely]]
      ShortData(n, what);
  }
  [[noreturn]] void ShortData(size_t n, const char* what) const;
  // The length of the next string and whether it is in the Unicode form.
  uint32_t ReadStringHeader(bool& unicode);
  std::span<const uint8_t> data_;
  size_t pos_ = 0;
};

}  // namespace smt::platform
