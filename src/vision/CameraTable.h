#pragma once
// The table of up-looking vision-centring cameras (at most two, "Camera 1"
// and "Camera 2"): typed rows read from and written to the 28-cell text rows
// of "config_camera.fig", and the two records in motor steps that the run,
// the head layout, the camera panel and the calibration tasks read. Plain
// data; the camera list dialog edits it on the window thread.
#include <array>
#include <cstdint>
#include <optional>
#include <string_view>
#include <string>
#include <vector>

#include "platform/FileCell.h"

namespace smt::vision {

inline constexpr int kCameraCellCount = 28;
// The cells of a stored row, as the file spells them.
using CameraCells = std::array<std::string, kCameraCellCount>;

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

// A camera row's values: name, position and head corrections in mm, the
// angle correction in degrees, the vision scale (pixels per mm) and box
// (mm), the lights and the recognition settings.
struct CameraValues {
  std::string name;
  double x = 0, y = 0;
  std::array<double, 16> corrections{};  // X1, Y1, X2, Y2 ... X8, Y8
  double angle = 0;
  double visualZoom = 0, visualSize = 0;
  int contrast = 0, brightness = 0, correctionTimes = 0, precisionXY = 0, precisionA = 0, collectTime = 0;
  bool operator==(const CameraValues&) const = default;
};

// The ranges the table keeps (a row holding anything else cannot be read).
struct CameraFieldRange {
  double lo, hi;
};
inline constexpr CameraFieldRange kVisualZoomRange{0, 200};
inline constexpr CameraFieldRange kVisualSizeRange{0, 640};
inline constexpr CameraFieldRange kLightRange{0, 255};
inline constexpr CameraFieldRange kCorrectionTimesRange{0, 20};
inline constexpr CameraFieldRange kPrecisionXYRange{0, 10};
inline constexpr CameraFieldRange kPrecisionARange{0, 30};
inline constexpr CameraFieldRange kCollectTimeRange{0, 10000};

// Millimetres to steps, truncated toward zero (a value that does not fit
// an int32 is clamped instead of wrapping).
int32_t MmToSteps(double mm, double pulsesPerMm);

// The stored layout: the number cells (1..27) with their names, ranges and
// formats. Only the table's reader and writer (and tests that build damaged
// files) go by cell numbers.
struct CameraCellField {
  int cell;
  const char* name;
  double lo, hi;
  bool integer;
  int decimals;  // how a changed value is written ("%0.4f", "%0.2f", "%d")
};
const std::array<CameraCellField, kCameraCellCount - 1>& CameraCellFields();

// One row of the camera table: its typed values, read once where its text
// comes in, and the text of every cell. A row read from a file keeps the
// text it came with (short rows, older layouts, text after the last cell)
// until a value changes; a cell keeps the spelling it came with until its
// value changes, then it is written in its field's format. A row with a
// cell that is no number in its field's range cannot be read: it keeps its
// texts (the file is written back as it came) and its refusals (file,
// line, field), gives no camera record and takes no typed change but a
// whole new set of values.
class CameraRow {
 public:
  CameraRow() = default;
  // A new row: every cell in its field's format.
  explicit CameraRow(const CameraValues& values);
  // The row of stored cells (current layout), read; refusals name `file`
  // and `line` (1-based). `asRead`: the text the cells came from, written
  // back while the row is unchanged.
  CameraRow(CameraCells cells, std::string_view file, int line, std::optional<std::string> asRead = std::nullopt);

  const CameraValues& Values() const { return values_; }
  const std::string& Name() const { return values_.name; }
  bool Readable() const { return problems_.empty(); }
  // The refusals of a row that cannot be read, one per refused cell (empty
  // when it can); `Needs()` gives what each cell needs, in the same order.
  const std::vector<platform::FileCellError>& Problems() const { return problems_; }
  const std::vector<std::string>& Needs() const { return needs_; }

  // Takes `values`: a cell whose value stays keeps its spelling, a changed
  // cell (and every refused one) is written in its field's format. False,
  // and nothing changed, when a value is not finite or leaves its field's
  // range.
  bool Set(const CameraValues& values);
  // Typed changes of a readable row (false, nothing changed, otherwise).
  bool SetPosition(double x, double y);
  bool SetVisualZoom(double zoom);

