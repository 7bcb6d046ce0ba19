// Every text the operator reads in English and German: the language is
// switched through the Help menu of the real shell, then every widget of the
// main window and of every dialog that opens without a machine is read. No
// text may still hold Chinese characters, no label may show a code
// name (m_..., c_...), and no German text may be the English one of the
// same place (the toolbar's "Pcb Edit" left in English, say).
#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QRegularExpression>
#include <QStatusBar>
#include <QTabBar>
#include <QTabWidget>
#include <QTableWidget>
#include <QTimer>
#include <QToolButton>
#include <QTreeWidget>
#include <filesystem>
#include <map>
#include <set>

#include "ShellFixture.h"
#include "app/CommandIds.h"
#include "app/DemoWorkdir.h"
#include "feeder/CDialogFeedEdit.h"
#include "feeder/CDialogFeedGroup.h"
#include "feeder/FeederNames.h"
#include <QPushButton>
#include "job/CDialogPCBEdit.h"
#include "core/Machine.h"
#include "library/LibraryLists.h"
#include "vision/CDialogCameraList.h"
#include "job/CDialogPartEditSmt.h"
#include "job/CSMTDoc.h"
#include "platform/RangeRefusal.h"
#include "settings/BasicSettings.h"

namespace {

namespace cmd = smt::app::cmd;
namespace fs = std::filesystem;

bool HasChinese(const QString& s) {
  for (QChar c : s) {
    const char16_t u = c.unicode();
    // Ideographs and the Chinese punctuation marks. Full-width ASCII forms
    // ("：") are not counted: the English panel texts use them too.
    if ((u >= 0x4E00 && u <= 0x9FFF) || (u >= 0x3400 && u <= 0x4DBF) || (u >= 0x3001 && u <= 0x303F)) return true;
  }
  return false;
}

bool IsCodeName(const QString& s) {
  static const QRegularExpression code(QStringLiteral(R"((^|[^A-Za-z0-9_])(m_[A-Za-z0-9_]+|c_[A-Za-z0-9_]+|[A-Za-z]+\.c_[A-Za-z0-9_]+)($|[^A-Za-z0-9_]))"));
  return code.match(s).hasMatch();
}

// Where Chinese may stay in every language: nowhere (the drill list's
// column titles, once built in, now come from the language files).
bool Excepted(const std::string&) { return false; }

struct Reader {
  std::string language;
  std::vector<std::string> findings;
  std::set<std::string> seen;

  // Every text read, by where it stands; places without a name of their
  // own (the toolbar's buttons) are told apart by their order in the walk.
  std::map<std::string, QString> shown;
  std::map<std::string, int> times;

  void Check(const QString& text, const std::string& where, bool label) {
    if (text.isEmpty() || Excepted(where)) return;
    shown.emplace(where + " #" + std::to_string(times[where]++), text);
    std::string problem;
    if (HasChinese(text)) problem = "Chinese";
    else if (label && IsCodeName(text)) problem = "code name";
    if (problem.empty()) return;
    const std::string line = language + " | " + where + " | " + problem + " | " + text.toStdString();
    if (seen.insert(line).second) findings.push_back(line);
  }

  static std::string Where(const QWidget* w) {
    std::string path;
    for (const QObject* o = w; o; o = o->parent()) {
      std::string name = o->objectName().toStdString();
      if (name.empty()) name = o->metaObject()->className();
      path = path.empty() ? name : name + "/" + path;
      if (o->isWidgetType() && static_cast<const QWidget*>(o)->isWindow()) break;
    }
    return path;
  }

  void Menu(QMenu* menu, const std::string& where) {
    if (!menu) return;
    emit menu->aboutToShow();
    Check(menu->title(), where, true);
    for (QAction* a : menu->actions()) {
      if (a->isSeparator() || !a->isVisible()) continue;
      Check(a->text(), where + " > " + a->text().toStdString(), true);
      if (a->menu()) Menu(a->menu(), where + " > " + a->text().toStdString());
    }
  }

  // The window's own widgets; other windows it owns (dialogs not open now)
  // are read when they are opened.
  static void Collect(QWidget* w, std::vector<QWidget*>& out) {
    out.push_back(w);
    for (QObject* o : w->children())
      if (auto* c = qobject_cast<QWidget*>(o); c && !c->isWindow()) Collect(c, out);
  }

  std::set<std::string> windows;  // class names of the windows read

