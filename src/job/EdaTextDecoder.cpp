#include "job/EdaTextDecoder.h"

#include <string_view>

#include "platform/TextCodec.h"

namespace smt::job {

namespace {

void AppendUtf8(std::string& out, char32_t cp) {
  if (cp < 0x80) {
    out.push_back(static_cast<char>(cp));
  } else if (cp < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else if (cp < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  }
}

// UTF-16 code units from `p` (an even or odd count: a last odd byte is a
// cut unit and is dropped), ending at the first NUL unit.
std::string DecodeUtf16(const uint8_t* p, size_t n, bool bigEndian) {
  std::string out;
  out.reserve(n / 2 + n / 8);
  const size_t units = n / 2;
  for (size_t i = 0; i < units; ++i) {
    auto unit = [&](size_t k) -> char32_t {
      return bigEndian ? (char32_t(p[2 * k]) << 8 | p[2 * k + 1]) : (char32_t(p[2 * k + 1]) << 8 | p[2 * k]);
    };
    char32_t cp = unit(i);
    if (cp == 0) break;
    if (cp >= 0xD800 && cp < 0xDC00 && i + 1 < units) {
      const char32_t lo = unit(i + 1);
      if (lo >= 0xDC00 && lo < 0xE000) {
        cp = 0x10000 + ((cp - 0xD800) << 10) + (lo - 0xDC00);
        ++i;
      } else {
        cp = 0xFFFD;
      }
    } else if (cp >= 0xD800 && cp < 0xE000) {
      cp = 0xFFFD;
    }
    AppendUtf8(out, cp);
  }
  return out;
}

bool LooksLikeBomlessUtf16Le(const uint8_t* p, size_t n) {
  // ASCII text in UTF-16LE: every odd byte of the start is zero, the even
  // bytes are not.
  const size_t probe = n < 64 ? n - n % 2 : 64;
  if (probe < 4) return false;
  for (size_t i = 0; i < probe; i += 2)
    if (p[i] == 0 || p[i + 1] != 0) return false;
  return true;
}

}  // namespace

bool IsValidUtf8(const uint8_t* p, size_t n) {
  size_t i = 0;
  while (i < n) {
    const uint8_t c = p[i];
    size_t len = 0;
    if (c < 0x80) {
      ++i;
      continue;
    } else if (c >= 0xC2 && c <= 0xDF) {
      len = 2;
    } else if (c >= 0xE0 && c <= 0xEF) {
      len = 3;
    } else if (c >= 0xF0 && c <= 0xF4) {
      len = 4;
    } else {
      return false;
    }
    if (i + len > n) return false;
    for (size_t k = 1; k < len; ++k)
      if ((p[i + k] & 0xC0) != 0x80) return false;
    i += len;
  }
  return true;
}

bool IsValidGbk(const uint8_t* p, size_t n) {
  size_t i = 0;
  while (i < n) {
    const uint8_t c = p[i];
    if (c < 0x80) {
      ++i;
      continue;
    }
    if (c == 0x80 || c == 0xFF || i + 1 >= n) return false;
    const uint8_t t = p[i + 1];
    if (t < 0x40 || t == 0x7F || t == 0xFF) return false;
    i += 2;
  }
  return true;
}

EdaDecodedText DecodeEdaText(const std::vector<uint8_t>& bytes) {
  const uint8_t* p = bytes.data();
  const size_t n = bytes.size();
  EdaDecodedText r;
  if (n >= 2 && p[0] == 0xFF && p[1] == 0xFE) {
    r.encoding = EdaTextEncoding::Utf16Le;
    r.text = DecodeUtf16(p + 2, n - 2, false);
    return r;
  }
  if (n >= 2 && p[0] == 0xFE && p[1] == 0xFF) {
    r.encoding = EdaTextEncoding::Utf16Be;
    r.text = DecodeUtf16(p + 2, n - 2, true);
    return r;
  }
  if (LooksLikeBomlessUtf16Le(p, n)) {
    r.encoding = EdaTextEncoding::Utf16Le;
    r.text = DecodeUtf16(p, n, false);
    return r;
  }
  size_t start = 0;
  if (n >= 3 && p[0] == 0xEF && p[1] == 0xBB && p[2] == 0xBF) start = 3;
  size_t end = start;
  while (end < n && p[end] != 0) ++end;  // the text ends at the first NUL
  const uint8_t* s = p + start;
  const size_t len = end - start;
  if (start == 3 || IsValidUtf8(s, len)) {
    r.encoding = start == 3 ? EdaTextEncoding::Utf8Bom : EdaTextEncoding::Utf8;
    r.text.assign(reinterpret_cast<const char*>(s), len);
    return r;
  }
  if (IsValidGbk(s, len)) {
    r.encoding = EdaTextEncoding::Gbk;
    r.text = smt::platform::GbkToUtf8(std::string_view(reinterpret_cast<const char*>(s), len));
    return r;
  }
  r.encoding = EdaTextEncoding::Latin1;
  r.text.reserve(len + len / 8);
  for (size_t i = 0; i < len; ++i) AppendUtf8(r.text, s[i]);
  return r;
}

const char* EdaEncodingName(EdaTextEncoding e) {
  switch (e) {
    case EdaTextEncoding::Utf8: return "UTF-8";
    case EdaTextEncoding::Utf8Bom: return "UTF-8 (BOM)";
    case EdaTextEncoding::Utf16Le: return "UTF-16LE";
    case EdaTextEncoding::Utf16Be: return "UTF-16BE";
    case EdaTextEncoding::Gbk: return "GBK";
    case EdaTextEncoding::Latin1: return "Latin-1";
  }
  return "";
}

}  // namespace smt::job
