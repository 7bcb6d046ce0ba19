#include "job/JobModel.h"

#include "job/JobFileError.h"
#include "job/WorkRecords.h"
#include "platform/FileCell.h"

namespace smt::job {

void JobModel::StoreShownRows() {
  PcbRecord* rec = pcbs.Find(shownPcbName);
  if (!rec) return;
  if (rec->m_Parts.size() == placementRows.size()) {
    // As many rows as the record holds (the rows it was shown from, edited
    // or not): stored into its records where they are; a row that still
    // shows its record as read leaves it as it is.
    for (size_t i = 0; i < placementRows.size(); ++i)
      if (!ListRowHoldsPlacement(placementRows[i], rec->m_Parts[i]))
        PlacementFromListRowInto(placementRows[i], rec->m_Parts[i]);
    return;
  }
  rec->m_Parts.clear();
  rec->m_Parts.reserve(placementRows.size());
  for (const auto& row : placementRows) rec->m_Parts.push_back(PlacementFromListRow(row));
}

void JobModel::ShowRecord(int index) {
  if (index < 0 || index >= pcbs.Count()) return;
  const PcbRecord& rec = pcbs.m_Records[static_cast<size_t>(index)];
  placementRows.clear();
  placementRows.reserve(rec.m_Parts.size());
  for (const auto& p : rec.m_Parts) placementRows.push_back(PlacementListRow(p));
  shownPcbName = rec.m_strName;
  NotifyRows(RowKind::Placement);
  if (onLoadCurrentBoard) onLoadCurrentBoard(index, rec);
}

bool JobModel::ApplyCurrentRecord() {
  if (pcbs.FindPcbIndex(pcbs.m_strCurPcbName) < 0) return false;
  StoreShownRows();
  ShowRecord(pcbs.FindPcbIndex(pcbs.m_strCurPcbName));
  return true;
}

void JobModel::ClearPlacementList() {
  placementRows.clear();
  shownPcbName.clear();
  NotifyRows(RowKind::Placement);
}

namespace {

// The rows' texts, each row that still writes the text a kept line's row
// wrote given that line back (each kept line once).
std::vector<std::string> StoreRows(const std::vector<ListRow>& rows, int cells,
                                   const std::vector<std::pair<std::string, std::string>>& kept) {
  std::vector<std::string> out;
  out.reserve(rows.size());
  for (const auto& r : rows) out.push_back(RowToText(r, cells));
  if (kept.empty()) return out;
  std::vector<bool> used(kept.size());
  for (auto& text : out)
    for (size_t k = 0; k < kept.size(); ++k)
      if (!used[k] && kept[k].first == text) {
        text = kept[k].second;
        used[k] = true;
        break;
      }
  return out;
}

// The lines whose rows write them otherwise, with the text their row writes.
template <typename RowOf>
std::vector<std::pair<std::string, std::string>> KeepLines(const std::vector<std::string>& lines, int cells,
                                                           RowOf rowOf) {
  std::vector<std::pair<std::string, std::string>> kept;
  for (const auto& l : lines) {
    // A line of exactly the row's cells, each followed by a TAB, is what
    // its row writes: nothing to keep, and no row to build to know it.
    if (!l.empty() && l.back() == '\t' && CountTabs(l) == cells) continue;
    if (std::string text = RowToText(rowOf(l), cells); text != l) kept.emplace_back(std::move(text), l);
  }
  return kept;
}

}  // namespace

std::vector<std::string> JobModel::StoreDispenseLines() const {
  return StoreRows(dispenseRows, kDispenseCells, dispenseKept_);
}

std::vector<std::string> JobModel::StoreDrillLines() const { return StoreRows(drillRows, kDrillCells, drillKept_); }

void JobModel::LoadDispenseLines(const std::vector<std::string>& lines) {
  dispenseRows.clear();
  dispenseRows.reserve(lines.size());
  for (const auto& l : lines) dispenseRows.push_back(DispenseRowFromText(l));
  dispenseKept_ = KeepLines(lines, kDispenseCells, DispenseRowFromText);
  NotifyRows(RowKind::Dispense);
  SetVisible(runSelect == 1 || runSelect == 2 ? VisibleList::Dispense : VisibleList::Placement);
}

void JobModel::LoadDrillLines(const std::vector<std::string>& lines) {
  drillRows.clear();
  drillRows.reserve(lines.size());
  for (const auto& l : lines) drillRows.push_back(DrillRowFromText(l));
  drillKept_ = KeepLines(lines, kDrillCells, DrillRowFromText);
  NotifyRows(RowKind::Drill);
  SetVisible(VisibleList::Drill);
}

JobFileContent JobModel::ToContent(int machineType) {
  StoreShownRows();
  JobFileContent c;
  c.curPcbName = pcbs.m_strCurPcbName;
  c.pcbCount = static_cast<uint32_t>(pcbs.Count());
  c.pcbLines = pcbs.SaveToLines();
  c.dispenseLines = StoreDispenseLines();
  if (machineType == kMachineDrill) c.drillLines = StoreDrillLines();
  if (machineType == kMachineLampDispenser && getLampRows) c.lampRows = getLampRows();
  return c;
}

JobFileBytes JobModel::SideFileBytes(int machineType) {
  StoreShownRows();
  JobFileContent sides;
  sides.dispenseLines = StoreDispenseLines();
  if (machineType == kMachineDrill) sides.drillLines = StoreDrillLines();
  if (machineType == kMachineLampDispenser && getLampRows) sides.lampRows = getLampRows();
  return EncodeJobFiles(sides, machineType, &dispenseRoom_);
}

JobFileBytes JobModel::EncodeFiles(int machineType) {
  JobFileBytes f = SideFileBytes(machineType);
  f.job = EncodeJobTable(pcbs, nullptr, &saveRoom_);
  return f;
}

JobFileBytes JobModel::SaveFiles(const std::filesystem::path& jobPath, int machineType) {
  StoreShownRows();
  JobFileContent sides;
  sides.dispenseLines = StoreDispenseLines();
  if (machineType == kMachineDrill) sides.drillLines = StoreDrillLines();
  if (machineType == kMachineLampDispenser && getLampRows) sides.lampRows = getLampRows();
  // Nothing is written that the open would refuse: the same checks as the
  // open, with the same ranges, before any file changes.
  const JobFileNames names = JobFileNames::Of(jobPath);
  pcbs.CheckOpensAgain(names.job);
  try {
    if (sides.dispenseLines && !sides.dispenseLines->empty()) CheckDispenseLines(*sides.dispenseLines, names.dispense);
    if (sides.drillLines && !sides.drillLines->empty()) CheckDrillLines(*sides.drillLines, names.drill);
    if (sides.lampRows) CheckLampRows(*sides.lampRows, names.lamp);
  } catch (const smt::platform::FileCellError& e) {
    throw JobCellError(e.what(), e.file(), e.line(), e.field());
  }
  return WriteJobFiles(jobPath, pcbs, EncodeJobFiles(sides, machineType, &dispenseRoom_), machineType, &saveRoom_);
}

void JobModel::ApplyContent(const JobFileContent& c, int machineType, const JobFileNames& names) {
  // Build everything first: a throw here leaves the open job untouched.
  ApplyTable(PcbTable::FromLines(c.curPcbName, c.pcbCount, c.pcbLines, names.job), c, machineType, names);
}

void JobModel::ApplyTable(PcbTable table, const JobFileContent& c, int machineType, const JobFileNames& names) {
  const bool drillMachine = machineType == kMachineDrill;
  try {
    // Every number of the side files is checked before anything changes.
    if (c.dispenseLines) CheckDispenseLines(*c.dispenseLines, names.dispense);
    if (drillMachine && c.drillLines) CheckDrillLines(*c.drillLines, names.drill);
    if (machineType == kMachineLampDispenser && c.lampRows) CheckLampRows(*c.lampRows, names.lamp);
  } catch (const smt::platform::FileCellError& e) {
    throw JobCellError(e.what(), e.file(), e.line(), e.field());
  }
  std::vector<ListRow> dis, drill;
  if (c.dispenseLines) {
    dis.reserve(c.dispenseLines->size());
    for (const auto& l : *c.dispenseLines) dis.push_back(DispenseRowFromText(l));
  }
  if (drillMachine && c.drillLines) {
    drill.reserve(c.drillLines->size());
    for (const auto& l : *c.drillLines) drill.push_back(DrillRowFromText(l));
  }

  pcbs = std::move(table);
  placementRows.clear();
  shownPcbName.clear();
  const int shown = pcbs.ShownIndexAfterLoad();
  if (shown >= 0)
    ShowRecord(shown);
  else
    NotifyRows(RowKind::Placement);
  // A job without a side file has no such rows: the lists of the job that
  // was open before are not carried over.
  dispenseRows = std::move(dis);
  dispenseKept_ = c.dispenseLines ? KeepLines(*c.dispenseLines, kDispenseCells, DispenseRowFromText) : KeptLines{};
  NotifyRows(RowKind::Dispense);
  VisibleList v = (!dispenseRows.empty() && (runSelect == 1 || runSelect == 2)) ? VisibleList::Dispense
                                                                                : VisibleList::Placement;
  if (drillMachine) {
    drillRows = std::move(drill);
    drillKept_ = c.drillLines ? KeepLines(*c.drillLines, kDrillCells, DrillRowFromText) : KeptLines{};
    NotifyRows(RowKind::Drill);
    if (!drillRows.empty()) v = VisibleList::Drill;
  }
  SetVisible(v);
  if (machineType == kMachineLampDispenser && c.lampRows && setLampRows) setLampRows(*c.lampRows);
}

void JobModel::Clear() {
  pcbs.FreePcbList();
  placementRows.clear();
  dispenseRows.clear();
  drillRows.clear();
  dispenseKept_.clear();
  drillKept_.clear();
  shownPcbName.clear();
  NotifyRows(RowKind::Placement);
  NotifyRows(RowKind::Dispense);
  NotifyRows(RowKind::Drill);
}

PcbOpResult JobModel::PasteCurrentBoard() {
  StoreShownRows();
  return pcbs.PasteCurrent();
}

PcbOpResult JobModel::RenameCurrentBoard(const std::string& newName, const std::string& note) {
  const std::string old = pcbs.m_strCurPcbName;
  PcbOpResult r = pcbs.RenameCurrent(newName, note);
  if (r == PcbOpResult::Ok && !shownPcbName.empty() && shownPcbName == old) shownPcbName = newName;
  return r;
}

PcbOpResult JobModel::DeleteCurrentBoard() {
  const std::string old = pcbs.m_strCurPcbName;
  PcbOpResult r = pcbs.DeleteCurrent();
  if (r == PcbOpResult::Ok && shownPcbName == old) shownPcbName.clear();
  return r;
}

void JobModel::TransformShownBoard(BoardTransform t, bool withCopy, const std::string& firstTag,
                                   const std::string& secondTag) {
  TransformRows(placementRows, t, withCopy, firstTag, secondTag);
  NotifyRows(RowKind::Placement);
}

bool JobModel::MergeShownPanels() {
  const int index = pcbs.FindPcbIndex(shownPcbName);
  if (shownPcbName.empty() || index < 0) return false;
  PcbRecord& rec = pcbs.m_Records[static_cast<size_t>(index)];
  MergePanelRows(placementRows, rec.m_nRows, rec.m_nCols, rec.m_dRowSpace, rec.m_dColSpace);
  rec.m_nRows = 1;
  rec.m_nCols = 1;
  // The grid keeps its first board so that it still matches the 1 x 1 size.
  if (rec.m_PanelGrid.size() > 1) rec.m_PanelGrid.resize(1);
  if (!rec.m_PanelGrid.empty() && rec.m_PanelGrid[0].size() > 2) rec.m_PanelGrid[0].resize(2);
  NotifyRows(RowKind::Placement);
  if (onLoadCurrentBoard) onLoadCurrentBoard(index, rec);
  return true;
}

}  // namespace smt::job
