#include "app/FeederSourceWiring.h"

#include "core/LogFile.h"
#include "feeder/CDialogFeedList.h"
#include "feeder/FeederTable.h"
#include "job/FeederView.h"
#include "platform/GuiDispatcher.h"

namespace smt::app {

namespace {

using smt::feeder::FeederRow;
using smt::job::FeederRowView;

FeederRowView ViewOfCells(const FeederRow& row) {
  FeederRowView v;
  v.cells.assign(row.Cells().begin(), row.Cells().end());
  v.height = row.Readable() ? row.Record().height : 0.0;
  return v;
}

// A feeder as the panel shows it: camera and flying-centring cells hold the
// value, their pictures say whether the option is on.
FeederRowView ViewOfListRow(const smt::feeder::FeederListRow& r, const FeederRow& row) {
  FeederRowView v;
  v.cells.assign(r.text.begin(), r.text.end());
  v.height = row.Readable() ? row.Record().height : 0.0;
  v.cameraImage = r.icon[smt::feeder::kCellCamera];
  v.flyImage = r.icon[smt::feeder::kCellFly];
  return v;
}

// The same from the table's stored cells ("Yes/<value>"), for readers off the
// window thread, which must not touch the list widget.
FeederRowView ViewOfStoredRow(const FeederRow& row) {
  FeederRowView v = ViewOfCells(row);
  auto [camera, cameraValue] = smt::feeder::SplitFlagCell(row.Cell(smt::feeder::kCellCamera));
  auto [fly, flyValue] = smt::feeder::SplitFlagCell(row.Cell(smt::feeder::kCellFly));
  v.cells[smt::feeder::kCellCamera] = cameraValue;
  v.cells[smt::feeder::kCellFly] = flyValue;
  v.cameraImage = camera ? 1 : 4;
  v.flyImage = fly ? 2 : 4;
  return v;
}

std::vector<FeederRow> CurrentGroupRows(smt::feeder::FeederTable& table) {
  auto g = table.CurrentGroup();
  if (!g) return {};
  std::vector<FeederRow> rows;
  for (const FeederRow& r : g->rows)
    if (!r.Empty()) rows.push_back(r);
  return rows;
}

CDialogFeedList* PanelOrLog(const std::function<CDialogFeedList*()>& panel, const char* what) {
  CDialogFeedList* p = panel ? panel() : nullptr;
  if (!p) CLogFile::Instance().Write(true, "Feeder source: no feeder list panel for %s", what);
  return p;
}

}  // namespace

void InstallFeederSource(smt::Machine& machine, std::function<CDialogFeedList*()> panel) {
  smt::feeder::FeederTable& table = smt::feeder::FeederTable::Of(machine);
  smt::job::FeederSource s;
  s.listRows = [panel, &table] {
    std::vector<FeederRowView> out;
    CDialogFeedList* p = PanelOrLog(panel, "the part list's feeder rows");
    if (!p) return out;
    if (smt::platform::GuiDispatcher::Get().IsGuiThread()) {
      for (int r = 0; r < p->RowCount(); ++r) {
        const FeederRow& row = p->Shown()[static_cast<size_t>(r)].row;
        if (!row.Empty()) out.push_back(ViewOfListRow(p->ListRow(r), row));
      }
    } else {
      for (const FeederRow& r : CurrentGroupRows(table)) out.push_back(ViewOfStoredRow(r));
    }
    return out;
  };
  s.groupRows = [&table] {
    std::vector<FeederRowView> out;
    for (const FeederRow& r : CurrentGroupRows(table)) out.push_back(ViewOfCells(r));
    return out;
  };
  s.openFeederEditor = [panel](const std::string& number) {
    CDialogFeedList* p = PanelOrLog(panel, "opening the feeder editor");
    if (!p) return false;
    for (int r = 0; r < p->RowCount(); ++r) {
      if (p->Shown()[static_cast<size_t>(r)].row.Number() != number) continue;
      p->SelectRow(r, true);
      p->OnEditFeeder(false);
      return true;
    }
    return false;
  };
  smt::job::FeederSourceOf(machine) = std::move(s);
}

}  // namespace smt::app
