// A value outside its field's range, typed into a library, station or
// strategy dialog of the real shell, is refused in the window's language with
// the field's label and the range; and each dialog's first OK with the values
// it opens with is not refused.
#include <QAbstractSpinBox>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QTimer>
#include <filesystem>

#include "ShellFixture.h"
#include "app/CommandIds.h"
#include "app/DemoWorkdir.h"
#include "job/CSMTDoc.h"
#include "library/CDialogNozzleList.h"
#include "library/CDialogOriginUpdate.h"
#include "platform/RangeRefusal.h"
#include "run/CDialogSMTStrategy.h"

namespace {

namespace cmd = smt::app::cmd;
namespace fs = std::filesystem;


// Runs `open`; the first modal dialog that opens meanwhile (other than the
// one open now) is handed to `inside`, then cancelled if still open.
bool WithDialog(const std::function<void()>& open, const std::function<void(QDialog*)>& inside) {
  QWidget* outer = QApplication::activeModalWidget();
  bool seen = false;
  QTimer poll;
  poll.setInterval(5);
  QObject::connect(&poll, &QTimer::timeout, [&] {
    auto* d = qobject_cast<QDialog*>(QApplication::activeModalWidget());
    if (!d || d == outer || seen) return;
    seen = true;
    poll.stop();
    inside(d);
    if (d->isVisible()) d->reject();
  });
  poll.start();
  open();
  poll.stop();
  return seen;
}

// The operator's typing: the field's text selected and replaced key by key
// (in a drop-down list: the item of that number chosen).
void Type(QWidget* field, const QString& text) {
  ASSERT_NE(field, nullptr);
  if (auto* combo = qobject_cast<QComboBox*>(field)) {
    ASSERT_GT(combo->count(), text.toInt());
    combo->setCurrentIndex(text.toInt());
    emit combo->activated(text.toInt());
    return;
  }
  field->setFocus();
  QKeyEvent all(QEvent::KeyPress, Qt::Key_A, Qt::ControlModifier);
  QApplication::sendEvent(field, &all);
  if (auto* e = qobject_cast<QLineEdit*>(field)) e->selectAll();
  for (QChar c : text) {
    QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, QString(c));
    QApplication::sendEvent(field, &press);
    QKeyEvent release(QEvent::KeyRelease, 0, Qt::NoModifier, QString(c));
    QApplication::sendEvent(field, &release);
  }
  if (auto* s = qobject_cast<QAbstractSpinBox*>(field)) s->interpretText();
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

struct Case {
  const char* name;
  // Opens the outermost dialog.
  std::function<void(CMainFrame&)> open;
  // In each outer dialog, the button that opens the next one (empty: the
  // dialog itself holds the field).
  std::vector<std::function<QAbstractButton*(QDialog*)>> path;
  const char* field;  // object name, or "#id" for a strategy page edit
  const char* value;
  double lo, hi;
  const char* english;  // the field's label
  const char* german;
  // Typed first in both passes (a new row's name, which must be free).
  std::vector<std::pair<const char*, const char*>> before = {};
};

QWidget* FieldOf(QDialog* d, const std::string& name) {
  if (name[0] == '#')
    if (auto* s = qobject_cast<CDialogSMTStrategy*>(d)) return s->Edit(std::stoi(name.substr(1)));
  return d->findChild<QWidget*>(QString::fromStdString(name));
}

QAbstractButton* FirstButton(QDialog* d) {
  auto b = d->findChildren<QPushButton*>();
  return b.empty() ? nullptr : b.front();
}

class RangeRefusals : public ShellTest {
 protected:
  // A name no row has yet ("NEW" -> "NEW1", "NEW2", ...); other texts as given.
  QString Fresh(const char* text) {
    const QString t = QString::fromUtf8(text);
    return t == "NEW" ? t + QString::number(++names_) : t;
  }
  int names_ = 0;

  void SetUp() override {
    ShellTest::SetUp();
    ASSERT_EQ(PrepareAsScriptsRun(), "");
  }

