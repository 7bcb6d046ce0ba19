// Every window of the program, in each language, on a 1366x768 and a
// 1920x1080 screen: it fits the screen, its controls lie inside it without
// overlapping, and every text fits its control and is no code name. A
// screenshot of each is left under <build>/screenshots/<language>/<screen>/
// for a person to look at.
#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QLabel>
#include <QLayout>
#include <QPointer>
#include <QTableView>
#include <QTimer>
#include <chrono>
#include <cstring>
#include <iostream>
#include <regex>
#include <filesystem>
#include <set>

#include "core/Machine.h"
#include "platform/NumberEdit.h"
#include "LayoutCheck.h"
#include "ModalSteps.h"
#include "ShellFixture.h"
#include "app/CommandIds.h"
#include "app/DemoWorkdir.h"
#include "app/WindowPlacement.h"
#include "feeder/CDialogFeedEdit.h"
#include "feeder/CDialogFeedList.h"
#include "feeder/FeederNames.h"
#include "job/CDialogPartList.h"
#include "job/CToolBarPartControl.h"
#include "job/CSMTDoc.h"
#include "job/JobRows.h"
#include "library/CDialogMarkList.h"
#include "library/CDialogNozzleList.h"
#include "library/CDialogPackList.h"
#include "settings/CDialogSetBasic.h"
#include "stations/CDialogLampMachineList.h"
#include "vision/CDialogCameraList.h"
#include "vision/VisionGlobals.h"
#include <QPushButton>
#include "settings/SettingsStores.h"
#include "link/JogPanelLayout.h"
#include "link/LinkTexts.h"
#include "link/MotionSettings.h"

namespace {

namespace cmd = smt::app::cmd;
namespace fs = std::filesystem;
using namespace std::chrono_literals;
using smt::test::ScreenSize;

constexpr ScreenSize kScreens[] = {{"1366x768", 1366, 768}, {"1920x1080", 1920, 1080}};

struct Language {
  int command;
  const char* name;
};
constexpr Language kLanguages[] = {
    {cmd::kLanguageChinese, "Chinese"}, {cmd::kLanguageEnglish, "English"}, {cmd::kLanguageGerman, "German"}};

fs::path BuildDir() { return fs::canonical("/proc/self/exe").parent_path().parent_path().parent_path(); }

// How a dialog is reached: `open` runs the operator's command on the main
// window; each of `steps` acts on the dialog open at that depth to open the
// next one; the last dialog opened is the one looked at.
struct DialogCase {
  const char* name;
  std::function<void(CMainFrame&)> open;
  std::vector<std::function<void(QDialog&)>> steps = {};
  std::function<void()> before = {};
  std::function<void()> after = {};
};

std::function<void(CMainFrame&)> Command(int id) {
  return [id](CMainFrame& f) { f.view()->OnCommand(id); };
}

class ScreenLayout : public ShellTest {
 protected:
  void SetUp() override {
    // The simulated cameras scripts/run gives the program.
    setenv("SMT_SIMULATED_CAMERAS", "3", 1);
    ShellTest::SetUp();
    ASSERT_EQ(PrepareAsScriptsRun(), "");
  }

  void TearDown() override {
    if (app && app->frame() && app->frame()->view() && app->frame()->view()->m_pSetView)
      app->frame()->view()->m_pSetView->CloseCameras();
    ShellTest::TearDown();
    unsetenv("SMT_SIMULATED_CAMERAS");
  }

  void Settle() {
    for (int i = 0; i < 3; ++i) QApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
  }

  // Lays `window` out as `screen` shows it, checks it and leaves its picture.
  void Look(QWidget& window, const ScreenSize& screen, const std::string& language, const std::string& name,
            bool maximized) {
    window.resize(maximized ? smt::test::AvailableClientSize(screen) : smt::test::FirstShownSize(window, screen));
    if (window.layout()) window.layout()->activate();
    Settle();
    for (auto& p : smt::test::CheckWindowLayout(window, screen, language + " " + screen.name + " " + name))
      problems.push_back(p);
    const fs::path out = BuildDir() / "screenshots" / language / screen.name;
    fs::create_directories(out);
    window.grab().save(QString::fromStdString((out / (name + ".png")).string()));
  }

