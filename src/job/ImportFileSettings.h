#pragma once
// The two matching options of the import: match imported parts to feeders
// by package and/or by value. Kept in section [ImportFileConfig] of
// "config.ini" as integers.
#include <string>

namespace smt::job {

struct ImportFitOptions {
  int m_FitPartPacking = 0;
  int m_FitPartValue = 0;
  bool operator==(const ImportFitOptions&) const = default;
};

inline constexpr const char* kImportFileSection = "ImportFileConfig";

// A missing key reads as 0; values other than 0 count as 1.
ImportFitOptions LoadImportFitOptions(const std::string& appDir);
// Writes both keys with "%d"; false when the file could not be written.
bool SaveImportFitOptions(const std::string& appDir, const ImportFitOptions& options);

// Where the operator last imported from: the format index and the folder of
// the files last opened, kept in the same section ("LastFormat",
// "LastFolder") so that the import dialog opens there again, also after a
// restart.
struct ImportPlace {
  int format = 0;
  std::string folder;
};
// A missing or unusable format reads as 0; a missing folder as empty.
ImportPlace LoadImportPlace(const std::string& appDir, int formatCount);
bool SaveImportPlace(const std::string& appDir, const ImportPlace& place);

}  // namespace smt::job
