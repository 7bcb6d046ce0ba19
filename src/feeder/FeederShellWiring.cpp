#include "feeder/FeederShellWiring.h"

#include "feeder/AutoFeeders.h"
#include "feeder/CDialogAutoFeed.h"
#include "feeder/CDialogFeedList.h"

namespace smt::feeder {

void LoadFeederState(CDialogFeedList* panel, const std::vector<std::string>& feedLines, const std::string& appDir) {
  AutoFeeders::Instance().LoadConfig(appDir);
  if (!panel) return;
  std::vector<std::string> lines = feedLines;
  panel->LoadFromLines(lines);
}

void SaveFeederState(CDialogFeedList* panel, std::vector<std::string>& feedLines, const std::string& appDir) {
  if (panel && panel->Table().GroupCount() > 0) feedLines = panel->SaveToLines();
  AutoFeeders::Instance().SaveConfig(appDir);
}

void InstallFeederSubsystem(FeederShellWiring w) {
  if (w.initialUpdateSteps) {
    w.initialUpdateSteps->push_back([w](const std::string& appDir) {
      CDialogFeedList* p = w.panel ? w.panel() : nullptr;
      if (p) SetActiveFeedList(p);
      LoadFeederState(p, w.feedLines ? w.feedLines() : std::vector<std::string>{}, appDir);
    });
  }
  if (!w.registerDialog) return;
  w.registerDialog(w.groupCommand, [w](QWidget*) {
    if (CDialogFeedList* p = w.panel ? w.panel() : nullptr) p->OpenGroupManager();
  });
  w.registerDialog(w.autoFeedCommand, [w](QWidget* parent) {
    CDialogFeedList* p = w.panel ? w.panel() : nullptr;
    OpenAutoFeedDialog(parent, p ? p->AppDir() : ".", w.language ? w.language() : "Chinese");
  });
}

}  // namespace smt::feeder