  // Opens the case's dialog through the program and looks at it on every
  // screen. Every dialog that appears is closed; nothing waits without end.
  void LookAtDialog(CMainFrame& f, const DialogCase& c, const std::string& language) {
    if (c.before) c.before();
    std::vector<QPointer<QDialog>> seen;
    bool looked = false;
    bool done = false;
    const auto deadline = std::chrono::steady_clock::now() + 5s;
    QTimer timer;
    timer.setInterval(5);
    QObject::connect(&timer, &QTimer::timeout, [&] {
      if (std::chrono::steady_clock::now() > deadline) done = true;
      QWidget* m = QApplication::activeModalWidget();
      if (!m) return;
      auto* d = qobject_cast<QDialog*>(m);
      if (!d) {
        m->close();
        return;
      }
      if (done) {
        d->reject();
        return;
      }
      if (std::find(seen.begin(), seen.end(), d) != seen.end()) return;
      seen.emplace_back(d);
      const size_t depth = seen.size() - 1;
      if (depth < c.steps.size()) {
        QTimer::singleShot(0, d, [d, step = c.steps[depth]] { step(*d); });
        return;
      }
      for (const ScreenSize& s : kScreens) Look(*d, s, language, c.name, false);
      looked = true;
      done = true;
      d->reject();
    });
    timer.start();
    c.open(f);
    timer.stop();
    if (c.after) c.after();
    if (!looked) problems.push_back(language + " " + c.name + ": the dialog did not open (" + Messages() + ")");
    messages.service.Clear();
  }

  std::string Messages() {
    std::string t;
    for (const auto& m : messages.service.Texts()) t += m + " | ";
    return t;
  }

