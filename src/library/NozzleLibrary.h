#pragma once
// The nozzle library: one text row of 9 cells per seat of the magazine, the
// three nozzle-change settings of [NozzleListConfig], and the conversion of
// the rows into the numeric seat records (NozzleState::seats) in motor steps.
#include <array>
#include <mutex>
#include <string>
#include <vector>

#include "library/NozzleSeats.h"

namespace smt::library {

inline constexpr int kNozzleCells = 9;
using NozzleRow = std::array<std::string, kNozzleCells>;
inline constexpr const char* kNozzleFileName = "config_nozzle.fig";

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
NozzleGeometry CurrentNozzleGeometry();

// The seat editor's fields; they keep their values from one use to the next.
struct NozzleEditFields {
  int number = 0;
  std::string note;
  double x = 0, y = 0, pickHeight = 0;
  double entranceX = 0, entranceY = 0, entranceZ = 0;
  int vacuum = 0;
};

class NozzleLibrary {
 public:
  NozzleEditFields editor;
  int m_nSelectedHead = 0;  // head combo of the dialog, 0 = A1

  // The rows (m_NozzleRows); row i is seat i, nozzle i + 1.
  std::vector<NozzleRow> m_NozzleRows;
  // A row was modified since the seat records were last computed.
  bool m_bSeatsDirty = false;

  int Count() const { return static_cast<int>(m_NozzleRows.size()); }

  // Start-up: each row string cut at its TABs into 9 cells.
  // Takes the rows; returns the number cells that were refused (file, row
  // and field named): not finite, or beyond any machine's travel.
  std::vector<std::string> LoadRows(const std::vector<std::string>& rowStrings);
  std::vector<std::string> CheckNumbers() const;
  // False when a millimetre cell of row i is refused: its seat is not computed.
  bool RowNumbersUsable(int i) const;
  static constexpr double kMaxNozzleMillimetres = 100000.0;
  // One string per row, each cell followed by TAB.
  std::vector<std::string> BuildRowStrings() const;

  // Seat records of the first 19 rows (further rows have no seat).
  void ComputeNozzlePositions(const NozzleGeometry& g) const;
  void ComputeNozzlePositions() const { ComputeNozzlePositions(CurrentNozzleGeometry()); }
  // The same-note matrix alone.
  void ComputeSameNotes() const;

  // Adds dx to the seat and entrance X cells, dy to the Y cells ("%.4f").
  void ShiftNozzlePositions(double dx, double dy);

  // The settings, read and set under a lock (the run's workers read them).
  NozzleListSettings Settings() const;
  void SetSettings(const NozzleListSettings& s);

  // [NozzleListConfig]
  void LoadConfig(const std::string& appDir);
  void SaveConfig(const std::string& appDir) const;

  // Row formats of the editor's values.
  static NozzleRow MakeRow(int number, double x, double y, double pickHeight, double entranceX, double entranceY,
                           double entranceZ, int vacuum, const std::string& note);

 private:
  mutable std::mutex settingsM_;
  NozzleListSettings settings_;
};

// The one library of the process (the dialog, the run and the origin update share it).
NozzleLibrary& TheNozzleLibrary();

}  // namespace smt::library
