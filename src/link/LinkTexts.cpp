#include "link/LinkTexts.h"

#include "core/Machine.h"
#include "platform/SettingsSection.h"

namespace smt::link {
namespace {
// The texts of a machine's link.
smt::Guarded<LinkTexts>& Texts(smt::Machine& machine) { return machine.Part<smt::Guarded<LinkTexts>>(); }
}  // namespace

void LinkTexts::Load(const std::string& appDir, const std::string& language) {
  const LinkTexts d;
  smt::platform::LanguageSection s(appDir, language, "ManualControlConfig");
  online = s.Text("ManualControl.c_Online", d.online);
  onlining = s.Text("ManualControl.c_Onlining", d.onlining);
  onlineError = s.Text("ManualControl.c_Online_Error", d.onlineError);
  onlineSuccessful = s.Text("ManualControl.c_Online_Successful", d.onlineSuccessful);
  message05 = s.Text("ManualControl.c_Message_05", d.message05);
  message06 = s.Text("ManualControl.c_Message_06", d.message06);
  message14 = s.Text("ManualControl.c_Message_14", d.message14);
  message15 = s.Text("ManualControl.c_Message_15", d.message15);
  message16 = s.Text("ManualControl.c_Message_16", d.message16);
  message17 = s.Text("ManualControl.c_Message_17", d.message17);
  message20 = s.Text("ManualControl.c_Message_20", d.message20);
  message21 = s.Text("ManualControl.c_Message_21", d.message21);
  message22 = s.Text("ManualControl.c_Message_22", d.message22);
  replyTimeout = s.Text("ManualControl.c_ReplyTimeout", d.replyTimeout);
  noReply = s.Text("ManualControl.c_NoReply", d.noReply);
  vacuumTest = s.Text("ManualControl.c_vacuumTest", d.vacuumTest);
  information73 = s.Text("ManualControl.c_Information_73", d.information73);
  information74 = s.Text("ManualControl.c_Information_74", d.information74);
  information77 = s.Text("ManualControl.c_Information_77", d.information77);
  masterResetFirst = s.Text("ManualControl.c_MasterResetFirst", d.masterResetFirst);
  homeNothing = s.Text("ManualControl.c_HomeNothing", d.homeNothing);
  serialName = s.Text("ManualControl.c_LinkSerialName", d.serialName);
  networkName = s.Text("ManualControl.c_LinkNetworkName", d.networkName);
  portClosed = s.Text("ManualControl.c_PortClosed", d.portClosed);
  portGone = s.Text("ManualControl.c_PortGone", d.portGone);
  portFailed = s.Text("ManualControl.c_PortFailed", d.portFailed);
  portNotWatched = s.Text("ManualControl.c_PortNotWatched", d.portNotWatched);
  netPortClosed = s.Text("ManualControl.c_NetPortClosed", d.netPortClosed);
  netAddressUnreachable = s.Text("ManualControl.c_NetAddressUnreachable", d.netAddressUnreachable);
  netUnreachable = s.Text("ManualControl.c_NetUnreachable", d.netUnreachable);
  netFailed = s.Text("ManualControl.c_NetFailed", d.netFailed);
  lostConnectAgain = s.Text("ManualControl.c_LinkLostConnectAgain", d.lostConnectAgain);
  sendFailed = s.Text("ManualControl.c_SendFailed", d.sendFailed);
  sendLinkDown = s.Text("ManualControl.c_SendLinkDown", d.sendLinkDown);
  replyTimeoutCode = s.Text("ManualControl.c_ReplyTimeoutCode", d.replyTimeoutCode);
  positionUncertain = s.Text("ManualControl.c_PositionUncertain", d.positionUncertain);
  replyOutOfTurn = s.Text("ManualControl.c_ReplyOutOfTurn", d.replyOutOfTurn);
  lostWithVacuumOn = s.Text("ManualControl.c_LostWithVacuumOn", d.lostWithVacuumOn);
}

LinkTexts LinkTextsOf(smt::Machine& machine) {
  auto& t = Texts(machine);
  std::lock_guard lk(t.mutex);
  return t.value;
}


void SetLinkTexts(smt::Machine& machine, const LinkTexts& texts) {
  auto& t = Texts(machine);
  std::lock_guard lk(t.mutex);
  t.value = texts;
}


}  // namespace smt::link
