#include "platform/SettingsSection.h"

#include <atomic>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <set>

#include "platform/GuiDispatcher.h"
#include "platform/MessageService.h"
#include "platform/FileCell.h"
#include "platform/OperatorNumber.h"
#include "platform/ProfileFile.h"
#include "platform/ReadRefusals.h"

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

namespace {

std::string_view TrimBlanks(std::string_view t) {
  while (!t.empty() && (t.front() == ' ' || t.front() == '\t')) t.remove_prefix(1);
  while (!t.empty() && (t.back() == ' ' || t.back() == '\t' || t.back() == '\r')) t.remove_suffix(1);
  return t;
}

std::string CompactNumber(double v) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.10g", v);
  return buf;
}

}  // namespace

double SettingsSection::ReadNumber(std::string_view key, double lo, double hi, double def, bool zeroIsUnset) const {
  const std::string raw = ReadText(key);
  if (raw == kMissingSetting) return def;
  const std::string_view t = TrimBlanks(raw);
  if (t.empty()) return def;
  const auto v = ParseCellNumber(t, -kAnyNumber, kAnyNumber);
  if (v && zeroIsUnset && *v == 0.0) return def;
  if (v && *v >= lo && *v <= hi) return *v;
  const bool anyRange = lo <= -kAnyNumber && hi >= kAnyNumber;
  ReportReadRefusal({path_, "[" + section_ + "] " + std::string(key), std::string(t),
                     anyRange ? std::string("a number") : "a number in " + RangeText(lo, hi), CompactNumber(def)});
  return def;
}

long long SettingsSection::ReadInteger(std::string_view key, long long lo, long long hi, long long def,
                                       bool zeroIsUnset) const {
  const std::string raw = ReadText(key);
  if (raw == kMissingSetting) return def;
  const std::string_view t = TrimBlanks(raw);
  if (t.empty()) return def;
  const auto v = ParseCellNumber(t, -kAnyNumber, kAnyNumber);
  const bool whole = v && std::trunc(*v) == *v && std::fabs(*v) <= 9.2e18;
  if (whole && zeroIsUnset && *v == 0.0) return def;
  if (whole && *v >= static_cast<double>(lo) && *v <= static_cast<double>(hi)) return static_cast<long long>(*v);
  ReportReadRefusal({path_, "[" + section_ + "] " + std::string(key), std::string(t),
                     "a whole number in " + std::to_string(lo) + ".." + std::to_string(hi), std::to_string(def)});
  return def;
}

std::optional<double> SettingsSection::ReadAnyNumber(std::string_view key, bool integer, std::string_view need) const {
  const std::string raw = ReadText(key);
  if (raw == kMissingSetting || TrimBlanks(raw).empty()) return std::nullopt;
  const auto v = ParseCellNumber(TrimBlanks(raw), -kAnyNumber, kAnyNumber);
  if (v && (!integer || (std::trunc(*v) == *v && std::fabs(*v) <= 2147483647.0))) return v;
  TellRefused(key, TrimBlanks(raw), need, "");
  return std::nullopt;
}

void SettingsSection::TellRefused(std::string_view key, std::string_view text, std::string_view need,
                                  std::string_view used) const {
  ReportReadRefusal({path_, "[" + section_ + "] " + std::string(key), std::string(text), std::string(need),
                     std::string(used)});
}

int SettingsSection::ReadInt(std::string_view key) const {
  return static_cast<int>(ReadInteger(key, INT32_MIN, INT32_MAX, 0));
}

double SettingsSection::ReadDouble(std::string_view key) const { return ReadNumber(key, -kAnyNumber, kAnyNumber, 0); }

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
struct FailedWrites {
  std::mutex m;
  std::set<std::string> failingFiles;  // files whose last write failed (one box per run of failures)
  std::atomic<uint64_t> count{0};
} g_failedWrites;
}  // namespace

void ReportSettingsWrite(const std::string& path, std::string_view section, std::string_view key, bool ok) {
  bool first = false;
  {
    std::lock_guard lk(g_failedWrites.m);
    if (ok) {
      g_failedWrites.failingFiles.erase(path);
      return;
    }
    first = g_failedWrites.failingFiles.insert(path).second;
  }
  ++g_failedWrites.count;
  const std::string what = "\"" + path + "\" [" + std::string(section) + "] " + std::string(key);
  std::fprintf(stderr, "settings not written: %s\n", what.c_str());
  if (first) {
    // Shown without holding up the writer (writers may be worker threads).
    const std::string text = "设置未能保存 !\r\nThe settings could not be written to " + what +
                             ": the value is lost. Check the disk and save again.";
    PostToGui([text] { ShowMessage(text); });
  }
}

uint64_t FailedSettingsWrites() { return g_failedWrites.count.load(); }

}  // namespace smt::platform
