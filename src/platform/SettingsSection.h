#pragma once
// The settings-file convention every store follows: values are read as text
// with the default "获取配置失败" (which reads as 0), converted like the C
// library's atoi/atof; integers are written "%d", decimals "%0.4f" (a few
// display values "%0.2f").
#include <cstdint>
#include <string>
#include <string_view>

namespace smt::platform {

inline constexpr const char* kMissingSetting = "获取配置失败";

// "<dir>/config.ini"
std::string ConfigPath(std::string_view appDir);
// "<dir>/<language>.ini"
std::string LanguagePath(std::string_view appDir, std::string_view language);

// The C library's atoi and atof on a text (leading blanks, sign, digits;
// anything else ends the number; no number gives 0).
int TextToInt(std::string_view text);
double TextToDouble(std::string_view text);

std::string FormatInt(long long value);                 // "%d"
std::string FormatDouble(double value, int decimals = 4);  // "%0.4f" / "%0.2f"

// Every settings write reports here: a failed one is logged and told to the
// operator (one box per file until a write to it succeeds again).
void ReportSettingsWrite(const std::string& path, std::string_view section, std::string_view key, bool ok);
// Failed settings writes since start.
uint64_t FailedSettingsWrites();

// One section of one profile file.
class SettingsSection {
 public:
  SettingsSection(std::string path, std::string section) : path_(std::move(path)), section_(std::move(section)) {}
  // A section's writes form one save: the first write opens a batch of the
  // file, which is written whole when the section object goes (a kill during
  // a save leaves the old section or the new one, never some keys of each).
  SettingsSection(const SettingsSection& o) : path_(o.path_), section_(o.section_) {}
  SettingsSection& operator=(const SettingsSection& o) {
    if (this != &o) {
      Flush();
      path_ = o.path_;
      section_ = o.section_;
    }
    return *this;
  }
  ~SettingsSection() { Flush(); }
  // Writes what this section changed now (false when that failed).
  bool Flush() const;

  const std::string& path() const { return path_; }
  const std::string& section() const { return section_; }

  std::string ReadText(std::string_view key, std::string_view def = kMissingSetting) const;
  int ReadInt(std::string_view key) const { return TextToInt(ReadText(key)); }
  double ReadDouble(std::string_view key) const { return TextToDouble(ReadText(key)); }
  bool Has(std::string_view key) const;

  // Writes go into the section's save (see above); the file is written, and
  // a failure reported (logged, and told to the operator once per run of
  // failures), when the section object goes or at Flush.
  bool WriteText(std::string_view key, std::string_view value) const;
  bool WriteInt(std::string_view key, long long value) const { return WriteText(key, FormatInt(value)); }
  bool WriteDouble(std::string_view key, double value, int decimals = 4) const {
    return WriteText(key, FormatDouble(value, decimals));
  }

 private:
  std::string path_;
  std::string section_;
  mutable bool batchOpen_ = false;
  mutable std::string firstKey_;  // for the report of a failed save
  mutable int keysWritten_ = 0;
};

// Texts of one dialog from "<dir>/<language>.ini": Text(key, chineseDefault).
class LanguageSection {
 public:
  LanguageSection(std::string_view appDir, std::string_view language, std::string section)
      : file_(LanguagePath(appDir, language), std::move(section)) {}
  // A line break cannot stand in a line of the file: a text writes it as
  // the four characters \r\n, read back as CR LF.
  std::string Text(std::string_view key, std::string_view chineseDefault) const {
    std::string t = file_.ReadText(key, chineseDefault);
    for (size_t at = t.find("\\r\\n"); at != std::string::npos; at = t.find("\\r\\n", at + 2)) t.replace(at, 4, "\r\n");
    return t;
  }

 private:
  SettingsSection file_;
};

}  // namespace smt::platform
