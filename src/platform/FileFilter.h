#pragma once
// Open/save dialog filters in the window's language. The program's filters
// carry a Chinese description ("文本文件(*.csv)"); outside Chinese the
// description becomes the file types the patterns name ("CSV (*.csv)").
#include <string>

namespace smt::platform {

// `filter`: Qt filter text, several filters separated by ";;".
std::string FileFilterForLanguage(const std::string& filter, const std::string& language);

}  // namespace smt::platform
