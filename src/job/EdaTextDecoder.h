#pragma once
// Turns the bytes of a pick-and-place file into UTF-8 text. Design tools
// write these files in many encodings: UTF-16 with a byte-order mark
// (EasyEDA), UTF-8 with or without a mark, the Chinese ANSI code page GBK
// (tools running on Chinese Windows) and Latin-1 (Altium on western
// Windows). The text ends at the first NUL character.
#include <cstdint>
#include <string>
#include <vector>

namespace smt::job {

enum class EdaTextEncoding { Utf8, Utf8Bom, Utf16Le, Utf16Be, Gbk, Latin1 };

struct EdaDecodedText {
  std::string text;  // UTF-8
  EdaTextEncoding encoding = EdaTextEncoding::Utf8;
};

// Chooses the encoding by byte-order mark; without one, UTF-16 when every
// other byte of the start is zero, else UTF-8 when the bytes are valid
// UTF-8, else GBK when every high byte forms a valid GBK pair, else Latin-1.
EdaDecodedText DecodeEdaText(const std::vector<uint8_t>& bytes);
const char* EdaEncodingName(EdaTextEncoding e);

// Whether a byte run is well-formed UTF-8 / GBK (no stray or cut sequences).
bool IsValidUtf8(const uint8_t* p, size_t n);
bool IsValidGbk(const uint8_t* p, size_t n);

}  // namespace smt::job
