#pragma once
// Small jobs for the job tests.
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "job/JobModel.h"

namespace smt::job::testing {

inline ListRow Placement(int serial, double x, double y, const std::string& angle, const std::string& name,
                         bool place = true, bool vision = false) {
  ListRow r(kPlacementCells);
  r.cells = {std::to_string(serial), FormatG(x), FormatG(y), angle, name, "电阻", "0603", place ? "Yes" : "No",
             "10k", "W3", vision ? "Yes" : "No", "10k", "1", "2024-3-5  9:7:2", "", ""};
  r.SetImage(kSmtPlace, place ? kImgYes : kImgNo);
  r.SetImage(kSmtVision, vision ? kImgVisionYes : kImgVisionNo);
  return r;
}

// Three boards: a 2 x 3 panel with one board skipped, a board without a
// grid, and a board with Chinese text; dispensing and drill rows.
inline JobModel SampleJob(int partsPerBoard = 3) {
  JobModel job;
  const char* names[] = {"主板A", "B", "面板-C"};
  for (int b = 0; b < 3; ++b) {
    PcbRecord rec;
    rec.m_strName = names[b];
    rec.m_strNote = b == 2 ? "备注 note" : "";
    rec.m_nRows = b == 0 ? 2 : (b == 1 ? 0 : 1);
    rec.m_nCols = b == 0 ? 3 : (b == 1 ? 0 : 2);
    rec.m_dRowSpace = 50;
    rec.m_dColSpace = 40.25;
    rec.m_dThickness = 1.6;
    rec.m_dOriginX = 12.5;
    rec.m_dOriginY = -100.125;
    rec.m_bMarkEnable = b != 1;
    rec.m_dMark1X = 3;
    rec.m_dMark1Y = 4;
    rec.m_dMark2X = 90.5;
    rec.m_dMark2Y = 60.75;
    rec.m_dVisualZoom = b == 1 ? 0 : 18;
    rec.m_dVisualBox = 2;
    rec.m_dMarkDiameter = 1;
    rec.m_nLightContrast = 190;
    rec.m_nLightBrightness = 100;
    rec.m_nVisualTimes = 3;
    rec.m_nMarkCollectTime = 200;
    rec.m_bSpecialMark2 = b == 2;
    rec.m_nMark2LightContrast = 150;
    rec.m_nMark2LightBrightness = 99;
    rec.m_bEachMark = b == 0;
    rec.m_PanelGrid = FullPanelGrid(rec.m_nRows, rec.m_nCols);
    if (b == 0) rec.m_PanelGrid[1][2] = "0/5";
    for (int i = 0; i < partsPerBoard; ++i)
      rec.m_Parts.push_back(PlacementFromListRow(Placement(i + 1, 10 + i, 5.5 * i, "90", "R" + std::to_string(i + 1), i % 2 == 0, i % 3 == 0)));
    job.pcbs.m_Records.push_back(rec);
  }
  job.pcbs.m_strCurPcbName = "B";
  job.ShowRecord(1);
  for (int i = 0; i < 4; ++i)
    job.dispenseRows.push_back(DispenseRowFromText(std::to_string(i + 1) + "\t1.5\t2\t-3\t" + (i ? "Yes" : "No") +
                                                   "\t0\t0\t10\t20\t30\t胶点\t\t\t\t\t"));
  for (int i = 0; i < 2; ++i)
    job.drillRows.push_back(DrillRowFromText(std::to_string(i + 1) + "\tH" + std::to_string(i) +
                                             "\t0.8\t1\t2\t-5\t1.6\t0.2\t3\t1\t10\t20\t10\t20\t\t"));
  return job;
}

// A fresh folder under the test temp dir.
inline std::filesystem::path TempDir(const std::string& name) {
  auto d = std::filesystem::temp_directory_path() / ("smt_job_test_" + name + "_" + std::to_string(::getpid()));
  std::filesystem::remove_all(d);
  std::filesystem::create_directories(d);
  return d;
}

inline std::vector<uint8_t> Bytes(const std::filesystem::path& p) {
  std::ifstream f(p, std::ios::binary);
  return {std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>()};
}

}  // namespace smt::job::testing
