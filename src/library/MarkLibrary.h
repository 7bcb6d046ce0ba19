#pragma once
// The mark library: named fiducial-mark definitions of 16 text cells (Mark 1
// and Mark 2 offsets, allowed deviation, view box, diameter, precision,
// light, capture time, centring repeats, colour reversal, the two platform
// compensations), kept as the frame's rows of "config_mark.fig".
#include <array>
#include <optional>
#include <string>
#include <vector>

namespace smt::library {

inline constexpr int kMarkCells = 16;
using MarkRow = std::array<std::string, kMarkCells>;
inline constexpr const char* kMarkFileName = "config_mark.fig";

struct MarkEditFields {
  std::string name;
  double mark1X = 0, mark1Y = 0, mark2X = 0, mark2Y = 0;
  int allowedDeviation = 0;  // X steps
  double viewBox = 0, diameter = 0;
  int precision = 0, contrast = 0, brightness = 0, captureTime = 0, repeats = 0;
  bool colourReversal = false;
  double platform1 = 0, platform2 = 0;
};

MarkRow MakeMarkRow(const MarkEditFields& f);
MarkEditFields ReadMarkRow(const MarkRow& row);

class MarkLibrary {
 public:
  std::vector<MarkRow> m_MarkRows;
  MarkEditFields editor;  // kept between uses of the editor

  void LoadTable(const std::vector<std::string>& rowStrings);
  std::vector<std::string> BuildRowStrings() const;
  // The run's look-up: the first row whose name equals `name` exactly.
  std::optional<MarkRow> Find(const std::string& name) const;
};

void SortMarkRows(std::vector<MarkRow>& rows, int column);

MarkLibrary& TheMarkLibrary();

// The mark editor's position capture (CX / CY) for the machine type:
// (current - zero) / scale, rounded as every capture. Machine type 4 takes
// the platform the jog panel drives (1: X and Y, 2: the second platform).
std::optional<double> CaptureMarkX(int machineType, int platform);
std::optional<double> CaptureMarkY(int machineType, int platform);

}  // namespace smt::library
