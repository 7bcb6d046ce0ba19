#include "job/EdaPartConversion.h"

#include <cmath>
#include <cstdio>

#include "job/JobRows.h"
#include "job/WorkRecords.h"

namespace smt::job {

namespace {

std::string Fixed4(double v) {
  if (std::fabs(v) < 0.00005) v = 0;  // no "-0.0000"
  char buf[64];
  std::snprintf(buf, sizeof buf, "%0.4f", v);
  return buf;
}

std::string TrimText(std::string_view s) {
  size_t b = 0, e = s.size();
  while (b < e && (s[b] == ' ' || s[b] == '\t')) ++b;
  while (e > b && (s[e - 1] == ' ' || s[e - 1] == '\t')) --e;
  return std::string(s.substr(b, e - b));
}

}  // namespace

std::string ImportCoordinateText(const ImportRow& row, int column) {
  const bool x = column == kImpX;
  if (x ? row.xAsWritten : row.yAsWritten) return TrimText(row.Cell(column));
  return Fixed4(x ? row.xMm : row.yMm);
}

std::string ImportRotationText(const ImportRow& row) {
  double a = std::fmod(row.rotation, 360.0);
  if (a < 0) a += 360.0;
  a = std::round(a * 10000.0) / 10000.0;  // four decimals at most
  if (a >= 360.0) a = 0;
  if (a == std::floor(a)) return std::to_string(static_cast<int>(a));
  char buf[32];
  std::snprintf(buf, sizeof buf, "%0.4f", a);
  std::string s = buf;
  while (!s.empty() && s.back() == '0') s.pop_back();
  if (!s.empty() && s.back() == '.') s.pop_back();
  return s;
}

const ImportFeederRow* MatchImportFeeder(const std::vector<ImportFeederRow>& feeders, const std::string& package,
                                         const std::string& value, const ImportFitOptions& options) {
  const bool byPackage = options.m_FitPartPacking != 0;
  const bool byValue = options.m_FitPartValue != 0;
  if (!byPackage && !byValue) return nullptr;
  for (const auto& f : feeders) {
    if (byPackage && f.package != package) continue;
    if (byValue && f.value != value) continue;
    return &f;
  }
  return nullptr;
}

std::string FormatAddTime(const std::tm& t) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "%d-%d-%d  %d:%d:%d", t.tm_year + 1900, t.tm_mon + 1, t.tm_mday, t.tm_hour,
                t.tm_min, t.tm_sec);
  return buf;
}

std::vector<std::vector<std::string>> BuildPlacementRows(const ImportList& list,
                                                         const std::vector<ImportFeederRow>& feeders,
                                                         const ImportFitOptions& options, const std::tm& now,
                                                         const ImportProgress& progress) {
  const int n = list.Count();
  const std::string time = FormatAddTime(now);
  std::vector<std::vector<std::string>> rows;
  rows.reserve(static_cast<size_t>(n));
  for (int r = 0; r < n; ++r) {
    const ImportRow& in = list.Row(r);
    std::vector<std::string> cells(kPlacementCells);
    cells[kSmtSerial] = std::to_string(r + 1);
    cells[kSmtName] = in.Cell(kImpDesignator);
    cells[6] = in.Cell(kImpPackage);
    cells[kSmtX] = ImportCoordinateText(in, kImpX);
    cells[kSmtY] = ImportCoordinateText(in, kImpY);
    cells[kSmtAngle] = ImportRotationText(in);
    cells[8] = in.Cell(kImpComment);
    if (const ImportFeederRow* f = MatchImportFeeder(feeders, in.Cell(kImpPackage), in.Cell(kImpComment), options)) {
      cells[kSmtPlace] = "1/Yes";
      cells[kSmtFeeder] = f->number;
      cells[kSmtVision] = f->flyingCentre ? "1/Yes" : "0/No";
      cells[11] = in.Cell(kImpComment);
      cells[12] = f->head;
    } else {
      cells[kSmtPlace] = "0/No";
      cells[kSmtVision] = "0/No";
    }
    cells[kSmtTime] = time;
    rows.push_back(std::move(cells));
    if (progress) progress(r + 1, n);
  }
  return rows;
}

ImportOutcome ImportPartRows(JobModel& job, const ImportList& list, const std::vector<ImportFeederRow>& feeders,
                             const ImportFitOptions& options, const std::tm& now, const ImportProgress& progress) {
  if (list.Empty()) return ImportOutcome::EmptyList;
  const int index = job.pcbs.FindPcbIndex(job.pcbs.m_strCurPcbName);
  if (job.pcbs.m_strCurPcbName.empty() || index < 0) return ImportOutcome::NoTargetBoard;
  // All rows are built before the board is touched.
  std::vector<std::vector<std::string>> rows = BuildPlacementRows(list, feeders, options, now, progress);
  PcbRecord& rec = job.pcbs.m_Records[static_cast<size_t>(index)];
  rec.m_Parts.clear();
  rec.m_Parts.reserve(rows.size());
  for (const auto& cells : rows) rec.m_Parts.push_back(PlacementFromStoredCells(cells));
  if (job.shownPcbName == rec.m_strName) {
    job.placementRows.clear();
    job.placementRows.reserve(rec.m_Parts.size());
    for (const auto& p : rec.m_Parts) job.placementRows.push_back(PlacementListRow(p));
    job.NotifyRows(RowKind::Placement);
  }
  return ImportOutcome::Imported;
}

}  // namespace smt::job
