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
// and nothing refused without a word.
TEST_F(FeederEditorRefusal, EveryRefusalNamesTheFieldAndItsRange) {
  CMainFrame& f = Start();
  f.Action(smt::app::cmd::kLanguageEnglish)->trigger();
  struct Case {
    const char* field;
    const char* text;
    const char* expected;
  };
  const Case cases[] = {
      {"slack", "0", "Slack length: please enter a number between 1 and 10000."},
      {"tension", "0", "Tension length: please enter a number between 1 and 10000."},
      {"length", "0", "Length: please enter a number between 0.1 and 100."},
      {"contrast", "300", "Contrast: please enter a number between 0 and 255."},
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

}  // namespace
