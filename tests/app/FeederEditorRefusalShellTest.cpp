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

#include "ShellFixture.h"
#include "app/CommandIds.h"
#include "app/DemoWorkdir.h"
#include "feeder/CDialogFeedEdit.h"
#include "feeder/FeederEditFields.h"
#include "feeder/FeederNames.h"

namespace {

namespace fs = std::filesystem;
using smt::feeder::CurrentNameTables;

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
    const int i = box->findText(QString::fromStdString(CurrentNameTables().Mode(mode)));
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

}  // namespace
