#pragma once
// The nozzle library: one row per seat of the magazine (its 9 cells and the
// record read from them once, when the row was set), the three
// nozzle-change settings of [NozzleListConfig], and the conversion of the
// records into the numeric seat records (NozzleState::seats) in motor steps.
#include <array>
#include <filesystem>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "library/NozzleRecord.h"
#include "library/NozzleSeats.h"

namespace smt {
class Machine;
}

namespace smt::library {

struct NozzleListSettings {
  int m_InAndOutExtern = 0;   // approach and leave the entrance with a Y extension
  double m_Distance = 100.0;  // extension, mm (1..100; 0 in the file reads 100)
  int m_Delay = 0;            // ms after opening the magazine (0..10000)
};

// The scales and heights the seat records are computed with.
struct NozzleGeometry {
  double xPulse = 1, yPulse = 1, zPulse = 1;
  std::array<double, kHeadCount> zNozzleToFeed{};  // m_Z_Nozzle<k>ToFeed, mm
};
// From the machine settings store.
NozzleGeometry NozzleGeometryOf(smt::Machine& machine);

class NozzleLibrary {
 public:
  NozzleEditFields editor;
  int m_nSelectedHead = 0;  // head combo of the dialog, 0 = A1

  // A row was modified since the seat records were last computed.
  bool m_bSeatsDirty = false;

  // The rows; row i is seat i, nozzle i + 1.
  const std::vector<NozzleListRow>& Rows() const { return rows_; }
  int Count() const { return static_cast<int>(rows_.size()); }
  // Row i (0 <= i < Count()).
  const NozzleListRow& Row(int i) const { return rows_.at(static_cast<size_t>(i)); }

  // Start-up: each row string cut at its TABs into 9 cells and read once.
  // Rows whose numbers cannot be read are kept as they are (shown, and
  // written back unchanged) but give no seat record; the refusals are
  // returned (file, line and field named).
  std::vector<platform::FileCellError> LoadRows(const std::vector<std::string>& rowStrings);
  // Rows given as cells, each read once (row i as line i + 1).
  void ReadRows(const std::vector<NozzleRow>& cells);
  // Rows already read (the list dialog's).
  void SetRows(std::vector<NozzleListRow> rows) { rows_ = std::move(rows); }
  void SetRow(int i, NozzleListRow row) { rows_.at(static_cast<size_t>(i)) = std::move(row); }
  // Row i's record as read; nullopt when a number cell of it cannot be read
  // (Row(i).problem names it) or i is no row.
  std::optional<NozzleRecord> Record(int i) const;
  bool RowNumbersUsable(int i) const { return Record(i).has_value(); }
  // Row i's note ("" when i is no row).
  std::string Note(int i) const;
  // One string per row, each cell followed by TAB.
  std::vector<std::string> BuildRowStrings() const;

  // `machine`'s seat records of the first 19 rows (further rows have no seat).
  void ComputeNozzlePositions(smt::Machine& machine, const NozzleGeometry& g) const;
  void ComputeNozzlePositions(smt::Machine& machine) const { ComputeNozzlePositions(machine, NozzleGeometryOf(machine)); }
  // The same-note matrix alone.
  void ComputeSameNotes(smt::Machine& machine) const;

  // Adds dx to the seat and entrance X cells, dy to the Y cells ("%.4f").
  void ShiftNozzlePositions(double dx, double dy);

  // The settings, read and set under a lock (the run's workers read them).
  NozzleListSettings Settings() const;
  void SetSettings(const NozzleListSettings& s);

  // [NozzleListConfig]
  void LoadConfig(const std::string& appDir);
  void SaveConfig(const std::string& appDir) const;
  // The nozzle list's OK: "config_nozzle.fig" holding `rows` and
  // [NozzleListConfig] holding `settings` change as one set (a process
  // killed at any moment leaves both old or both new). The settings become
  // the library's once both are written. Throws (the files then stay as
  // they were) naming the file that could not be written.
  void SaveListAndConfig(const std::string& appDir, const std::vector<std::string>& rows,
                         const NozzleListSettings& settings);

  // Row formats of the editor's values.
  static NozzleRow MakeRow(int number, double x, double y, double pickHeight, double entranceX, double entranceY,
                           double entranceZ, int vacuum, const std::string& note);

 private:
  std::vector<NozzleListRow> rows_;
  mutable std::mutex settingsM_;
  NozzleListSettings settings_;
};

// The journal of the nozzle list's OK, and the completion (or undoing) of
// an OK a killed program left half done, done at start before the files are read.
std::filesystem::path NozzleListSaveJournal(const std::string& appDir);
void FinishNozzleListSave(const std::string& appDir);

// The one library of the process (the dialog, the run and the origin update share it).
NozzleLibrary& TheNozzleLibrary(smt::Machine& machine);

}  // namespace smt::library
