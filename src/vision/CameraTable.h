#pragma once
// The table of up-looking vision-centring cameras (at most two, "Camera 1"
// and "Camera 2"): 28-cell text rows as stored in "config_camera.fig", and
// the two records in motor steps that the run, the head layout, the camera
// panel and the calibration tasks read. Plain data; the camera list dialog
// edits it on the window thread.
#include <array>
#include <cstdint>
#include <optional>
#include <string_view>
#include <string>
#include <vector>

namespace smt::vision {

inline constexpr int kCameraCellCount = 28;
using CameraRow = std::array<std::string, kCameraCellCount>;

inline constexpr const char* kCameraName1 = "Camera 1";
inline constexpr const char* kCameraName2 = "Camera 2";

// One camera row in motor steps.
struct CameraRecord {
  int32_t CameraNumber = 0;  // 1 first record, 2 second, 0 cleared
  int32_t CameraPulse_X = 0, CameraPulse_Y = 0;
  std::array<int32_t, 8> CorrectionPulse_X{};  // heads 1..8
  std::array<int32_t, 8> CorrectionPulse_Y{};
  double Correction_A = 0, VisualZoom = 0, VisualSize = 0;
  int32_t Light_Contrast = 0, Light_Brightness = 0, CorrectionTimes = 0, Precision_XY = 0, Precision_A = 0,
          CollectTime = 0;
  bool operator==(const CameraRecord&) const = default;
};

// Millimetres to steps, truncated toward zero (a value that does not fit
// an int32 is clamped instead of wrapping).
int32_t MmToSteps(double mm, double pulsesPerMm);
// A cell's number (whole text a finite number; anything else reads as 0:
// the table refuses such cells when it is read, see CameraCellProblem).
double CellDouble(const std::string& cell);
int CellInt(const std::string& cell);

// The number cells of a camera row (1..27) with their names and ranges.
struct CameraCellField {
  int cell;
  const char* name;
  double lo, hi;
  bool integer;
};
const std::array<CameraCellField, kCameraCellCount - 1>& CameraCellFields();
// What the cell needs when its text is not that (nullopt: the cell reads;
// an empty cell reads as 0).
std::optional<std::string> CameraCellProblem(const CameraCellField& f, std::string_view text);
// A cell's number as the table reads it: an empty cell is 0, a cell the
// table refuses (CameraCellProblem) is nullopt.
std::optional<double> CameraCellNumber(const CameraCellField& f, std::string_view text);
// Tells (once each, ReadRefusals.h) every cell of `rows` that does not read,
// naming `file`, the line and the field. Returns how many were refused.
int ReportCameraRowProblems(const std::vector<CameraRow>& rows, const std::string& file);

// The record of a row: positions and corrections converted with the X and Y
// pulses per millimetre, the rest as parsed.
CameraRecord RecordFromRow(const CameraRow& row, int cameraNumber, double xPulse, double yPulse);

// Cuts a stored row text at its TABs (text after the last TAB ignored).
std::vector<std::string> SplitRowText(const std::string& text);
// The 28 cells, each followed by a TAB.
std::string JoinRow(const CameraRow& row);

class CameraTable {
 public:
  // The stored row texts: the TAB count of the first text decides the
  // layout of all (15: one-head rows, 21: four-head rows, else current).
  // Every number cell is checked (ReportCameraRowProblems); returns how many
  // were refused. A refused cell keeps its text and counts as 0.
  int LoadTable(const std::vector<std::string>& texts);
  // One text per row.
  std::vector<std::string> SaveTable() const;

  int Count() const { return static_cast<int>(m_CameraRows.size()); }
  const std::vector<CameraRow>& Rows() const { return m_CameraRows; }
  std::vector<CameraRow>& Rows() { return m_CameraRows; }
  std::vector<std::string> Names() const;

  // Name for a new camera; empty when two cameras exist already.
  std::string NewCameraName() const;
  void AppendRow(const CameraRow& row) { m_CameraRows.push_back(row); }
  // False when the index names no row (nothing removed).
  bool DeleteRow(int index);
  // Replaces row `index`; rows 0 and 1 also recompute their record.
  bool ModifyRow(int index, const CameraRow& row, double xPulse, double yPulse);

  // Both records from the rows (see the rules in the .cpp).
  void RebuildRecords(double xPulse, double yPulse);
  // Adds dx, dy (mm) to every camera position ("%.4f") and recomputes only
  // the camera steps of the records.
  void ShiftPositions(double dxMm, double dyMm, double xPulse, double yPulse);

  CameraRecord m_Camera_first;
  CameraRecord m_Camera_second;

 private:
  std::vector<CameraRow> m_CameraRows;
};

// Feeder rows (by index) whose vision-camera column should get the
// no-vision icon: all when there is no camera, those naming another camera
// when there is one, none with two. `feederCameraColumn` holds each feeder
// row's camera column text.
std::vector<int> FeedersWithoutVisionCamera(const std::vector<std::string>& cameraNames,
                                            const std::vector<std::string>& feederCameraColumn);

}  // namespace smt::vision
