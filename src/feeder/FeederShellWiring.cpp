#include "feeder/FeederShellWiring.h"

#include "core/LogFile.h"
#include "feeder/AutoFeeders.h"
#include "feeder/CDialogAutoFeed.h"
#include "feeder/CDialogFeedList.h"
#include "feeder/FeederTable.h"

namespace smt::feeder {

bool LoadFeederState(smt::Machine& machine, CDialogFeedList* panel, const std::vector<std::string>& feedLines, const std::string& appDir) {
  AutoFeeders::Of(machine).LoadConfig(appDir);
  if (!panel) return true;
  std::vector<std::string> lines = feedLines;
  panel->LoadFromLines(lines, appDir);
  return panel->LastLoad().error.empty();
}

void SaveFeederState(smt::Machine& machine, std::vector<std::string>& feedLines, const std::string& appDir) {
  FeederTable& table = FeederTable::Of(machine);
  if (table.GroupCount() > 0) feedLines = table.SaveToLines();
  AutoFeeders::Of(machine).SaveConfig(appDir);
}

void InstallFeederSubsystem(smt::Machine& machine, FeederShellWiring w) {
  if (w.initialUpdateSteps) {
    w.initialUpdateSteps->push_back([&machine, w](const std::string& appDir) {
      CDialogFeedList* p = w.panel ? w.panel() : nullptr;
      if (!LoadFeederState(machine, p, w.feedLines ? w.feedLines() : std::vector<std::string>{}, appDir)) {
        if (w.feedLinesDamaged)
          w.feedLinesDamaged();
        else
          CLogFile::Instance().Write(true, "feeder wiring: feedLinesDamaged is not connected; the feeder file's backup is not protected");
      }
    });
  }
  if (!w.registerDialog) return;
  w.registerDialog(w.groupCommand, [w](QWidget*) {
    if (CDialogFeedList* p = w.panel ? w.panel() : nullptr) p->OpenGroupManager();
  });
  w.registerDialog(w.autoFeedCommand, [&machine, w](QWidget* parent) {
    CDialogFeedList* p = w.panel ? w.panel() : nullptr;
    OpenAutoFeedDialog(machine, parent, p ? p->AppDir() : ".", w.language ? w.language() : "Chinese");
  });
}

}  // namespace smt::feeder
