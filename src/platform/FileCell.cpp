#include "platform/FileCell.h"

#include <charconv>
#include <cmath>
#include <cstdio>

namespace smt::platform {

namespace {

std::string_view Trim(std::string_view t) {
  while (!t.empty() && (t.front() == ' ' || t.front() == '\t')) t.remove_prefix(1);
  while (!t.empty() && (t.back() == ' ' || t.back() == '\t' || t.back() == '\r' || t.back() == '\n')) t.remove_suffix(1);
  return t;
}

// A leading '+' is taken (hand-edited files); from_chars does not.
std::string_view WithoutPlus(std::string_view t) {
  if (t.size() > 1 && t.front() == '+' && t[1] != '-' && t[1] != '+') t.remove_prefix(1);
  return t;
}

std::string Compact(double v) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.10g", v);
  return buf;
}

std::string Message(const std::string& file, int line, const std::string& field, const std::string& text,
                    const std::string& need) {
  return "文件 \"" + file + "\" 第 " + std::to_string(line) + " 行, 字段 \"" + field + "\": \"" + text +
         "\" 不可用\r\nFile \"" + file + "\", line " + std::to_string(line) + ", field \"" + field + "\": \"" + text +
         "\" is not " + need;
}

}  // namespace

std::optional<double> ParseCellNumber(std::string_view text, double lo, double hi) {
  const std::string_view t = WithoutPlus(Trim(text));
  if (t.empty()) return std::nullopt;
  // Only decimal digits, one sign, point and exponent: no "nan", "inf", hex.
  for (char c : t)
    if (!((c >= '0' && c <= '9') || c == '.' || c == '-' || c == 'e' || c == 'E' || c == '+')) return std::nullopt;
  double v = 0;
  const auto [end, ec] = std::from_chars(t.data(), t.data() + t.size(), v, std::chars_format::general);
  if (ec != std::errc() || end != t.data() + t.size() || !std::isfinite(v)) return std::nullopt;
  if (!(v >= lo && v <= hi)) return std::nullopt;
  return v;
}

std::optional<long long> ParseCellInteger(std::string_view text, long long lo, long long hi) {
  const std::string_view t = WithoutPlus(Trim(text));
  if (t.empty()) return std::nullopt;
  long long v = 0;
  const auto [end, ec] = std::from_chars(t.data(), t.data() + t.size(), v, 10);
  if (ec != std::errc() || end != t.data() + t.size()) return std::nullopt;
  if (v < lo || v > hi) return std::nullopt;
  return v;
}

FileCellError::FileCellError(std::string file, int line, std::string field, std::string text, std::string need)
    : std::runtime_error(Message(file, line, field, text, need)),
      file_(std::move(file)),
      line_(line),
      field_(std::move(field)),
      text_(std::move(text)) {}

void SplitTabCellViews(std::string_view line, std::vector<std::string_view>& out) {
  out.clear();
  // Cells are short: one pass over the bytes beats a search call per cell.
  const char* const data = line.data();
  const size_t n = line.size();
  size_t start = 0;
  for (size_t i = 0; i < n; ++i) {
    if (data[i] != '\t') continue;
    out.emplace_back(data + start, i - start);
    start = i + 1;
  }
}

std::string RangeText(double lo, double hi) { return Compact(lo) + ".." + Compact(hi); }

void CellReader::Refuse(std::string_view field, std::string_view text, std::string_view need) const {
  throw FileCellError(std::string(file_), line_, std::string(field), std::string(text), std::string(need));
}

double CellReader::NumberIn(std::string_view text, std::string_view field, double lo, double hi) const {
  if (auto v = ParseCellNumber(text, lo, hi)) return *v;
  Refuse(field, text, "a number in " + RangeText(lo, hi));
}

long long CellReader::IntegerIn(std::string_view text, std::string_view field, long long lo, long long hi) const {
  if (auto v = ParseCellInteger(text, lo, hi)) return *v;
  Refuse(field, text, "a whole number in " + RangeText(static_cast<double>(lo), static_cast<double>(hi)));
}

double CellReader::Number(size_t cell, std::string_view field, double lo, double hi) const {
  return NumberIn(Text(cell), field, lo, hi);
}

double CellReader::NumberOr(size_t cell, std::string_view field, double lo, double hi, double whenEmpty) const {
  if (Trim(Text(cell)).empty()) return whenEmpty;
  return NumberIn(Text(cell), field, lo, hi);
}

long long CellReader::Integer(size_t cell, std::string_view field, long long lo, long long hi) const {
  return IntegerIn(Text(cell), field, lo, hi);
}

long long CellReader::IntegerOr(size_t cell, std::string_view field, long long lo, long long hi,
                                long long whenEmpty) const {
  if (Trim(Text(cell)).empty()) return whenEmpty;
  return IntegerIn(Text(cell), field, lo, hi);
}

}  // namespace smt::platform
