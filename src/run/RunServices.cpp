#include "run/RunServices.h"

#include <algorithm>

#include "core/LogFile.h"
#include "core/Machine.h"
#include "platform/FileCell.h"
#include "platform/GuiDispatcher.h"
#include "platform/MessageService.h"
#include "settings/SettingsStores.h"

namespace smt::run {

RunServices& Services() {
  static RunServices s;
  return s;
}

bool VisionOriginAfterBoard() {
  const auto basic = smt::settings::SettingsStores::Instance().machine.Basic();
  if (basic->m_SmtFinishToVisualOrigin == 0 || basic->m_CottectionTimeSmt <= 0) return true;
  return Services().visionOriginAfterPlacement();
}

std::string RunText(const std::string& key, const std::string& def) {
  auto& s = Services();
  if (s.text) {
    std::string t = s.text(key);
    if (!t.empty()) return t;
  }
  return def;
}

std::array<std::string, 9> FeedModeNames() {
  if (Services().feedModeNames) return Services().feedModeNames();
  return {"集中飞达", "自动飞达", "振动飞达", "托盘", "0402", "48", "拖针", "CL_浸渍站", "托盘_浸渍站"};
}

std::optional<smt::feeder::FeederRecord> FeederRecordAt(int group, int row) {
  auto* t = Services().feeders;
  if (!t || group != t->CurrentIndex()) return std::nullopt;
  const auto r = t->CurrentRow(row);
  if (!r) return std::nullopt;
  if (const smt::platform::FileCellError* e = r->Problem()) {
    // A feeder that cannot be read is not picked from.
    const std::string& number = r->Number();
    CLogFile::Instance().Write(true, "feeder %s refused: %s", number.c_str(), e->what());
    smt::platform::ShowMessage("料架 \"" + number + "\" 的数值无法读取 !\r\nFeeder \"" + number +
                               "\" cannot be used: " + e->what());
    return std::nullopt;
  }
  return r->Record();
}

void SetFeederFeedCount(int group, int row, int count) {
  auto* t = Services().feeders;
  if (t && group == t->CurrentIndex()) t->SetCurrentFeedCount(row, count);
}

void SetFeederQuantity(int group, int row, int quantity) {
  auto* t = Services().feeders;
  if (t && group == t->CurrentIndex()) t->SetCurrentQuantity(row, quantity);
}

std::shared_ptr<RunDisplay> Display() { return Services().display.Get(); }

void RowState(int row, int image, bool select) {
  if (auto d = Display()) d->RowState(smt::job::RowKind::Placement, row, image, select);
}

void ShowRunList(int list) {
  if (auto d = Display()) d->ShowList(list);
}

smt::job::PartListData& PartList() { return smt::job::PartListOf(smt::CurrentMachine()); }

RunSelectors Selectors() {
  const smt::job::PartListLogic& l = PartList().logic;
  RunSelectors sel;
  sel.fromCurrentSmt = l.m_bStartFromCurrentSmt != 0;
  sel.selectedSmt = l.m_bSelectedSmt != 0;
  sel.fromCurrentDis = l.m_bStartFromCurrentDis != 0;
  sel.selectedDis = l.m_bSelectedDis != 0;
  sel.fromCurrentDrill = l.m_bStartFromCurrentDrill != 0;
  sel.selectedDrill = l.m_bSelectedDrill != 0;
  return sel;
}

int ChosenRow(smt::job::RowKind list) { return std::max(PartList().logic.State(list).testRow, 0); }

bool TakeMarksMeasured() {
  int was = 0;
  smt::platform::RunOnGui([&] {
    auto& marks = PartList().coord.marks;
    was = marks.m_bMarkMeasured;
    marks.m_bMarkMeasured = 0;
  });
  return was != 0;
}

double GlueInjectDepth() {
  return smt::settings::SettingsStores::Instance().machine.Basic()->m_Z_DropsGlueToPCBHeight;
}

std::atomic<uint8_t>& SmtBusy() { return PartList().run.m_bSmtThreadBusy; }
std::atomic<uint8_t>& FeedBusy() { return PartList().run.m_bFeedThreadBusy; }
std::atomic<uint8_t>& ConveyorBusy() { return PartList().run.m_bConveyorThreadBusy; }

bool AlignMarks() {
  const auto v = Services().vision.Get();
  return v && v->AlignBoardMarks();
}

bool FlyVisionAvailable() {
  const auto v = Services().vision.Get();
  return v && v->FlyVisionAvailable();
}

}  // namespace smt::run
