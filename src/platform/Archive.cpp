#include "platform/Archive.h"

#include <algorithm>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

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

namespace {

// Longer texts are converted in a buffer of their own rather than one kept
// for the thread.
constexpr size_t kScratchLimit = 1 << 16;

inline void PutUnit(uint8_t* out, size_t& n, uint32_t u) {
  out[2 * n] = static_cast<uint8_t>(u);
  out[2 * n + 1] = static_cast<uint8_t>(u >> 8);
  ++n;
}

}  // namespace

size_t UnicodeHeaderSize(size_t units) { return units < 0xFF ? 4 : units < 0xFFFE ? 6 : 10; }

void PutUnicodeHeader(uint8_t* out, size_t units) {
  out[0] = 0xFF;
  out[1] = 0xFE;
  out[2] = 0xFF;
  if (units < 0xFF) {
    out[3] = static_cast<uint8_t>(units);
  } else if (units < 0xFFFE) {
    out[3] = 0xFF;
    out[4] = static_cast<uint8_t>(units);
    out[5] = static_cast<uint8_t>(units >> 8);
  } else {
    out[3] = 0xFF;
    out[4] = 0xFF;
    out[5] = 0xFF;
    for (int i = 0; i < 4; ++i) out[6 + i] = static_cast<uint8_t>(units >> (8 * i));
  }
}

size_t EncodeUtf16Le(std::string_view utf8, uint8_t* out) {
  // The same reading of the bytes as Utf8ToUtf16 (a lead byte whose sequence
  // is cut short becomes U+FFFD), written straight as little-endian units.
  const auto* s = reinterpret_cast<const uint8_t*>(utf8.data());
  const size_t len = utf8.size();
  size_t i = 0, n = 0;
  while (i < len) {
#if defined(__SSE2__)
    // Runs of plain characters, sixteen at a time.
    const __m128i zero = _mm_setzero_si128();
    while (i + 16 <= len) {
      const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + i));
      if (_mm_movemask_epi8(v) != 0) break;
      _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 2 * n), _mm_unpacklo_epi8(v, zero));
      _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 2 * n + 16), _mm_unpackhi_epi8(v, zero));
      i += 16;
      n += 16;
    }
    if (i >= len) break;
#endif
    const uint32_t c = s[i];
    if (c < 0x80) {
      PutUnit(out, n, c);
      ++i;
      continue;
    }
    uint32_t cp = 0xFFFD;
    size_t l = 1;
    if ((c >> 5) == 0x6 && i + 1 < len) {
      cp = ((c & 0x1F) << 6) | (s[i + 1] & 0x3F);
      l = 2;
    } else if ((c >> 4) == 0xE && i + 2 < len) {
      cp = ((c & 0x0F) << 12) | ((s[i + 1] & 0x3F) << 6) | (s[i + 2] & 0x3F);
      l = 3;
    } else if ((c >> 3) == 0x1E && i + 3 < len) {
      cp = ((c & 0x07) << 18) | ((s[i + 1] & 0x3F) << 12) | ((s[i + 2] & 0x3F) << 6) | (s[i + 3] & 0x3F);
      l = 4;
    }
    i += l;
    if (cp >= 0x10000) {
      cp -= 0x10000;
      PutUnit(out, n, static_cast<uint16_t>(0xD800 + (cp >> 10)));
      PutUnit(out, n, static_cast<uint16_t>(0xDC00 + (cp & 0x3FF)));
    } else {
      PutUnit(out, n, cp);
    }
  }
  return n;
}

size_t DecodeUtf16Le(const uint8_t* p, size_t units, char* out) {
  // The same reading as Utf16ToUtf8 (a lone surrogate becomes U+FFFD).
  auto unit = [p](size_t k) { return static_cast<uint32_t>(p[2 * k] | (p[2 * k + 1] << 8)); };
  size_t m = 0;
  for (size_t i = 0; i < units; ++i) {
#if defined(__SSE2__)
    // Runs of plain characters, eight units at a time.
    const __m128i high = _mm_set1_epi16(static_cast<short>(0xFF80));
    const __m128i zero = _mm_setzero_si128();
    while (i + 16 <= units) {
      const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 2 * i));
      const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 2 * i + 16));
      if (_mm_movemask_epi8(_mm_cmpeq_epi16(_mm_and_si128(_mm_or_si128(a, b), high), zero)) != 0xFFFF) break;
      _mm_storeu_si128(reinterpret_cast<__m128i*>(out + m), _mm_packus_epi16(a, b));
      i += 16;
      m += 16;
    }
    while (i + 8 <= units) {
      const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 2 * i));
      if (_mm_movemask_epi8(_mm_cmpeq_epi16(_mm_and_si128(v, high), zero)) != 0xFFFF) break;
      _mm_storel_epi64(reinterpret_cast<__m128i*>(out + m), _mm_packus_epi16(v, v));
      i += 8;
      m += 8;
    }
    if (i >= units) break;
