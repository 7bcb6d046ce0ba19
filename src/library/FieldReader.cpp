#include "library/FieldReader.h"

#include <QString>
#include <cerrno>
#include <climits>
#include <cstdlib>

#include "platform/MessageService.h"
#include "platform/RangeRefusal.h"

namespace smt::library {

namespace {
std::string Trim(const std::string& s) {
  const auto b = s.find_first_not_of(" \t");
  if (b == std::string::npos) return {};
  const auto e = s.find_last_not_of(" \t");
  return s.substr(b, e - b + 1);
}
}  // namespace

std::optional<long long> ParseIntField(const std::string& text) {
  const std::string t = Trim(text);
  if (t.empty()) return std::nullopt;
  errno = 0;
  char* end = nullptr;
  const long long v = std::strtoll(t.c_str(), &end, 10);
  if (errno || *end || v < INT_MIN || v > INT_MAX) return std::nullopt;
  return v;
}

std::optional<double> ParseDoubleField(const std::string& text) {
  const std::string t = Trim(text);
  if (t.empty()) return std::nullopt;
  char* end = nullptr;
  const double v = std::strtod(t.c_str(), &end);
  if (*end || v != v) return std::nullopt;
  return v;
}

std::string CellText(const QLineEdit* edit) {
  std::string s = edit->text().toStdString();
  for (char& c : s)
    if (c == '\t') c = ' ';
  return s;
}

void FocusAndSelect(QLineEdit* edit) {
  if (!edit) return;
  edit->setFocus();
  edit->selectAll();
}

void FieldReader::Fail(QLineEdit* edit, double lo, double hi) {
  ok_ = false;
  namespace p = smt::platform;
  const std::string field = p::FieldLabelOf(edit);
  const bool any = lo <= -1e9 && hi >= 1e9;
  std::string message;
  if (language_.empty())
    message = any ? p::NumberRefusalText(field) : p::RangeRefusalText(field, lo, hi);
  else
    message = any ? p::NumberRefusalText(appDir_, language_, field) : p::RangeRefusalText(appDir_, language_, field, lo, hi);
  p::ShowMessage(message, p::MsgButtons::Ok, p::MsgIcon::Warning);
  FocusAndSelect(edit);
}

int FieldReader::Int(QLineEdit* edit, long long lo, long long hi) {
  if (!ok_) return 0;
  const auto v = ParseIntField(edit->text().toStdString());
  if (!v || *v < lo || *v > hi) {
    Fail(edit, static_cast<double>(lo), static_cast<double>(hi));
    return 0;
  }
  return static_cast<int>(*v);
}

int FieldReader::Int(QLineEdit* edit) { return Int(edit, INT_MIN, INT_MAX); }

double FieldReader::Double(QLineEdit* edit, double lo, double hi) {
  if (!ok_) return 0;
  const auto v = ParseDoubleField(edit->text().toStdString());
  if (!v || *v < lo || *v > hi) {
    Fail(edit, lo, hi);
    return 0;
  }
  return *v;
}

std::string FieldReader::Text(QLineEdit* edit) const { return edit->text().toStdString(); }

}  // namespace smt::library
