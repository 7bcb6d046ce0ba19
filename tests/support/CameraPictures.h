#pragma once
// The folder of real machine-camera pictures. The project does not ship
// them: the tests that read them find the folder through the environment
// variable SMT_CAMERA_PICTURES, else the CMake option of the same name (by
// default ../shared/camera-pictures beside the source tree when that folder
// exists), and are skipped, saying so, when a picture is not there.
#include <cstdlib>
#include <filesystem>
#include <string>

namespace smt::test {

inline std::filesystem::path CameraPicturesDir() {
  if (const char* env = std::getenv("SMT_CAMERA_PICTURES")) return env;
#ifdef SMT_CAMERA_PICTURES
  return SMT_CAMERA_PICTURES;
#else
  return {};
#endif
}

// The picture `relative` inside the folder, or an empty path when absent.
inline std::filesystem::path CameraPicture(const std::string& relative) {
  const std::filesystem::path dir = CameraPicturesDir();
  if (dir.empty()) return {};
  std::error_code ec;
  const std::filesystem::path file = dir / relative;
  return std::filesystem::is_regular_file(file, ec) ? file : std::filesystem::path{};
}

// Why a picture test is skipped, naming the option that brings the files.
inline std::string CameraPictureMissing(const std::string& relative) {
  const std::filesystem::path dir = CameraPicturesDir();
  return "camera picture " + relative + " not present in " +
         (dir.empty() ? std::string("(no folder set)") : dir.string()) +
         ": set the CMake option or environment variable SMT_CAMERA_PICTURES to the folder of the camera pictures";
}

}  // namespace smt::test
