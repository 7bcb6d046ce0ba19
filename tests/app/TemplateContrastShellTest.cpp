// A template without contrast, taken or searched for through the feeder
// list's "获取模板" and "查找模板" on the running shell: taking one is refused
// with a message in the window's language and writes no file; searching
// with one (an old file) finds nothing and sends the machine nowhere. A
// picture with a part in it is still taken, as before.
#include <QCoreApplication>
#include <QTableWidget>
#include <filesystem>
#include <functional>
#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>

#include "ShellSimFixture.h"
#include "feeder/FeederTable.h"
#include "job/PcbRecord.h"
#include "vision/CameraDS.h"
#include "vision/VisionGlobals.h"
#include "vision/SimulatedScene.h"
#include "vision/TemplateSearch.h"

namespace fs = std::filesystem;

namespace {

// What the Mark camera looks at when the template is taken.
struct FlatView {
  const char* name;
  cv::Mat (*picture)();
};

cv::Mat Noisy(int background, double noise, unsigned seed) {
  smt::vision::SimulatedScene s(640, 480, 10.0, {0, 0});
  s.SetBackground(background);
  s.SetNoise(noise, seed);
  return s.Render();
}

const FlatView kFlatViews[] = {
    {"an even grey surface", [] { return cv::Mat(480, 640, CV_8UC3, cv::Scalar(90, 90, 90)); }},
    {"bare solder mask through the camera's noise", [] { return Noisy(60, 1.5, 3); }},
    {"an empty black pocket", [] { return Noisy(0, 2.0, 4); }},
    {"a surface with one grey level of ripple",
     [] {
       cv::Mat m(480, 640, CV_8UC3, cv::Scalar(120, 120, 120));
       for (int y = 0; y < m.rows; y += 2) m.row(y).setTo(cv::Scalar(121, 121, 121));
       return m;
     }},
};

// A picture with a part `shift` pixels right of the middle.
cv::Mat PartView(int shift) {
  cv::Mat m = Noisy(30, 1.5, 5);
  const cv::Point c(320 + shift, 240);
  cv::rectangle(m, cv::Rect(c.x - 30, c.y - 12, 36, 20), cv::Scalar(230, 230, 230), cv::FILLED);
  cv::circle(m, cv::Point(c.x + 22, c.y + 18), 9, cv::Scalar(160, 160, 160), cv::FILLED);
  return m;
}

struct Language {
  const char* name;
  const char* refusal;  // the refusal as the window's language says it
};

class TemplateContrastShellSim : public ShellSimTest, public ::testing::WithParamInterface<Language> {
 protected:
  void TearDown() override {
    if (app && app->frame() && app->frame()->view()->m_pSetView)
      for (auto& c : app->frame()->view()->m_pSetView->m_pDirectShowCamera) c.reset();
    ShellSimTest::TearDown();
  }
  // The built language files beside this test's build.
  void CopyLanguageFiles() {
    const fs::path lang = fs::canonical("/proc/self/exe").parent_path().parent_path().parent_path() / "lang";
    for (const auto& f : fs::directory_iterator(lang))
      fs::copy_file(f.path(), dir / f.path().filename().string(), fs::copy_options::overwrite_existing);
  }
};

TEST_P(TemplateContrastShellSim, AFlatTemplateIsRefusedWhenTakenAndFindsNothingFromAnOldFile) {
  const Language& lang = GetParam();
  CopyLanguageFiles();
  CMainFrame& f = StartConnected(std::string("[LanguageSetConfig]\nLanguageSet=") + lang.name + "\n");
  CSMTView& v = *f.view();
  CDialogSetView& camera = *v.m_pSetView;
  CDialogFeedList& feeders = *v.m_pFeedList;
  g_nHighSpeedCamera = 0;
  cv::Mat shown;
  camera.m_pDirectShowCamera[0] = std::make_unique<CCameraDS>([&shown] { return shown.clone(); });
  // The shown board's Mark values: 10 pixels per mm, a 10 mm box.
  auto& job = v.m_pPartList->Job();
  smt::job::PcbRecord rec;
  rec.m_strName = "B";
  rec.m_dVisualZoom = 10;
  rec.m_dVisualBox = 10;
  job.pcbs.m_Records.push_back(rec);
  job.shownPcbName = "B";
  shown = PartView(0);
  camera.OnBnClickedOpenMarkCamera();
  ASSERT_EQ(g_nVisionMode.load(), 0);
  while (feeders.RowCount() > 0) feeders.List()->removeRow(0);
  smt::feeder::FeederListRow row;
  row.text[0] = "F7";
  feeders.InsertListRow(0, row);
  feeders.m_nSelectedRow = 0;
  const fs::path file = dir.path() / "Template" / "F7.png";

  for (const FlatView& view : kFlatViews) {
    SCOPED_TRACE(view.name);
    shown = view.picture();
    messages.service.Clear();
    feeders.OnTemplate(3);  // "获取模板"
    ASSERT_TRUE(Pump([&] { return !messages.service.Texts().empty(); }, std::chrono::seconds(5)));
    EXPECT_EQ(messages.service.Texts().front(), lang.refusal);
    EXPECT_FALSE(fs::exists(file));
    EXPECT_FALSE(fs::exists(dir.path() / "Template" / "template.png"));
  }

  // A part in the box: taken and written, nothing said.
  shown = PartView(0);
  messages.service.Clear();
  feeders.OnTemplate(3);
  ASSERT_TRUE(Pump([&] { return fs::exists(file); }, std::chrono::seconds(5)));
  EXPECT_TRUE(messages.service.Texts().empty()) << messages.service.Texts().front();
  EXPECT_TRUE(smt::vision::HasTemplateContrast(cv::imread(file.string())));

  // An old file holding a flat template: the search finds nothing, says
  // why, and the machine does not move.
  for (const FlatView& view : kFlatViews) {
    SCOPED_TRACE(view.name);
    const cv::Mat old = view.picture()(cv::Rect(270, 190, 100, 100)).clone();
    ASSERT_TRUE(cv::imwrite(file.string(), old));
    shown = PartView(30);
    messages.service.Clear();
    sim->ClearReceived();
    const int64_t x0 = sim->Position(0), y0 = sim->Position(1);
    camera.m_nMoveX = 12345;
    feeders.OnTemplate(4);  // "查找模板"
    ASSERT_TRUE(Pump([&] { return !messages.service.Texts().empty(); }, std::chrono::seconds(5)));
    EXPECT_EQ(messages.service.Texts().front(), lang.refusal);
    Pump([] { return false; }, std::chrono::milliseconds(300));
    EXPECT_FALSE(sim->LastReceived(0x64).has_value());
    EXPECT_EQ(sim->Position(0), x0);
    EXPECT_EQ(sim->Position(1), y0);
    EXPECT_EQ(camera.m_nMoveX.load(), 12345) << "no move was measured";
  }
}

INSTANTIATE_TEST_SUITE_P(
    Languages, TemplateContrastShellSim,
    ::testing::Values(
        Language{"Chinese", "模板没有对比度（画面平坦），无法匹配，请把视框对准有特征的位置 !"},
        Language{"English", "The template has no contrast (a flat picture) and cannot be matched: aim the visual box at a feature !"},
        Language{"German",
                 "Die Vorlage hat keinen Kontrast (flaches Bild) und kann nicht gefunden werden: Sichtfeld auf ein Merkmal richten !"}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