  std::vector<std::string> problems;
};

std::function<void(CMainFrame&)> PartListCommand(int id) {
  return [id](CMainFrame& f) { f.view()->m_pPartList->OnCommand(id); };
}

// A command of the part list's right-click menus.
std::function<void(CMainFrame&)> PartListMenu(int id) {
  return [id](CMainFrame& f) { f.view()->m_pPartList->OnMenuCommand(id); };
}

std::function<void(QDialog&)> ClickButton(const char* name) {
  return [name](QDialog& d) {
    auto* b = d.findChild<QPushButton*>(name);
    if (b) b->click();
    else ADD_FAILURE() << "no button " << name << " in " << d.metaObject()->className();
  };
}

template <class Dialog>
std::function<void(QDialog&)> On(std::function<void(Dialog&)> act) {
  return [act](QDialog& d) {
    if (auto* x = qobject_cast<Dialog*>(&d)) act(*x);
    else ADD_FAILURE() << "expected " << Dialog::staticMetaObject.className() << ", found " << d.metaObject()->className();
  };
}

std::vector<DialogCase> Dialogs(smt::test::TempDir& dir) {
  auto setLinkMode = [&dir](int mode) {
    return [&dir, mode] {
      smt::platform::SettingsSection(smt::platform::ConfigPath(dir.str()), "SetBasicConfig").WriteInt("m_CommModel", mode);
      smt::settings::SettingsStores::Of(smt::CurrentMachine()).machine.LoadAll(dir.str());
    };
  };
  std::vector<DialogCase> cases = {
      {"SetBasic", Command(cmd::kSetBasic)},
      {"SetPulse", Command(cmd::kSetPulse)},
      {"SpeedSet", Command(cmd::kSpeedSet)},
      {"HighSpeedTemplate", Command(cmd::kHighSpeedTemplate)},
      {"MediumSpeedTemplate", Command(cmd::kMediumSpeedTemplate)},
      {"LowSpeedTemplate", Command(cmd::kLowSpeedTemplate)},
      {"CameraList", Command(cmd::kCameraList)},
      {"NozzleList", Command(cmd::kNozzleList)},
      {"PackData", Command(cmd::kPackData)},
      {"MarkData", Command(cmd::kMarkData)},
      {"OftenData", Command(cmd::kOftenData)},
      {"FeedGroup", Command(cmd::kFeedGroup)},
      {"AutoFeed", Command(cmd::kAutoFeed)},
      {"DippingStation", Command(cmd::kDippingStation)},
      {"AutoTransport", Command(cmd::kAutoTransport)},
      {"LabelingSet", Command(cmd::kLabelingSet)},
      {"CpuVersionNumber", Command(cmd::kCpuVersionNumber)},
      {"FirmwareUpdate", Command(cmd::kFirmwareUpdate), {}, setLinkMode(1), setLinkMode(0)},
      {"LampMachineSet", Command(cmd::kLampMachineSet), {}, [] { smt::CurrentMachine().machineType = 4; }, [] { smt::CurrentMachine().machineType = 2; }},
      // Dialogs opened from the panels and from other dialogs.
      {"PcbEdit", PartListCommand(104)},
      {"ImportFile", PartListCommand(104), {ClickButton("c_1084")}},
      {"DoubleMarkTest", PartListCommand(104), {ClickButton("c_1095")}},
      {"Strategy", PartListCommand(105)},
      {"Find", PartListCommand(111)},
      {"PartEditSmt", [](CMainFrame& f) { f.view()->m_pPartList->OnListDoubleClick(smt::job::RowKind::Placement, 0); }},
      {"FeedEdit", [](CMainFrame& f) {
         f.view()->m_pFeedList->SelectRow(0, true);
         f.view()->m_pFeedList->OnEditFeeder(false);
       }},
      {"FeedAdd", [](CMainFrame& f) { f.view()->m_pFeedList->OnAddFeeder(); }},
      {"NozzleEdit", Command(cmd::kNozzleList), {On<CDialogNozzleList>([](CDialogNozzleList& d) {
         d.OnSelectRow(0);
         d.OnModify();
       })}},
      {"PackEdit", Command(cmd::kPackData), {On<CDialogPackList>([](CDialogPackList& d) { d.OnPackAdd(); })}},
      {"MarkEdit", Command(cmd::kMarkData), {On<CDialogMarkList>([](CDialogMarkList& d) { d.OnAdd(); })}},
      {"CameraEdit", Command(cmd::kCameraList), {On<CDialogCameraList>([](CDialogCameraList& d) {
         d.OnListClick(0);
         d.OnModifyCamera();
       })}},
      {"PositionLimitDetour", Command(cmd::kSetBasic),
       {On<smt::settings::CDialogSetBasic>([](smt::settings::CDialogSetBasic& d) { d.OnPositionLimitDetour(); })}},
      {"PartEditDis", PartListMenu(33296)},  // the dispensing list's "add part"
      {"PartEditDrill", PartListMenu(33309), {}, [] { smt::CurrentMachine().machineType = 9; }, [] { smt::CurrentMachine().machineType = 2; }},
      {"OriginUpdate", Command(cmd::kSetBasic),
       {ClickButton("UpdateOrigin")}},
      {"GridBox", [](CMainFrame& f) { f.view()->m_pFeedList->OnAddFeeder(); },
       {On<CDialogFeedEdit>([](CDialogFeedEdit& d) {
         d.Combo("feedMode")->setCurrentText(
             QString::fromStdString(smt::feeder::NameTablesOf(smt::CurrentMachine()).Mode(smt::feeder::kGridBox)));
         d.numberChanged = false;
         d.OnTrayButton();
       })}},
      // The industrial cameras' own settings page, from the camera list once they are open.
      {"CameraSettingsPage",
       [](CMainFrame& f) {
         ASSERT_EQ(smt::CurrentMachine().camera.highSpeedCamera.load(), 1);
         f.view()->OnCommand(cmd::kCameraList);
       },
       {On<CDialogCameraList>([](CDialogCameraList& d) { d.OnCameraSettings(); })}},
      {"LampMachineEdit", Command(cmd::kLampMachineSet),
       {On<CDialogLampMachineList>([](CDialogLampMachineList& d) { d.OnAdd(); })}, [] { smt::CurrentMachine().machineType = 4; },
       [] { smt::CurrentMachine().machineType = 2; }},
  };
  return cases;
}

// Layout faults that are known and still open, each with the reason it is
// not fixed yet. A problem matching one is reported, not failed; any other
// problem fails the test.
struct KnownOpen {
  const char* window;
  const char* pattern;
  const char* reason;
};
const std::vector<KnownOpen> kKnownOpen = {};

bool IsKnownOpen(const std::string& problem) {
  for (const KnownOpen& k : kKnownOpen) {
    const auto at = problem.find(' ', problem.find(' ') + 1);  // after "<language> <screen>"
    if (problem.compare(at + 1, std::strlen(k.window), k.window) == 0 &&
        std::regex_search(problem, std::regex(k.pattern)))
      return true;
  }
  return false;
}

// The commands of the table above that open a registered dialog.
std::set<int> TableCommands() {
  return {cmd::kSetBasic, cmd::kSetPulse, cmd::kSpeedSet, cmd::kHighSpeedTemplate, cmd::kMediumSpeedTemplate,
          cmd::kLowSpeedTemplate, cmd::kCameraList, cmd::kNozzleList, cmd::kPackData, cmd::kMarkData,
          cmd::kOftenData, cmd::kFeedGroup, cmd::kAutoFeed, cmd::kDippingStation, cmd::kAutoTransport,
          cmd::kLabelingSet, cmd::kCpuVersionNumber, cmd::kFirmwareUpdate, cmd::kLampMachineSet};
}

TEST_F(ScreenLayout, EveryWindowFitsAndReadsOnBothScreensInEachLanguage) {
  CMainFrame& f = Start();
  f.show();
  ASSERT_TRUE(f.view()->document()->OnOpenDocument(dir / smt::app::kDemoJobName));
  // The table names every dialog a command opens.
  const std::set<int> listed = TableCommands();
  for (int id : f.view()->RegisteredDialogCommands()) EXPECT_TRUE(listed.count(id)) << "command " << id << " is not in the table";

  const auto cases = Dialogs(dir);
  for (const Language& lang : kLanguages) {
    f.Action(lang.command)->trigger();
    ASSERT_EQ(f.m_strLanguage, lang.name);
    Settle();
    for (const ScreenSize& s : kScreens) {
      Look(f, s, lang.name, "MainWindow-PartList", true);
      // The jog panel lies below the camera panel, often scrolled out of the picture.
      f.view()->m_pManualControl->grab().save(
          QString::fromStdString((BuildDir() / "screenshots" / lang.name / s.name / "JogPanel.png").string()));
    }
    f.view()->OnCommand(cmd::kShowFeedList);
    for (const ScreenSize& s : kScreens) Look(f, s, lang.name, "MainWindow-FeedList", true);
    f.view()->OnCommand(cmd::kShowPartList);
    for (const DialogCase& c : cases) LookAtDialog(f, c, lang.name);
  }
  std::string failed, known;
  int failures = 0;
  for (const auto& p : problems) {
    if (IsKnownOpen(p)) {
      known += p + "\n";
    } else {
      failed += p + "\n";
      ++failures;
    }
  }
  if (!known.empty()) std::cout << "Known open layout faults:\n" << known;
  EXPECT_EQ(failures, 0) << failed;
}

}  // namespace