  void Widget(QWidget* root) {
    windows.insert(root->metaObject()->className());
    std::vector<QWidget*> all;
    Collect(root, all);
    for (QWidget* w : all) {
      const std::string where = Where(w);
      if (w->isWindow()) Check(w->windowTitle(), where + " (title)", true);
      if (auto* l = qobject_cast<QLabel*>(w)) Check(l->text(), where, true);
      if (auto* b = qobject_cast<QAbstractButton*>(w)) Check(b->text(), where, true);
      if (auto* g = qobject_cast<QGroupBox*>(w)) Check(g->title(), where, true);
      if (auto* e = qobject_cast<QLineEdit*>(w)) Check(e->placeholderText(), where + " (placeholder)", true);
      if (auto* c = qobject_cast<QComboBox*>(w))
        for (int i = 0; i < c->count(); ++i) Check(c->itemText(i), where + " (item)", false);
      if (auto* t = qobject_cast<QTabBar*>(w))
        for (int i = 0; i < t->count(); ++i) Check(t->tabText(i), where + " (tab)", true);
      if (auto* h = qobject_cast<QHeaderView*>(w); h && h->model())
        for (int i = 0; i < h->count(); ++i)
          Check(h->model()->headerData(i, h->orientation()).toString(), where + " (header)", true);
      if (auto* l = qobject_cast<QListWidget*>(w))
        for (int i = 0; i < l->count(); ++i) Check(l->item(i)->text(), where + " (list)", false);
      if (auto* tb = qobject_cast<QToolButton*>(w); tb && tb->menu()) Menu(tb->menu(), where + " (drop-down)");
      for (QAction* a : w->actions())
        if (!a->isSeparator() && a->isVisible()) Check(a->text(), where + " (action)", true);
    }
  }
};

// Words German shares with English (or uses as they are on the machine):
// a German text made only of these may read as the English one.
bool SharedWord(const QString& w) {
  static const std::set<QString> shared = {
      "OK", "Start", "Pause", "Status", "Name", "Mark", "Mark1", "Mark2", "Test", "Info", "Modus", "Port", "Offset",
      "Min", "Max", "Box", "Online", "Offline", "Server", "Client", "Baud", "Version", "Hardware", "Firmware",
      "Software", "Reset", "Home", "Tray", "Feeder", "Filter", "Level", "Timeout", "Pixel", "Zoom", "Dis", "Smt",
      "Pcb", "PCB", "SMT", "EDA", "CAD", "CSV", "TXT", "DXF", "QR", "USB", "UDP", "TCP", "IP", "COM", "FPS",
      "West", "Demo", "Ethernet", "LED", "kPa", "UTF", "GBK", "Latin",
      // The keyboard's lock indicators in the status bar.
      "CAP", "NUM", "SCRL"};
  return w.size() < 3 || shared.count(w) > 0;
}

// Texts the machine shows alike in every language: the guards' messages,
// the two vision cameras' names, the "AutoZ" and speed gear ("Set")
// captions, the window title (German uses the English one) and the
// recognition type names, which the files store as they are shown.
bool SameInEveryLanguage(const QString& t) {
  static const std::set<QString> fixed = {"Machine is not connection !", "Machine is not reset !", "Machine is runnig !",
                                          "Camera 1", "Camera 2", "AutoZ", "Set"};
  static const QRegularExpression kept(QStringLiteral(R"(^\d\d:|Tovrana SMT Control System)"));
  return fixed.count(t) > 0 || kept.match(t).hasMatch();
}

// A file's name or path, or an import format named by its file's
// extension: the operator's data, not a text of the program.
bool FileName(const QString& t) {
  static const QRegularExpression file(QStringLiteral(R"((^|[\s&])/\S|[A-Za-z0-9]\.[A-Za-z0-9_]{2,})"));
  return file.match(t).hasMatch();
}

// A German text that is the English text of the same place, word for word,
// with a word German does not share: left in English.
bool LeftInEnglish(const QString& german, const QString& english) {
  if (german != english || SameInEveryLanguage(german) || FileName(german)) return false;
  static const QRegularExpression word(QStringLiteral("[A-Za-z]+"));
  for (auto it = word.globalMatch(german); it.hasNext();)
    if (!SharedWord(it.next().captured())) return true;
  return false;
}

// Adds to `out` every German text of `german` left as the English text of
// the same place in `english`.
void FindLeftInEnglish(const std::map<std::string, QString>& english, const std::map<std::string, QString>& german,
                       std::vector<std::string>& out) {
  // The entries of the machine's own drop-down lists (names, part types,
  // packages, angles) are the operator's data, shown as written in every
  // language.
  std::set<QString> operatorData;
  for (const std::string& list : smt::library::LibraryLists::Of(smt::CurrentMachine()).dropDownLists)
    for (const QString& item : QString::fromStdString(list).split('\t', Qt::SkipEmptyParts)) operatorData.insert(item);
  for (const auto& [where, t] : german)
    if (auto e = english.find(where); e != english.end() && LeftInEnglish(t, e->second) &&
        !((where.find("(item)") != std::string::npos || where.find("(list)") != std::string::npos) && operatorData.count(t)))
      out.push_back("German | " + where + " | English | " + t.toStdString());
}

class LanguageTexts : public ShellTest {
 public:
  void SetUp() override {
    ShellTest::SetUp();
    // The working directory as scripts/run prepares it.
    ASSERT_EQ(PrepareAsScriptsRun(), "");
  }

