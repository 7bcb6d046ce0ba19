#pragma once
// The one way a name becomes a path. A name that comes from the operator or
// from a file (a feeder number, a template name, a typed file name) is used
// as one file name in a folder the program chose, and only when it is one:
// not empty, no path separator ('/' or '\'), not "." and no "..", no control
// character and none of : * ? " < > | (which other file systems cannot hold),
// no blank or point at its end, at most 200 bytes. Anything else is refused
// with a message naming the field, in the window's language.
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace smt::platform {

// Empty when `name` can be a file name; else what is wrong with it (English).
std::string NameAsPathProblem(std::string_view name);

// The refusal text naming the field and the name, in the window's language.
std::string NameRefusalText(const std::string& field, const std::string& name);

// `dir` / (`name` + `extension`), or nullopt after the refusal naming `field`
// was shown (through the message service).
std::optional<std::filesystem::path> NameAsPath(const std::filesystem::path& dir, std::string_view name,
                                                std::string_view extension, const std::string& field);

// Extension comparison without regard to case (".smt" matches "CAP.SMT").
bool HasExtension(const std::filesystem::path& path, std::string_view extension);

}  // namespace smt::platform
