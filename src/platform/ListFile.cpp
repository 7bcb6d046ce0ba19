#include "platform/ListFile.h"

namespace smt::platform {

ListFileContent ParseListFile(std::span<const uint8_t> bytes, bool hasLeading) {
  ArchiveReader r(bytes);
  ListFileContent c;
  if (hasLeading) c.leading = r.ReadString();
  int32_t count = r.ReadI32();
  if (count > 0) {
    // Every string takes at least one byte: a count beyond the bytes left is damage.
    if (static_cast<size_t>(count) > r.remaining()) {
      throw ArchiveError("row count " + std::to_string(count) + " does not fit the " +
                         std::to_string(r.remaining()) + " bytes that follow it");
    }
    c.rows.reserve(static_cast<size_t>(count));
    for (int32_t i = 0; i < count; ++i) c.rows.push_back(r.ReadString());
  }
  // Bytes after the last row: the count was damaged (or the file was cut
  // together from two); loading part of it would lose the rest at the next save.
  if (!r.AtEnd()) {
    throw ArchiveError(std::to_string(r.remaining()) + " bytes follow the last of the " + std::to_string(count) +
                       " rows the count announces");
  }
  return c;
}

std::vector<uint8_t> EncodeListFile(const ListFileContent& content) {
  ArchiveWriter w;
  if (content.leading) w.WriteString(*content.leading);
  w.WriteI32(static_cast<int32_t>(content.rows.size()));
  for (const auto& row : content.rows) w.WriteString(row);
  return w.take();
}

ListFileContent ReadListFile(const std::filesystem::path& path, bool hasLeading) {
  std::vector<uint8_t> bytes = ReadWholeFile(path);
  try {
    return ParseListFile(bytes, hasLeading);
  } catch (const ArchiveError& e) {
    throw ArchiveError("\"" + path.string() + "\": " + e.what());
  }
}

void WriteListFile(const std::filesystem::path& path, const ListFileContent& content) {
  WriteFileAtomically(path, EncodeListFile(content));
}

}  // namespace smt::platform