namespace {

// The jog panel on every machine type, with and
// without the conveyor, on both head banks of the eight-head machines, and
// with every text of the connect button, in each language on the smaller
// screen: everything fits and reads.
TEST_F(ScreenLayout, JogPanelFitsEveryMachineTypeInEachLanguage) {
  CMainFrame& f = Start();
  f.show();
  CDialogManualControl& jog = *f.view()->m_pManualControl;
  auto* connect = static_cast<QPushButton*>(jog.Control(smt::link::jogid::kConnect));
  const ScreenSize& screen = kScreens[0];
  f.resize(smt::test::AvailableClientSize(screen));
  for (const Language& lang : kLanguages) {
    f.Action(lang.command)->trigger();
    ASSERT_EQ(f.m_strLanguage, lang.name);
    const smt::link::LinkTexts texts = smt::link::LinkTextsOf(smt::CurrentMachine());
    for (int type = 0; type <= 10; ++type)
      for (bool conveyor : {false, true}) {
        smt::link::UpdateMotionSettings(smt::CurrentMachine(), [conveyor](smt::link::MotionSettings& m) { m.autoTransport = conveyor; });
        // What the Help menu's machine type does to the panel (without saving the choice each time).
        smt::CurrentMachine().machineType = type;
        f.view()->LayoutJogPanelForMachineType();
        for (int bank : {1, 2}) {
          if (bank == 2) {
            if (type != 7 && type != 8) continue;
            jog.OnHeadGroup();
          }
          const std::string name =
              "JogPanel-type" + std::to_string(type) + (conveyor ? "-conveyor" : "") + (bank == 2 ? "-bank2" : "");
          // The connect button's texts once per language: its row is the same on every type.
          std::vector<std::string> shown = {texts.online};
          if (type == 7 && bank == 1 && !conveyor)
            shown = {texts.online, texts.onlining, texts.onlineError, texts.onlineSuccessful};
          for (const std::string& t : shown) {
            connect->setText(QString::fromStdString(t));
            Settle();
            for (auto& p : smt::test::CheckWindowLayout(jog, screen, std::string(lang.name) + " " + screen.name + " " + name))
              problems.push_back(p);
          }
          jog.grab().save(QString::fromStdString(
              (BuildDir() / "screenshots" / lang.name / screen.name / (name + ".png")).string()));
        }
      }
    smt::link::UpdateMotionSettings(smt::CurrentMachine(), [](smt::link::MotionSettings& m) { m.autoTransport = false; });
    smt::CurrentMachine().machineType = 2;
    f.view()->LayoutJogPanelForMachineType();
    connect->setText(QString::fromStdString(texts.online));
  }
  std::string failed;
  for (const auto& p : problems) failed += p + "\n";
  EXPECT_TRUE(problems.empty()) << failed;
}

}  // namespace

