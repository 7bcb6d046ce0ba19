#include "library/PackRecord.h"

#include <algorithm>

#include "library/LibraryRows.h"
#include "platform/SettingsSection.h"

namespace smt::library {

using platform::CellReader;
using platform::FormatDouble;
using platform::FormatInt;
namespace pr = pack_range;

const std::array<std::string, kPackCells>& PackFieldNames() {
  static const std::array<std::string, kPackCells> names = {
      "",           "length",         "width",          "thickness",   "contrast",     "brightness",
      "pick delay", "place delay",    "",               "",            "",             "nozzle",
      "",           "",               "",               "",            "feed count",   "feed time",
      "slack length", "tension length", "XY precision", "angle precision", "capture time", "pick height",
      "vacuum test value", "close vacuum early", "", ""};
  return names;
}

PackRecord ReadPackRecord(const CellReader& in) {
  const auto& n = PackFieldNames();
  auto integer = [&](size_t c, long long lo, long long hi) { return static_cast<int>(in.Integer(c, n[c], lo, hi)); };
  auto integerOr = [&](size_t c, long long lo, long long hi) {
    return static_cast<int>(in.IntegerOr(c, n[c], lo, hi, 0));
  };
  PackRecord r;
  r.name = in.Text(0);
  r.length = in.Number(1, n[1], 0, pr::kSizeMax);
  r.width = in.Number(2, n[2], 0, pr::kSizeMax);
  r.thickness = in.Number(3, n[3], 0, pr::kSizeMax);
  r.contrast = integer(4, 0, pr::kLightMax);
  r.brightness = integer(5, 0, pr::kLightMax);
  r.pickDelay = integer(6, 0, pr::kDelayMax);
  r.placeDelay = integer(7, 0, pr::kDelayMax);
  r.camera = in.Text(8);
  r.visionCentring = in.Text(9) == "Yes";
  r.flyingCentring = in.Text(10) == "Yes";
  r.nozzle = in.Text(11);
  in.IntegerOr(11, n[11], 0, pr::kNozzleMax, 0);
  r.ownSpeed = in.Text(12) == "Yes";
  r.speedName = in.Text(13);
  r.recognition = in.Text(14);
  r.feedMode = in.Text(15);
  r.feedCount = integerOr(16, 0, pr::kFeedCountMax);
  r.feedTime = integerOr(17, 0, pr::kDelayMax);
  r.slackLength = integerOr(18, pr::kSlackMin, pr::kSlackMax);
  r.tensionLength = integerOr(19, pr::kTensionMin, pr::kTensionMax);
  r.precisionXY = integerOr(20, -1, pr::kPrecisionXYMax);
  r.precisionA = integerOr(21, -1, pr::kPrecisionAMax);
  r.captureTime = integerOr(22, -1, pr::kCaptureMax);
  r.pickHeight = in.NumberOr(23, n[23], pr::kPickHeightMin, 0, 0);
  r.vacuumTest = in.NumberOr(24, n[24], 0, pr::kVacuumMax, 0);
  r.closeEarly = in.NumberOr(25, n[25], 0, pr::kVacuumMax, 0);
  r.reserved26 = in.Text(26);
  r.reserved27 = in.Text(27);
  return r;
}

PackRecord PackRecordOf(const PackRow& row, std::string_view file, int line) {
  const std::vector<std::string_view> views(row.begin(), row.end());
  return ReadPackRecord(CellReader(file, line, views));
}

PackRow PackRowOf(const PackRecord& r) {
  return {r.name,
          FormatDouble(r.length),
          FormatDouble(r.width),
          FormatDouble(r.thickness),
          FormatInt(r.contrast),
          FormatInt(r.brightness),
          FormatInt(r.pickDelay),
          FormatInt(r.placeDelay),
          r.camera,
          r.visionCentring ? "Yes" : "No",
          r.flyingCentring ? "Yes" : "No",
          r.nozzle,
          r.ownSpeed ? "Yes" : "No",
          r.speedName,
          r.recognition,
          r.feedMode,
          FormatInt(r.feedCount),
          FormatInt(r.feedTime),
          FormatInt(r.slackLength),
          FormatInt(r.tensionLength),
          FormatInt(r.precisionXY),
          FormatInt(r.precisionA),
          FormatInt(r.captureTime),
          FormatDouble(r.pickHeight),
          FormatDouble(r.vacuumTest),
          FormatDouble(r.closeEarly),
          r.reserved26,
          r.reserved27};
}

std::vector<PackRow> BuildPackTable(const std::vector<std::string>& lines) {
  std::vector<PackRow> rows;
  if (lines.empty()) return rows;
  // The first line chooses; a first line of another length in a file whose
  // other lines are of the current layout (a damaged or hand-edited line)
  // does not turn the whole file into the older layout.
  auto isCurrent = [](const std::string& l) {
    const auto tabs = std::count(l.begin(), l.end(), '\t');
    return tabs == 28 || tabs == 17 || tabs == 14;
  };
  bool current = isCurrent(lines[0]);
  if (!current && lines.size() > 1) {
    const auto others = std::count_if(lines.begin() + 1, lines.end(), isCurrent);
    current = 2 * others > static_cast<std::ptrdiff_t>(lines.size() - 1);
  }
  for (const auto& line : lines) {
    PackRow row;
    const std::vector<std::string> fields = SplitTabCells(line);
    if (!current) {
      row[6] = "50";
      row[7] = "25";
    }
    for (size_t f = 0; f < fields.size(); ++f) {
      const size_t cell = (current || f < 6) ? f : f + 2;
      if (cell >= static_cast<size_t>(kPackCells)) break;
      row[cell] = fields[f];
    }
    rows.push_back(row);
  }
  return rows;
}

PackListRow::PackListRow(const PackRow& c, int l) : cells(c), line(l) {
  try {
    record = PackRecordOf(cells, kPackFileName, line);
  } catch (const platform::FileCellError& e) {
    problem = e.what();
  }
}

std::vector<platform::FileCellError> CheckPackLines(const std::vector<std::string>& lines, std::string_view file) {
  std::vector<platform::FileCellError> problems;
  const std::vector<PackRow> rows = BuildPackTable(lines);
  for (size_t i = 0; i < rows.size(); ++i) {
    try {
      PackRecordOf(rows[i], file, static_cast<int>(i + 1));
    } catch (const platform::FileCellError& e) {
      problems.push_back(e);
    }
  }
  return problems;
}

}  // namespace smt::library
