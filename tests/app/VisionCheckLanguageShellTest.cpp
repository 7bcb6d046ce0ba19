// The recognisers' reasons for "not found" (the log line of a refused look)
// follow the window's language, at start and at every switch.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>

#include "ShellFixture.h"
#include "app/CommandIds.h"
#include "vision/PartCheck.h"

namespace {

namespace cmd = smt::app::cmd;

class VisionCheckLanguage : public ShellTest {
 public:
  void SetUp() override {
    ShellTest::SetUp();
    ASSERT_EQ(PrepareAsScriptsRun(), "");
  }
  void TearDown() override {
    smt::vision::SetVisionCheckTexts(nullptr);
    ShellTest::TearDown();
  }
};

TEST_F(VisionCheckLanguage, ReasonsAreInTheWindowsLanguage) {
  using namespace smt::vision;
  CMainFrame& f = Start();
  struct Case {
    int command;
    const char* language;
    const char* edge;
    const char* leads;
  };
  for (const Case& c :
       {Case{cmd::kLanguageGerman, "German", "das Bauteil reicht über den Rand des Suchquadrats",
             "die gesehenen Anschlüsse passen nicht zu denen des Gehäuses"},
        Case{cmd::kLanguageChinese, "Chinese", "元件超出搜索框边缘", "看到的引脚与封装的引脚不符"},
        Case{cmd::kLanguageEnglish, "English", kCheckEdgeText, kCheckLeadsText}}) {
    f.Action(c.command)->trigger();
    QApplication::processEvents();
    ASSERT_EQ(f.m_strLanguage, c.language);
    EXPECT_EQ(VisionCheckText(kCheckEdgeKey, kCheckEdgeText), c.edge) << c.language;
    EXPECT_EQ(VisionCheckText(kCheckLeadsKey, kCheckLeadsText), c.leads) << c.language;
  }
}

}  // namespace
