#pragma once
// The feeder CSV exchange: the current group's rows with their tray counts
// as a comma-separated file in the Chinese multibyte code page (GBK), one
// record a line, CR LF line ends, no quoting.
#include <array>
#include <filesystem>
#include <string>

#include "feeder/FeederTable.h"
#include "platform/SystemText.h"

namespace smt::feeder {

inline constexpr smt::platform::SystemText kCsvFileOpen{"FeederMessagesConfig", "FeederMessages.c_CsvFileOpen", "The file is open!"};
inline constexpr smt::platform::SystemText kCsvCommaInText{"FeederMessagesConfig", "FeederMessages.c_CsvCommaInText", ", exists in the char!"};
inline constexpr smt::platform::SystemText kCsvEmpty{"FeederMessagesConfig", "FeederMessages.c_CsvEmpty", "file is empty!"};

enum class CsvExportResult { Written, CannotCreate, CommaInText };

// The file text (UTF-8) of the current group; `complete` false when a title
// or cell holds a comma (the text then ends before it).
std::string BuildFeederCsv(FeederTable& table, const std::array<std::string, kFeederCells>& titles, bool* complete);
// Writes the file (what was built before a comma stays in it) and shows the
// message of a failure.
CsvExportResult ExportFeederCsv(FeederTable& table, const std::array<std::string, kFeederCells>& titles,
                                const std::filesystem::path& path);

// Refused: a number that is not usable, or trays past what one file may ask for.
enum class CsvImportResult { Imported, CannotOpen, Empty, Refused };
// Parses the file text (UTF-8): the rows and trays of each data line.
// Returns why the file is refused ("line N: ..."), empty when it is taken;
// a refused file gives no rows. A separate speed naming one of
// `speedTemplates` (the machine's own template names) keeps its name.
std::string ParseFeederCsv(const std::string& text, const FeederNameTables& names, std::vector<FeederRow>& rows,
                           std::vector<TrayRecord>& trays, const std::vector<std::string>& speedTemplates = {});
// Replaces the current group's rows by the file's; "file is empty!" when it has no data line.
CsvImportResult ImportFeederCsv(FeederTable& table, const std::filesystem::path& path, const FeederNameTables& names,
                                const std::vector<std::string>& speedTemplates = {});

}  // namespace smt::feeder