  // Walks the case's path; `atField` gets the dialog holding the field.
  void Reach(CMainFrame& f, const Case& c, const std::function<void(QDialog*)>& atField, bool& reached) {
    std::function<void(QDialog*, size_t)> step = [&](QDialog* d, size_t at) {
      if (at == c.path.size()) {
        reached = true;
        atField(d);
        return;
      }
      QAbstractButton* b = c.path[at](d);
      ASSERT_NE(b, nullptr) << c.name << ": step " << at;
      EXPECT_TRUE(WithDialog([b] { b->click(); }, [&](QDialog* inner) { step(inner, at + 1); }))
          << c.name << ": step " << at << " opened nothing";
    };
    EXPECT_TRUE(WithDialog([&] { c.open(f); }, [&](QDialog* d) { step(d, 0); })) << c.name << ": nothing opened";
  }

  void Run(const std::vector<Case>& cases, int machineType = 2) {
    smt::platform::SettingsSection(smt::platform::ConfigPath(dir.str()), "MachineSetConfig")
        .WriteInt("MachineSet", machineType);
    smt::platform::ClearProfileCache();
    CMainFrame& f = Start();
    f.show();
    ASSERT_TRUE(f.view()->document()->OnOpenDocument(dir / smt::app::kDemoJobName));
    struct Language {
      int command;
      const char* name;
    };
    for (Language l : {Language{cmd::kLanguageEnglish, "English"}, Language{cmd::kLanguageGerman, "German"}}) {
      f.Action(l.command)->trigger();
      QApplication::processEvents();
      for (const Case& c : cases) {
        SCOPED_TRACE(std::string(l.name) + ": " + c.name);
        const std::string label = l.command == cmd::kLanguageEnglish ? c.english : c.german;
        const std::string lo = smt::platform::RangeBoundText(c.lo), hi = smt::platform::RangeBoundText(c.hi);
        const std::string expected = l.command == cmd::kLanguageEnglish
                                         ? label + ": please enter a number between " + lo + " and " + hi + "."
                                         : "„" + label + "“: Bitte eine Zahl zwischen " + lo + " und " + hi + " eingeben.";
        // The values the dialog opens with pass its own checks.
        messages.service.Clear();
        bool reached = false, closed = false;
        Reach(f, c, [&](QDialog* d) {
          for (const auto& [name, text] : c.before) Type(FieldOf(d, name), Fresh(text));
          QAbstractButton* ok = OkOf(d);
          ASSERT_NE(ok, nullptr);
          ok->click();
          closed = !d->isVisible();
        }, reached);
        ASSERT_TRUE(reached);
        std::string said;
        for (const std::string& t : messages.service.Texts()) said += t + "\n";
        EXPECT_TRUE(closed) << "OK with the values it opened with did not close it; said:\n" << said;
        // A value outside the range names the field and the range.
        messages.service.Clear();
        reached = false;
        bool stayed = false;
        Reach(f, c, [&](QDialog* d) {
          QWidget* field = FieldOf(d, c.field);
          ASSERT_NE(field, nullptr) << c.field;
          for (const auto& [name, text] : c.before) Type(FieldOf(d, name), Fresh(text));
          Type(field, QString::fromUtf8(c.value));
          QAbstractButton* ok = OkOf(d);
          ASSERT_NE(ok, nullptr);
          ok->click();
          stayed = d->isVisible();
        }, reached);
        ASSERT_TRUE(reached);
        EXPECT_TRUE(stayed) << "the refused OK closed the dialog";
        ASSERT_FALSE(messages.service.Texts().empty());
        EXPECT_EQ(messages.service.Texts().front(), expected);
      }
    }
  }
};

// The library, station and strategy dialogs of the demo machine.
TEST_F(RangeRefusals, LibraryStationAndStrategyDialogsNameTheFieldAndRangeInTheWindowsLanguage) {
  auto command = [](int id) { return [id](CMainFrame& f) { f.view()->OnCommand(id); }; };
  auto nozzleModify = [](QDialog* d) -> QAbstractButton* {
    auto* list = qobject_cast<CDialogNozzleList*>(d);
    if (!list) return nullptr;
    list->List()->selectRow(0);
    emit list->List()->cellClicked(0, 0);
    return list->ModifyButton();
  };
  auto originButton = [](QDialog* d) -> QAbstractButton* {
    auto buttons = d->findChildren<QPushButton*>();
    for (qsizetype i = 0; i + 1 < buttons.size(); ++i)
      if (buttons[i]->text() == "AutoZ") return buttons[i + 1];
    return nullptr;
  };
  auto coverPage = [](QDialog* d) -> QAbstractButton* {
    auto* s = qobject_cast<CDialogSMTStrategy*>(d);
    if (!s) return nullptr;
    if (!s->Button(1458)->isChecked()) s->Button(1458)->click();
    return s->Button(1459);
  };
  const std::vector<Case> cases = {
      {"nozzle list", command(cmd::kNozzleList), {}, "m_Distance", "0.5", 1, 100, "Extend in/out",
       "Ein-/Ausfahrt verlängern"},
      {"nozzle editor", command(cmd::kNozzleList), {nozzleModify}, "x", "5000", 0, 1000, "Nozzle X", "Düse X"},
      {"pack editor", command(cmd::kPackData), {FirstButton}, "length", "60", 0.1, 50, "Length", "Länge",
       {{"name", "NEW"}, {"feedMode", "0"}, {"nozzle", "0"}}},
      {"mark editor", command(cmd::kMarkData), {FirstButton}, "viewBox", "49", 0, 48, "View box", "Sichtfenster",
       {{"name", "NEW"}}},
      {"origin update", command(cmd::kSetBasic), {originButton}, "m_OriginOffsetX", "1.5", -1, 1, "Home offset X",
       "Referenzversatz X"},
      {"dipping station", command(cmd::kDippingStation), {}, "m_DippingStation_X", "2000", 0, 1000, "X", "X"},
      {"conveyor", command(cmd::kAutoTransport), {}, "m_ConveyorStartSpeed", "300", 1, 255, "Start speed",
       "Startgeschwindigkeit"},
      {"camera list", command(cmd::kCameraList), {}, "m_iChangeCameraDelay", "20000", 0, 10000,
       "Camera switch delay (ms)", "Verzögerung beim Kamerawechsel (ms)"},
      // A word where a number belongs is refused, not read as 0 (which this field allows).
      {"camera list, a word", command(cmd::kCameraList), {}, "m_iChangeCameraDelay", "abc", 0, 10000,
       "Camera switch delay (ms)", "Verzögerung beim Kamerawechsel (ms)"},
      {"strategy page", [](CMainFrame& f) { f.view()->m_pPartList->OnStrategy(); }, {}, "#1050", "5", 1, 4,
       "Glue points", "Klebepunkte"},
      {"cover page", [](CMainFrame& f) { f.view()->m_pPartList->OnStrategy(); }, {coverPage}, "m_StepPulse", "0", 1,
       10000, "Step pulses", "Schrittimpulse"},
  };
  Run(cases);
}

// The lamp machine's point table and point editor.
TEST_F(RangeRefusals, LampMachineTableAndPointEditor) {
  auto command = [](CMainFrame& f) { f.Action(cmd::kLampMachineSet)->trigger(); };
  Run({{"lamp table", command, {}, "m_CountSet", "0", 1, 1000000, "Boards to make", "Soll-Anzahl"},
       {"lamp point editor", command, {FirstButton}, "cell11", "5", -3, 3, "11 Z", "11 Z"}},
      4);
}

// The labeling machine's settings.
TEST_F(RangeRefusals, LabelingMachineSettings) {
  Run({{"labeling settings", [](CMainFrame& f) { f.Action(cmd::kLabelingSet)->trigger(); }, {}, "m_StartX", "2000", 0,
        1000, "Start point X", "Startpunkt X"}},
      10);
}

}  // namespace
