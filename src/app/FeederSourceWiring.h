#pragma once
// The part list's view of the feeders (the job's FeederSource) connected to
// the machine's feeder table and the main view's feeder list panel that
// shows it.
#include <functional>

class CDialogFeedList;
namespace smt {
class Machine;
}

namespace smt::app {

// The feeder source of `machine`: the current group of its feeder table;
// the rows as the list shows them come from `panel`, the view's feeder list
// panel, on the window thread (it may be null before the panels exist: then
// the part list sees no listed feeders, and says so in the log).
void InstallFeederSource(smt::Machine& machine, std::function<CDialogFeedList*()> panel);

}  // namespace smt::app
