// Every dialog of the program that takes numbers, walked field by field on
// the real shell: into each number field the operator types a word, a
// number with trailing letters, one past each end of the field's range and
// a number too large for any field, and presses OK. Each is refused with the
// field's label and its range in the window's language, the dialog stays
// open, and no file of the working directory changes.
//
// The number fields are found, not listed: every enabled line edit of the
// dialog that is not one of the dialog's text fields (named in the table).
// A new number field is walked without a change here; a text field taken
// for a number field shows as a failure naming it.
#include <QAbstractButton>
#include <QAbstractSpinBox>
#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QTimer>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <set>
#include <sstream>

#include "core/Machine.h"
#include "ShellFixture.h"
#include "app/CommandIds.h"
#include "app/DemoWorkdir.h"
#include "feeder/CDialogFeedEdit.h"
#include "feeder/CDialogFeedList.h"
#include "feeder/FeederNames.h"
#include "job/CDialogPartList.h"
#include "job/CSMTDoc.h"
#include "job/JobRows.h"
#include "library/CDialogMarkList.h"
#include "library/CDialogNozzleList.h"
#include "library/CDialogPackList.h"
#include "platform/RangeRefusal.h"
#include "run/CDialogSMTStrategy.h"
#include "settings/CDialogSetBasic.h"
#include "stations/CDialogLampMachineList.h"
#include "vision/CDialogCameraList.h"

