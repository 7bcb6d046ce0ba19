#pragma once
// Profile (INI) files as the settings and language files use them:
// case-insensitive section and key names, a default text for a missing key,
// writes that keep every other line of the file. Each file is parsed once
// and kept in memory until it changes on disk.
#include <functional>
#include <string>
#include <string_view>

namespace smt::platform {

// Reads `key` of `section` from the profile file at `path`; `defaultText`
// when the file, the section or the key is missing. Surrounding blanks and
// one pair of enclosing double quotes are removed from the value.
std::string GetProfileString(const std::string& path, std::string_view section, std::string_view key,
                             std::string_view defaultText);

// Writes `key`=`value` into `section`, creating the file, the section or the
// key as needed and keeping the rest of the file. The file is replaced
// atomically. Returns false when the file could not be written.
bool WriteProfileString(const std::string& path, std::string_view section, std::string_view key,
                        std::string_view value);

// Groups writes to one file into one replacement of the whole file: while a
// batch of `path` is open (batches nest, and count for every thread), writes
// change its text in memory only, and readers see them; when the last batch
// ends, the file is written to a temporary and renamed into place once, so a
// process killed during a save leaves every old value or every new one.
// EndProfileBatch returns false when that write failed.
void BeginProfileBatch(const std::string& path);
bool EndProfileBatch(const std::string& path);

// Ends a batch like EndProfileBatch, but a file whose text changed is not
// written here: `store` gets its whole new text (nullptr when the file has
// nothing to write now: no change, or an outer batch still open) and writes
// it, e.g. as one file of a set that changes as one. What `store` throws is
// passed on, and readers then take the file as it is on disk again.
bool EndProfileBatchInto(const std::string& path, const std::function<void(const std::string* text)>& store);

// A batch for the life of the object (or until Commit).
class ProfileBatch {
 public:
  explicit ProfileBatch(std::string path);
  ~ProfileBatch();
  ProfileBatch(const ProfileBatch&) = delete;
  ProfileBatch& operator=(const ProfileBatch&) = delete;
  bool Commit();

 private:
  std::string path_;
  bool done_ = false, ok_ = true;
};

// Forgets every cached file (tests that rewrite files within the same
// second use it; normal code never needs it).
void ClearProfileCache();

// A burst of reads: while one lives, each file is checked against the disk
// once, and later reads of it take the copy then read (the program's own
// writes keep that copy current). For the start-up, which reads a thousand
// and more keys while no other program writes the files.
class ProfileReadBurst {
 public:
  ProfileReadBurst();
  ~ProfileReadBurst();
  ProfileReadBurst(const ProfileReadBurst&) = delete;
  ProfileReadBurst& operator=(const ProfileReadBurst&) = delete;
};

}  // namespace smt::platform
