#include "run/RunServices.h"

#include <algorithm>

#include "core/LogFile.h"
#include "core/Machine.h"
#include "platform/FileCell.h"
#include "platform/GuiDispatcher.h"
#include "platform/MessageService.h"
#include "settings/SettingsStores.h"
#include "platform/RefusalTexts.h"

namespace smt::run {

// The machine's own: each machine has its services, connected by the shell
// that drives it.
RunServices& Services(smt::Machine& m) { return m.Part<RunServices>(); }

smt::feeder::FeederTable& Feeders(smt::Machine& m) { return smt::feeder::FeederTable::Of(m); }

int CurrentFeederGroup(smt::Machine& m) {
  const smt::feeder::FeederTable& t = Feeders(m);
  return t.CurrentGroup() ? t.CurrentIndex() : -1;
}

bool VisionOriginAfterBoard(smt::Machine& m) {
  const auto basic = smt::settings::SettingsStores::Of(m).machine.Basic();
  if (basic->m_SmtFinishToVisualOrigin == 0 || basic->m_CottectionTimeSmt <= 0) return true;
  return Services(m).visionOriginAfterPlacement();
}

std::string RunText(smt::Machine& m, const std::string& key, const std::string& def) {
  auto& s = Services(m);
  if (s.text) {
    std::string t = s.text(key);
    if (!t.empty()) return t;
  }
  return def;
}

std::array<std::string, 9> FeedModeNames(smt::Machine& m) {
  if (Services(m).feedModeNames) return Services(m).feedModeNames();
  return {"集中飞达", "自动飞达", "振动飞达", "托盘", "0402", "48", "拖针", "CL_浸渍站", "托盘_浸渍站"};
}

std::optional<smt::feeder::FeederRecord> FeederRecordAt(smt::Machine& m, int group, int row) {
  const smt::feeder::FeederTable& t = Feeders(m);
  if (group != t.CurrentIndex()) return std::nullopt;
  const auto r = t.CurrentRow(row);
  if (!r) return std::nullopt;
  if (const smt::platform::FileCellError* e = r->Problem()) {
    // A feeder that cannot be read is not picked from.
    const std::string& number = r->Number();
    CLogFile::Instance().Write(true, "feeder %s refused: %s", number.c_str(), e->what());
    smt::platform::ShowMessage(smt::platform::FillText(smt::platform::WindowText("RunMessagesConfig", "RunMessages.c_FeederUnusable", "料架 \"%1\" 的数值无法读取，不能使用：\"%2\" 的值 \"%3\" 无效 !"), {number, e->field(), e->text()}));
    return std::nullopt;
  }
  return r->Record();
}

void SetFeederFeedCount(smt::Machine& m, int group, int row, int count) {
  smt::feeder::FeederTable& t = Feeders(m);
  if (group == t.CurrentIndex()) t.SetCurrentFeedCount(row, count);
}

void SetFeederQuantity(smt::Machine& m, int group, int row, int quantity) {
  smt::feeder::FeederTable& t = Feeders(m);
  if (group == t.CurrentIndex()) t.SetCurrentQuantity(row, quantity);
}

std::shared_ptr<RunDisplay> Display(smt::Machine& m) { return Services(m).display.Get(); }

void RowState(smt::Machine& m, int row, int image, bool select) {
  if (auto d = Display(m)) d->RowState(smt::job::RowKind::Placement, row, image, select);
}

void ShowRunList(smt::Machine& m, int list) {
  if (auto d = Display(m)) d->ShowList(list);
}

smt::job::PartListData& PartList(smt::Machine& m) { return smt::job::PartListOf(m); }

RunSelectors Selectors(smt::Machine& m) {
  const smt::job::PartListLogic& l = PartList(m).logic;
  RunSelectors sel;
  sel.fromCurrentSmt = l.m_bStartFromCurrentSmt != 0;
  sel.selectedSmt = l.m_bSelectedSmt != 0;
  sel.fromCurrentDis = l.m_bStartFromCurrentDis != 0;
  sel.selectedDis = l.m_bSelectedDis != 0;
  sel.fromCurrentDrill = l.m_bStartFromCurrentDrill != 0;
  sel.selectedDrill = l.m_bSelectedDrill != 0;
  return sel;
}

int ChosenRow(smt::Machine& m, smt::job::RowKind list) { return std::max(PartList(m).logic.State(list).testRow, 0); }

bool TakeMarksMeasured(smt::Machine& m) {
  int was = 0;
  smt::platform::RunOnGui([&] {
    auto& marks = PartList(m).coord.marks;
    was = marks.m_bMarkMeasured;
    marks.m_bMarkMeasured = 0;
  });
  return was != 0;
}

double GlueInjectDepth(smt::Machine& m) {
  return smt::settings::SettingsStores::Of(m).machine.Basic()->m_Z_DropsGlueToPCBHeight;
}

std::atomic<uint8_t>& SmtBusy(smt::Machine& m) { return PartList(m).run.m_bSmtThreadBusy; }
std::atomic<uint8_t>& FeedBusy(smt::Machine& m) { return PartList(m).run.m_bFeedThreadBusy; }
std::atomic<uint8_t>& ConveyorBusy(smt::Machine& m) { return PartList(m).run.m_bConveyorThreadBusy; }

bool AlignMarks(smt::Machine& m) {
  const auto v = Services(m).vision.Get();
  return v && v->AlignBoardMarks();
}

bool FlyVisionAvailable(smt::Machine& m) {
  const auto v = Services(m).vision.Get();
  return v && v->FlyVisionAvailable();
}


}  // namespace smt::run
