#pragma once
// How the feeders join the main view: the start-up step that builds the
// machine's feeder table from the feeder file's lines and loads [AutoFeedConfig],
// the group manager and automatic feeder commands, and the save step that
// writes the table back into the lines before the library files are written.
// The shell hands in its registration points; nothing here knows the view.
#include <QWidget>
#include <functional>
#include <string>
#include <vector>

class CDialogFeedList;
namespace smt {
class Machine;
}

namespace smt::feeder {

struct FeederShellWiring {
  // view.RegisterDialog(commandId, open)
  std::function<void(int commandId, std::function<void(QWidget*)> open)> registerDialog;
  // view.initialUpdateSteps
  std::vector<std::function<void(const std::string& appDir)>>* initialUpdateSteps = nullptr;
  // The view's feeder list panel (view.m_pFeedList).
  std::function<CDialogFeedList*()> panel;
  // The feeder file's lines the machine's library lists hold, read at start-up.
  std::function<std::vector<std::string>()> feedLines;
  // Marks the feeder file's lines as read from a damaged file (its backup
  // copy is then kept as it is).
  std::function<void()> feedLinesDamaged;
  // The frame's language name (frame->m_strLanguage).
  std::function<std::string()> language;
  int groupCommand = 32857;     // "料架模组"
  int autoFeedCommand = 33100;  // automatic feeders
};

// `machine`: the machine the shell drives (its automatic feeders).
void InstallFeederSubsystem(smt::Machine& machine, FeederShellWiring wiring);

// Start-up: the machine's feeder table from a copy of the feeder lines,
// read and shown by the panel (the machine's library lists keep the lines,
// so a library save before the first table save cannot write an empty
// feeder file), then [AutoFeedConfig].
// Returns false when lines of the feeder file could not be read (the panel
// told the operator and kept a copy of the file).
bool LoadFeederState(smt::Machine& machine, CDialogFeedList* panel, const std::vector<std::string>& feedLines, const std::string& appDir);
// Project save, before the library files are written: the lines of the
// machine's feeder table (when it holds a group) for the lists' holder, and
// [AutoFeedConfig].
void SaveFeederState(smt::Machine& machine, std::vector<std::string>& feedLines, const std::string& appDir);

}  // namespace smt::feeder
