// The feeder editor's OK as the operator meets it when adding a feeder:
// every refusal says which field and which range, in the window's language,
// nothing is refused silently, the side chosen stays chosen, and the values
// the editor fills in itself pass its own checks.
#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <filesystem>
#include <set>

#include "core/Machine.h"
#include "ShellFixture.h"
#include "app/CommandIds.h"
#include "app/DemoWorkdir.h"
#include "feeder/CDialogFeedEdit.h"
#include "feeder/FeederEditFields.h"
#include "feeder/FeederNames.h"

namespace {

namespace fs = std::filesystem;
using smt::feeder::NameTablesOf;

bool HasChinese(const std::string& s) {
  const QString q = QString::fromStdString(s);
  for (QChar c : q)
    if (c.unicode() >= 0x4E00 && c.unicode() <= 0x9FFF) return true;
  return false;
}

class FeederEditorRefusal : public ShellTest {
 protected:
  void SetUp() override {
    ShellTest::SetUp();
    ASSERT_EQ(PrepareAsScriptsRun(), "");
  }

  // Adds a feeder through the panel's Add; `fill` acts on the open editor,
  // then OK is clicked up to three times. Returns the number of OK clicks
  // until the editor closed (0 when it stayed open), with the messages
  // said after each click in `said`.
  int AddFeeder(const std::function<void(CDialogFeedEdit&)>& fill, std::vector<std::vector<std::string>>& said,
                std::vector<int>& sideAfter) {
    CDialogFeedList& list = *app->frame()->view()->m_pFeedList;
    int closedAfter = 0;
    QTimer::singleShot(0, [&] {
      auto* e = qobject_cast<CDialogFeedEdit*>(QApplication::activeModalWidget());
      if (!e) {
        if (auto* d = qobject_cast<QDialog*>(QApplication::activeModalWidget())) d->reject();
        return;
      }
      fill(*e);
      for (int click = 1; click <= 3; ++click) {
        messages.service.Clear();
        e->Button("OK")->click();
        said.push_back(messages.service.Texts());
        int side = -1;
        for (auto* b : e->findChildren<QRadioButton*>())
          if (b->objectName().startsWith("FeedEdit.c_") && b->isChecked() &&
              QStringList{"FeedEdit.c_East", "FeedEdit.c_South", "FeedEdit.c_West", "FeedEdit.c_North",
                          "FeedEdit.c_Grid"}.contains(b->objectName()))
            side = QStringList{"FeedEdit.c_East", "FeedEdit.c_South", "FeedEdit.c_West", "FeedEdit.c_North",
                               "FeedEdit.c_Grid"}.indexOf(b->objectName());
        sideAfter.push_back(side);
        if (!e->isVisible()) {
          closedAfter = click;
          return;
        }
      }
      e->reject();
    });
    list.OnAddFeeder();
    return closedAfter;
  }

  // Cell 0 of every row of the feeder list.
  std::set<std::string> FeederNumbers() {
    CDialogFeedList& list = *app->frame()->view()->m_pFeedList;
    std::set<std::string> numbers;
    for (int r = 0; r < list.RowCount(); ++r) numbers.insert(list.ListRow(r).text[0]);
    return numbers;
  }