namespace {

namespace cmd = smt::app::cmd;
namespace fs = std::filesystem;
using namespace std::chrono_literals;

// How a dialog is reached: `open` runs the operator's command; each step
// acts on the dialog open at its depth to open the next one; the last one
// opened is walked.
struct WalkCase {
  const char* name;
  std::function<void(CMainFrame&)> open;
  std::vector<std::function<void(QDialog&)>> steps = {};
  // The edits that take text, not numbers: object names, or "#n" for the
  // n-th edit (from 0) of one without a name.
  std::set<std::string> textFields = {};
  // Typed first on every opening (a free name the dialog's OK needs).
  std::vector<std::pair<const char*, const char*>> before = {};
  int machineType = 2;
};

std::function<void(CMainFrame&)> Command(int id) {
  return [id](CMainFrame& f) { f.view()->OnCommand(id); };
}
std::function<void(CMainFrame&)> PartListCommand(int id) {
  return [id](CMainFrame& f) { f.view()->m_pPartList->OnCommand(id); };
}
std::function<void(CMainFrame&)> PartListMenu(int id) {
  return [id](CMainFrame& f) { f.view()->m_pPartList->OnMenuCommand(id); };
}
std::function<void(QDialog&)> ClickButton(const char* name) {
  return [name](QDialog& d) {
    if (auto* b = d.findChild<QPushButton*>(name)) b->click();
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

// The operator's typing: the field's text selected and replaced key by key.
void Type(QLineEdit* field, const QString& text) {
  field->setFocus();
  field->selectAll();
  for (QChar c : text) {
    QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, QString(c));
    QApplication::sendEvent(field, &press);
    QKeyEvent release(QEvent::KeyRelease, 0, Qt::NoModifier, QString(c));
    QApplication::sendEvent(field, &release);
  }
}

QAbstractButton* OkOf(QDialog* d) {
  for (auto* box : d->findChildren<QDialogButtonBox*>())
    for (auto* b : box->buttons())
      if (box->buttonRole(b) == QDialogButtonBox::AcceptRole) return b;
  for (const char* t : {"OK", "确定", "确  定"})
    for (auto* b : d->findChildren<QPushButton*>())
      if (b->text() == QString::fromUtf8(t)) return b;
  return nullptr;
}

// The number fields of an open dialog, in the order the dialog made them.
std::vector<QLineEdit*> NumberFields(QDialog& d, const WalkCase& c) {
  std::vector<QLineEdit*> fields;
  int n = -1;
  for (QLineEdit* e : d.findChildren<QLineEdit*>()) {
    if (!e->isVisible() || !e->isEnabled() || e->isReadOnly()) continue;
    if (qobject_cast<QComboBox*>(e->parentWidget()) || qobject_cast<QAbstractSpinBox*>(e->parentWidget())) continue;
    ++n;
    const std::string name = e->objectName().toStdString();
    if (c.textFields.count(name) || c.textFields.count("#" + std::to_string(n))) continue;
    bool typedFirst = false;
    for (const auto& [n, t] : c.before) typedFirst = typedFirst || name == n;
    if (!typedFirst) fields.push_back(e);
  }
  return fields;
}

// Every file of the working directory and what it holds (the day's log aside).
std::map<std::string, std::string> Files(const fs::path& dir) {
  std::map<std::string, std::string> files;
  for (const auto& e : fs::recursive_directory_iterator(dir)) {
    if (!e.is_regular_file()) continue;
    const std::string name = e.path().filename().string();
    if (name.rfind("Logfile", 0) == 0 || (name.size() > 4 && name.compare(name.size() - 4, 4, ".log") == 0)) continue;
    std::ifstream in(e.path(), std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    files[fs::relative(e.path(), dir).string()] = bytes.str();
  }
  return files;
}

std::string Changed(const std::map<std::string, std::string>& a, const std::map<std::string, std::string>& b) {
  std::string out;
  for (const auto& [k, v] : b) {
    if (a.count(k) && a.at(k) == v) continue;
    out += k;
    // The first line that differs, to say what was written.
    if (a.count(k)) {
      std::istringstream x(a.at(k)), y(v);
      for (std::string lx, ly; std::getline(y, ly);)
        if (!std::getline(x, lx) || lx != ly) {
          out += " (\"" + ly.substr(0, 80) + "\")";
          break;
        }
    }
    out += " ";
  }
  for (const auto& [k, v] : a)
    if (!b.count(k)) out += k + " (gone) ";
  return out;
}

// "1e400" is too large for a double; "99999999999" too large for any field.
struct Kind {
  const char* name;
  std::string text;  // empty: made from the range
};

class DialogNumberWalk : public ShellTest {
 protected:
  void SetUp() override {
    ShellTest::SetUp();
    ASSERT_EQ(PrepareAsScriptsRun(), "");
  }

  // Opens the case's dialog and hands it to `act`; closes what is left open.
  bool AtDialog(CMainFrame& f, const WalkCase& c, const std::function<void(QDialog&)>& act) {
    std::vector<QPointer<QDialog>> seen;
    bool reached = false, done = false;
    const auto deadline = std::chrono::steady_clock::now() + 60s;
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
      timer.stop();
      reached = true;
      done = true;
      act(*d);
      if (d->isVisible()) d->reject();
      timer.start();
    });
    timer.start();
    c.open(f);
    timer.stop();
    return reached;
  }

  void TypeBefore(QDialog& d, const WalkCase& c) {
    for (const auto& [name, text] : c.before) {
      auto* e = d.findChild<QLineEdit*>(name);
      ASSERT_NE(e, nullptr) << c.name << ": " << name;
      QString t = QString::fromUtf8(text);
      if (t == "NEW") t += QString::number(++fresh_);
      Type(e, t);
    }
  }

  // Walks every number field of the case in the language now shown;
  // `allKinds` false: only the word, which checks the language.
  void Walk(CMainFrame& f, const WalkCase& c, bool english, bool allKinds, std::string& report) {
    // How many number fields the dialog has, and their names.
    std::vector<std::string> names;
    ASSERT_TRUE(AtDialog(f, c, [&](QDialog& d) {
      for (QLineEdit* e : NumberFields(d, c)) names.push_back(e->objectName().toStdString());
    })) << c.name << ": the dialog did not open";
    report += std::string(c.name) + ": " + std::to_string(names.size()) + " number fields\n";
    for (size_t i = 0; i < names.size(); ++i) {
      SCOPED_TRACE(std::string(c.name) + ", field " + std::to_string(i) + " \"" + names[i] + "\"");
      messages.service.Clear();
      ASSERT_TRUE(AtDialog(f, c, [&](QDialog& d) {
        TypeBefore(d, c);
        const auto fields = NumberFields(d, c);
        ASSERT_EQ(fields.size(), names.size());
        QLineEdit* field = fields[i];
        const std::string label = smt::platform::FieldLabelOf(field);
        ASSERT_FALSE(label.empty()) << "the field has no label";
        QAbstractButton* ok = OkOf(&d);
        ASSERT_NE(ok, nullptr);
        // What OK says about one text typed into the field.
        auto attempt = [&](const std::string& text) -> std::string {
          Type(field, QString::fromStdString(text));
          const auto before = Files(dir.path());
          messages.service.Clear();
          ok->click();
          QApplication::processEvents();
          EXPECT_TRUE(d.isVisible()) << "\"" << text << "\" closed the dialog";
          EXPECT_EQ(Changed(before, Files(dir.path())), "") << "\"" << text << "\" wrote files";
          const auto said = messages.service.Texts();
          EXPECT_FALSE(said.empty()) << "\"" << text << "\" was refused without a word";
          return said.empty() ? std::string() : said.front();
        };
        const std::string word = attempt("ten");
        const std::string head = english ? label + ": please enter a number" : "„" + label + "“: Bitte eine Zahl";
        ASSERT_EQ(word.rfind(head, 0), 0u) << "a word: \"" << word << "\", expected it to start with \"" << head << "\"";
        if (!allKinds) return;
        std::vector<std::string> texts = {"12abc", "1e400"};
        std::smatch m;
        if (std::regex_search(word, m, std::regex("between (\\S+) and (\\S+)\\.$"))) {
          // A field with a range: one past each end, and a number far past both.
          const double lo = std::stod(m[1]), hi = std::stod(m[2]);
          texts.push_back(smt::platform::RangeBoundText(lo - 1));
          texts.push_back(smt::platform::RangeBoundText(hi + 1));
          texts.push_back("99999999999");
        }
        for (const std::string& t : texts) EXPECT_EQ(attempt(t), word) << "typed \"" << t << "\"";
      })) << "the dialog did not open";
    }
  }

  void Run(const std::vector<WalkCase>& cases, int machineType, int commModel = -1) {
    smt::platform::SettingsSection(smt::platform::ConfigPath(dir.str()), "MachineSetConfig")
        .WriteInt("MachineSet", machineType);
    if (commModel >= 0)
      smt::platform::SettingsSection(smt::platform::ConfigPath(dir.str()), "SetBasicConfig")
          .WriteInt("m_CommModel", commModel);
    smt::platform::ClearProfileCache();
    CMainFrame& f = Start();
    f.show();
    ASSERT_TRUE(f.view()->document()->OnOpenDocument(dir / smt::app::kDemoJobName));
    std::string report;
    f.Action(cmd::kLanguageEnglish)->trigger();
    for (const WalkCase& c : cases) Walk(f, c, true, true, report);
    f.Action(cmd::kLanguageGerman)->trigger();
    for (const WalkCase& c : cases) Walk(f, c, false, false, report);
    std::printf("%s", report.c_str());
  }

  int fresh_ = 0;
};

// The dialogs of the two-head machine that take numbers.
TEST_F(DialogNumberWalk, EveryNumberFieldOfEveryDialogRefusesWhatIsNoNumberInItsRange) {
  const std::vector<WalkCase> cases = {
      {"basic settings", Command(cmd::kSetBasic)},
      // The pulse calculator's boxes are read by its own button, not by OK.
      {"axis pulses", Command(cmd::kSetPulse), {}, {"stepAngle", "microsteps", "diameter", "linear", "angle", "check"}},
      {"speed uses", Command(cmd::kSpeedSet), {}, {"#4"}},  // the template's name
      {"high speed template", Command(cmd::kHighSpeedTemplate), {}, {"#4"}},
      {"medium speed template", Command(cmd::kMediumSpeedTemplate), {}, {"#4"}},
      {"low speed template", Command(cmd::kLowSpeedTemplate), {}, {"#4"}},
      {"camera list", Command(cmd::kCameraList)},
      {"camera editor", Command(cmd::kCameraList),
       {On<CDialogCameraList>([](CDialogCameraList& d) {
         d.OnListClick(0);
         d.OnModifyCamera();
       })},
       {"name"}},
      {"nozzle list", Command(cmd::kNozzleList)},
      {"nozzle editor", Command(cmd::kNozzleList),
       {On<CDialogNozzleList>([](CDialogNozzleList& d) {
         d.OnSelectRow(0);
         d.OnModify();
       })},
       {"note"}},
      {"package editor", Command(cmd::kPackData), {On<CDialogPackList>([](CDialogPackList& d) { d.OnPackAdd(); })},
       {"name"}, {{"name", "NEW"}}},
      {"mark editor", Command(cmd::kMarkData), {On<CDialogMarkList>([](CDialogMarkList& d) { d.OnAdd(); })}, {"name"},
       {{"name", "NEW"}}},
      {"auto feeders", Command(cmd::kAutoFeed)},
      {"dipping station", Command(cmd::kDippingStation)},
      {"conveyor", Command(cmd::kAutoTransport)},
      {"origin update", Command(cmd::kSetBasic), {ClickButton("UpdateOrigin")}},
      {"position limit detour", Command(cmd::kSetBasic),
       {On<smt::settings::CDialogSetBasic>([](smt::settings::CDialogSetBasic& d) { d.OnPositionLimitDetour(); })}},
      {"PCB editor", PartListCommand(104), {}, {"c_1092", "c_1093"}},
      {"double mark test", PartListCommand(104), {ClickButton("c_1095")}},
      {"strategy page", PartListCommand(105)},
      // The strategy page's cover-tape button, with the cover switched on.
      {"cover page", PartListCommand(105),
       {On<CDialogSMTStrategy>([](CDialogSMTStrategy& d) {
         if (!d.Button(1458)->isChecked()) d.Button(1458)->click();
         d.OnControl(1459);
       })}},
      // No number field: the search text, and the row and column it shows.
      {"find", PartListCommand(111), {}, {"c_1005"}},
      {"version switches", Command(cmd::kCpuVersionNumber)},
      {"placement editor",
       [](CMainFrame& f) { f.view()->m_pPartList->OnListDoubleClick(smt::job::RowKind::Placement, 0); }, {},
       {"c_1008"}},  // the part's value ("10k")
      {"dispensing editor", PartListMenu(33296), {}, {"c_1133"}},  // the note
      {"feeder editor", [](CMainFrame& f) { f.view()->m_pFeedList->OnAddFeeder(); }, {}, {"value"},
       {{"number", "30"}, {"length", "1.6"}, {"width", "0.8"}}},
      {"tray", [](CMainFrame& f) { f.view()->m_pFeedList->OnAddFeeder(); },
       {On<CDialogFeedEdit>([](CDialogFeedEdit& d) {
         d.Combo("feedMode")->setCurrentText(
             QString::fromStdString(smt::feeder::NameTablesOf(smt::CurrentMachine()).Mode(smt::feeder::kGridBox)));
         d.numberChanged = false;
         d.OnTrayButton();
       })}},
  };
  Run(cases, 2);
}

// The lamp machine's point table and point editor.
TEST_F(DialogNumberWalk, LampMachineDialogs) {
  Run({{"lamp table", Command(cmd::kLampMachineSet)},
       {"lamp point editor", Command(cmd::kLampMachineSet),
        {On<CDialogLampMachineList>([](CDialogLampMachineList& d) { d.OnAdd(); })}}},
      4);
}

// The labeling machine's settings.
TEST_F(DialogNumberWalk, LabelingMachineDialogs) { Run({{"labeling settings", Command(cmd::kLabelingSet)}}, 10); }

// The industrial camera's own page (exposure, gain, gamma, contrast), from
// the camera list, with the simulated industrial cameras fitted.
TEST_F(DialogNumberWalk, IndustrialCameraSettingsPage) {
  setenv("SMT_SIMULATED_CAMERAS", "3", 1);
  Run({{"camera settings page", Command(cmd::kCameraList), {ClickButton("cameraSettings")}}}, 2);
  unsetenv("SMT_SIMULATED_CAMERAS");
}

// The firmware dialog opens in the Ethernet link mode only.
TEST_F(DialogNumberWalk, FirmwareDialog) { Run({{"firmware update", Command(cmd::kFirmwareUpdate)}}, 2, 1); }

// The drilling machine's drill editor.
TEST_F(DialogNumberWalk, DrillingMachineDialogs) { Run({{"drill editor", PartListMenu(33309), {}, {"c_1012"}}}, 9); }

}  // namespace
