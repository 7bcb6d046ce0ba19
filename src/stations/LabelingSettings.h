#pragma once
// The labeling machine's sheet layout, pick heights and recognition values,
// section [LabelingSetConfig] of config.ini.
#include <string>

namespace smt::stations {

struct LabelingSettings {
  double m_StartX = 0, m_StartY = 0, m_EndX = 0, m_EndY = 0;
  double m_DistanceX = 1, m_DistanceY = 1;
  int m_SerialX = 0, m_SerialY = 0;
  double m_ThimbleX = 0, m_ThimbleY = 0;
  double m_NozzlePickHeight = 0, m_ThimblePickHeight = 0, m_LiftAwayDistance = 0;
  double m_ComponentLenght = 0, m_ComponentWidth = 0;
  int m_AllowableError = 0, m_CheckTimes = 0;
  double m_VisualBoxSize = 0;
  int m_Brightness = 0, m_Threshold = 0;
  int m_GlassSheets = 0;  // 0 glass sheet, 1 label paper
  int m_Pause = 0;

  // Pitches below 1.0 become 1.0, a negative sheet kind 0.
  static LabelingSettings Load(const std::string& appDir);
  bool Save(const std::string& appDir) const;
  // The key of the first value outside its range, empty when all fit.
  std::string CheckRanges() const;
  // The range of a key that has one.
  static bool RangeOf(const std::string& key, double& lo, double& hi);

  // Sheet cell (column c, row r) in mm; valid while X < end X and Y > end Y.
  double CellX(int c) const { return m_StartX + c * m_DistanceX; }
  double CellY(int r) const { return m_StartY - r * m_DistanceY; }
  bool ColumnValid(int c) const { return CellX(c) < m_EndX; }
  bool RowValid(int r) const { return CellY(r) > m_EndY; }
};

}  // namespace smt::stations
