#pragma once
// Whole-file reads and atomic whole-file writes.
#include <cstdint>
#include <filesystem>
#include <memory>
#include <span>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/LargeBlock.h"

namespace smt::platform {

class FileError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Reads the whole file; throws FileError naming the file when it cannot.
std::vector<uint8_t> ReadWholeFile(const std::filesystem::path& path);

// A whole file in one allocation of its size, not cleared before it is read
// into (a vector would write every byte twice); a large file in a mapping of
// its own with huge pages (see LargeBlock.h).
class FileBuffer {
 public:
  std::span<const uint8_t> bytes() const { return {data_.get(), size_}; }
  size_t size() const { return size_; }

 private:
  friend FileBuffer ReadFileBuffer(const std::filesystem::path& path);
  ByteBlock data_;
  size_t size_ = 0;
};
// The same read as ReadWholeFile into a FileBuffer.
FileBuffer ReadFileBuffer(const std::filesystem::path& path);

// Writes `bytes` to "<path>.tmp<pid>", flushes it to disk and renames it over
// `path`, so a failed or interrupted write never leaves `path` damaged.
// Throws FileError naming the file on any failure (the temporary is removed).
void WriteFileAtomically(const std::filesystem::path& path, const std::vector<uint8_t>& bytes);
void WriteFileAtomically(const std::filesystem::path& path, const std::string& bytes);
void WriteFileAtomically(const std::filesystem::path& path, std::span<const uint8_t> bytes);

// Writes `bytes` to `path` itself (created or truncated) and flushes it to
// disk; no rename. Throws FileError naming the file (the file is removed).
void WriteFileSynced(const std::filesystem::path& path, const std::vector<uint8_t>& bytes);
void WriteFileSynced(const std::filesystem::path& path, std::span<const uint8_t> bytes);
// The temporary name WriteFileAtomically uses for `path` in this process.
std::filesystem::path TemporaryPathOf(const std::filesystem::path& path);

// Makes the renames and removals in `dir` durable (best effort).
void SyncDirectory(const std::filesystem::path& dir);

// Removes the temporaries "<path>.tmp<pid>" that interrupted writes of
// `path` left behind (those of processes no longer running). Returns how many.
int RemoveStaleTemporaries(const std::filesystem::path& path);
// The same for several files of one directory, in one pass over it.
int RemoveStaleTemporaries(const std::vector<std::filesystem::path>& paths);

}  // namespace smt::platform
