// The detour bounds and the two-mark test's positions take one range, the
// machine's configured travel along their axis, in the dialog and in the
// reader at start-up: a value the dialog's OK keeps comes back after a
// restart, and one beyond the travel is refused at OK with a message that
// names the field (its axis too) and the range. Driven through the shell on
// a machine of 1500 x 1200 mm travel.
#include <QDialog>
#include <QLineEdit>
#include <QPushButton>
#include <filesystem>

#include "core/Machine.h"
#include "ModalSteps.h"
#include "ShellFixture.h"
#include "app/CommandIds.h"
#include "app/DemoWorkdir.h"
#include "job/CDialogPartList.h"
#include "job/CSMTDoc.h"
#include "library/DoubleMarkTest.h"
#include "platform/ReadRefusals.h"
#include "settings/CDialogSetBasic.h"
#include "settings/SettingsStores.h"

namespace {

namespace fs = std::filesystem;
using smt::test::ModalStep;
using smt::test::RunWithModalSteps;

class TravelRange : public ShellTest {
 protected:
  void SetUp() override {
    ShellTest::SetUp();
    ASSERT_EQ(PrepareAsScriptsRun(), "");
    const smt::platform::SettingsSection basic(smt::platform::ConfigPath(dir.str()), "SetBasicConfig");
    basic.WriteDouble("m_X_Limit", 1500);
    basic.WriteDouble("m_Y_Limit", -1200);
    basic.Flush();
    smt::platform::ClearProfileCache();
  }

  CMainFrame& Restart() {
    app->ExitInstance();
    app.reset();
    smt::platform::ClearProfileCache();
    return Start();
  }

  // Types `values` into the dialog's fields (by name) and presses OK;
  // returns whether the dialog closed and what was said.
  struct OkResult {
    bool closed = false;
    std::vector<std::string> said;
  };
  OkResult TypeAndOk(QDialog& d, const std::vector<std::pair<std::string, std::string>>& values) {
    messages.service.Clear();
    for (const auto& [name, text] : values) {
      auto* e = d.findChild<QLineEdit*>(QString::fromStdString(name));
      if (!e) {
        ADD_FAILURE() << "no field " << name;
        return {};
      }
      e->setText(QString::fromStdString(text));
    }
    d.accept();
    return {!d.isVisible(), messages.service.Texts()};
  }
};

bool Names(const std::vector<std::string>& said, const std::string& what) {
  return said.size() == 1 && said[0].find(what) != std::string::npos;
}

TEST_F(TravelRange, DetourBoundsBeyondAThousandMillimetresWithinTheTravelAreKeptAndBeyondItRefused) {
  Start();
  std::vector<OkResult> results;
  const std::vector<ModalStep> steps = {
      [](QWidget& w) {
        static_cast<smt::settings::CDialogSetBasic&>(w).OnPositionLimitDetour();
        static_cast<QDialog&>(w).reject();
      },
      [&](QWidget& w) {
        auto& d = static_cast<QDialog&>(w);
        // Beyond the travel along X, then along Y, then all within it.
        results.push_back(TypeAndOk(d, {{"m_W_S_LessPosition_dX", "1600"}}));
        results.push_back(TypeAndOk(d, {{"m_W_S_LessPosition_dX", "1400"}, {"m_E_S_LessPosition_dY", "-1300"}}));
        results.push_back(TypeAndOk(d, {{"m_E_S_LessPosition_dY", "-1150"}, {"m_E_S_Detour_dX", "-1499.5"}}));
        if (d.isVisible()) d.reject();
      },
  };
  RunWithModalSteps([&] { app->frame()->view()->OnCommand(smt::app::cmd::kSetBasic); }, steps);
  ASSERT_EQ(results.size(), 3u);
  EXPECT_FALSE(results[0].closed);
  EXPECT_TRUE(Names(results[0].said, "1500")) << (results[0].said.empty() ? "" : results[0].said[0]);
  EXPECT_FALSE(results[1].closed);
  EXPECT_TRUE(Names(results[1].said, "1200")) << (results[1].said.empty() ? "" : results[1].said[0]);
  EXPECT_TRUE(results[2].closed) << (results[2].said.empty() ? "" : results[2].said[0]);

  // The next start reads what the OK kept.
  smt::platform::ForgetReadRefusals();
  Restart();
  const auto d = smt::settings::SettingsStores::Of(smt::CurrentMachine()).machine.Detour();
  EXPECT_EQ(d->m_W_S_LessPosition_dX, 1400);
  EXPECT_EQ(d->m_E_S_LessPosition_dY, -1150);
  EXPECT_EQ(d->m_E_S_Detour_dX, -1499.5);
  EXPECT_TRUE(smt::platform::ReadRefusalsSoFar().empty());
}

TEST_F(TravelRange, TwoMarkFieldsBeyondAThousandWithinTheTravelAreKeptAndARefusalNamesTheAxis) {
  CMainFrame& f = Start();
  ASSERT_TRUE(f.view()->document()->OnOpenDocument(dir / smt::app::kDemoJobName));
  std::vector<OkResult> results;
  const std::vector<ModalStep> steps = {
      [](QWidget& w) {
        if (auto* b = w.findChild<QPushButton*>("c_1095")) b->click();
        else ADD_FAILURE() << "no two-mark button";
        static_cast<QDialog&>(w).reject();
      },
      [&](QWidget& w) {
        auto& d = static_cast<QDialog&>(w);
        results.push_back(TypeAndOk(d, {{"m_Mark1_X", "100"}, {"m_Mark2_X", "1400"}, {"m_Mark2_Y", "-1250"}}));
        results.push_back(TypeAndOk(d, {{"m_Mark2_Y", "-1100"}, {"m_Coordinate_X", "1600"}}));
        results.push_back(TypeAndOk(d, {{"m_Coordinate_X", "1200"}}));
        if (d.isVisible()) d.reject();
      },
  };
  RunWithModalSteps([&] { f.view()->m_pPartList->OnCommand(104); }, steps);
  ASSERT_EQ(results.size(), 3u);
  EXPECT_FALSE(results[0].closed);
  EXPECT_TRUE(Names(results[0].said, "Mark2 Y")) << (results[0].said.empty() ? "" : results[0].said[0]);
  EXPECT_TRUE(Names(results[0].said, "1200"));
  EXPECT_FALSE(results[1].closed);
  EXPECT_TRUE(Names(results[1].said, " X")) << (results[1].said.empty() ? "" : results[1].said[0]);
  EXPECT_TRUE(Names(results[1].said, "1500"));
  EXPECT_TRUE(results[2].closed) << (results[2].said.empty() ? "" : results[2].said[0]);

  smt::platform::ForgetReadRefusals();
  Restart();
  const auto& m = smt::library::TheDoubleMarkTest(smt::CurrentMachine());
  EXPECT_EQ(m.m_Mark2_X, 1400);
  EXPECT_EQ(m.m_Mark2_Y, -1100);
  EXPECT_EQ(m.m_Coordinate_X, 1200);
  EXPECT_TRUE(smt::platform::ReadRefusalsSoFar().empty());
}

}  // namespace
