#include "platform/NameAsPath.h"

#include <cctype>

#include "platform/MessageService.h"
#include "platform/RefusalTexts.h"

namespace smt::platform {

std::string NameAsPathProblem(std::string_view name) {
  if (name.empty()) return "it is empty";
  if (name.size() > 200) return "it is longer than 200 bytes";
  if (name == "." || name.find("..") != std::string_view::npos) return "it holds \"..\"";
  for (unsigned char c : name) {
    if (c == '/' || c == '\\') return "it holds a path separator";
    if (c < 0x20 || c == 0x7F) return "it holds a control character";
    if (std::string_view(":*?\"<>|").find(static_cast<char>(c)) != std::string_view::npos)
      return std::string("it holds the character ") + static_cast<char>(c);
  }
  if (name.back() == ' ' || name.back() == '.') return "it ends with a blank or a point";
  return {};
}

std::string NameRefusalText(const std::string& field, const std::string& name) {
  std::string text =
      CommonText("Common.c_NameRefusal", "“%1”：名称“%2”不能用作文件名（不能含有路径分隔符、“..”或文件系统不能保存的字符）。");
  for (const auto& [mark, value] : {std::pair<std::string, std::string>{"%1", field}, {"%2", name}})
    if (const auto at = text.find(mark); at != std::string::npos) text.replace(at, mark.size(), value);
  return text;
}

std::optional<std::filesystem::path> NameAsPath(const std::filesystem::path& dir, std::string_view name,
                                                std::string_view extension, const std::string& field) {
  if (!NameAsPathProblem(name).empty()) {
    ShowMessage(NameRefusalText(field, std::string(name)), MsgButtons::Ok, MsgIcon::Warning);
    return std::nullopt;
  }
  return dir / (std::string(name) + std::string(extension));
}

bool HasExtension(const std::filesystem::path& path, std::string_view extension) {
  const std::string name = path.filename().string();
  if (name.size() <= extension.size()) return false;
  const std::string_view tail = std::string_view(name).substr(name.size() - extension.size());
  for (size_t i = 0; i < tail.size(); ++i)
    if (std::tolower(static_cast<unsigned char>(tail[i])) != std::tolower(static_cast<unsigned char>(extension[i])))
      return false;
  return true;
}

}  // namespace smt::platform
