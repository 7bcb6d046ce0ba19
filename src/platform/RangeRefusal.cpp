#include "platform/RangeRefusal.h"

#include <cmath>
#include <cstdio>

#include "platform/SettingsSection.h"

namespace smt::platform {

std::string RangeBoundText(double v) {
  char buf[48];
  if (std::isfinite(v) && std::fabs(v) < 1e15 && v == std::trunc(v))
    std::snprintf(buf, sizeof buf, "%.0f", v);
  else
    std::snprintf(buf, sizeof buf, "%g", v);
  return buf;
}

std::string RangeRefusalText(const std::string& appDir, const std::string& language, const std::string& field,
                             double min, double max) {
  std::string text = LanguageSection(appDir, language, "CommonConfig")
                         .Text("Common.c_RangeRefusal", "“%1”：请输入一个介于 %2 和 %3 之间的数。");
  const std::string values[3] = {field, RangeBoundText(min), RangeBoundText(max)};
  for (int k = 0; k < 3; ++k) {
    const std::string mark = "%" + std::to_string(k + 1);
    if (const auto at = text.find(mark); at != std::string::npos) text.replace(at, mark.size(), values[k]);
  }
  return text;
}

}  // namespace smt::platform
