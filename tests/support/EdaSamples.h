#pragma once
// The folder of real pick-and-place files exported by design tools. The
// project does not ship them: the tests that read them find the folder
// through the environment variable SMT_EDA_SAMPLES, else the CMake option of
// the same name (by default ../shared/eda-samples beside the source tree when
// that folder exists), and are skipped, saying so, when a file is not there.
#include <cstdlib>
#include <filesystem>
#include <string>

namespace smt::test {

inline std::filesystem::path EdaSamplesDir() {
  if (const char* env = std::getenv("SMT_EDA_SAMPLES")) return env;
#ifdef SMT_EDA_SAMPLES
  return SMT_EDA_SAMPLES;
#else
  return {};
#endif
}

// The sample `relative` inside the folder, or an empty path when it is absent.
inline std::filesystem::path EdaSample(const std::string& relative) {
  const std::filesystem::path dir = EdaSamplesDir();
  if (dir.empty()) return {};
  std::error_code ec;
  const std::filesystem::path file = dir / relative;
  return std::filesystem::is_regular_file(file, ec) ? file : std::filesystem::path{};
}

// Why a sample test is skipped, naming the option that brings the files.
inline std::string EdaSampleMissing(const std::string& relative) {
  const std::filesystem::path dir = EdaSamplesDir();
  return "sample file " + relative + " not present in " + (dir.empty() ? std::string("(no folder set)") : dir.string()) +
         ": set the CMake option or environment variable SMT_EDA_SAMPLES to the folder of the pick-and-place samples";
}

}  // namespace smt::test
