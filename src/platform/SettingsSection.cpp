#include "platform/SettingsSection.h"

#include <cstdio>
#include <cstdlib>

#include "platform/ProfileFile.h"

namespace smt::platform {

std::string ConfigPath(std::string_view appDir) { return std::string(appDir) + "/config.ini"; }

std::string LanguagePath(std::string_view appDir, std::string_view language) {
  return std::string(appDir) + "/" + std::string(language) + ".ini";
}

int TextToInt(std::string_view text) {
  std::string s(text);
  return std::atoi(s.c_str());
}

double TextToDouble(std::string_view text) {
  std::string s(text);
  return std::atof(s.c_str());
}

std::string FormatInt(long long value) { return std::to_string(value); }

std::string FormatDouble(double value, int decimals) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "%0.*f", decimals, value);
  return buf;
}

std::string SettingsSection::ReadText(std::string_view key, std::string_view def) const {
  return GetProfileString(path_, section_, key, def);
}

bool SettingsSection::Has(std::string_view key) const {
  static const std::string kAbsent = std::string("\x01" "absent" "\x01");
  return GetProfileString(path_, section_, key, kAbsent) != kAbsent;
}

bool SettingsSection::WriteText(std::string_view key, std::string_view value) const {
  return WriteProfileString(path_, section_, key, value);
}

}  // namespace smt::platform
