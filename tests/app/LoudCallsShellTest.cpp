// On the program as it starts: an operator action whose connection is gone
// does not quietly do nothing. The missing hook is named to the operator and
// the action ends with a failure at the window-event boundary (the guard the
// program's QApplication puts around every event).
#include <functional>
#include <string>
#include <vector>

#include "core/Machine.h"
#include "ShellFixture.h"
#include "feeder/CDialogFeedEdit.h"
#include "feeder/FeederServices.h"
#include "job/CDialogPCBEdit.h"
#include "job/PartListData.h"
#include "job/RunControl.h"
#include "link/LinkRoutes.h"
#include "link/WindowPanels.h"
#include "platform/Hooks.h"

namespace {

// Disconnects a connected hook; the returned function connects it again.
template <class H>
std::function<void()> Unplug(H& hook) {
  EXPECT_TRUE(hook.connected()) << hook.name();
  H saved = hook;
  hook = nullptr;
  return [&hook, saved] { hook = saved; };
}

// Disconnects a connected interface port; the returned function connects it again.
template <class I>
std::function<void()> Unplug(smt::platform::Port<I>& port) {
  EXPECT_TRUE(port.connected()) << port.name();
  I* saved = port.get();
  port.Disconnect();
  return [&port, saved] { port.Connect(saved); };
}

}  // namespace

TEST_F(ShellTest, AnActionWhoseHookIsGoneNamesItAndFails) {
  CMainFrame& f = Start();
  CSMTView& v = *f.view();
  CDialogPartList& list = *v.m_pPartList;
  CDialogPCBEdit& pcb = list.PcbEditor();
  CDialogSetView& camera = *v.m_pSetView;
  ASSERT_NE(v.m_pFeedList, nullptr);
  CDialogFeedEdit* feedEdit = v.m_pFeedList->Editor();
  ASSERT_NE(feedEdit, nullptr);

  struct Case {
    std::string hook;
    std::function<std::function<void()>()> unplug;
    std::function<void()> action;
  };
  const std::vector<Case> cases = {
      {"MarkCameraPanel", [&] { return Unplug(smt::job::PartListOf(smt::CurrentMachine()).camera); },
       [&] { pcb.OnVisualZoomChanged(); }},
      {"MarkCameraPanel", [&] { return Unplug(smt::job::PartListOf(smt::CurrentMachine()).camera); },
       [&] { pcb.OnGetLight(false); }},
      {"PartListView", [&] { return Unplug(list.Logic().view); },
       [&] { list.Logic().OnAdd(smt::job::RowKind::Drill); }},
      {"RunControl.autoTransport", [&] { return Unplug(list.Run().autoTransport); }, [&] { list.Run().OnStop(); }},
      {"JogPanel", [&] { return Unplug(smt::link::JogPanelPortOf(smt::CurrentMachine())); }, [&] { feedEdit->OnJogReleased(); }},
      {"FeederNeighbours", [&] { return Unplug(smt::feeder::FeederNeighboursPort(smt::CurrentMachine())); },
       [&] { feedEdit->OnPackageSelected("0603"); }},
      {"CDialogSetView.neighbours", [&] { return Unplug(camera.neighbours); },
       [&] { camera.OnBnClickedExpand(); }},
      // The link's hand-over after the conveyor width was homed.
      {"LinkWindow", [&] { return Unplug(smt::link::LinkWindowPortOf(smt::CurrentMachine())); }, [] { smt::link::RouteShowConveyorWidth(smt::CurrentMachine()); }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.hook);
    messages.service.Clear();
    const auto plugBack = c.unplug();
    const bool ran = smt::platform::GuardAction("test click", c.action);
    plugBack();
    EXPECT_FALSE(ran);
    const auto texts = messages.service.Texts();
    ASSERT_EQ(texts.size(), 1u);
    EXPECT_EQ(texts[0], smt::platform::UnwiredMessage(c.hook));
  }
}