  static void ChooseFeedMode(CDialogFeedEdit& e, int mode) {
    QComboBox* box = e.Combo("feedMode");
    const int i = box->findText(QString::fromStdString(NameTablesOf(smt::CurrentMachine()).Mode(mode)));
    ASSERT_GE(i, 0);
    box->setCurrentIndex(i);
    emit box->textActivated(box->itemText(i));  // as the operator's choice
  }
  static void Type(CDialogFeedEdit& e, const char* field, const char* text) { e.Edit(field)->setText(text); }
  static void ClickSide(CDialogFeedEdit& e, const char* key) {
    e.findChild<QRadioButton*>(key)->click();
  }
};

// An integrated feeder filled in as a newcomer does: number, side, mode,
// head. Its first OK is taken: the slack and tension the mode needs are
// filled in by the mode choice.
TEST_F(FeederEditorRefusal, TheModesOwnDefaultsPassOnTheFirstOk) {
  CMainFrame& f = Start();
  f.Action(smt::app::cmd::kLanguageEnglish)->trigger();
  std::vector<std::vector<std::string>> said;
  std::vector<int> side;
  for (int mode : {smt::feeder::kIntegrationFeed, smt::feeder::k0402}) {
    said.clear();
    side.clear();
    const int closed = AddFeeder(
        [&](CDialogFeedEdit& e) {
          Type(e, "number", mode == smt::feeder::k0402 ? "7" : "6");
          ClickSide(e, "FeedEdit.c_West");
          ChooseFeedMode(e, mode);
          e.Combo("head")->setCurrentIndex(0);
          Type(e, "length", "1.6");
          Type(e, "width", "0.8");
        },
        said, side);
    ASSERT_FALSE(said.empty());
    EXPECT_EQ(closed, 1) << "mode " << mode << ": said " << (said[0].empty() ? "nothing" : said[0][0]);
    EXPECT_EQ(side.front(), smt::feeder::kSideW);
  }
}

// Refusals, each with the field and its range in English, the side kept,
// nothing refused without a word, and no feeder added by a refused OK.
TEST_F(FeederEditorRefusal, EveryRefusalNamesTheFieldAndItsRange) {
  CMainFrame& f = Start();
  f.Action(smt::app::cmd::kLanguageEnglish)->trigger();
  struct Case {
    const char* field;
    const char* text;
    const char* expected;
  };
  const Case cases[] = {
      {"slack", "-1", "Slack length: please enter a number between 0 and 10000."},
      {"length", "0", "Length: please enter a number between 0.1 and 100."},
      {"contrast", "300", "Contrast: please enter a number between 0 and 255."},
      // Words and trailing letters are refused, not read as 0 or cut.
      {"x", "ten", "Pick X: please enter a number between -10000 and 10000."},
      {"number", "12abc", "Feeder number: please enter a number between 1 and 10000."},
      {"feedTime", "nan", "Feed time: please enter a number between 0 and 10000."},
      // The pick point, the feed coordinate and the tension within what the
      // feeder table reads back: one past each end, infinities, huge numbers.
      {"x", "10000.0001", "Pick X: please enter a number between -10000 and 10000."},
      {"x", "-10000.0001", "Pick X: please enter a number between -10000 and 10000."},
      {"y", "12abc", "Pick Y: please enter a number between -10000 and 10000."},
      {"y", "inf", "Pick Y: please enter a number between -10000 and 10000."},
      {"y", "1e400", "Pick Y: please enter a number between -10000 and 10000."},
      {"feedCoord", "10000.0001", "Feed coordinate: please enter a number between -10000 and 10000."},
      {"feedCoord", "nan", "Feed coordinate: please enter a number between -10000 and 10000."},
      {"tension", "-10000.0001", "Tension length: please enter a number between -10000 and 10000."},
      {"tension", "word", "Tension length: please enter a number between -10000 and 10000."},
      {"slack", "10000.0001", "Slack length: please enter a number between 0 and 10000."},
  };
  for (const Case& c : cases) {
    std::vector<std::vector<std::string>> said;
    std::vector<int> side;
    const int closed = AddFeeder(
        [&](CDialogFeedEdit& e) {
          Type(e, "number", "8");
          ClickSide(e, "FeedEdit.c_West");
          ChooseFeedMode(e, smt::feeder::kIntegrationFeed);
          e.Combo("head")->setCurrentIndex(0);
          Type(e, "length", "1.6");
          Type(e, "width", "0.8");
          Type(e, c.field, c.text);
        },
        said, side);
    EXPECT_EQ(closed, 0) << c.field << ": a refused value closed the editor";
    EXPECT_EQ(FeederNumbers().count("W8") + FeederNumbers().count("W12"), 0u) << c.field << ": a feeder was added";
    ASSERT_GE(said.size(), 1u) << c.field;
    ASSERT_EQ(said[0].size(), 1u) << c.field << ": the first OK is refused with one message";
    EXPECT_EQ(said[0][0], c.expected);
    EXPECT_FALSE(HasChinese(said[0][0])) << said[0][0];
    EXPECT_EQ(side[0], smt::feeder::kSideW) << c.field << ": the side stays chosen";
    for (size_t k = 0; k < said.size(); ++k)
      if (k + 1 != static_cast<size_t>(closed)) {
        EXPECT_FALSE(said[k].empty()) << c.field << " click " << k + 1 << " refused silently";
      }
  }
}

// An integrated or 0402 feeder whose slack and tension are 0: the first OK
// fills in the slack (15), the second the tension (20), both without a
// message and with the editor open; the third adds the feeder.
TEST_F(FeederEditorRefusal, AMissingSlackAndTensionAreFilledInSilently) {
  CMainFrame& f = Start();
  f.Action(smt::app::cmd::kLanguageGerman)->trigger();
  for (int mode : {smt::feeder::kIntegrationFeed, smt::feeder::k0402}) {
    SCOPED_TRACE(mode);
    const char* number = mode == smt::feeder::k0402 ? "9" : "10";
    std::vector<std::vector<std::string>> said;
    std::vector<int> side;
    std::vector<std::pair<std::string, std::string>> shown;
    QMetaObject::Connection watch;
    const int closed = AddFeeder(
        [&](CDialogFeedEdit& e) {
          Type(e, "number", number);
          ClickSide(e, "FeedEdit.c_West");
          ChooseFeedMode(e, mode);
          e.Combo("head")->setCurrentIndex(0);
          Type(e, "length", "1.6");
          Type(e, "width", "0.8");
          Type(e, "slack", "0");
          Type(e, "tension", "0");
          // What the edits show after each OK.
          watch = QObject::connect(e.Button("OK"), &QPushButton::clicked, &e, [&e, &shown] {
            shown.emplace_back(e.Edit("slack")->text().toStdString(), e.Edit("tension")->text().toStdString());
          });
        },
        said, side);
    QObject::disconnect(watch);
    EXPECT_EQ(closed, 3);
    ASSERT_EQ(said.size(), 3u);
    for (const auto& s : said) EXPECT_TRUE(s.empty()) << s.front();
    ASSERT_GE(shown.size(), 2u);
    EXPECT_EQ(shown[0], (std::pair<std::string, std::string>{"15.0000", "0.0000"}));
    EXPECT_EQ(shown[1], (std::pair<std::string, std::string>{"15.0000", "20.0000"}));
    EXPECT_EQ(FeederNumbers().count(std::string("W") + number), 1u);
  }
}

// A new feeder as the editor offers it: the number typed as the list shows
// it ("W3", "S3" on the side that takes automatic feeders) is taken with its
// side, no value the editor offers is one it refuses (a length or width it
// cannot take is left empty, not offered as 0.00), and every fault of the
// fields is said in one message in the window's language, each field by its
// label.
TEST_F(FeederEditorRefusal, ItsOwnOffersPassAndAllFaultsAreSaidAtOnce) {
  CMainFrame& f = Start();
  f.Action(smt::app::cmd::kLanguageGerman)->trigger();
  struct Offer {
    const char* number;
    int mode;
    const char* added;
  };
  for (const Offer& o : {Offer{"W3", smt::feeder::kIntegrationFeed, "W3"}, Offer{"S3", smt::feeder::kAutoFeed, "S3"}}) {
    SCOPED_TRACE(o.number);
    std::vector<std::vector<std::string>> said;
    std::vector<int> side;
    std::string lengthShown, widthShown;
    const int closed = AddFeeder(
        [&](CDialogFeedEdit& e) {
          lengthShown = e.Edit("length")->text().toStdString();
          widthShown = e.Edit("width")->text().toStdString();
          ChooseFeedMode(e, o.mode);
          Type(e, "number", o.number);
          e.Combo("head")->setCurrentIndex(0);
        },
        said, side);
    // What the editor offered is not what it refuses.
    for (const std::string& shown : {lengthShown, widthShown}) {
      const double v = QString::fromStdString(shown).toDouble();
      EXPECT_TRUE(shown.empty() || (v >= 0.1 && v <= 100)) << "offered " << shown;
    }
    ASSERT_FALSE(said.empty());
    // The empty length and width are the only faults, said in one message.
    ASSERT_EQ(said[0].size(), 1u);
    const std::string& m = said[0][0];
    EXPECT_NE(m.find("Länge"), std::string::npos) << m;
    EXPECT_NE(m.find("Breite"), std::string::npos) << m;
    EXPECT_EQ(m.find("Zuführungsnummer"), std::string::npos) << "the typed number was refused: " << m;
    EXPECT_FALSE(HasChinese(m)) << m;
    EXPECT_EQ(closed, 0);
  }
  // Typed in, the same feeders are added on the first OK with their sides.
  for (const Offer& o : {Offer{"W3", smt::feeder::kIntegrationFeed, "W3"}, Offer{"S3", smt::feeder::kAutoFeed, "S3"}}) {
    SCOPED_TRACE(o.number);
    std::vector<std::vector<std::string>> said;
    std::vector<int> side;
    const int closed = AddFeeder(
        [&](CDialogFeedEdit& e) {
          ChooseFeedMode(e, o.mode);
          Type(e, "number", o.number);
          e.Combo("head")->setCurrentIndex(0);
          Type(e, "length", "1.6");
          Type(e, "width", "0.8");
        },
        said, side);
    EXPECT_EQ(closed, 1) << (said.empty() || said[0].empty() ? "" : said[0][0]);
    EXPECT_EQ(FeederNumbers().count(o.added), 1u);
  }
  // Four faults at once: each named by its label, the head by "Kopf".
  std::vector<std::vector<std::string>> said;
  std::vector<int> side;
  AddFeeder(
      [&](CDialogFeedEdit& e) {
        ChooseFeedMode(e, smt::feeder::kIntegrationFeed);
        Type(e, "number", "12abc");
        Type(e, "length", "0");
        Type(e, "width", "0.8");
        Type(e, "contrast", "300");
        e.Combo("head")->setCurrentIndex(-1);
      },
      said, side);
  ASSERT_FALSE(said.empty());
  ASSERT_EQ(said[0].size(), 1u) << "one message for every fault";
  const std::string& m = said[0][0];
  for (const char* w : {"Länge", "Kontrast", "1 und 10000", "0.1 und 100", "0 und 255", "Kopf"})
    EXPECT_NE(m.find(w), std::string::npos) << w << " in\n" << m;
  EXPECT_EQ(m.find("Düse"), std::string::npos) << m;
}

}  // namespace
