#pragma once
// Keeps a file whose lines could not all be read: a copy beside it named
// "<name>.damaged-<date>-<time>", made before anything is saved over it.
#include <filesystem>
#include <string>

namespace smt::platform {

// The copy's path, or "" when the file is not there or cannot be copied. A
// file that is still damaged the same way (a copy beside it holds the same
// bytes) is not copied again: that copy's path is returned.
std::string KeepDamagedCopy(const std::filesystem::path& file);

}  // namespace smt::platform