  // The dialogs that open from a button of another dialog: the buttons the
  // operator presses in each, without a machine.
  static std::vector<QPushButton*> InnerButtons(QWidget* outer) {
    const std::string name = outer->metaObject()->className();
    auto buttons = outer->findChildren<QPushButton*>();
    std::vector<QPushButton*> out;
    if (name == "CDialogCameraList") {
      // The first camera row, then its editor.
      static_cast<CDialogCameraList*>(outer)->OnListClick(0);
      if (auto* b = outer->findChild<QPushButton*>("modify")) out.push_back(b);
    } else if (name == "CDialogNozzleList" || name == "CDialogPackList" || name == "CDialogMarkList") {
      if (!buttons.empty()) out.push_back(buttons.front());  // add
    } else if (name == "CDialogLampMachineList") {
      if (!buttons.empty()) out.push_back(buttons.front());  // add: the point editor
    } else if (name == "smt::settings::CDialogSetBasic") {
      // Beside AutoZ (which needs the machine): the origin update and the detour dialogs.
      for (size_t i = 0; i + 2 < static_cast<size_t>(buttons.size()); ++i)
        if (buttons[i]->text() == "AutoZ") {
          out.push_back(buttons[i + 1]);
          out.push_back(buttons[i + 2]);
        }
    }
    return out;
  }

  // Runs `open`, reads every dialog that opens meanwhile (and the dialogs
  // its buttons open) and closes it.
  void ReadDialogs(Reader& r, const std::string& name, const std::function<void()>& open) {
    std::set<QWidget*> before;
    for (QWidget* w : QApplication::topLevelWidgets())
      if (w->isVisible()) before.insert(w);
    std::set<QWidget*> done;
    QTimer poll;
    poll.setInterval(5);
    QObject::connect(&poll, &QTimer::timeout, [&] {
      QWidget* m = QApplication::activeModalWidget();
      if (!m || done.count(m)) return;
      done.insert(m);
      r.Widget(m);
      for (QPushButton* b : InnerButtons(m)) ReadDialogs(r, name + " > " + b->text().toStdString(), [b] { b->click(); });
      if (auto* d = qobject_cast<QDialog*>(m)) d->reject(); else m->close();
    });
    poll.start();
    open();
    poll.stop();
    for (QWidget* w : QApplication::topLevelWidgets())
      if (w->isVisible() && !before.count(w) && !done.count(w)) {
        r.Widget(w);
        w->close();
      }
    (void)name;
  }

