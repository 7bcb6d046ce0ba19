#pragma once
// Conversions between the encodings the machine's files use: UTF-8 in
// memory, UTF-16LE in archives and old profile files, GBK (the Chinese
// ANSI code page) in 8-bit archive strings.
#include <cstdint>
#include <string>
#include <string_view>

namespace smt::platform {

std::u16string Utf8ToUtf16(std::string_view utf8);
std::string Utf16ToUtf8(std::u16string_view utf16);
// GBK bytes to UTF-8; bytes that are not valid GBK become U+FFFD.
std::string GbkToUtf8(std::string_view gbk);
// UTF-8 to GBK; characters GBK cannot hold become '?'.
std::string Utf8ToGbk(std::string_view utf8);

}  // namespace smt::platform
