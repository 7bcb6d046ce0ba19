#include "platform/DamagedFileCopy.h"

#include <ctime>
#include <system_error>

namespace smt::platform {

std::string KeepDamagedCopy(const std::filesystem::path& file) {
  std::error_code ec;
  if (!std::filesystem::is_regular_file(file, ec)) return {};
  std::time_t t = std::time(nullptr);
  std::tm tm{};
  localtime_r(&t, &tm);
  char stamp[32];
  std::strftime(stamp, sizeof stamp, "%Y%m%d-%H%M%S", &tm);
  std::filesystem::path copy = file;
  copy += std::string(".damaged-") + stamp;
  // A second damaged load within the same second keeps the first copy.
  if (std::filesystem::exists(copy, ec)) return copy.string();
  if (!std::filesystem::copy_file(file, copy, ec) || ec) return {};
  return copy.string();
}

}  // namespace smt::platform
