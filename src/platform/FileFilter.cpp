#include "platform/FileFilter.h"

#include <algorithm>
#include <cctype>
#include <vector>

namespace smt::platform {

namespace {

bool AllAscii(const std::string& s) {
  return std::all_of(s.begin(), s.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

// One filter "description (patterns)": a non-ASCII description is replaced
// by the upper-case extensions of the patterns, each once.
std::string OneFilter(const std::string& f) {
  const size_t open = f.rfind('(');
  const size_t close = f.rfind(')');
  if (open == std::string::npos || close == std::string::npos || close < open) return f;
  if (AllAscii(f.substr(0, open))) return f;
  const std::string patterns = f.substr(open + 1, close - open - 1);
  std::vector<std::string> names;
  size_t at = 0;
  while (at < patterns.size()) {
    size_t end = patterns.find(' ', at);
    if (end == std::string::npos) end = patterns.size();
    std::string p = patterns.substr(at, end - at);
    at = end + 1;
    const size_t dot = p.rfind('.');
    std::string ext = dot == std::string::npos ? p : p.substr(dot + 1);
    if (ext.empty()) continue;
    std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return std::toupper(c); });
    if (ext == "*") ext = "*.*";
    if (std::find(names.begin(), names.end(), ext) == names.end()) names.push_back(ext);
  }
  std::string desc;
  for (const auto& n : names) desc += (desc.empty() ? "" : ", ") + n;
  return desc + " (" + patterns + ")";
}

}  // namespace

std::string FileFilterForLanguage(const std::string& filter, const std::string& language) {
  if (language == "Chinese") return filter;
  std::string out;
  size_t at = 0;
  while (true) {
    const size_t sep = filter.find(";;", at);
    out += OneFilter(filter.substr(at, sep == std::string::npos ? std::string::npos : sep - at));
    if (sep == std::string::npos) break;
    out += ";;";
    at = sep + 2;
  }
  return out;
}

}  // namespace smt::platform
