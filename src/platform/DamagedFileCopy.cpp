#include "platform/DamagedFileCopy.h"

#include <ctime>
#include <system_error>

#include "platform/FileIo.h"

namespace smt::platform {

namespace {

// A copy already kept of these very bytes (a file that stays damaged from
// one start to the next is kept once, not once a start).
std::string SameCopy(const std::filesystem::path& file, const std::vector<uint8_t>& bytes) {
  std::error_code ec;
  const std::string prefix = file.filename().string() + ".damaged-";
  for (std::filesystem::directory_iterator it(file.parent_path().empty() ? "." : file.parent_path(), ec), end;
       !ec && it != end; it.increment(ec)) {
    const std::string name = it->path().filename().string();
    if (name.rfind(prefix, 0) != 0 || !it->is_regular_file(ec)) continue;
    if (it->file_size(ec) != bytes.size() || ec) continue;
    try {
      if (ReadWholeFile(it->path()) == bytes) return it->path().string();
    } catch (const std::exception&) {
    }
  }
  return {};
}

}  // namespace

std::string KeepDamagedCopy(const std::filesystem::path& file) {
  std::error_code ec;
  if (!std::filesystem::is_regular_file(file, ec)) return {};
  try {
    if (std::string same = SameCopy(file, ReadWholeFile(file)); !same.empty()) return same;
  } catch (const std::exception&) {
    return {};
  }
  std::time_t t = std::time(nullptr);
  std::tm tm{};
  localtime_r(&t, &tm);
  char stamp[32];
  std::strftime(stamp, sizeof stamp, "%Y%m%d-%H%M%S", &tm);
  // Another damage kept within the same second gets a name of its own.
  for (int n = 1; n <= 100; ++n) {
    std::filesystem::path copy = file;
    copy += std::string(".damaged-") + stamp + (n == 1 ? std::string() : "-" + std::to_string(n));
    if (std::filesystem::exists(copy, ec)) continue;
    if (!std::filesystem::copy_file(file, copy, ec) || ec) return {};
    return copy.string();
  }
  return {};
}

}  // namespace smt::platform
