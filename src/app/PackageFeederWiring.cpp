#include "app/PackageFeederWiring.h"

#include "app/SMTView.h"
#include "feeder/CDialogFeedList.h"

namespace smt::app {

std::function<void(const smt::library::PackFeederUpdate&)> PackageToFeeders(CSMTView& view) {
  return [&view](const smt::library::PackFeederUpdate& u) {
    CDialogFeedList* feeders = view.m_pFeedList;
    if (!feeders) return;
    // The package's values as saved (the new name after a rename).
    const auto& p = u.pass;
    const std::array<bool, 11> passOn = {p.m_SelectFeedMode != 0,    p.m_FeedTimes != 0,   p.m_FeedTime != 0,
                                         p.m_OpenLength != 0,        p.m_CloseLength != 0, p.m_Precision_XY != 0,
                                         p.m_Precision_A != 0,       p.m_CollectPictureTime != 0,
                                         p.m_NozzleHeight != 0,      p.m_VacuumTestValue != 0,
                                         p.m_smtBeforeCloseVacuum != 0};
    feeders->UpdateRowsFromPackage(u.values, passOn);
  };
}

}  // namespace smt::app
