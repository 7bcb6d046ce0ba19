#include "platform/RefusalTexts.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <mutex>

#include "platform/SettingsSection.h"

namespace smt::platform {

namespace {

// The folder and language the refusal texts are read from, set by the shell.
struct RefusalTextPlace {
  std::mutex m;
  std::string appDir = ".";
  std::string language = "Chinese";
} g_place;

std::string Fill(std::string text, const std::string (&values)[3], int count) {
  // No field name: the text without it and the marks around it.
  if (values[0].empty())
    if (auto at = text.find("%1"); at != std::string::npos) {
      size_t from = at, to = at + 2;
      for (const char* q : {"“", "„", "\""})
        if (from >= std::strlen(q) && text.compare(from - std::strlen(q), std::strlen(q), q) == 0) from -= std::strlen(q);
      for (bool more = true; more;) {
        more = false;
        for (const char* q : {"”", "“", "\"", "：", ":", " "})
          if (text.compare(to, std::strlen(q), q) == 0) {
            to += std::strlen(q);
            more = true;
          }
      }
      text.erase(from, to - from);
    }
  for (int k = 0; k < count; ++k) {
    const std::string mark = "%" + std::to_string(k + 1);
    if (const auto at = text.find(mark); at != std::string::npos) text.replace(at, mark.size(), values[k]);
  }
  return text;
}

}  // namespace

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
  const std::string text = LanguageSection(appDir, language, "CommonConfig")
                               .Text("Common.c_RangeRefusal", "“%1”：请输入一个介于 %2 和 %3 之间的数。");
  const std::string values[3] = {field, RangeBoundText(min), RangeBoundText(max)};
  return Fill(text, values, 3);
}

void SetRefusalLanguage(const std::string& appDir, const std::string& language) {
  std::lock_guard lk(g_place.m);
  g_place.appDir = appDir;
  g_place.language = language;
}

std::string RefusalLanguage() {
  std::lock_guard lk(g_place.m);
  return g_place.language;
}

std::string RangeRefusalText(const std::string& field, double min, double max) {
  std::string dir, language;
  {
    std::lock_guard lk(g_place.m);
    dir = g_place.appDir;
    language = g_place.language;
  }
  return RangeRefusalText(dir, language, field, min, max);
}

std::string FillText(std::string text, std::initializer_list<std::string> values) {
  // One pass, so that a value holding "%2" is not filled in turn.
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    const size_t k = i + 1 < text.size() && text[i] == '%' ? static_cast<size_t>(text[i + 1] - '1') : values.size();
    if (k < values.size()) {
      out += *(values.begin() + k);
      ++i;
    } else {
      out += text[i];
    }
  }
  return out;
}

std::string WindowText(const std::string& section, const std::string& key, const std::string& chineseDefault) {
  std::string dir, language;
  {
    std::lock_guard lk(g_place.m);
    dir = g_place.appDir;
    language = g_place.language;
  }
  return LanguageSection(dir, language, section).Text(key, chineseDefault);
}

std::string CommonText(const std::string& key, const std::string& chineseDefault) {
  std::string dir, language;
  {
    std::lock_guard lk(g_place.m);
    dir = g_place.appDir;
    language = g_place.language;
  }
  return LanguageSection(dir, language, "CommonConfig").Text(key, chineseDefault);
}

std::string NumberRefusalText(const std::string& field) {
  std::string dir, language;
  {
    std::lock_guard lk(g_place.m);
    dir = g_place.appDir;
    language = g_place.language;
  }
  return NumberRefusalText(dir, language, field);
}

std::string NumberRefusalText(const std::string& dir, const std::string& language, const std::string& field) {
  const std::string text =
      LanguageSection(dir, language, "CommonConfig").Text("Common.c_NumberRefusal", "“%1”：请输入一个数字。");
  const std::string values[3] = {field, "", ""};
  return Fill(text, values, 1);
}

}  // namespace smt::platform