  void ReadEverything(Reader& r) {
    CMainFrame& f = *app->frame();
    CSMTView& v = *f.view();
    r.Widget(&f);
    for (int i = 0; i < 8; ++i) r.Menu(f.TopMenu(i), "menu " + std::to_string(i));
    r.Menu(f.BuildSettingsDropDown(), "settings drop-down");
    r.Menu(f.BuildGoToDropDown(), "go-to drop-down");
    // The dialogs of the menus that open without a machine.
    for (int id : {cmd::kSetBasic, cmd::kDippingStation, cmd::kFeedGroup, cmd::kSpeedSet, cmd::kCameraList,
                   cmd::kNozzleList, cmd::kSetPulse, cmd::kOftenData, cmd::kPackData, cmd::kMarkData, cmd::kAutoFeed,
                   cmd::kAutoTransport})
      ReadDialogs(r, std::to_string(id), [&] { v.OnCommand(id); });
    // The part list's own dialogs.
    CDialogPartList& pl = *v.m_pPartList;
    v.OnShowPartList();
    r.Widget(&pl);
    ReadDialogs(r, "pcb editor", [&] { pl.OnPcbEdit(); });
    ReadDialogs(r, "import", [&] { pl.PcbEditor().openImportDialog(); });
    ReadDialogs(r, "part editor", [&] { pl.OnMenuCommand(32865); });
    ReadDialogs(r, "strategy", [&] { pl.OnStrategy(); });
    ReadDialogs(r, "find", [&] { pl.OnFind(); });
    // The feeder list's dialogs.
    CDialogFeedList& fl = *v.m_pFeedList;
    v.OnShowFeedList();
    r.Widget(&fl);
    ReadDialogs(r, "feeder editor", [&] { fl.OnAddFeeder(); });
    // The tray dialog, from the feeder editor in the tray feed mode.
    ReadDialogs(r, "tray", [&] {
      CDialogFeedEdit& e = *fl.Editor();
      e.OnInitDialog();
      QComboBox* mode = e.Combo("feedMode");
      ASSERT_NE(mode, nullptr);
      const auto names = smt::feeder::NameTablesOf(smt::CurrentMachine());
      const int tray = mode->findText(QString::fromStdString(names.Mode(smt::feeder::kGridBox)));
      ASSERT_GE(tray, 0);
      mode->setCurrentIndex(tray);
      e.OnTrayButton();
    });
    ReadDialogs(r, "feeder groups", [&] { fl.OpenGroupManager(); });
    // Whatever the program said meanwhile.
    for (const std::string& t : messages.service.Texts()) r.Check(QString::fromStdString(t), "message", true);
    messages.service.Clear();
  }
};

TEST_F(LanguageTexts, EnglishAndGermanShowNoChineseAndNoCodeNames) {
  CMainFrame& f = Start();
  f.show();
  ASSERT_TRUE(f.view()->document()->OnOpenDocument(dir / smt::app::kDemoJobName));
  std::vector<std::string> all;
  std::map<std::string, QString> english;  // the English walk, for the German one
  struct Case { int command; const char* language; };
  // Each language is switched to from Chinese, so that a text that stays
  // in the language it had before the switch is seen.
  for (Case c : {Case{cmd::kLanguageChinese, "Chinese"}, Case{cmd::kLanguageEnglish, "English"},
                 Case{cmd::kLanguageChinese, "Chinese"}, Case{cmd::kLanguageGerman, "German"}}) {
    f.Action(c.command)->trigger();
    ASSERT_EQ(f.m_strLanguage, c.language);
    QApplication::processEvents();
    Reader r;
    r.language = c.language;
    ReadEverything(r);
    // Every dialog of the walk was opened and read.
    for (const char* w : {"CMainFrame", "CDialogPartList", "CDialogFeedList", "CDialogAutoFeed", "CDialogAutoTransport",
                          "CDialogCameraList", "CDialogCameraEdit", "CDialogDippingStation", "CDialogDropDownParameter",
                          "CDialogFeedEdit", "CDialogFeedGroup", "CDialogFind", "CDialogGridBox", "CDialogImportFile",
                          "CDialogMarkList", "CDialogMarkEdit", "CDialogNozzleList", "CDialogOriginUpdate",
                          "CDialogPCBEdit", "CDialogPackList", "CDialogPackEdit", "CDialogPartEditSmt",
                          "CDialogSMTStrategy", "smt::settings::CDialogPositionLimitDetour",
                          "smt::settings::CDialogSetBasic", "smt::settings::CDialogSetPulse",
                          "smt::settings::CDialogSpeedTemplate"})
      EXPECT_TRUE(r.windows.count(w)) << c.language << ": " << w << " was not read";
    if (std::string(c.language) == "Chinese") continue;
    all.insert(all.end(), r.findings.begin(), r.findings.end());
    if (std::string(c.language) == "English") english = r.shown;
    else FindLeftInEnglish(english, r.shown, all);
  }
  std::string text;
  for (const auto& l : all) text += l + "\n";
  EXPECT_TRUE(all.empty()) << all.size() << " texts:\n" << text;
}

}  // namespace

