#include "job/PartListLogic.h"

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <numeric>

#include "core/MachineState.h"
#include "job/PartListTexts.h"
#include "job/WorkRecords.h"
#include "platform/FileCell.h"
#include "platform/MessageService.h"
#include "platform/TextCodec.h"
#include "settings/SettingsStores.h"

namespace smt::job {

using smt::platform::MsgAnswer;
using smt::platform::MsgButtons;
using smt::platform::MsgIcon;
using smt::platform::ShowMessage;

std::string RowTimeStamp() {
  const std::time_t now = std::time(nullptr);
  std::tm t{};
  localtime_r(&now, &t);
  char buf[64];
  std::snprintf(buf, sizeof buf, "%d-%d-%d  %d:%d:%d", t.tm_year + 1900, t.tm_mon + 1, t.tm_mday, t.tm_hour, t.tm_min,
                t.tm_sec);
  return buf;
}

int HeadLimitOfType(int t) {
  switch (t) {
    case 0: case 1: return 1;
    case 2: case 5: case 10: return 2;
    case 3: case 4: case 6: return 4;
    case 7: case 8: return 8;
    default: return 0;
  }
}

namespace {

void SetCell(ListRow& r, int k, const std::string& text) {
  if (k >= static_cast<int>(r.cells.size())) r.cells.resize(static_cast<size_t>(k) + 1);
  r.cells[static_cast<size_t>(k)] = text;
}
void SetYesNo(ListRow& r, int k, bool yes, int imgYes, int imgNo) {
  SetCell(r, k, yes ? "Yes" : "No");
  r.SetImage(k, yes ? imgYes : imgNo);
}
std::string Int(int v) { return std::to_string(v); }

// Text before the first "/" (false when there is none).
bool BeforeSlash(const std::string& s, std::string& out) {
  const auto p = s.find('/');
  if (p == std::string::npos) return false;
  out = s.substr(0, p);
  return true;
}

const FeederRowView* FindFeeder(const std::vector<FeederRowView>& rows, const std::string& number) {
  for (const auto& r : rows)
    if (r.Number() == number) return &r;
  return nullptr;
}

// The vision cell of a row from a feeder of the current group, as the row
// writer decides it: the camera cell, then flying centring "Yes" wins.
void VisionFromGroupFeeder(ListRow& row, const FeederRowView& f) {
  std::string t;
  if (BeforeSlash(f.Camera(), t)) SetYesNo(row, kSmtVision, t == "Yes", kImgVisionYes, kImgVisionNo);
  if (BeforeSlash(f.Fly(), t) && t == "Yes") SetYesNo(row, kSmtVision, true, kImgVisionYes, kImgVisionNo);
}

}  // namespace

PartListLogic::PartListLogic(JobModel& j) : job(j) {}

std::vector<ListRow>& PartListLogic::Rows(RowKind k) {
  switch (k) {
    case RowKind::Placement: return job.placementRows;
    case RowKind::Dispense: return job.dispenseRows;
    default: return job.drillRows;
  }
}

std::string PartListLogic::Text(const std::string& key) const {
  std::lock_guard lk(textsMutex_);
  const auto it = texts_.find(key);
  return it == texts_.end() ? PartListBuiltinText(key) : it->second;
}

void PartListLogic::SetTexts(std::map<std::string, std::string> texts) {
  std::lock_guard lk(textsMutex_);
  texts_ = std::move(texts);
}

int PartListLogic::Type() const { return smt::CurrentMachine().machineType.load(); }

// --- selection ---

void PartListLogic::SyncSelection(RowKind k) {
  auto& s = State(k).selected;
  s.resize(Rows(k).size(), false);
}

bool PartListLogic::IsSelected(RowKind k, int row) const {
  const auto& s = states_[static_cast<int>(k)].selected;
  return row >= 0 && row < static_cast<int>(s.size()) && s[static_cast<size_t>(row)];
}

void PartListLogic::Select(RowKind k, int row, bool on) {
  SyncSelection(k);
  auto& s = State(k).selected;
  if (row >= 0 && row < static_cast<int>(s.size())) s[static_cast<size_t>(row)] = on;
}

void PartListLogic::SelectOnly(RowKind k, int row) {
  SyncSelection(k);
  auto& s = State(k).selected;
  std::fill(s.begin(), s.end(), false);
  Select(k, row, true);
}

int PartListLogic::SelectedCount(RowKind k) const {
  const auto& s = states_[static_cast<int>(k)].selected;
  return static_cast<int>(std::count(s.begin(), s.end(), true));
}

int PartListLogic::FirstSelected(RowKind k) const {
  const auto& s = states_[static_cast<int>(k)].selected;
  for (size_t i = 0; i < s.size(); ++i)
    if (s[i]) return static_cast<int>(i);
  return -1;
}

std::vector<int> PartListLogic::SelectedRows(RowKind k) const {
  std::vector<int> out;
  const auto& s = states_[static_cast<int>(k)].selected;
  for (size_t i = 0; i < s.size(); ++i)
    if (s[i]) out.push_back(static_cast<int>(i));
  return out;
}

std::vector<std::pair<int, int>> PartListLogic::SelectedRanges(RowKind k) const {
  std::vector<std::pair<int, int>> out;
  const auto& s = states_[static_cast<int>(k)].selected;
  const int n = static_cast<int>(s.size());
  for (int i = 0; i < n;) {
    if (!s[static_cast<size_t>(i)]) {
      ++i;
      continue;
    }
    const int first = i;
    while (i < n && s[static_cast<size_t>(i)]) ++i;
    out.emplace_back(first, i - 1);
  }
  return out;
}

void PartListLogic::SetSelectedRanges(RowKind k, const std::vector<std::pair<int, int>>& ranges) {
  SyncSelection(k);
  auto& s = State(k).selected;
  std::fill(s.begin(), s.end(), false);
  const int n = static_cast<int>(s.size());
  for (const auto& [a, b] : ranges) {
    const int from = std::max(a, 0), to = std::min(b, n - 1);
    if (from <= to) std::fill(s.begin() + from, s.begin() + to + 1, true);
  }
}

void PartListLogic::FocusRow(RowKind k, int row) {
  Select(k, row, true);
  State(k).focused = row;
  view->ShowRow(k, row);
}

void PartListLogic::InsertRow(RowKind k, int at, ListRow row) {
  auto& rows = Rows(k);
  SyncSelection(k);
  at = std::clamp(at, 0, static_cast<int>(rows.size()));
  rows.insert(rows.begin() + at, std::move(row));
  auto& s = State(k).selected;
  s.insert(s.begin() + at, false);
}

void PartListLogic::EraseRow(RowKind k, int at) {
  auto& rows = Rows(k);
  SyncSelection(k);
  if (at < 0 || at >= static_cast<int>(rows.size())) return;
  rows.erase(rows.begin() + at);
  auto& s = State(k).selected;
  s.erase(s.begin() + at);
}

// --- clicks ---

void PartListLogic::RefillFeederChooser() {
  for (const auto& f : FeederListRows()) {
    const std::string entry = f.Number() + "-" + f.Value();
    if (std::find(feederChooser.begin(), feederChooser.end(), entry) == feederChooser.end())
      feederChooser.push_back(entry);
  }
}

void PartListLogic::ClickPlacement(int row, int col) {
  RefillFeederChooser();
  auto& rows = Rows(RowKind::Placement);
  if (row < 0 || row >= static_cast<int>(rows.size())) return;
  State(RowKind::Placement).testRow = row;
  State(RowKind::Placement).clickCol = col;
  if (col == kSmtPlace) {
    ListRow& r = rows[static_cast<size_t>(row)];
    SetYesNo(r, kSmtPlace, r.Cell(kSmtPlace) != "Yes", kImgYes, kImgNo);
    Notify(RowKind::Placement);
  }
}

void PartListLogic::ClickDispense(int row, int col) {
  auto& rows = Rows(RowKind::Dispense);
  if (row < 0 || row >= static_cast<int>(rows.size())) return;
  State(RowKind::Dispense).testRow = row;
  State(RowKind::Dispense).clickCol = col;
  if (col == kDisEnable) {
    ListRow& r = rows[static_cast<size_t>(row)];
    SetYesNo(r, kDisEnable, r.Cell(kDisEnable) != "Yes", kImgYes, kImgNo);
    Notify(RowKind::Dispense);
  }
}

void PartListLogic::ClickDrill(int row, int col) {
  if (row < 0 || row >= static_cast<int>(Rows(RowKind::Drill).size())) return;
  State(RowKind::Drill).testRow = row;
  State(RowKind::Drill).clickCol = col;
}

int PartListLogic::ChooserIndexFor(const std::string& cell) const {
  if (cell.empty()) return -1;
  for (size_t i = 0; i < feederChooser.size(); ++i)
    if (feederChooser[i] == cell) return static_cast<int>(i);
  for (size_t i = 0; i < feederChooser.size(); ++i)
    if (FeederNumberOf(feederChooser[i]) == cell) return static_cast<int>(i);
  return -1;
}

void PartListLogic::ApplyFeederChoice(int row, const std::string& choice) {
  auto& rows = Rows(RowKind::Placement);
  if (row < 0 || row >= static_cast<int>(rows.size())) return;
  ListRow& r = rows[static_cast<size_t>(row)];
  SetCell(r, kSmtFeeder, choice);
  const std::string number = FeederNumberOf(choice);
  const auto list = FeederListRows();
  const FeederRowView* f = FindFeeder(list, number);
  if (f) {
    SetCell(r, kSmtFeederValue, f->Value());
    SetYesNo(r, kSmtVision, f->cameraImage == 1, kImgVisionYes, kImgVisionNo);
    if (f->flyImage == 2) SetYesNo(r, kSmtVision, true, kImgVisionYes, kImgVisionNo);
    SetCell(r, kSmtHead, f->Head());
    SetCell(r, kSmtFeeder, number);
  }
  Notify(RowKind::Placement);
}

bool PartListLogic::SelectAll(RowKind k) {
  auto& rows = Rows(k);
  if (rows.empty()) return false;
  const int cell = k == RowKind::Dispense ? kDisEnable : kSmtPlace;
  bool& toggle = selectAllToggle[static_cast<int>(k)];
  for (auto& r : rows) SetYesNo(r, cell, toggle, kImgYes, kImgNo);
  toggle = !toggle;
  Notify(k);
  return true;
}

// --- find ---

PartListLogic::FindResult PartListLogic::FindFrom(const std::string& what, int startRow) const {
  const auto& rows = job.placementRows;
  for (int r = std::max(0, startRow); r < static_cast<int>(rows.size()); ++r)
    for (int c = 0; c < kPlacementCells; ++c)
      if (rows[static_cast<size_t>(r)].Cell(c) == what) return {true, r, c};
  return {};
}

bool PartListLogic::Find(const std::string& what, std::string& rowText, std::string& colText) {
  if (what.empty()) return false;
  if (job.placementRows.empty()) {
    ShowMessage(Text("PartList.c_Message_01"));
    return false;
  }
  ListState& s = State(RowKind::Placement);
  const int start = s.testRow < 0 ? 0 : s.testRow;
  Select(RowKind::Placement, start, false);
  const FindResult f = FindFrom(what, start);
  if (f.found) {
    FocusRow(RowKind::Placement, f.row);
    s.testRow = f.row;
    rowText = Int(f.row + 1);
    colText = Int(f.col + 1);
  } else {
    rowText.clear();
    colText.clear();
    s.testRow = 0;
  }
  return true;
}

bool PartListLogic::FindNext(const std::string& what, std::string& rowText, std::string& colText) {
  if (what.empty()) return false;
  if (job.placementRows.empty()) {
    ShowMessage(Text("PartList.c_Message_01"));
    return false;
  }
  ListState& s = State(RowKind::Placement);
  if (s.testRow < 0) return false;
  Select(RowKind::Placement, s.testRow, false);
  const FindResult f = FindFrom(what, s.testRow + 1);
  if (f.found) {
    FocusRow(RowKind::Placement, f.row);
    s.testRow = f.row;
    // Numbered from 1 like Find, so both show the same place the same way.
    rowText = Int(f.row + 1);
    colText = Int(f.col + 1);
  } else {
    rowText.clear();
    colText.clear();
    s.testRow = 0;
  }
  return true;
}

// --- list commands ---

void PartListLogic::OnCompare() {
  auto& rows = job.placementRows;
  if (rows.empty()) {
    ShowMessage(Text("PartList.c_Message_01"));
    return;
  }
  const int start = State(RowKind::Placement).testRow;
  if (start < 0) return;
  Select(RowKind::Placement, start, false);
  for (int i = start; i < static_cast<int>(rows.size()); ++i) {
    const ListRow& r = rows[static_cast<size_t>(i)];
    if (r.Cell(kSmtValue) != r.Cell(kSmtFeederValue)) {
      FocusRow(RowKind::Placement, i);
      ShowMessage(kValueNotSame);
      return;
    }
  }
  ShowMessage(kValueSameAll);
}

bool PartListLogic::OnUpdate() {
  const auto group = FeederGroupRows();
  if (group.empty()) {
    ShowMessage(Text("PartList.c_Message_18"));
    return false;
  }
  auto& rows = job.placementRows;
  for (int i = 0; i < static_cast<int>(rows.size()); ++i) {
    ListRow& r = rows[static_cast<size_t>(i)];
    if (r.Cell(kSmtPlace) != "Yes") continue;
    const FeederRowView* f = FindFeeder(group, r.Cell(kSmtFeeder));
    if (!f) {
      Notify(RowKind::Placement);
      ShowMessage(Int(i + 1) + Text("PartList.c_NoFeed"));
      FocusRow(RowKind::Placement, i);
      return false;
    }
    SetCell(r, kSmtPackage, f->Package());
    std::string taken;
    bool has = BeforeSlash(f->Camera(), taken);
    if (has && taken == "No") has = BeforeSlash(f->Fly(), taken);
    if (has) SetYesNo(r, kSmtVision, taken == "Yes", kImgVisionYes, kImgVisionNo);
    SetCell(r, kSmtFeederValue, f->Value());
    SetCell(r, kSmtHead, f->Head());
  }
  Notify(RowKind::Placement);
  if (!autoChangeNozzle()) {
    const int limit = HeadLimitOfType(Type());
    for (int i = 0; limit > 0 && i < static_cast<int>(rows.size()); ++i)
      if (PlacementFromListRow(rows[static_cast<size_t>(i)]).head > limit) {
        ShowMessage(Int(i + 1) + Text("PartList.c_NoNozzle"));
        FocusRow(RowKind::Placement, i);
        return false;
      }
  }
  for (auto k : {RowKind::Placement, RowKind::Dispense, RowKind::Drill}) ResetRowStates(k);
  return true;
}

void PartListLogic::FillDispenseFromSmt() {
  const double z = smt::settings::SettingsStores::Of(smt::CurrentMachine()).machine.Basic()->m_Z_DropsGlueToPCBHeight;
  const auto& place = job.placementRows;
  for (size_t i = 0; i < place.size(); ++i) {
    const ListRow& p = place[i];
    ListRow d(kDispenseCells);
    SetCell(d, kDisSerial, p.Cell(kSmtSerial));
    d.SetImage(0, 10);
    SetCell(d, kDisX, p.Cell(kSmtX));
    SetCell(d, kDisY, p.Cell(kSmtY));
    SetCell(d, kDisZ, FormatG(z));
    SetYesNo(d, kDisEnable, p.Image(kSmtPlace) == kImgYes, kImgYes, kImgNo);
    SetCell(d, kDisValveOpen, "5");
    SetCell(d, kDisValveClose, "10");
    SetCell(d, kDisCloseDelay, "50");
    SetCell(d, kDisBottomDelay, "50");
    SetCell(d, kDisSuckBack, "50");
    InsertRow(RowKind::Dispense, static_cast<int>(i), std::move(d));
  }
  Notify(RowKind::Dispense);
}

namespace {

// Feeders sort by side (E and G, then S, W, N; a cell with no side letter
// with E) and by the number after the side letter.
int SideRank(char side) {
  switch (side) {
    case 'S': return 1;
    case 'W': return 2;
    case 'N': return 3;
    default: return 0;
  }
}

template <class T>
int Cmp(T a, T b) { return a < b ? -1 : (b < a ? 1 : 0); }

}  // namespace

namespace {

// The sort codes that compare a typed field of the placement record.
bool SortsByNumber(int code) {
  return code == kSmtSerial || code == kSmtX || code == kSmtY || code == kSmtAngle || code == kSmtHead ||
         code == kSmtFeeder;
}

int CompareNumberField(int code, const PlacementRecord& a, const PlacementRecord& b) {
  switch (code) {
    case kSmtSerial: return Cmp(a.serial, b.serial);
    case kSmtX: return Cmp(a.x, b.x);
    case kSmtY: return Cmp(a.y, b.y);
    case kSmtAngle: return Cmp(a.angle, b.angle);
    case kSmtFeeder: {
      const FeederRef fa = a.feeder.Ref(), fb = b.feeder.Ref();
      if (const int side = Cmp(SideRank(fa.side), SideRank(fb.side))) return side;
      return Cmp(fa.index, fb.index);
    }
    default: return Cmp(a.head, b.head);
  }
}

}  // namespace

int PartListLogic::CompareRows(const ListRow& a, const ListRow& b) const {
  const int code = sortCode;
  if (SortsByNumber(code)) return CompareNumberField(code, PlacementFromListRow(a), PlacementFromListRow(b));
  switch (code) {
    case 7:
      return -Cmp(a.Cell(code), b.Cell(code));
    case 20: {
      const auto list = FeederListRows();
      auto height = [&](const std::string& n) {
        const FeederRowView* f = FindFeeder(list, n);
        return f ? f->height : 0.0;
      };
      return Cmp(height(a.Cell(kSmtFeeder)), height(b.Cell(kSmtFeeder)));
    }
    default:
      return Cmp(a.Cell(code), b.Cell(code));
  }
}

void PartListLogic::SortList(RowKind k) {
  auto& rows = Rows(k);
  SyncSelection(k);
  std::vector<size_t> order(rows.size());
  std::iota(order.begin(), order.end(), size_t{0});
  if (SortsByNumber(sortCode)) {
    // Each row's record is read once, not once per comparison.
    std::vector<PlacementRecord> records;
    records.reserve(rows.size());
    for (const ListRow& r : rows) records.push_back(PlacementFromListRow(r));
    std::stable_sort(order.begin(), order.end(),
                     [&](size_t x, size_t y) { return CompareNumberField(sortCode, records[x], records[y]) < 0; });
  } else {
    std::stable_sort(order.begin(), order.end(),
                     [&](size_t x, size_t y) { return CompareRows(rows[x], rows[y]) < 0; });
  }
  std::vector<ListRow> sorted;
  std::vector<bool> sel;
  sorted.reserve(rows.size());
  auto& s = State(k).selected;
  for (size_t i : order) {
    sorted.push_back(std::move(rows[i]));
    sel.push_back(s[i]);
  }
  rows = std::move(sorted);
  s = std::move(sel);
  Notify(k);
}

void PartListLogic::CheckFeederOrder() {
  auto& rows = job.placementRows;
  for (int i = 1; i < static_cast<int>(rows.size()); ++i) {
    if (rows[static_cast<size_t>(i)].Cell(kSmtFeeder) != rows[static_cast<size_t>(i - 1)].Cell(kSmtFeeder)) continue;
    for (int j = i + 1; j < static_cast<int>(rows.size()); ++j)
      if (rows[static_cast<size_t>(j)].Cell(kSmtFeeder) != rows[static_cast<size_t>(i)].Cell(kSmtFeeder)) {
        ListRow moved = rows[static_cast<size_t>(j)];
        const bool sel = IsSelected(RowKind::Placement, j);
        EraseRow(RowKind::Placement, j);
        InsertRow(RowKind::Placement, i, std::move(moved));
        Select(RowKind::Placement, i, sel);
        break;
      }
  }
  Notify(RowKind::Placement);
}

void PartListLogic::UpdateRowsForFeeder(const std::string& oldNumber, const std::string& newNumber, bool vision,
                                        const std::string& value, const std::string& head) {
  // Rows without a feeder belong to no feeder: a feeder without a number
  // (one being added) takes none of them.
  if (oldNumber.empty()) return;
  for (auto& r : job.placementRows) {
    if (r.Cell(kSmtFeeder) != oldNumber) continue;
    SetCell(r, kSmtFeeder, newNumber);
    SetYesNo(r, kSmtVision, vision, kImgVisionYes, kImgVisionNo);
    SetCell(r, kSmtFeederValue, value);
    SetCell(r, kSmtHead, head);
  }
  for (auto it = feederChooser.begin(); it != feederChooser.end(); ++it)
    if (it->rfind(oldNumber, 0) == 0) {
      feederChooser.erase(it);
      break;
    }
  Notify(RowKind::Placement);
}

int PartListLogic::AssignNewFeeder(const std::string& number, bool vision, const std::string& value,
                                   const std::string& head) {
  if (number.empty()) return 0;
  int taken = 0;
  for (size_t i = 0; i < job.placementRows.size(); ++i) {
    auto& r = job.placementRows[i];
    if (!r.Cell(kSmtFeeder).empty() || !IsSelected(RowKind::Placement, static_cast<int>(i))) continue;
    SetCell(r, kSmtFeeder, number);
    SetYesNo(r, kSmtVision, vision, kImgVisionYes, kImgVisionNo);
    SetCell(r, kSmtFeederValue, value);
    SetCell(r, kSmtHead, head);
    ++taken;
  }
  if (taken) Notify(RowKind::Placement);
  return taken;
}

int PartListLogic::ImportDrillCsv(const std::string& content) {
  const std::string text = smt::platform::GbkToUtf8(content);
  std::vector<std::string> lines;
  for (size_t pos = 0;;) {
    const size_t e = text.find("\r\n", pos);
    lines.push_back(text.substr(pos, e == std::string::npos ? std::string::npos : e - pos));
    if (e == std::string::npos) break;
    pos = e + 2;
  }
  if (lines.empty() || (lines.size() == 1 && lines[0].empty())) return 0;
  // Fields followed by a ",".
  auto fields = [](const std::string& line) {
    std::vector<std::string> f;
    size_t pos = 0;
    for (size_t c; (c = line.find(',', pos)) != std::string::npos; pos = c + 1) f.push_back(line.substr(pos, c - pos));
    return f;
  };
  const auto header = fields(lines[0]);
  auto column = [&](const char* name) {
    for (size_t i = 0; i < header.size(); ++i)
      if (header[i] == name) return static_cast<int>(i);
    return -1;
  };
  const int cName = column("名称"), cDia = column("直径"), cX = column("中心 X"), cY = column("中心 Y"),
            cZ = column("中心 Z");
  int added = 0;
  for (size_t l = 1; l < lines.size(); ++l) {
    const auto f = fields(lines[l]);
    auto at = [&](int c) { return c >= 0 && c < static_cast<int>(f.size()) ? f[static_cast<size_t>(c)] : std::string(); };
    if (cName < 0 || at(cName) != "圆") continue;
    ListRow r(kDrillCells);
    const int index = static_cast<int>(job.drillRows.size());
    SetCell(r, kDrillSerial, Int(index));
    SetCell(r, kDrillName, at(cName));
    SetCell(r, kDrillDiameter, at(cDia));
    SetCell(r, kDrillX, at(cX));
    SetCell(r, kDrillY, at(cY));
    SetCell(r, kDrillZ, at(cZ));
    SetCell(r, kDrillDepth, FormatG(drillEdit.depth));
    SetCell(r, kDrillFeed, FormatG(drillEdit.feed));
    SetCell(r, kDrillLift, FormatG(drillEdit.liftHeight));
    SetCell(r, kDrillLiftToTop, Int(drillEdit.liftToTop ? 1 : 0));
    SetCell(r, kDrillFeedStart, Int(drillEdit.feedStart));
    SetCell(r, kDrillFeedRun, Int(drillEdit.feedRun));
    SetCell(r, kDrillLiftStart, Int(drillEdit.liftStart));
    SetCell(r, kDrillLiftRun, Int(drillEdit.liftRun));
    InsertRow(RowKind::Drill, index, std::move(r));
    ++added;
  }
  Notify(RowKind::Drill);
  return added;
}

void PartListLogic::SwapSmtDis() {
  const int t = Type();
  if (t == 10) return;
  if (t == 9) return job.SetVisible(VisibleList::Drill);
  if (job.runSelect == 1 || job.runSelect == 2) {
    if (job.dispenseRows.empty() && !job.placementRows.empty()) FillDispenseFromSmt();
    job.SetVisible(job.visible == VisibleList::Placement ? VisibleList::Dispense : VisibleList::Placement);
  } else {
    job.SetVisible(VisibleList::Placement);
  }
}

bool PartListLogic::CheckFeedersExist() {
  const auto list = FeederListRows();
  if (list.empty()) {
    ShowMessage(Text("PartList.c_Message_18"));
    return false;
  }
  const auto& rows = job.placementRows;
  for (int i = 0; i < static_cast<int>(rows.size()); ++i) {
    const ListRow& r = rows[static_cast<size_t>(i)];
    if (r.Cell(kSmtPlace) == "No") continue;
    if (!FindFeeder(list, r.Cell(kSmtFeeder))) {
      ShowMessage(Int(i + 1) + Text("PartList.c_NoFeed"));
      FocusRow(RowKind::Placement, i);
      return false;
    }
  }
  return true;
}

// --- row writers ---

bool PartListLogic::SmtFeederFits(const SmtEditFields& e) {
  if (feederCheckMulti_ && !e.changed[SmtEditFields::kFeeder]) return true;
  const auto group = FeederGroupRows();
  if (group.empty()) {
    ShowMessage(Text("PartList.c_Message_18"));
    return false;
  }
  if (!FindFeeder(group, FeederNumberOf(e.feeder))) {
    ShowMessage(Int(feederCheckRow_ + 1) + Text("PartList.c_NoFeed"));
    if (!feederCheckAdd_) FocusRow(RowKind::Placement, feederCheckRow_);
    return false;
  }
  return true;
}

bool PartListLogic::WriteSmtRow(int row) {
  auto& rows = job.placementRows;
  if (row < 0 || row >= static_cast<int>(rows.size())) return false;
  ListRow& r = rows[static_cast<size_t>(row)];
  const SmtEditFields& e = smtEdit;
  r.cells.resize(kPlacementCells);
  SetCell(r, kSmtSerial, Int(e.serial));
  SetCell(r, kSmtX, FormatG(e.x));
  SetCell(r, kSmtY, FormatG(e.y));
  SetCell(r, kSmtAngle, e.angle);
  SetCell(r, kSmtName, e.name);
  SetCell(r, kSmtType, e.type);
  SetCell(r, kSmtPackage, e.package);
  SetYesNo(r, kSmtPlace, e.place, kImgYes, kImgNo);
  SetCell(r, kSmtValue, e.value);
  const std::string number = FeederNumberOf(e.feeder);
  SetCell(r, kSmtFeeder, number);
  if (!number.empty()) {
    const auto list = FeederListRows();
    if (const FeederRowView* f = FindFeeder(list, number)) {
      SetCell(r, kSmtFeederValue, f->Value());
      SetCell(r, kSmtHead, f->Head());
    }
  }
  const auto group = FeederGroupRows();
  if (group.empty()) {
    Notify(RowKind::Placement);
    ShowMessage(Text("PartList.c_Message_18"));
    return false;
  }
  const FeederRowView* g = FindFeeder(group, number);
  if (!g) {
    Notify(RowKind::Placement);
    ShowMessage(Int(row + 1) + Text("PartList.c_NoFeed"));
    FocusRow(RowKind::Placement, row);
    return false;
  }
  VisionFromGroupFeeder(r, *g);
  SetCell(r, kSmtTime, timeStamp ? timeStamp() : RowTimeStamp());
  SetCell(r, kSmtOwnMark, e.ownMark ? e.markName : std::string());
  Notify(RowKind::Placement);
  return true;
}

namespace {

DispensePoint DispenseOfEditor(const DisEditFields& e) {
  DispensePoint p;
  p.serial = e.serial;
  p.x = e.x;
  p.y = e.y;
  p.z = e.z;
  p.dispense = e.dispense;
  p.valveOpen = e.valveOpen;
  p.valveClose = e.valveClose;
  p.closeDelay = e.valveCloseDelay;
  p.bottomDelay = e.bottomDelay;
  p.suckBack = e.suckBack;
  p.note = e.note;
  return p;
}

DrillRecord DrillOfEditor(const DrillEditFields& e) {
  DrillRecord d;
  d.serial = e.serial;
  d.name = e.name;
  d.diameter = e.diameter;
  d.x = e.x;
  d.y = e.y;
  d.z = e.z;
  d.depth = e.depth;
  d.feed = e.feed;
  d.lift = e.liftHeight;
  d.liftToTop = e.liftToTop;
  d.feedStart = e.feedStart;
  d.feedRun = e.feedRun;
  d.liftStart = e.liftStart;
  d.liftRun = e.liftRun;
  return d;
}

}  // namespace

void PartListLogic::WriteDispenseRow(int row, const std::array<bool, 11>& fl) {
  auto& rows = job.dispenseRows;
  if (row < 0 || row >= static_cast<int>(rows.size())) return;
  WriteDispenseFields(rows[static_cast<size_t>(row)], DispenseOfEditor(disEdit), fl);
  Notify(RowKind::Dispense);
}

void PartListLogic::WriteDrillRow(int row, const std::array<bool, 14>& fl) {
  auto& rows = job.drillRows;
  if (row < 0 || row >= static_cast<int>(rows.size())) return;
  WriteDrillFields(rows[static_cast<size_t>(row)], DrillOfEditor(drillEdit), fl);
  Notify(RowKind::Drill);
}

// --- row editing ---

bool PartListLogic::CheckType4Limit(int rowsAfter) {
  if (Type() != 4 || rowsAfter <= 10) return true;
  ShowMessage(kType4RowLimit);
  return false;
}

void PartListLogic::OnAdd(RowKind k) {
  ListState& s = State(k);
  const int pcbs = job.pcbs.Count();
  if (k != RowKind::Drill && pcbs < 1) {
    ShowMessage(kNoPcbFile);
    return;
  }
  s.copied = false;
  auto& rows = Rows(k);
  if (k == RowKind::Placement && !CheckType4Limit(static_cast<int>(rows.size()) + 1)) return;
  const int at = (s.testRow >= 0 && s.testRow < static_cast<int>(rows.size())) ? s.testRow + 1
                                                                                : static_cast<int>(rows.size());
  switch (k) {
    case RowKind::Placement: {
      feederCheckRow_ = at;
      feederCheckAdd_ = true;
      feederCheckMulti_ = false;
      const bool ok = view->EditSmt(smtEdit) && SmtFeederFits(smtEdit);
      if (ok) {
        InsertRow(k, at, ListRow(kPlacementCells));
        WriteSmtRow(at);
        if (Type() == 4 && lampRowAdded) lampRowAdded();
      }
      smtEdit.ClearAfterEdit();
      break;
    }
    case RowKind::Dispense:
      if (view->EditDis(disEdit)) {
        InsertRow(k, at, ListRow(kDispenseCells));
        std::array<bool, 11> all;
        all.fill(true);
        WriteDispenseRow(at, all);
      }
      break;
    case RowKind::Drill:
      if (view->EditDrill(drillEdit)) {
        InsertRow(k, at, ListRow(kDrillCells));
        std::array<bool, 14> all;
        all.fill(true);
        WriteDrillRow(at, all);
      }
      break;
  }
  Notify(k);
}

void PartListLogic::LoadSmtEditor(int row) {
  const ListRow& r = job.placementRows[static_cast<size_t>(row)];
  const PlacementRecord p = PlacementFromListRow(r);
  SmtEditFields& e = smtEdit;
  e.serial = p.serial;
  e.name = p.name;
  e.type = p.type;
  e.package = p.package;
  e.x = p.x;
  e.y = p.y;
  // The angle box is a list of texts: the cell as it is shown.
  e.angle = ListPlacementCell(p, kSmtAngle);
  e.value = p.value;
  e.feeder = p.feeder;
  const auto list = FeederListRows();
  if (const FeederRowView* f = FindFeeder(list, e.feeder)) e.feeder = f->Number() + "-" + f->Value();
  e.place = p.placeWord == "Yes";
  e.markName = p.ownMark;
  e.ownMark = !e.markName.empty();
}

namespace {
// The camera-tracking warning is shown once in the life of the program.
}  // namespace

void PartListLogic::OnModify(RowKind k) {
  ListState& s = State(k);
  s.copied = false;
  auto& rows = Rows(k);
  if (s.testRow < 0 || s.testRow >= static_cast<int>(rows.size())) {
    ShowMessage(Text("PartList.c_Message_02"));
    return;
  }
  const int row = s.testRow;
  const int selected = SelectedCount(k);
  const bool one = k == RowKind::Placement ? selected <= 1 : selected == 1;
  if (k == RowKind::Placement) {
    if (one) {
      LoadSmtEditor(row);
      if (smt::settings::SettingsStores::Of(smt::CurrentMachine()).machine.Basic()->m_bCameraTrackModify != 0) {
        if (!smt::CurrentMachine().trackWarningShown.exchange(true)) ShowMessage(Text("PartList.c_Message_44"));
        view->CameraTestForModify();
      }
      feederCheckRow_ = row;
      feederCheckAdd_ = false;
      feederCheckMulti_ = false;
      if (view->EditSmt(smtEdit) && SmtFeederFits(smtEdit)) {
        // A number cell keeps its spelling ("25.40") while its value stays,
        // and one that does not read keeps its text unless the operator set
        // it: an offset does not turn it into a number.
        const ListRow before = rows[static_cast<size_t>(row)];
        const PlacementRecord held = PlacementFromListRow(before);
        const bool xReads = PlacementCellReads(before, kSmtX), yReads = PlacementCellReads(before, kSmtY);
        using F = SmtEditFields;
        const bool keepX = !smtEdit.changed[F::kX] && (!xReads || smtEdit.x + smtEdit.offsetX == held.x);
        const bool keepY = !smtEdit.changed[F::kY] && (!yReads || smtEdit.y + smtEdit.offsetY == held.y);
        const bool keepSerial = smtEdit.serial == held.serial;
        smtEdit.x += smtEdit.offsetX;
        smtEdit.y += smtEdit.offsetY;
        WriteSmtRow(row);
        ListRow& r = rows[static_cast<size_t>(row)];
        if (keepSerial) SetCell(r, kSmtSerial, before.Cell(kSmtSerial));
        if (keepX) SetCell(r, kSmtX, before.Cell(kSmtX));
        if (keepY) SetCell(r, kSmtY, before.Cell(kSmtY));
      }
    } else {
      feederCheckRow_ = FirstSelected(k);
      feederCheckAdd_ = false;
      feederCheckMulti_ = true;
      if (view->EditSmt(smtEdit) && SmtFeederFits(smtEdit)) {
        const SmtEditFields& e = smtEdit;
        using F = SmtEditFields;
        const auto group = FeederGroupRows();
        const auto list = FeederListRows();
        for (int i : SelectedRows(k)) {
          ListRow& r = rows[static_cast<size_t>(i)];
          if (e.changed[F::kName]) SetCell(r, kSmtName, e.name);
          if (e.changed[F::kType]) SetCell(r, kSmtType, e.type);
          if (e.changed[F::kPackage]) SetCell(r, kSmtPackage, e.package);
          if (e.changed[F::kAngle]) SetCell(r, kSmtAngle, e.angle);
          if (e.changed[F::kValue]) SetCell(r, kSmtValue, e.value);
          // X and Y are written when set or moved by an offset; a cell that
          // does not read is moved by no offset and keeps its text.
          const PlacementRecord was = PlacementFromListRow(r);
          if (e.changed[F::kX] || (e.offsetX != 0 && PlacementCellReads(r, kSmtX)))
            SetCell(r, kSmtX, FormatG((e.changed[F::kX] ? e.x : was.x) + e.offsetX));
          if (e.changed[F::kY] || (e.offsetY != 0 && PlacementCellReads(r, kSmtY)))
            SetCell(r, kSmtY, FormatG((e.changed[F::kY] ? e.y : was.y) + e.offsetY));
          if (e.changed[F::kFeeder]) {
            const std::string number = FeederNumberOf(e.feeder);
            SetCell(r, kSmtFeeder, number);
            if (group.empty()) {
              ShowMessage(Text("PartList.c_Message_18"));
              break;
            }
            const FeederRowView* g = FindFeeder(group, number);
            if (!g) {
              ShowMessage(Int(i + 1) + Text("PartList.c_NoFeed"));
              FocusRow(k, i);
              break;
            }
            VisionFromGroupFeeder(r, *g);
            SetCell(r, kSmtTime, timeStamp ? timeStamp() : RowTimeStamp());
            if (const FeederRowView* f = FindFeeder(list, number)) {
              SetCell(r, kSmtFeederValue, f->Value());
              SetCell(r, kSmtHead, f->Head());
            }
          }
          if (e.changed[F::kPlace]) SetYesNo(r, kSmtPlace, e.place, kImgYes, kImgNo);
          if (e.changed[F::kOwnMark]) SetCell(r, kSmtOwnMark, e.ownMark ? e.markName : std::string());
        }
      }
    }
    smtEdit.ClearAfterEdit();
  } else if (k == RowKind::Dispense) {
    if (one) {
      // The editor shows the row's record; on OK a field is written when
      // the operator set it or its value changed, so a cell keeps its
      // spelling ("1.50") and a cell that did not read keeps its text.
      const DispenseRowRecord held = ReadDispenseRow(rows[static_cast<size_t>(row)], row + 1);
      const DispensePoint& p = held.point;
      DisEditFields& e = disEdit;
      e.serial = p.serial;
      e.x = p.x;
      e.y = p.y;
      e.z = p.z;
      e.dispense = p.dispense;
      e.valveOpen = p.valveOpen;
      e.valveClose = p.valveClose;
      e.valveCloseDelay = p.closeDelay;
      e.bottomDelay = p.bottomDelay;
      e.suckBack = p.suckBack;
      e.note = p.note;
      if (view->EditDis(e)) {
        e.x += e.offsetX;
        e.y += e.offsetY;
        e.z += e.offsetZ;
        WriteDispenseRow(row, DispenseFieldsToWrite(held, DispenseOfEditor(e), e.changed));
      }
    } else if (view->EditDis(disEdit)) {
      for (int i : SelectedRows(k)) WriteDispenseRow(i, disEdit.changed);
    }
    disEdit.ResetAfterModify();
  } else {
    if (one) {
      const DrillRowRecord held = ReadDrillRow(rows[static_cast<size_t>(row)], row + 1);
      const DrillRecord& d = held.drill;
      DrillEditFields& e = drillEdit;
      e.serial = d.serial;
      e.name = d.name;
      e.diameter = d.diameter;
      e.x = d.x;
      e.y = d.y;
      e.z = d.z;
      e.depth = d.depth;
      e.feed = d.feed;
      e.liftHeight = d.lift;
      e.liftToTop = d.liftToTop;
      e.feedStart = d.feedStart;
      e.feedRun = d.feedRun;
      e.liftStart = d.liftStart;
      e.liftRun = d.liftRun;
      if (view->EditDrill(e)) {
        e.x += e.offsetX;
        e.y += e.offsetY;
        e.z += e.offsetZ;
        WriteDrillRow(row, DrillFieldsToWrite(held, DrillOfEditor(e), e.changed));
      }
    } else if (view->EditDrill(drillEdit)) {
      for (int i : SelectedRows(k)) WriteDrillRow(i, drillEdit.changed);
    }
    drillEdit.ResetAfterModify();
  }
  Notify(k);
}

void PartListLogic::OnDelete(RowKind k) {
  if (ShowMessage(Text("PartList.c_Message_35"), MsgButtons::YesNoCancel, MsgIcon::Question) != MsgAnswer::Yes) return;
  ListState& s = State(k);
  s.copied = false;
  if (s.testRow < 0) {
    ShowMessage(Text("PartList.c_Message_03"));
    return;
  }
  const bool lamp = k == RowKind::Placement && Type() == 4;
  SyncSelection(k);
  for (int i = 0; i < static_cast<int>(Rows(k).size());) {
    if (!IsSelected(k, i)) {
      ++i;
      continue;
    }
    EraseRow(k, i);
    if (lamp && lampRowDeleted) lampRowDeleted(i);
  }
  if (s.testRow >= static_cast<int>(Rows(k).size())) s.testRow = -1;
  if (s.copyRow >= static_cast<int>(Rows(k).size())) s.copyRow = -1;
  Notify(k);
}

void PartListLogic::OnCopy(RowKind k) {
  ListState& s = State(k);
  if (s.testRow < 0) {
    ShowMessage(Text("PartList.c_Message_04"));
    return;
  }
  s.copyRow = s.testRow;
  s.copied = true;
}

void PartListLogic::OnPaste(RowKind k) {
  ListState& s = State(k);
  auto& rows = Rows(k);
  const int n = static_cast<int>(rows.size());
  if (s.testRow < 0 || s.testRow >= n) return;
  if (k == RowKind::Placement && !CheckType4Limit(n + 1)) return;
  // The remembered row may have been deleted since the copy.
  if (s.copyRow < 0 || s.copyRow >= n) {
    s.copied = false;
    return;
  }
  const int at = s.testRow + 1;
  const int source = s.testRow < s.copyRow ? s.copyRow + 1 : s.copyRow;
  InsertRow(k, at, ListRow(CellCount(k)));
  rows[static_cast<size_t>(at)] = rows[static_cast<size_t>(source)];
  s.copied = false;
  Notify(k);
}

void PartListLogic::OnCopyPaste(RowKind k) {
  if (ShowMessage(Text("PartList.c_Message_40"), MsgButtons::YesNoCancel, MsgIcon::Question) != MsgAnswer::Yes) return;
  const auto sel = SelectedRows(k);
  auto& rows = Rows(k);
  if (k == RowKind::Placement && !CheckType4Limit(static_cast<int>(rows.size() + sel.size()))) return;
  for (int i : sel) {
    ListRow copy = rows[static_cast<size_t>(i)];
    InsertRow(k, static_cast<int>(rows.size()), std::move(copy));
  }
  Notify(k);
}

// --- run interface ---

void PartListLogic::SetRunState(RowKind k, int row, int image, bool select, uint8_t selectedOnly) {
  auto& rows = Rows(k);
  if (row < 0 || row >= static_cast<int>(rows.size())) return;
  rows[static_cast<size_t>(row)].SetImage(0, image);
  if (select) {
    if (IsSelected(k, row) || !selectedOnly) Select(k, row, true);
    State(k).focused = row;
    view->ShowRow(k, row);
  } else if (!selectedOnly) {
    Select(k, row, false);
  }
  Notify(k);
}

PartListLogic::RunStateResult PartListLogic::ApplyRunState(RowKind k, int row, int image, bool select) {
  RunStateResult r;
  auto& rows = Rows(k);
  if (row < 0 || row >= static_cast<int>(rows.size())) return r;
  const uint8_t selectedOnly =
      k == RowKind::Placement ? m_bSelectedSmt : (k == RowKind::Dispense ? m_bSelectedDis : m_bSelectedDrill);
  r.valid = true;
  rows[static_cast<size_t>(row)].SetImage(0, image);
  const bool was = IsSelected(k, row);
  if (select) {
    if (was || !selectedOnly) Select(k, row, true);
    State(k).focused = row;
    r.focused = true;
  } else if (!selectedOnly) {
    Select(k, row, false);
  }
  r.selected = IsSelected(k, row);
  r.selectionChanged = r.selected != was;
  return r;
}

void PartListLogic::SetSmtRowState(int row, int image, bool select) {
  SetRunState(RowKind::Placement, row, image, select, m_bSelectedSmt);
}
void PartListLogic::SetDispenseRowState(int row) { SetRunState(RowKind::Dispense, row, 10, true, m_bSelectedDis); }
void PartListLogic::SetDrillRowState(int row, int image) {
  SetRunState(RowKind::Drill, row, image, true, m_bSelectedDrill);
}

void PartListLogic::ResetRowStates(RowKind k) {
  const uint8_t only = k == RowKind::Placement ? m_bSelectedSmt : (k == RowKind::Dispense ? m_bSelectedDis : m_bSelectedDrill);
  auto& rows = Rows(k);
  for (int i = 0; i < static_cast<int>(rows.size()); ++i) {
    rows[static_cast<size_t>(i)].SetImage(0, 0);
    if (!only) Select(k, i, false);
  }
  if (!rows.empty()) view->ShowRow(k, 0);
  Notify(k);
}

int PartListLogic::NextPlaceRow(int& row, int count, int a, int b) {
  const auto& rows = job.placementRows;
  for (; row < count && row < static_cast<int>(rows.size()); ++row) {
    const ListRow& r = rows[static_cast<size_t>(row)];
    if (r.Cell(kSmtPlace) == "Yes" && (!m_bSelectedSmt || IsSelected(RowKind::Placement, row)))
      return calcFeederPickTarget(r.Cell(kSmtFeeder), a, b);
  }
  return 0;
}

bool PartListLogic::NextDispenseRow(int& row, int count) {
  const auto& rows = job.dispenseRows;
  for (; row < count && row < static_cast<int>(rows.size()); ++row) {
    const ListRow& r = rows[static_cast<size_t>(row)];
    if (r.Cell(kDisEnable) == "Yes" && (!m_bSelectedDis || IsSelected(RowKind::Dispense, row))) return true;
  }
  return false;
}

}  // namespace smt::job