namespace {

// The PCB editor's take buttons say in each language what they take, and
// each stands on the row of the box it fills, right of it; the boxes of
// lengths show "mm" and every Mark box has its own label with the axis.
TEST_F(ScreenLayout, PcbEditorTakeButtonsSayWhatTheyTakeBesideTheirBoxes) {
  enum Source { Nozzle, Camera, FromZero };
  const char* const kTexts[3][3] = {{"取吸嘴位置", "取相机位置", "取距零点"},
                                    {"From nozzle", "From camera", "From zero"},
                                    {"Von Düse", "Von Kamera", "Ab Nullpunkt"}};
  struct Take {
    int button;
    Source source;
    const char* box;
  };
  const Take takes[] = {{1361, FromZero, "c_1101"}, {1362, FromZero, "c_1102"}, {1233, Nozzle, "c_1103"},
                        {1011, Camera, "c_1103"},   {1234, Nozzle, "c_1104"},   {1012, Camera, "c_1104"},
                        {1019, Camera, "c_1106"},   {1020, Camera, "c_1107"},   {1025, Camera, "c_1108"},
                        {1026, Camera, "c_1109"},   {1022, Camera, "c_1112"},   {1024, Camera, "c_1113"},
                        {1027, Camera, "c_1114"},   {1028, Camera, "c_1115"}};
  const std::pair<const char*, const char*> markLabels[] = {
      {"c_1106", "Mark1 X"}, {"c_1107", "Mark1 Y"}, {"c_1108", "Mark2 X"}, {"c_1109", "Mark2 Y"}};
  CMainFrame& f = Start();
  f.show();
  ASSERT_TRUE(f.view()->document()->OnOpenDocument(dir / smt::app::kDemoJobName));
  for (int l = 0; l < 3; ++l) {
    f.Action(kLanguages[l].command)->trigger();
    bool looked = false;
    const DialogCase inspect{"PcbEdit", PartListCommand(104), {[&](QDialog& d) {
      looked = true;
      d.layout()->activate();
      for (const Take& t : takes) {
        auto* b = d.findChild<QPushButton*>(QString("c_%1").arg(t.button));
        auto* box = d.findChild<smt::platform::NumberEdit*>(t.box);
        ASSERT_TRUE(b && box) << t.button;
        EXPECT_EQ(b->text().toStdString(), kTexts[l][t.source]) << kLanguages[l].name << " " << t.button;
        const QRect br(b->mapTo(&d, QPoint(0, 0)), b->size()), xr(box->mapTo(&d, QPoint(0, 0)), box->size());
        // The unit stands right of the box, before the button.
        bool unit = false;
        for (auto* lab : d.findChildren<QLabel*>()) {
          const QRect lr(lab->mapTo(&d, QPoint(0, 0)), lab->size());
          if (lab->isVisible() && lab->text() == "mm" && lr.left() >= xr.right() && lr.right() <= br.left() &&
              lr.center().y() > xr.top() && lr.center().y() < xr.bottom())
            unit = true;
        }
        EXPECT_TRUE(unit) << "no unit \"mm\" right of " << t.box;
        EXPECT_TRUE(br.center().y() > xr.top() && br.center().y() < xr.bottom()) << t.button << " not on the row of " << t.box;
        EXPECT_GT(br.left(), xr.right()) << t.button << " not right of " << t.box;
        // No other box stands between the box and its button.
        for (auto* other : d.findChildren<smt::platform::NumberEdit*>()) {
          const QRect o(other->mapTo(&d, QPoint(0, 0)), other->size());
          if (other != box && o.intersects(QRect(xr.right(), br.top(), br.left() - xr.right(), br.height())))
            ADD_FAILURE() << other->objectName().toStdString() << " lies between " << t.box << " and " << t.button;
        }
      }
      for (const auto& [boxName, label] : markLabels) {
        auto* box = d.findChild<smt::platform::NumberEdit*>(boxName);
        const QRect xr(box->mapTo(&d, QPoint(0, 0)), box->size());
        bool found = false;
        for (auto* lab : d.findChildren<QLabel*>()) {
          const QRect lr(lab->mapTo(&d, QPoint(0, 0)), lab->size());
          if (lab->isVisible() && lab->text() == label && lr.right() < xr.left() && lr.center().y() > xr.top() &&
              lr.center().y() < xr.bottom())
            found = true;
        }
        EXPECT_TRUE(found) << "no label '" << label << "' left of " << boxName;
      }
      d.reject();
    }}};
    smt::test::RunWithModalSteps([&] { inspect.open(f); },
                                 {[&](QWidget& w) { inspect.steps[0](*qobject_cast<QDialog*>(&w)); }});
    EXPECT_TRUE(looked) << kLanguages[l].name;
  }
}

}  // namespace