  // The stored text: as it was read while the row is unchanged, else the
  // 28 cells, each followed by a TAB.
  std::string Text() const;
  // The 28 cells, each followed by a TAB (the current layout).
  std::string CellsText() const;
  // The row still holds the text it was read from.
  bool AsRead() const { return asRead_.has_value(); }
  // The cells as stored (the writer's; tests compare spellings with them).
  const CameraCells& Cells() const { return cells_; }
  // What the camera list shows, one text per cell: each value in its
  // field's format; a refused cell as the file holds it.
  std::vector<std::string> ShownTexts() const;

  bool operator==(const CameraRow& o) const { return cells_ == o.cells_; }

 private:
  void Read();
  CameraCells cells_{};
  std::optional<std::string> asRead_;
  std::string file_ = "camera table";
  int line_ = 0;
  CameraValues values_{};
  std::vector<platform::FileCellError> problems_;
  std::vector<std::string> needs_;
  std::array<bool, kCameraCellCount> refused_{};
};

// The table's reader and writer: the only places that go from the text of
// "config_camera.fig" rows to typed rows and back.
//
// Reads stored row texts (cut at their TABs, text after the last TAB not a
// cell): the TAB count of the first text decides the layout of all (15:
// one-head rows, 21: four-head rows, else current; older rows are moved into
// the current layout). Each row keeps its text. Nothing is told.
std::vector<CameraRow> ReadCameraRows(const std::vector<std::string>& texts, std::string_view file);
// The texts of `rows` to store: each row as it was read while unchanged,
// changed and new rows in the current layout. When the texts would not read
// back as the rows (a new row beside rows of an older layout, or a first
// row whose cell count reads as an older layout), every row is written in
// the current layout.
std::vector<std::string> CameraRowTexts(const std::vector<CameraRow>& rows);
// The camera names of the rows (the first cell of each).
std::vector<std::string> CameraNamesOf(const std::vector<CameraRow>& rows);
// Tells (once each, ReadRefusals.h) every refused cell of `rows`. Returns
// how many were refused.
int ReportCameraRowProblems(const std::vector<CameraRow>& rows);

// The record of a row's values: positions and corrections converted with
// the X and Y pulses per millimetre, the rest as they are.
CameraRecord RecordFromValues(const CameraValues& values, int cameraNumber, double xPulse, double yPulse);

class CameraTable {
 public:
  // Reads the stored row texts (ReadCameraRows) and tells every refused
  // cell; returns how many were refused. A row that cannot be read keeps
  // its text and gives no record.
  int LoadTable(const std::vector<std::string>& texts, std::string_view file = "config_camera.fig");
  // Takes rows already read (ReadCameraRows) and tells every refused cell;
  // returns how many were refused.
  int LoadRows(std::vector<CameraRow> rows);
  // One text per row (CameraRowTexts).
  std::vector<std::string> SaveTable() const;

  int Count() const { return static_cast<int>(m_CameraRows.size()); }
  const std::vector<CameraRow>& Rows() const { return m_CameraRows; }
  const CameraRow& Row(int index) const { return m_CameraRows.at(static_cast<size_t>(index)); }
  std::vector<std::string> Names() const;

  // Name for a new camera; empty when two cameras exist already.
  std::string NewCameraName() const;
  void AppendRow(CameraRow row) { m_CameraRows.push_back(std::move(row)); }
  // False when the index names no row (nothing removed).
  bool DeleteRow(int index);
  // Sets the values of row `index` (CameraRow::Set); rows 0 and 1 also
  // recompute their record. False, nothing changed, when the index names no
  // row or a value does not fit.
  bool ModifyRow(int index, const CameraValues& values, double xPulse, double yPulse);
  // Typed changes of one row (the calibration tasks); false when the index
  // names no row or the row cannot take the change.
  bool SetPosition(int index, double x, double y);
  bool SetVisualZoom(int index, double zoom);

  // Both records from the rows (see the rules in the .cpp).
  void RebuildRecords(double xPulse, double yPulse);
  // Adds dx, dy (mm) to every camera position that can be read ("%.4f")
  // and recomputes only the camera steps of the records.
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
