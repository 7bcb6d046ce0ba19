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

// How well the bytes read in each encoding: every character or pair that
// is usual in these files counts for its bytes, every unusual one against.
// UTF-8: Latin-1 signs and letters, Greek, Cyrillic, punctuation and
// signs, CJK and full-width forms are usual; C1 controls, Latin Extended,
// IPA and the like are not (they are what GBK pairs become when misread).
int Utf8CharScore(const uint8_t* p, size_t n) {
  int score = 0;
  size_t i = 0;
  while (i < n) {
    const uint8_t c = p[i];
    if (c < 0x80) {
      ++i;
      continue;
    }
    const int len = c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : 2;
    char32_t cp = len == 2 ? c & 0x1F : len == 3 ? c & 0x0F : c & 0x07;
    for (int k = 1; k < len && i + k < n; ++k) cp = (cp << 6) | (p[i + k] & 0x3F);
    const bool usual = (cp >= 0xA0 && cp <= 0xFF) || (cp >= 0x391 && cp <= 0x3C9) || (cp >= 0x400 && cp <= 0x4FF) ||
                       (cp >= 0x2000 && cp <= 0x2BFF) || (cp >= 0x3000 && cp <= 0x30FF) ||
                       (cp >= 0x4E00 && cp <= 0x9FFF) || (cp >= 0xAC00 && cp <= 0xD7AF) ||
                       (cp >= 0xFF00 && cp <= 0xFFEF);
    score += usual ? len : -len;
    i += static_cast<size_t>(len);
  }
  return score;
}

// GBK: pairs of the GB2312 region (both bytes A1..FE) are the usual
// Chinese characters; pairs with a low trail byte (a Latin-1 sign before
// a letter: "µF", "°C") are the rare extension characters.
int GbkPairScore(const uint8_t* p, size_t n) {
  int score = 0;
  size_t i = 0;
  while (i < n) {
    const uint8_t c = p[i];
    if (c < 0x80) {
      ++i;
      continue;
    }
    const uint8_t t = i + 1 < n ? p[i + 1] : 0;
    score += c >= 0xA1 && c <= 0xFE && t >= 0xA1 && t <= 0xFE ? 2 : -2;
    i += 2;
  }
  return score;
}

// Latin-1: a sign or letter between plain characters is usual ("4.7µF",
// "25°C", "Müller"); high bytes in runs are what Chinese pairs look like;
// C1 controls never occur.
int Latin1ByteScore(const uint8_t* p, size_t n) {
  int score = 0;
  for (size_t i = 0; i < n; ++i) {
    const uint8_t c = p[i];
    if (c < 0x80) continue;
    if (c < 0xA0) {
      --score;
      continue;
    }
    const bool alone = (i == 0 || p[i - 1] < 0x80) && (i + 1 >= n || p[i + 1] < 0x80);
    if (alone) ++score;
  }
  return score;
}

std::string DecodeAs(const uint8_t* s, size_t len, EdaTextEncoding e) {
  std::string text;
  switch (e) {
    case EdaTextEncoding::Gbk:
      return smt::platform::GbkToUtf8(std::string_view(reinterpret_cast<const char*>(s), len));
    case EdaTextEncoding::Latin1:
      text.reserve(len + len / 8);
      for (size_t i = 0; i < len; ++i) AppendUtf8(text, s[i]);
      return text;
    case EdaTextEncoding::Utf16Le:
    case EdaTextEncoding::Utf16Be:
      return DecodeUtf16(s, len, e == EdaTextEncoding::Utf16Be);
    case EdaTextEncoding::Utf8:
    case EdaTextEncoding::Utf8Bom:
      break;
  }
  // UTF-8 as it is; a malformed byte becomes U+FFFD so that the text stays
  // valid.
  text.reserve(len);
  size_t i = 0;
  while (i < len) {
    size_t k = i + 1;
    if (s[i] >= 0x80) {
      size_t l = s[i] >= 0xF0 ? 4 : s[i] >= 0xE0 ? 3 : s[i] >= 0xC2 ? 2 : 0;
      if (l == 0 || i + l > len || !IsValidUtf8(s + i, l)) {
        AppendUtf8(text, 0xFFFD);
        ++i;
        continue;
      }
      k = i + l;
    }
    text.append(reinterpret_cast<const char*>(s + i), k - i);
    i = k;
  }
  return text;
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
  const bool utf8 = IsValidUtf8(s, len);
  const bool gbk = IsValidGbk(s, len);
  EdaTextEncoding e = EdaTextEncoding::Latin1;
  if (start == 3) {
    e = EdaTextEncoding::Utf8Bom;
  } else if (utf8) {
    // Valid UTF-8 is still GBK when its characters make no sense as UTF-8
    // and do as Chinese pairs (a short "1k欧" is also valid UTF-8).
    e = gbk && GbkPairScore(s, len) > Utf8CharScore(s, len) ? EdaTextEncoding::Gbk : EdaTextEncoding::Utf8;
  } else if (gbk && GbkPairScore(s, len) > Latin1ByteScore(s, len)) {
    e = EdaTextEncoding::Gbk;
  }
  r.encoding = e;
  r.text = DecodeAs(s, len, e);
  return r;
}

EdaDecodedText DecodeEdaText(const std::vector<uint8_t>& bytes, EdaTextEncoding forced) {
  const uint8_t* p = bytes.data();
  size_t n = bytes.size();
  EdaDecodedText r;
  r.encoding = forced;
  const bool le = n >= 2 && p[0] == 0xFF && p[1] == 0xFE;
  const bool be = n >= 2 && p[0] == 0xFE && p[1] == 0xFF;
  if (forced == EdaTextEncoding::Utf16Le || forced == EdaTextEncoding::Utf16Be) {
    const size_t skip = le || be ? 2 : 0;
    r.text = DecodeUtf16(p + skip, n - skip, forced == EdaTextEncoding::Utf16Be);
    return r;
  }
  size_t start = n >= 3 && p[0] == 0xEF && p[1] == 0xBB && p[2] == 0xBF ? 3 : 0;
  size_t end = start;
  while (end < n && p[end] != 0) ++end;
  r.text = DecodeAs(p + start, end - start, forced);
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