#endif
    uint32_t cp = unit(i);
    if (cp >= 0xD800 && cp < 0xDC00 && i + 1 < units && unit(i + 1) >= 0xDC00 && unit(i + 1) < 0xE000) {
      cp = 0x10000 + ((cp - 0xD800) << 10) + (unit(i + 1) - 0xDC00);
      ++i;
    } else if (cp >= 0xD800 && cp < 0xE000) {
      cp = 0xFFFD;
    }
    if (cp < 0x80) {
      out[m++] = static_cast<char>(cp);
    } else if (cp < 0x800) {
      out[m++] = static_cast<char>(0xC0 | (cp >> 6));
      out[m++] = static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
      out[m++] = static_cast<char>(0xE0 | (cp >> 12));
      out[m++] = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
      out[m++] = static_cast<char>(0x80 | (cp & 0x3F));
    } else {
      out[m++] = static_cast<char>(0xF0 | (cp >> 18));
      out[m++] = static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
      out[m++] = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
      out[m++] = static_cast<char>(0x80 | (cp & 0x3F));
    }
  }
  return m;
}

size_t PutArchiveString(std::string_view utf8, uint8_t* out) {
  const size_t boundHeader = UnicodeHeaderSize(utf8.size());
  const size_t n = EncodeUtf16Le(utf8, out + boundHeader);
  const size_t header = UnicodeHeaderSize(n);
  if (header != boundHeader) std::memmove(out + header, out + boundHeader, 2 * n);
  PutUnicodeHeader(out, n);
  return header + 2 * n;
}

void ArchiveWriter::WriteString(std::string_view utf8) {
  // Converted in one pass straight into the output: a UTF-8 byte gives at
  // most one UTF-16 unit, so the text is written after a header sized for
  // that bound and moved up when the real count takes a shorter header.
  const size_t at = bytes_.size();
  const size_t boundHeader = UnicodeHeaderSize(utf8.size());
  bytes_.resize(at + boundHeader + 2 * utf8.size());
  const size_t n = EncodeUtf16Le(utf8, bytes_.data() + at + boundHeader);
  const size_t header = UnicodeHeaderSize(n);
  if (header != boundHeader) std::memmove(bytes_.data() + at + header, bytes_.data() + at + boundHeader, 2 * n);
  PutUnicodeHeader(bytes_.data() + at, n);
  bytes_.resize(at + header + 2 * n);
}

void ArchiveReader::ShortData(size_t n, const char* what) const {
  throw ArchiveError(std::string("data ends inside ") + what + " at byte " + std::to_string(pos_) + " (" +
                     std::to_string(n) + " bytes needed, " + std::to_string(remaining()) + " left)");
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

uint32_t ArchiveReader::ReadStringHeader(bool& unicode) {
  unicode = false;
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
  return len;
}

std::string_view ArchiveReader::ReadStringInto(std::string& scratch, bool* wasUnicode) {
  bool unicode = false;
  const uint32_t len = ReadStringHeader(unicode);
  if (wasUnicode) *wasUnicode = unicode;
  if (unicode) {
    if (len > remaining() / 2) {
      throw ArchiveError("string of " + std::to_string(len) + " characters at byte " + std::to_string(pos_) +
                         " runs past the end of the data");
    }
    const uint8_t* p = data_.data() + pos_;
    pos_ += 2 * static_cast<size_t>(len);
    const size_t bound = 3 * static_cast<size_t>(len);
    if (scratch.size() < bound) scratch.resize(std::max(bound, 2 * scratch.size()));
    return std::string_view(scratch.data(), DecodeUtf16Le(p, len, scratch.data()));
  }
  if (len > remaining()) {
    throw ArchiveError("string of " + std::to_string(len) + " bytes at byte " + std::to_string(pos_) +
                       " runs past the end of the data");
  }
  std::string_view raw(reinterpret_cast<const char*>(data_.data() + pos_), len);
  pos_ += len;
  bool ascii = true;
  for (char c : raw) ascii &= static_cast<unsigned char>(c) < 0x80;
  if (ascii) return raw;
  scratch = GbkToUtf8(raw);
  return scratch;
}

std::string ArchiveReader::ReadString() {
  // Decoded in a scratch buffer of this thread, then one string of the exact
  // size; a buffer grown for a very long string is not kept.
  thread_local std::string scratch;
  std::string text(ReadStringInto(scratch));
  if (scratch.size() > kScratchLimit) std::string().swap(scratch);
  return text;
}

}  // namespace smt::platform
