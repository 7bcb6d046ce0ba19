#pragma once
// The refusal of a value outside its field's range, naming the field and the
// range in the window's language (section [CommonConfig] of the language
// file, key "Common.c_RangeRefusal", placeholders %1 field, %2 and %3 range).
#include <string>

namespace smt::platform {

std::string RangeRefusalText(const std::string& appDir, const std::string& language, const std::string& field,
                             double min, double max);
// A bound as the refusal writes it: "20", "0.1", "-10000".
std::string RangeBoundText(double v);

}  // namespace smt::platform
