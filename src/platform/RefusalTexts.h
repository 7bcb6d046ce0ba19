#pragma once
// The refusal texts of a value outside its field's range, naming the field
// and the range in the window's language (section [CommonConfig] of the
// language file, key "Common.c_RangeRefusal", placeholders %1 field, %2 and
// %3 range; "Common.c_NumberRefusal" with %1 for a field that takes any
// number), and the window's language they are written in.
#include <initializer_list>
#include <string>

namespace smt::platform {

std::string RangeRefusalText(const std::string& appDir, const std::string& language, const std::string& field,
                             double min, double max);
// A bound as the refusal writes it: "20", "0.1", "-10000".
std::string RangeBoundText(double v);

// The window's language and working directory, set by the shell at start and
// at every language switch, for refusals of dialogs that do not carry them.
void SetRefusalLanguage(const std::string& appDir, const std::string& language);
std::string RefusalLanguage();
// The refusals in the window's language.
std::string RangeRefusalText(const std::string& field, double min, double max);
std::string NumberRefusalText(const std::string& field);
// Any text of section [CommonConfig] in the window's language.
std::string CommonText(const std::string& key, const std::string& chineseDefault);
std::string NumberRefusalText(const std::string& appDir, const std::string& language, const std::string& field);
// `text` with %1, %2 ... replaced by `values` in order (each mark once; a
// language may place them in any order).
std::string FillText(std::string text, std::initializer_list<std::string> values);
// Any text of the language file in the window's language (section, key,
// built-in Chinese text).
std::string WindowText(const std::string& section, const std::string& key, const std::string& chineseDefault);

}  // namespace smt::platform
