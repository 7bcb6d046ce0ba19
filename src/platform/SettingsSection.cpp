#include "platform/SettingsSection.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <set>

#include "platform/GuiDispatcher.h"
#include "platform/MessageService.h"
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
  // Sized by the number: a large value is never cut short.
  const int n = std::snprintf(nullptr, 0, "%0.*f", decimals, value);
  std::string out(static_cast<size_t>(n > 0 ? n : 0), '\0');
  std::snprintf(out.data(), out.size() + 1, "%0.*f", decimals, value);
  return out;
}

std::string SettingsSection::ReadText(std::string_view key, std::string_view def) const {
  return GetProfileString(path_, section_, key, def);
}

bool SettingsSection::Has(std::string_view key) const {
  static const std::string kAbsent = std::string("\x01" "absent" "\x01");
  return GetProfileString(path_, section_, key, kAbsent) != kAbsent;
}

bool SettingsSection::WriteText(std::string_view key, std::string_view value) const {
  if (!batchOpen_) {
    BeginProfileBatch(path_);
    batchOpen_ = true;
    firstKey_ = key;
    keysWritten_ = 0;
  }
  ++keysWritten_;
  const bool ok = WriteProfileString(path_, section_, key, value);
  if (!ok) ReportSettingsWrite(path_, section_, key, ok);
  return ok;
}

bool SettingsSection::Flush() const {
  if (!batchOpen_) return true;
  batchOpen_ = false;
  const bool ok = EndProfileBatch(path_);
  std::string keys = firstKey_;
  if (keysWritten_ > 1) keys += " and " + std::to_string(keysWritten_ - 1) + " more";
  ReportSettingsWrite(path_, section_, keys, ok);
  return ok;
}

namespace {
std::mutex g_failedWritesMutex;
std::set<std::string> g_failingFiles;  // files whose last write failed (one box per run of failures)
std::atomic<uint64_t> g_failedWrites{0};
}  // namespace

void ReportSettingsWrite(const std::string& path, std::string_view section, std::string_view key, bool ok) {
  bool first = false;
  {
    std::lock_guard lk(g_failedWritesMutex);
    if (ok) {
      g_failingFiles.erase(path);
      return;
    }
    first = g_failingFiles.insert(path).second;
  }
  ++g_failedWrites;
  const std::string what = "\"" + path + "\" [" + std::string(section) + "] " + std::string(key);
  std::fprintf(stderr, "settings not written: %s\n", what.c_str());
  if (first) {
    // Shown without holding up the writer (writers may be worker threads).
    const std::string text = "设置未能保存 !\r\nThe settings could not be written to " + what +
                             ": the value is lost. Check the disk and save again.";
    PostToGui([text] { ShowMessage(text); });
  }
}

uint64_t FailedSettingsWrites() { return g_failedWrites.load(); }

}  // namespace smt::platform