namespace {

// A value a dialog refuses is refused in the window's language, naming the
// field: the basic settings and the part editor, in English and German.
TEST_F(LanguageTexts, RangeRefusalsSpeakTheWindowsLanguageAndNameTheField) {
  CMainFrame& f = Start();
  f.show();
  ASSERT_TRUE(f.view()->document()->OnOpenDocument(dir / smt::app::kDemoJobName));
  struct Case {
    int command;
    const char* language;
    const char* numberRefusal;  // the words after the field's name
    const char* xLimit;         // the X travel limit's label
  };
  for (Case c : {Case{cmd::kLanguageEnglish, "English", ": please enter a number", "X travel limit"},
                 Case{cmd::kLanguageGerman, "German", "“: Bitte eine Zahl", nullptr}}) {
    f.Action(c.command)->trigger();
    QApplication::processEvents();
    auto okOf = [](QWidget* dialog) -> QPushButton* {
      for (auto* box : dialog->findChildren<QDialogButtonBox*>())
        for (auto* b : box->buttons())
          if (box->buttonRole(b) == QDialogButtonBox::AcceptRole) return qobject_cast<QPushButton*>(b);
      for (auto* b : dialog->findChildren<QPushButton*>())
        if (b->text() == "OK") return b;
      return nullptr;
    };
    // Basic settings: a word in the X travel limit.
    messages.service.Clear();
    bool opened = false;
    QTimer::singleShot(0, [&] {
      QWidget* d = QApplication::activeModalWidget();
      if (!d) return;
      opened = true;
      auto* e = d->findChild<QLineEdit*>("m_X_Limit");
      QPushButton* ok = okOf(d);
      if (e && ok) {
        e->setText("abc");
        ok->click();
      }
      static_cast<QDialog*>(d)->reject();
    });
    f.view()->OnCommand(cmd::kSetBasic);
    ASSERT_TRUE(opened) << c.language;
    ASSERT_FALSE(messages.service.Texts().empty()) << c.language;
    std::string said = messages.service.Texts().front();
    EXPECT_FALSE(HasChinese(QString::fromStdString(said))) << said;
    EXPECT_NE(said.find(c.numberRefusal), std::string::npos) << said;
    if (c.xLimit) {
      const smt::settings::BasicField* field = smt::settings::FindBasicField("m_X_Limit");
      ASSERT_NE(field, nullptr);
      ASSERT_TRUE(field->HasRange());
      EXPECT_EQ(said, std::string(c.xLimit) + ": please enter a number between " +
                          smt::platform::RangeBoundText(field->min) + " and " +
                          smt::platform::RangeBoundText(field->max) + ".");
    }
    // The part editor (Add in the part list): a word in X.
    messages.service.Clear();
    opened = false;
    QTimer::singleShot(0, [&] {
      auto* d = qobject_cast<CDialogPartEditSmt*>(QApplication::activeModalWidget());
      if (!d) {
        if (auto* other = qobject_cast<QDialog*>(QApplication::activeModalWidget())) other->reject();
        return;
      }
      opened = true;
      auto* x = d->findChild<QLineEdit*>("c_1005");
      QPushButton* ok = okOf(d);
      if (x && ok) {
        x->setText("abc");
        ok->click();
      }
      d->reject();
    });
    f.view()->m_pPartList->OnMenuCommand(32865);
    ASSERT_TRUE(opened) << c.language;
    ASSERT_FALSE(messages.service.Texts().empty()) << c.language;
    said = messages.service.Texts().front();
    EXPECT_FALSE(HasChinese(QString::fromStdString(said))) << said;
    const size_t at = said.find(c.numberRefusal);
    ASSERT_NE(at, std::string::npos) << said;
    EXPECT_GT(at, 0u) << "the field is named: " << said;
  }
}

}  // namespace

namespace {

// The machine types with dialogs of their own: the lamp machine (point
// table and point editor), the drilling machine (drill list, its menu and
// editor), the labeling machine (its settings dialog) and the dispensing
// machine (dispense list, its menu and editor). Each is started as the
// machine type of the working directory and walked in every language.
struct SpecialMachine {
  int type;
  std::vector<const char*> windows;  // dialogs that must have been read
  std::function<void(LanguageTexts*, Reader&)> read;
};

class SpecialMachineTexts : public LanguageTexts {
 public:
  CMainFrame& Frame() { return *app->frame(); }
  void Walk(Reader& r, int command) { ReadDialogs(r, std::to_string(command), [&] { app->frame()->view()->OnCommand(command); }); }
  void WalkPartList(Reader& r, smt::job::RowKind kind, int add) {
    CDialogPartList& pl = *app->frame()->view()->m_pPartList;
    app->frame()->view()->OnShowPartList();
    r.Widget(&pl);
    auto menu = pl.BuildContextMenu(kind);
    r.Menu(menu.get(), "part list menu");
    ReadDialogs(r, "part list add", [&] { pl.OnMenuCommand(add); });
  }

