#pragma once
// Turns the bytes of a pick-and-place file into UTF-8 text. Design tools
// write these files in many encodings: UTF-16 with a byte-order mark
// (EasyEDA), UTF-8 with or without a mark, the Chinese ANSI code page GBK
// (tools running on Chinese Windows) and Latin-1 (Altium on western
// Windows). The text ends at the first NUL character.
#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace smt::job {

enum class EdaTextEncoding { Utf8, Utf8Bom, Utf16Le, Utf16Be, Gbk, Latin1 };

struct EdaDecodedText {
  std::string text;  // UTF-8
  EdaTextEncoding encoding = EdaTextEncoding::Utf8;
};

// Chooses the encoding on the whole file: by byte-order mark; without one,
// UTF-16 when every other byte of the start is zero; else the bytes are
// weighed as UTF-8 (when valid), as GBK pairs (when valid) and as Latin-1
// single bytes, each reading scoring its usual characters for and its
// unusual ones against: valid UTF-8 stays UTF-8 unless the GBK pairs read
// better ("1k欧"), and Latin-1 signs before letters ("4.7µF", "25°C") are
// not taken for GBK pairs.
EdaDecodedText DecodeEdaText(const std::vector<uint8_t>& bytes);
// The bytes read in the encoding the operator chose (a byte-order mark of
// that encoding is skipped; bytes that are not valid in it become U+FFFD).
EdaDecodedText DecodeEdaText(const std::vector<uint8_t>& bytes, EdaTextEncoding forced);
const char* EdaEncodingName(EdaTextEncoding e);
// The encodings an operator can choose, in the order the import dialog
// offers them.
inline constexpr std::array<EdaTextEncoding, 5> kChoosableEncodings = {
    EdaTextEncoding::Utf8, EdaTextEncoding::Gbk, EdaTextEncoding::Latin1, EdaTextEncoding::Utf16Le,
    EdaTextEncoding::Utf16Be};

// Whether a byte run is well-formed UTF-8 / GBK (no stray or cut sequences).
bool IsValidUtf8(const uint8_t* p, size_t n);
bool IsValidGbk(const uint8_t* p, size_t n);

}  // namespace smt::job
