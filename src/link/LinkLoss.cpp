#include "link/LinkLoss.h"

#include <atomic>

#include "core/LogFile.h"
#include "core/MachineState.h"
#include "link/LinkGlobals.h"
#include "link/LinkRuntime.h"
#include "link/MotionGlobals.h"
#include "link/OperatorNotice.h"
#include "platform/WorkerThreads.h"

namespace smt::link {

namespace {
std::atomic<bool> g_linkKnownLost{false};
}  // namespace

bool LinkKnownLost() { return g_linkKnownLost.load(); }

void OnLinkRestored() {
  g_linkKnownLost = false;
  // A reply owed from before the loss is waited for only a guard time more.
  for (ReplyEvent* e : AllReplyEvents()) e->RenewGuard();
  g_hEventSerialAxis.RenewGuard();
}

void OnLinkLost(const char* why) {
  CLogFile::Instance().Write(true, "Link to the machine lost: %s", why);
  if (g_bConnected.exchange(false)) {
    g_linkKnownLost = true;
    Runtime().Hooks().OnLinkLost();
  }
}

void ReportLinkLost(const std::string& what) {
  CLogFile::Instance().Write(true, "Link to the machine lost: %s", what.c_str());
  const std::string text = what + "\r\nThe link to the machine is lost: connect again.";
  if (!g_bConnected.exchange(false)) {
    // Told already; a link that was never marked up (nothing connected it)
    // still says what failed.
    if (!g_linkKnownLost && !smt::platform::WorkerThreads::Instance().ShuttingDown()) NotifyOperator(text);
    return;
  }
  g_linkKnownLost = true;
  // A run cannot go on without the machine: it ends as stopped.
  if (g_bRunContinue.exchange(false)) g_hPauseEvent.Set();
  Runtime().Hooks().OnLinkLost();
  if (!smt::platform::WorkerThreads::Instance().ShuttingDown())
    NotifyOperator(text);
}

void ReportLinkLoss(const Link& link, const std::string& how) {
  // Only the link the program talks to the machine over makes it lost.
  if (Runtime().ActiveLink() != &link || !g_bConnected.load()) return;
  ReportLinkLost(link.Describe() + " " + how + " !");
}

}  // namespace smt::link