namespace {

// The main window as it first opens on a 1366x768 and a 1920x1080 screen, in
// each language: it fits the screen, and connect, home, every jog control
// the machine type shows (pad, positions, pumps, counters), the information
// boxes, the camera buttons and picture, the part list and every button of
// its toolbar (none in the overflow menu) are in sight without scrolling.
TEST_F(ScreenLayout, FirstScreenShowsEveryNamedControlAndInformationBoxWithoutScrolling) {
  CMainFrame& f = Start();
  f.show();
  ASSERT_TRUE(f.view()->document()->OnOpenDocument(dir / smt::app::kDemoJobName));
  CDialogManualControl& jog = *f.view()->m_pManualControl;
  auto& bar = f.view()->m_pPartList->ToolBar();
  for (const Language& lang : kLanguages) {
    f.Action(lang.command)->trigger();
    ASSERT_EQ(f.m_strLanguage, lang.name);
    for (const ScreenSize& s : kScreens) {
      const QRect available(0, 0, s.width, s.height - smt::test::kTaskBarHeight);
      const smt::app::FirstPlacement p =
          smt::app::PlaceMainWindow(smt::app::kMainWindowSize, available, smt::app::kAssumedWindowFrame);
      EXPECT_TRUE(available.contains(p.client.marginsAdded(smt::app::kAssumedWindowFrame)))
          << lang.name << " " << s.name;
      f.resize(p.client.size());
      if (f.layout()) f.layout()->activate();
      Settle();
      const std::string where = std::string(lang.name) + " " + s.name + " first screen";
      for (auto& problem : smt::test::CheckWindowLayout(f, s, where)) problems.push_back(problem);
      struct Seen { std::string what; QWidget* widget; };
      std::vector<Seen> seen = {Seen{"connect", jog.Control(smt::link::jogid::kConnect)},
                                Seen{"home", jog.Control(smt::link::jogid::kReset)},
                                Seen{"information box", jog.Control(smt::link::jogid::kInfo)},
                                Seen{"part list", f.view()->m_pPartList->PlacementView()}};
      // Every control of the jog panel the machine type shows: the pad, the
      // positions, the pumps, the counters, the second information box.
      for (int id : smt::link::JogPanelControlIds())
        if (QWidget* w = jog.Control(id); w && w->isVisibleTo(&jog))
          seen.push_back({"jog control " + std::to_string(id), w});
      for (const char* name : {"markCamera", "visualCamera1", "visualCamera2", "liveView"})
        seen.push_back({std::string("camera panel ") + name, f.view()->m_pSetView->findChild<QWidget*>(name)});
      // Every button of the part list's toolbar, none pushed into its overflow menu.
      for (int id = CToolBarPartControl::kFirstCommand;
           id < CToolBarPartControl::kFirstCommand + CToolBarPartControl::kButtonCount; ++id) {
        QWidget* w = bar.widgetForAction(bar.Button(id));
        seen.push_back({"toolbar " + bar.Button(id)->text().toStdString(), w});
      }
      for (const Seen& c : seen) {
        const std::string why = smt::test::WhyNotInSight(c.widget, f);
        if (!why.empty()) problems.push_back(where + ": " + c.what + " not in sight: " + why);
      }
      f.grab().save(QString::fromStdString((BuildDir() / "screenshots" / lang.name / s.name / "FirstScreen.png").string()));
    }
  }
  std::string failed;
  for (const auto& p : problems) failed += p + "\n";
  EXPECT_TRUE(problems.empty()) << failed;
}

}  // namespace