  void Run(const SpecialMachine& m) {
    smt::platform::SettingsSection(smt::platform::ConfigPath(dir.str()), "MachineSetConfig").WriteInt("MachineSet", m.type);
    smt::platform::ClearProfileCache();
    CMainFrame& f = Start();
    f.show();
    ASSERT_EQ(smt::CurrentMachine().machineType.load(), m.type);
    // The demo job gives the part list a board to add rows to.
    f.view()->document()->OnOpenDocument(dir / smt::app::kDemoJobName);
    messages.service.Clear();
    std::vector<std::string> all;
    std::map<std::string, QString> english;  // the English walk, for the German one
    struct Case { int command; const char* language; };
    for (Case c : {Case{cmd::kLanguageChinese, "Chinese"}, Case{cmd::kLanguageEnglish, "English"},
                   Case{cmd::kLanguageChinese, "Chinese"}, Case{cmd::kLanguageGerman, "German"}}) {
      f.Action(c.command)->trigger();
      ASSERT_EQ(f.m_strLanguage, c.language);
      QApplication::processEvents();
      Reader r;
      r.language = c.language;
      r.Widget(&f);
      for (int i = 0; i < 8; ++i) r.Menu(f.TopMenu(i), "menu " + std::to_string(i));
      m.read(this, r);
      for (const std::string& t : messages.service.Texts()) r.Check(QString::fromStdString(t), "message", true);
      messages.service.Clear();
      for (const char* w : m.windows) EXPECT_TRUE(r.windows.count(w)) << c.language << ": " << w << " was not read";
      if (std::string(c.language) == "Chinese") continue;
      all.insert(all.end(), r.findings.begin(), r.findings.end());
      if (std::string(c.language) == "English") english = r.shown;
      else FindLeftInEnglish(english, r.shown, all);
    }
    std::string text;
    for (const auto& l : all) text += l + "\n";
    EXPECT_TRUE(all.empty()) << "machine type " << m.type << ": " << all.size() << " texts:\n" << text;
  }
};

TEST_F(SpecialMachineTexts, LampMachine) {
  Run({4, {"CDialogLampMachineList", "CDialogLampMachineEdit", "CDialogPartList"},
       [](LanguageTexts* t, Reader& r) {
         auto* self = static_cast<SpecialMachineTexts*>(t);
         self->Walk(r, cmd::kLampMachineSet);
         self->WalkPartList(r, smt::job::RowKind::Placement, 32865);
       }});
}

TEST_F(SpecialMachineTexts, DrillingMachine) {
  Run({9, {"CDialogPartEditDrill", "CDialogPartList"}, [](LanguageTexts* t, Reader& r) {
         static_cast<SpecialMachineTexts*>(t)->WalkPartList(r, smt::job::RowKind::Drill, 33309);
       }});
}

TEST_F(SpecialMachineTexts, LabelingMachine) {
  Run({10, {"CDialogLabelingSet"}, [](LanguageTexts* t, Reader& r) {
         static_cast<SpecialMachineTexts*>(t)->Walk(r, cmd::kLabelingSet);
       }});
}

TEST_F(SpecialMachineTexts, DispensingMachine) {
  // Dispensing and placement (1), and four heads with dispensing (6).
  for (int type : {1, 6}) {
    SCOPED_TRACE(type);
    if (app) {
      app->ExitInstance();
      app.reset();
    }
    Run({type, {"CDialogPartEditDis", "CDialogPartList", "CDialogSMTStrategy"}, [](LanguageTexts* t, Reader& r) {
           auto* self = static_cast<SpecialMachineTexts*>(t);
           self->WalkPartList(r, smt::job::RowKind::Dispense, 33296);
           self->ReadDialogs(r, "strategy", [&] { self->Frame().view()->m_pPartList->OnStrategy(); });
         }});
  }
}

}  // namespace
