#pragma once
// The package library: one typed record per package, with the 28 cells it
// was read from (size, vision
// and light, camera, nozzle, speed, recognition type, feed mode with its feed
// values, vacuum values, two reserved cells), built from the library lists' rows of
// "config_pack.fig" and handed back at the dialog's OK.
#include <array>
#include <functional>
#include <string>
#include <vector>

#include "library/PackRecord.h"

namespace smt {
class Machine;
}

namespace smt::library {

// The package editor's values (cells 0..25) and its twelve check boxes.
struct PackEditFields {
  std::string name;
  double length = 0.1, width = 0.1, thickness = 0.1;
  int contrast = 0, brightness = 0, pickDelay = 1, placeDelay = 1;
  std::string camera;
  int visionMode = 0;  // 0 none, 1 vision centring, 2 flying centring
  std::string nozzle, speedName, recognition;
  int ownSpeed = 0;
  std::string feedMode;
  int feedCount = 0, feedTime = 0, slackLength = 0, tensionLength = 0;
  int precisionXY = 0, precisionA = 0, captureTime = 0;
  double pickHeight = 0, vacuumTest = 0, closeEarly = 0;
};

// [PackEditConfig]: the synchronous modify and the eleven pass-on switches.
struct PackEditSwitches {
  int m_SynchronousModify = 0, m_SelectFeedMode = 0, m_FeedTimes = 0, m_FeedTime = 0, m_OpenLength = 0,
      m_CloseLength = 0, m_Precision_XY = 0, m_Precision_A = 0, m_CollectPictureTime = 0, m_NozzleHeight = 0,
      m_VacuumTestValue = 0, m_smtBeforeCloseVacuum = 0;
};
PackEditSwitches LoadPackEditSwitches(const std::string& appDir);
void SavePackEditSwitches(const std::string& appDir, const PackEditSwitches& s);

std::vector<std::string> PackRowStrings(const std::vector<PackRow>& rows);
// The held rows' cells, one line per row.
std::vector<std::string> PackListStrings(const std::vector<PackListRow>& rows);
// `built` with each row not changed since `readLines` were read written as
// the line it was read from (see KeepLinesAsRead).
std::vector<std::string> KeepPackLinesAsRead(std::vector<std::string> built, const std::vector<std::string>& readLines);

// Cell 15 (feed mode, first seven modes of each language) and cell 13 (speed
// name) in the current language. `feedNames`: language * 9 + mode;
// `speedNames`: language * 8 + use.
void TranslatePackRow(PackRow& row, const std::array<std::string, 27>& feedNames,
                      const std::array<std::string, 24>& speedNames, int language);
// The same on a held row, read again when a cell changed.
void TranslatePackRow(PackListRow& row, const std::array<std::string, 27>& feedNames,
                      const std::array<std::string, 24>& speedNames, int language);

// The editor's values as row cells 0..25 (26 and 27 kept from `row`).
void WritePackFields(PackRow& row, const PackEditFields& f);
// The editor's values from a package record (vision centring dropped on
// machine type 4), and from a table row through the row reader: throws
// platform::FileCellError naming the file, `line` and the field when a
// number cell cannot be read.
PackEditFields PackFieldsOf(const PackRecord& r, int machineType);
PackEditFields ReadPackFields(const PackRow& row, int machineType, int line = 0);

// Sorts ascending by the text of `column` (UTF-16 code units), stable.
void SortPackRows(std::vector<PackRow>& rows, int column);
void SortPackRows(std::vector<PackListRow>& rows, int column);

// What a confirmed modify passes on to the feeders of the current group.
struct PackFeederUpdate {
  PackEditFields values;
  PackEditSwitches pass;
};
// One feeder row (30 cells) rewritten from a package; true when its package
// (cell 2) is the package's name and it was changed.
bool ApplyPackToFeederRow(std::vector<std::string>& feederRow, const PackFeederUpdate& update);

class PackLibrary {
 public:
  std::vector<PackListRow> m_PackRows;  // each package read once, with its cells
  int m_nSelectedRow = 0;  // kept from one opening of the dialog to the next
  PackEditFields editor;   // the editor keeps its values between uses
  int sortColumn = -1;     // the column the list was last sorted by (-1 none)
  // Rows whose numbers cannot be read are kept as they are (the list shows
  // them and a save writes them back unchanged) and refused where they are
  // used; the refusals are returned.
  std::vector<platform::FileCellError> LoadTable(const std::vector<std::string>& lines) {
    m_PackRows.clear();
    const std::vector<PackRow> rows = BuildPackTable(lines);
    for (size_t i = 0; i < rows.size(); ++i) m_PackRows.emplace_back(rows[i], static_cast<int>(i + 1));
    return CheckPackLines(lines);
  }
};

PackLibrary& ThePackLibrary(smt::Machine& machine);

}  // namespace smt::library
