#include "feeder/FeederCsv.h"

#include "feeder/FeederRecord.h"
#include "platform/FileCell.h"

#include <cmath>

#include <algorithm>

#include "core/LogFile.h"
#include "platform/NameAsPath.h"
#include "platform/FileIo.h"
#include "platform/MessageService.h"
#include "platform/SettingsSection.h"
#include "platform/TextCodec.h"
#include "platform/RefusalTexts.h"

namespace smt::feeder {

using smt::platform::FormatDouble;
using smt::platform::FormatInt;

namespace {
// A tray larger than this many cells in a file is taken as damaged.
constexpr long long kMaxCsvTrayCells = 1'000'000;
constexpr int kMaxTraySide = 10000;
}  // namespace

std::string BuildFeederCsv(FeederTable& table, const std::array<std::string, kFeederCells>& titles, bool* complete) {
  std::string out;
  *complete = false;
  for (const std::string& t : titles) {
    if (t.find(',') != std::string::npos) return out;
    out += t + ",";
  }
  out += "row,col,rowSerial,colSerial,rowSpace,colSpace\r\n";
  auto group = table.CurrentGroup();
  if (group) {
    const bool trays = group->HasTrays();
    for (size_t r = 0; r < group->rows.size(); ++r) {
      const FeederRow& row = group->rows[r];
      std::string line;
      for (int c = 0; c < kFeederCells; ++c) {
        const std::string& cell = row.Cell(c);
        if (cell.find(',') != std::string::npos) {
          out += line;  // the part of the line before the comma
          return out;
        }
        line += cell;
        if (c < kFeederCells - 1 || trays) line += ",";
      }
      if (trays) {
        TrayRecord t = r < group->trays.size() ? group->trays[r] : TrayRecord::Default("Yes/1");
        if (t.rowSerial == -1) {
          t.rowSerial = 0;
          table.NormalizeTrayRowSerial(static_cast<int>(r));
        }
        line += FormatInt(t.rows) + "," + FormatInt(t.cols) + "," + FormatInt(t.rowSerial) + "," +
                FormatInt(t.colSerial) + "," + FormatDouble(t.rowSpace, 4) + "," + FormatDouble(t.colSpace, 4);
      }
      out += line + "\r\n";
    }
  }
  *complete = true;
  return out;
}

CsvExportResult ExportFeederCsv(FeederTable& table, const std::array<std::string, kFeederCells>& titles,
                                const std::filesystem::path& path) {
  bool complete = false;
  const std::string text = BuildFeederCsv(table, titles, &complete);
  try {
    smt::platform::WriteFileAtomically(path, smt::platform::Utf8ToGbk(text));
  } catch (const std::exception& e) {
    CLogFile::Instance().Write(true, "feeder export: %s", e.what());
    smt::platform::ShowMessage(kCsvFileOpen);
    return CsvExportResult::CannotCreate;
  }
  if (!complete) {
    smt::platform::ShowMessage(kCsvCommaInText);
    return CsvExportResult::CommaInText;
  }
  return CsvExportResult::Written;
}

std::string ParseFeederCsv(const std::string& text, const FeederNameTables& names, std::vector<FeederRow>& rows,
                           std::vector<TrayRecord>& trays, const std::vector<std::string>& speedTemplates) {
  rows.clear();
  trays.clear();
  long long trayCells = 0;
  std::vector<std::string> lines;
  size_t start = 0;
  while (start <= text.size()) {
    size_t nl = text.find('\n', start);
    std::string line = text.substr(start, nl == std::string::npos ? std::string::npos : nl - start);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (nl == std::string::npos) {
      if (!line.empty()) lines.push_back(line);
      break;
    }
    lines.push_back(line);
    start = nl + 1;
  }
  for (size_t li = 1; li < lines.size(); ++li) {
    const std::string& line = lines[li];
    if (line.empty()) continue;  // a blank line holds no feeder
    std::vector<std::string> f;
    size_t s = 0;
    for (size_t comma = line.find(','); comma != std::string::npos; comma = line.find(',', s)) {
      f.push_back(line.substr(s, comma - s));
      s = comma + 1;
    }
    f.push_back(line.substr(s));
    auto field = [&](size_t i) { return i < f.size() ? f[i] : std::string(); };
    FeederCells row;
    for (size_t c = 0; c < kFeederCells; ++c) row[c] = field(c);
    int mode = 0;
    row[kCellFeedMode] = MatchFeedMode(row[kCellFeedMode], names, &mode) ? names.Mode(mode) : std::string();
    {
      const std::string cell = row[kCellSpeed];
      const size_t slash = cell.find('/');
      int use = 0;
      const std::string name = slash != std::string::npos ? cell.substr(slash + 1) : std::string();
      if (slash != std::string::npos && MatchSpeedName(name, names, &use))
        row[kCellSpeed] = cell.substr(0, slash + 1) + names.speed[static_cast<size_t>(names.Lang() * 8 + use)];
      else if (slash != std::string::npos && !name.empty() &&
               std::find(speedTemplates.begin(), speedTemplates.end(), name) != speedTemplates.end())
        row[kCellSpeed] = cell;  // one of the machine's own templates
      else
        row[kCellSpeed] = std::string();
    }
    const std::string where = "line " + std::to_string(li + 1) + ": ";
    // The feeder number names its template file: it must be a file name.
    if (const std::string problem = smt::platform::NameAsPathProblem(row[0]); !row[0].empty() && !problem.empty()) {
      rows.clear();
      trays.clear();
      return where + "the feeder number \"" + row[0] + "\" (column 1) cannot be used: " + problem;
    }
    // The row's numbers are read once, here.
    FeederRow typed(std::move(row), "", static_cast<int>(li + 1));
    if (const smt::platform::FileCellError* e = typed.Problem()) {
      rows.clear();
      trays.clear();
      return where + "field \"" + e->field() + "\": \"" + e->text() + "\" is " +
             (e->text().empty() ? "empty" : "not a usable number");
    }
    TrayRecord t;
    try {
      // The tray's numbers too; nothing later reads the line's text again.
      std::vector<std::string_view> views(f.begin(), f.end());
      const smt::platform::CellReader in("", static_cast<int>(li + 1), views);
      t.rows = std::max(1, static_cast<int>(in.IntegerOr(30, "tray rows", 0, kMaxTraySide, 1)));
      t.cols = std::max(1, static_cast<int>(in.IntegerOr(31, "tray columns", 0, kMaxTraySide, 1)));
      t.rowSerial = static_cast<int>(in.IntegerOr(32, "tray next row", -1, kMaxTraySide, 0));
      t.colSerial = static_cast<int>(in.IntegerOr(33, "tray next column", 0, kMaxTraySide, 0));
      t.rowSpace = in.NumberOr(34, "tray row pitch", -kMaxTraySpacingMm, kMaxTraySpacingMm, 0);
      t.colSpace = in.NumberOr(35, "tray column pitch", -kMaxTraySpacingMm, kMaxTraySpacingMm, 0);
    } catch (const smt::platform::FileCellError& e) {
      rows.clear();
      trays.clear();
      return where + "field \"" + e.field() + "\": \"" + e.text() + "\" is " +
             (e.text().empty() ? "empty" : "not a usable number");
    }
    if (static_cast<long long>(t.rows) * t.cols > kMaxCsvTrayCells) t.rows = t.cols = 1;
    // What one file may allocate in all.
    trayCells += static_cast<long long>(t.rows) * t.cols;
    if (trayCells > kMaxTrayCellsPerFile) {
      rows.clear();
      trays.clear();
      return where + "the trays ask for more than " + std::to_string(kMaxTrayCellsPerFile) + " cells in all";
    }
    for (int r = 0; r < t.rows; ++r)
      for (int c = 0; c < t.cols; ++c) {
        const int n = r * t.cols + c + 1;
        const bool used = r < t.rowSerial || c < t.colSerial;
        t.cells.push_back((used ? "No/" : "Yes/") + FormatInt(n));
      }
    rows.push_back(std::move(typed));
    trays.push_back(std::move(t));
  }
  return {};
}

CsvImportResult ImportFeederCsv(FeederTable& table, const std::filesystem::path& path, const FeederNameTables& names,
                                const std::vector<std::string>& speedTemplates) {
  std::vector<uint8_t> bytes;
  try {
    bytes = smt::platform::ReadWholeFile(path);
  } catch (const std::exception& e) {
    CLogFile::Instance().Write(true, "feeder import: %s", e.what());
    return CsvImportResult::CannotOpen;
  }
  const std::string text = smt::platform::GbkToUtf8(std::string(bytes.begin(), bytes.end()));
  std::vector<FeederRow> rows;
  std::vector<TrayRecord> trays;
  const std::string refusal = ParseFeederCsv(text, names, rows, trays, speedTemplates);
  if (!refusal.empty()) {
    // Refused whole: the group keeps its rows.
    smt::platform::ShowMessage(smt::platform::FillText(smt::platform::WindowText("FeederMessagesConfig", "FeederMessages.c_CsvRefused", "“%1”：%2，文件没有导入 !"), {path.string(), refusal}));
    return CsvImportResult::Refused;
  }
  table.ClearCurrentGroupRows();
  if (rows.empty()) {
    smt::platform::ShowMessage(kCsvEmpty);
    return CsvImportResult::Empty;
  }
  table.ReplaceCurrentRows(std::move(rows), std::move(trays));
  return CsvImportResult::Imported;
}

}  // namespace smt::feeder
