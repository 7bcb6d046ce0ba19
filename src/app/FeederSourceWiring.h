#pragma once
// The part list's view of the feeders (the job's FeederSource) connected to
// the main view's feeder list panel and its feeder table.
#include <functional>

class CDialogFeedList;

namespace smt::app {

// `panel` returns the view's feeder list panel (may be null before the
// panels exist: then the part list sees no feeders, and says so in the log).
void InstallFeederSource(std::function<CDialogFeedList*()> panel);

}  // namespace smt::app
