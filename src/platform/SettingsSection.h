#pragma once
// The settings-file convention every store follows: values are read as text
// with the default "获取配置失败"; a number is read through the one typed
// reader below (ReadNumber / ReadInteger, and ReadInt / ReadDouble for keys
// without a range of their own); integers are written "%d", decimals
// "%0.4f" (a few display values "%0.2f").
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace smt::platform {

inline constexpr const char* kMissingSetting = "获取配置失败";

// "<dir>/config.ini"
std::string ConfigPath(std::string_view appDir);
// "<dir>/<language>.ini"
std::string LanguagePath(std::string_view appDir, std::string_view language);

// The C library's atoi and atof on a text (leading blanks, sign, digits;
// anything else ends the number; no number gives 0). Not for settings
// values: those go through SettingsSection's typed reader.
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

  // The typed reader of a numeric key. The whole text (blanks around it
  // allowed) must be a finite decimal number in [lo, hi] — an integer for
  // ReadInteger ("12.0000" counts as 12). A key that is absent or empty
  // gives `def` without a word (a new installation has no file), and so
  // does a stored 0 when `zeroIsUnset` (keys whose 0 means "not set yet").
  // Any other text ("nan", "inf", "1e400", a word, "12abc", a number out of
  // range) is refused: the file, the section, the key and the range are
  // logged and told to the operator once (ReadRefusals.h), `def` is used,
  // and nothing is written to the file.
  double ReadNumber(std::string_view key, double lo, double hi, double def, bool zeroIsUnset = false) const;
  long long ReadInteger(std::string_view key, long long lo, long long hi, long long def,
                        bool zeroIsUnset = false) const;
  // The key's number when it is one (any finite number; a whole one when
  // `integer`), for loaders that correct a number out of range themselves;
  // nullopt when the key is absent or empty, and when its text was refused
  // (told once, `need` naming what the key takes, e.g. its range).
  std::optional<double> ReadAnyNumber(std::string_view key, bool integer = false,
                                      std::string_view need = "a number") const;
  // Tells (once) that the key's number lies outside `need` and `used` is
  // used instead; the file is left as it is.
  void TellRefused(std::string_view key, std::string_view text, std::string_view need, std::string_view used) const;
  // Keys without a range of their own: any 32-bit integer / any finite
  // number; absent gives 0, a refused text gives 0 and is told once.
  int ReadInt(std::string_view key) const;
  double ReadDouble(std::string_view key) const;
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
