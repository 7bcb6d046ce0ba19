#pragma once
// A set of files that changes as one: every new file is written beside its
// target under its temporary name "<file>.tmp<pid>", then a journal naming
// each target and its temporary is written whole and renamed into place
// (that rename is the moment the set changes), then the temporaries are
// renamed over the targets and the journal is removed. A process killed
// before the journal's rename leaves every old file (its temporaries are
// removed by the next FinishFileSet); one killed after it has its set
// completed by the next FinishFileSet. Paths in the journal are relative to
// the journal's directory and may name files in its sub-folders.
#include <cstdint>
#include <filesystem>
#include <vector>

namespace smt::platform {

struct FileSetItem {
  std::filesystem::path path;  // in the journal's directory or below it
  std::vector<uint8_t> bytes;
};

// Writes the set; throws FileError naming the file that could not be
// written (the old set then stays whole).
void WriteFileSet(const std::filesystem::path& journal, const std::vector<FileSetItem>& files);

// Completes a committed set or undoes an uncommitted one; `files` are the
// targets the set may hold (their stale temporaries are removed). Throws
// FileError when a committed file cannot be put in place.
void FinishFileSet(const std::filesystem::path& journal, const std::vector<std::filesystem::path>& files);

}  // namespace smt::platform
