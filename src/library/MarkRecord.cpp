#include "library/MarkRecord.h"

#include "library/LibraryRows.h"
#include "platform/SettingsSection.h"

namespace smt::library {

using platform::CellReader;
using platform::FormatDouble;
using platform::FormatInt;
namespace mr = mark_range;

const std::array<std::string, kMarkCells>& MarkFieldNames() {
  static const std::array<std::string, kMarkCells> names = {
      "",                 "Mark 1 X",       "Mark 1 Y",         "Mark 2 X",     "Mark 2 Y",
      "allowed deviation", "view box",      "mark diameter",    "detection precision", "light contrast",
      "light brightness", "capture time",   "centring repeats", "",             "platform 1 compensation",
      "platform 2 compensation"};
  return names;
}

MarkRecord ReadMarkRecord(const CellReader& in) {
  const auto& n = MarkFieldNames();
  auto integer = [&](size_t c, long long hi) { return static_cast<int>(in.Integer(c, n[c], 0, hi)); };
  MarkRecord f;
  f.name = in.Text(0);
  f.mark1X = in.Number(1, n[1], -mr::kOffsetMax, mr::kOffsetMax);
  f.mark1Y = in.Number(2, n[2], -mr::kOffsetMax, mr::kOffsetMax);
  f.mark2X = in.Number(3, n[3], -mr::kOffsetMax, mr::kOffsetMax);
  f.mark2Y = in.Number(4, n[4], -mr::kOffsetMax, mr::kOffsetMax);
  f.allowedDeviation = integer(5, mr::kDeviationMax);
  f.viewBox = in.Number(6, n[6], 0, mr::kViewBoxMax);
  f.diameter = in.Number(7, n[7], 0, mr::kDiameterMax);
  f.precision = integer(8, mr::kPrecisionMax);
  f.contrast = integer(9, mr::kLightMax);
  f.brightness = integer(10, mr::kLightMax);
  f.captureTime = integer(11, mr::kCaptureMax);
  f.repeats = integer(12, mr::kRepeatsMax);
  f.colourReversal = in.Text(13) == "Yes";
  f.platform1 = in.Number(14, n[14], -mr::kPlatformMax, mr::kPlatformMax);
  f.platform2 = in.Number(15, n[15], -mr::kPlatformMax, mr::kPlatformMax);
  return f;
}

MarkRecord MarkRecordOf(const MarkRow& row, std::string_view file, int line) {
  const std::vector<std::string_view> views(row.begin(), row.end());
  return ReadMarkRecord(CellReader(file, line, views));
}

MarkRow MakeMarkRow(const MarkRecord& f) {
  return {f.name,
          FormatDouble(f.mark1X),
          FormatDouble(f.mark1Y),
          FormatDouble(f.mark2X),
          FormatDouble(f.mark2Y),
          FormatInt(f.allowedDeviation),
          FormatDouble(f.viewBox),
          FormatDouble(f.diameter),
          FormatInt(f.precision),
          FormatInt(f.contrast),
          FormatInt(f.brightness),
          FormatInt(f.captureTime),
          FormatInt(f.repeats),
          f.colourReversal ? "Yes" : "No",
          FormatDouble(f.platform1),
          FormatDouble(f.platform2)};
}

MarkListRow::MarkListRow(const MarkRow& c, int line) : cells(c) {
  try {
    record = MarkRecordOf(cells, kMarkFileName, line);
  } catch (const platform::FileCellError& e) {
    problem = e.what();
  }
}

std::vector<platform::FileCellError> CheckMarkLines(const std::vector<std::string>& lines, std::string_view file) {
  std::vector<platform::FileCellError> problems;
  for (size_t i = 0; i < lines.size(); ++i) {
    try {
      MarkRecordOf(SplitRow<kMarkCells>(lines[i]), file, static_cast<int>(i + 1));
    } catch (const platform::FileCellError& e) {
      problems.push_back(e);
    }
  }
  return problems;
}

}  // namespace smt::library
