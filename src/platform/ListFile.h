#pragma once
// The library list files ("config_*.fig"): an optional leading archive
// string, a 32-bit count and that many archive strings.
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "platform/Archive.h"
#include "platform/FileIo.h"

namespace smt::platform {

struct ListFileContent {
  std::optional<std::string> leading;  // only config_speed.fig has one
  std::vector<std::string> rows;
};

// Parses list-file bytes. Throws ArchiveError when the data is short, the
// count does not fit the bytes that are there, or bytes follow the last row.
ListFileContent ParseListFile(std::span<const uint8_t> bytes, bool hasLeading);
std::vector<uint8_t> EncodeListFile(const ListFileContent& content);

// Reads a list file; throws FileError (cannot open) or ArchiveError (damaged).
ListFileContent ReadListFile(const std::filesystem::path& path, bool hasLeading);
// Writes atomically; throws FileError.
void WriteListFile(const std::filesystem::path& path, const ListFileContent& content);

}  // namespace smt::platform
