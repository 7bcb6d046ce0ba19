// The save dialog's question before it replaces a file is asked through the
// message service, in the window's language (Qt's own question would speak
// whatever translation Qt has, often English), and No leaves the file alone
// and the dialog open.
#include <gtest/gtest.h>

#include <QApplication>
#include <QFileDialog>
#include <QMessageBox>
#include <QTimer>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "platform/MessageService.h"
#include "platform/QtFileChooser.h"
#include "platform/RefusalTexts.h"
#include "support/TempDir.h"

namespace {

namespace fs = std::filesystem;

// The language file of `language`, put together from the source tree's
// fragments as the build does.
void WriteLanguageFile(const fs::path& dir, const std::string& language) {
  std::vector<fs::path> parts;
  for (const auto& e : fs::directory_iterator(fs::path(SMT_SOURCE_DIR) / "resources" / "lang"))
    if (fs::exists(e.path() / (language + ".ini"))) parts.push_back(e.path() / (language + ".ini"));
  std::sort(parts.begin(), parts.end());
  std::ofstream out(dir / (language + ".ini"), std::ios::binary);
  for (const auto& p : parts) {
    std::ifstream in(p, std::ios::binary);
    out << in.rdbuf() << "\n";
  }
}

// Plays the operator at the file dialog: each time it shows, types `name`
// and presses Save; a question box of Qt's own is counted and closed.
struct DialogPlayer {
  std::string name;
  int dialogsAnswered = 0, qtQuestions = 0, ticks = 0;
  QTimer timer;

  explicit DialogPlayer(std::string n) : name(std::move(n)) {
    QObject::connect(&timer, &QTimer::timeout, [this] {
      if (++ticks > 500) {  // 10 s: give up, close whatever is open
        for (QWidget* w : QApplication::topLevelWidgets())
          if (auto* d = qobject_cast<QDialog*>(w); d && d->isVisible()) d->reject();
        return;
      }
      for (QWidget* w : QApplication::topLevelWidgets()) {
        if (auto* box = qobject_cast<QMessageBox*>(w); box && box->isVisible()) {
          ++qtQuestions;
          box->reject();
          return;
        }
      }
      for (QWidget* w : QApplication::topLevelWidgets()) {
        if (auto* d = qobject_cast<QFileDialog*>(w); d && d->isVisible()) {
          ++dialogsAnswered;
          d->selectFile(QString::fromStdString(name));
          d->accept();
          return;
        }
      }
    });
    timer.start(20);
  }
};

TEST(SaveOverwriteQuestion, AskedInTheWindowsLanguageAndNoKeepsTheDialogOpen) {
  smt::test::TempDir dir;
  const std::map<std::string, std::string> words = {
      {"Chinese", "已存在"}, {"English", "already exists"}, {"German", "bereits vorhanden"}};
  for (const auto& [language, word] : words) {
    SCOPED_TRACE(language);
    WriteLanguageFile(dir.path(), language);
    smt::platform::SetRefusalLanguage(dir.str(), language);
    const fs::path existing = dir.path() / "job.smt";
    { std::ofstream(existing) << "kept"; }
    smt::platform::ScopedRecordingMessages messages;
    messages.service.QueueAnswer(smt::platform::MsgAnswer::No);
    messages.service.QueueAnswer(smt::platform::MsgAnswer::Yes);
    DialogPlayer player(existing.string());
    smt::platform::QtFileChooser chooser;
    const auto chosen =
        chooser.Choose(nullptr, {smt::platform::FileChoice::Save, "Save", dir.str(), "Project Files (*.smt)"});
    ASSERT_EQ(chosen.size(), 1u);
    EXPECT_EQ(fs::path(chosen[0]).filename(), "job.smt");
    EXPECT_EQ(player.qtQuestions, 0) << "Qt asked in its own words";
    EXPECT_EQ(player.dialogsAnswered, 2) << "No leaves the dialog open";
    const auto said = messages.service.Texts();
    ASSERT_EQ(said.size(), 2u);
    for (const std::string& s : said) {
      EXPECT_NE(s.find(word), std::string::npos) << s;
      EXPECT_NE(s.find("job.smt"), std::string::npos) << s;
    }
    // A new name: no question.
    messages.service.Clear();
    DialogPlayer fresh((dir.path() / "new.smt").string());
    EXPECT_EQ(chooser.Choose(nullptr, {smt::platform::FileChoice::Save, "Save", dir.str(), "Project Files (*.smt)"}).size(), 1u);
    EXPECT_TRUE(messages.service.Texts().empty());
  }
  smt::platform::SetRefusalLanguage(".", "Chinese");
}

}  // namespace
