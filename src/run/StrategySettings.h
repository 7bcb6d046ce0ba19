#pragma once
// The placement strategy: list order, head mode, nozzle change, cover tape,
// run mode and the dispensing parameters, kept in [SmtStrategyConfig] of
// the settings file. The strategy page edits a copy and commits it on OK;
// the run reads the committed values.
#include <functional>
#include <string>

namespace smt {
class Machine;
}

namespace smt::run {

struct SmtStrategy {
  int m_SmtOrder = -1;
  int m_HeaderSelect = -1;
  int m_SpecialHead = 8;
  int m_TogetherCode = 0;
  int m_Camera = 0;
  int m_AutoChangeNozzle = 0;
  int m_19NozzleLibrary = 0;
  int m_ChangeNozzleSelect = 0;
  int m_Head2AvoidCamera1 = 0;
  int m_Cover = 0;
  int m_SpellBoard = 0;
  int m_RunSelect = 0;
  int m_Interval = 0;
  int m_DropsGlueDelay = 0;
  int m_bDisMode2 = 0;
  int m_DisSpeedStart_XY = 50;
  int m_DisSpeedNormal_XY = 100;
  int m_DisSpeedStart_Z = 50;
  int m_DisSpeedNormal_Z = 100;
  int m_DropsGluePoint = 1;
  double m_WeldDistance_1 = 0;
  double m_WeldDistance_2 = 0;
  double m_DropsGlueOpen1 = 0;
  double m_DropsGlueClose1 = 0;
  int m_AfterCloseDelay1 = 0;
  double m_DropsGlueOpen2 = 0;
  double m_DropsGlueClose2 = 0;
  int m_AfterCloseDelay2 = 0;

  bool operator==(const SmtStrategy&) const = default;
};

inline constexpr const char* kStrategySection = "SmtStrategyConfig";

// Heads per cycle of a head mode (1, 2, 4 or 8; 1 for unknown modes).
int HeadCountOfMode(int headMode);
// The part list's sort key of a sort order (0..9), -1 for other values.
int SortKeyOfOrder(int order);

// Reads the section; the load rules (zero speeds and glue points to their
// defaults, the special head into 2..8, the nozzle-change choice only in
// head mode 2) are applied.
SmtStrategy LoadStrategy(const std::string& appDir);
// Writes the 28 keys; false when the file could not be written.
bool SaveStrategy(const std::string& appDir, const SmtStrategy& s);
void ApplyLoadRules(SmtStrategy& s);

// The values a machine type does not allow, reset (the page does this when
// it opens).
void ApplyMachineTypeLimits(SmtStrategy& s, int machineType);
// Whether the cover option may be used (run mode 0 on machine types 0-2).
bool CoverAllowed(const SmtStrategy& s, int machineType);
// The run mode and head mode a run may start with on the machine type: ""
// when allowed, else the refusal naming the mode and the machine type (the
// modes the strategy page would change for this type, and head modes with
// more heads than the machine has).
std::string MachineTypeRefusal(int runMode, int headMode, int machineType);

// The committed strategy the run reads (thread-safe copy).
SmtStrategy Strategy(smt::Machine& m);
// Publishes a strategy (start-up, the page's OK, the machine-type reset) and
// tells the listeners, on the caller's thread.
void SetStrategy(smt::Machine& m, const SmtStrategy& s);
int AddStrategyListener(smt::Machine& m, std::function<void(const SmtStrategy&)> listener);
void RemoveStrategyListener(smt::Machine& m, int id);

}  // namespace smt::run
