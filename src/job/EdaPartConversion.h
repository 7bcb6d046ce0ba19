#pragma once
// Turns the import list into the placement rows of a board: X and Y become
// millimetres by the unit of the file each row came from, the rotation is
// brought into 0 <= a < 360, and each part is matched against the feeder
// rows shown in the feeder list, which fills its feeder, head and the place
// and vision flags.
#include <ctime>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "job/EdaImportList.h"
#include "job/ImportFileSettings.h"
#include "job/JobModel.h"

namespace smt::job {

// One shown row of the feeder list, as the matching needs it.
struct ImportFeederRow {
  std::string number;   // column 0: feeder number (W3, G1, ...)
  std::string package;  // column 2
  std::string value;    // column 3
  std::string head;     // column 10
  bool flyingCentre = false;  // column 13 shows its "yes" image
};

// The X (column kImpX) or Y (kImpY) cell of a placement row for an import
// row, from the millimetres its reader took (ReadImportNumbers): written
// "%0.4f", or the file's own text when it is millimetres as written.
std::string ImportCoordinateText(const ImportRow& row, int column);
// The rotation brought into 0 <= a < 360 (-90 -> 270, 360 -> 0, 450 -> 90),
// written without a fraction when it has none ("90", "22.5").
std::string ImportRotationText(const ImportRow& row);
// The first feeder row that the options accept for a part (nullptr none):
// package only, value only, or both; with both options off nothing matches.
const ImportFeederRow* MatchImportFeeder(const std::vector<ImportFeederRow>& feeders, const std::string& package,
                                         const std::string& value, const ImportFitOptions& options);
// "%d-%d-%d  %d:%d:%d" of a local time.
std::string FormatAddTime(const std::tm& t);

// Progress of a conversion: rows done, rows in all.
using ImportProgress = std::function<void(int done, int total)>;

// The placement rows (stored form: 16 cells, cells 7 and 10 with "1/" or
// "0/") of an import list, numbered 1..n, all with the time `now`.
std::vector<std::vector<std::string>> BuildPlacementRows(const ImportList& list,
                                                         const std::vector<ImportFeederRow>& feeders,
                                                         const ImportFitOptions& options, const std::tm& now,
                                                         const ImportProgress& progress = {});

enum class ImportOutcome { Imported, EmptyList, NoTargetBoard };

// Replaces the placement rows of the job's current board (the PCB editor's
// current name) by the rows of the list. When that board is the one the
// part list shows, the list shows the new rows at once, so that a later
// store of the list cannot bring the old rows back.
ImportOutcome ImportPartRows(JobModel& job, const ImportList& list, const std::vector<ImportFeederRow>& feeders,
                             const ImportFitOptions& options, const std::tm& now,
                             const ImportProgress& progress = {});

}  // namespace smt::job
