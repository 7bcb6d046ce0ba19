#include "settings/ConfigKeyRanges.h"

#include <cstdint>
#include <cstdio>

#include "platform/OperatorNumber.h"

namespace smt::settings {

namespace {

// Ranges are those of the dialog that edits the key; a switch is 0 or 1.
// Where no dialog bounds a key, the range is what the machine can take (noted
// at the key).
constexpr bool I = true, D = false;
constexpr bool Unset = true;
// The widest travel the machine's limits can give (SetBasicConfig m_X_Limit, m_Y_Limit).
constexpr double kMaxTravel = 10000;
const ConfigKeyRange kRanges[] = {
    // Position-limit detours: zone bounds and detour points anywhere on the
    // machine's travel, and the two zone switches.
    {"PositionLimitDetourConfig", "m_W_S_Detour_dX", -kMaxTravel, kMaxTravel, D, 0, false, 'X'},
    {"PositionLimitDetourConfig", "m_W_S_Detour_dY", -kMaxTravel, kMaxTravel, D, 0, false, 'Y'},
    {"PositionLimitDetourConfig", "m_E_S_Detour_dX", -kMaxTravel, kMaxTravel, D, 0, false, 'X'},
    {"PositionLimitDetourConfig", "m_E_S_Detour_dY", -kMaxTravel, kMaxTravel, D, 0, false, 'Y'},
    {"PositionLimitDetourConfig", "m_W_S_PositionLimitPositionDetour", 0, 1, I, 0, false},
    {"PositionLimitDetourConfig", "m_E_S_PositionLimitPositionDetour", 0, 1, I, 0, false},
    {"PositionLimitDetourConfig", "m_W_S_LessPosition_dX", -kMaxTravel, kMaxTravel, D, 0, false, 'X'},
    {"PositionLimitDetourConfig", "m_W_S_LessPosition_dY", -kMaxTravel, kMaxTravel, D, 0, false, 'Y'},
    {"PositionLimitDetourConfig", "m_E_S_LessPosition_dX", -kMaxTravel, kMaxTravel, D, 0, false, 'X'},
    {"PositionLimitDetourConfig", "m_E_S_LessPosition_dY", -kMaxTravel, kMaxTravel, D, 0, false, 'Y'},
    {"PositionLimitDetourConfig", "m_E_N_LessPosition_dX", -kMaxTravel, kMaxTravel, D, 0, false, 'X'},
    {"PositionLimitDetourConfig", "m_E_N_LessPosition_dY", -kMaxTravel, kMaxTravel, D, 0, false, 'Y'},
    // Automatic feeders.
    {"AutoFeedConfig", "m_Feed_Times", 1, 10, I, 1, Unset},
    {"AutoFeedConfig", "m_Feed_Delay", 0, 10000, I, 200, Unset},
    {"AutoFeedConfig", "m_Open_Length", 0, 1000, I, 30, Unset},
    {"AutoFeedConfig", "m_Close_Length", 0, 1000, I, 45, Unset},
    {"AutoFeedConfig", "m_FeedBack_Delay", 0, 65535, I, 0, false},
    {"AutoFeedConfig", "m_bIntegrationFeed", 0, 1, I, 0, false},
    {"AutoFeedConfig", "m_bAutoFeed", 0, 1, I, 0, false},
    {"AutoFeedConfig", "m_bVibrationFeed", 0, 1, I, 0, false},
    {"AutoFeedConfig", "m_bDragHand", 0, 1, I, 0, false},
    {"AutoFeedConfig", "m_TestLoop", 1, 10000, I, 1, Unset},
    // Board conveyor.
    {"AutoTransportConfig", "m_ConveyorStartSpeed", 1, 255, I, 1, Unset},
    {"AutoTransportConfig", "m_ConveyorNormalSpeed", 1, 255, I, 1, Unset},
    {"AutoTransportConfig", "m_StepValue", 1, 100000, I, 1, Unset},
    {"AutoTransportConfig", "m_ClampTime", 0, 10000, I, 0, false},
    {"AutoTransportConfig", "m_WaitTimeOut", 0, 10000, I, 0, false},
    {"AutoTransportConfig", "m_AutoTransport_1_1", 0, 10000, D, 0, false},
    {"AutoTransportConfig", "m_AutoTransport_1_2", 0, 10000, D, 0, false},
    {"AutoTransportConfig", "m_AutoTransport_2_1", 0, 10000, D, 0, false},
    {"AutoTransportConfig", "m_AutoTransport_2_2", 0, 10000, D, 0, false},
    {"AutoTransportConfig", "m_AutoTransport_3_1", 0, 10000, D, 0, false},
    {"AutoTransportConfig", "m_AutoTransport_3_2", 0, 10000, D, 0, false},
    {"AutoTransportConfig", "m_AutoTransport", 0, 1, I, 0, false},
    {"AutoTransportConfig", "m_Reset", 0, 1, I, 0, false},
    {"AutoTransportConfig", "m_ResetWidth", 0, 10000, D, 0, false},
    {"AutoTransportConfig", "m_SetWidth", -1000, 1000, D, 0, false},
    // The width range has no bounds in its dialog: it must hold the widths
    // that can be set, so it takes the set width's range (mm, read as a
    // decimal and used truncated).
    {"AutoTransportConfig", "m_MinRange", -1000, 1000, D, 0, false},
    {"AutoTransportConfig", "m_MaxRange", -1000, 1000, D, 0, false},
    // Cover-tape unit.
    {"SetCoverConfig", "m_StepPulse", 1, 10000, I, 1, Unset},
    {"SetCoverConfig", "m_CoverTotal", 1, 100000, I, 1, Unset},
    {"SetCoverConfig", "m_CoverOnceTotal", 1, 100, I, 1, Unset},
    {"SetCoverConfig", "m_BlankTotal", 1, 1000, I, 1, Unset},
    {"SetCoverConfig", "m_CoverDelay", 1, 100000, I, 1, Unset},
    {"SetCoverConfig", "m_CoverTotalCount", 0, 100000, I, 0, false},
    {"SetCoverConfig", "m_CoverCount", 0, 1000, I, 0, false},
    // Dipping station.
    {"DippingStationConfig", "m_DippingStation", 0, 1, I, 0, false},
    {"DippingStationConfig", "m_DippingStation_X", 0, 1000, D, 0, false},
    {"DippingStationConfig", "m_DippingStation_Y", -1000, 0, D, 0, false},
    {"DippingStationConfig", "m_DippingStation_Z", -100, 0, D, 0, false},
    {"DippingStationConfig", "m_WaterFilmThickness", 0, 3, D, 0, false},
    {"DippingStationConfig", "m_DippingStation_RunTime", 0, 10000, I, 0, false},
    {"DippingStationConfig", "m_DippingStation_StopDelay", 0, 10000, I, 0, false},
    {"DippingStationConfig", "m_DippingStation_Delay", 0, 10000, I, 0, false},
    // Labeling machine.
    {"LabelingSetConfig", "m_StartX", 0, 1000, D, 0, false},
    {"LabelingSetConfig", "m_StartY", -1000, 0, D, 0, false},
    {"LabelingSetConfig", "m_EndX", 0, 1000, D, 0, false},
    {"LabelingSetConfig", "m_EndY", -1000, 0, D, 0, false},
    {"LabelingSetConfig", "m_DistanceX", 1, 100, D, 1, Unset},
    {"LabelingSetConfig", "m_DistanceY", 1, 100, D, 1, Unset},
    {"LabelingSetConfig", "m_SerialX", 0, 100, I, 0, false},
    {"LabelingSetConfig", "m_SerialY", 0, 100, I, 0, false},
    {"LabelingSetConfig", "m_ThimbleX", 0, 1000, D, 0, false},
    {"LabelingSetConfig", "m_ThimbleY", -1000, 0, D, 0, false},
    {"LabelingSetConfig", "m_NozzlePickHeight", -100, 0, D, 0, false},
    {"LabelingSetConfig", "m_ThimblePickHeight", 0, 100, D, 0, false},
    {"LabelingSetConfig", "m_LiftAwayDistance", 0, 100, D, 0, false},
    {"LabelingSetConfig", "m_ComponentLenght", 0, 20, D, 0, false},
    {"LabelingSetConfig", "m_ComponentWidth", 0, 20, D, 0, false},
    {"LabelingSetConfig", "m_AllowableError", 0, 100, I, 0, false},
    {"LabelingSetConfig", "m_CheckTimes", 0, 10000, I, 0, false},
    {"LabelingSetConfig", "m_VisualBoxSize", 0, 50, D, 0, false},
    {"LabelingSetConfig", "m_Brightness", 0, 255, I, 0, false},
    {"LabelingSetConfig", "m_Threshold", 0, 255, I, 0, false},
    {"LabelingSetConfig", "m_GlassSheets", 0, 1, I, 0, false},  // 0 glass, 1 label paper
    {"LabelingSetConfig", "m_Pause", 0, 1, I, 0, false},
    // Lamp machine board counters (the made and still-to-make counts stay
    // within the boards that can be set).
    {"LampMachineListConfig", "m_CountSet", 1, 1000000, I, 1, Unset},
    {"LampMachineListConfig", "m_CountFinish", 0, 1000000, I, 0, false},
    {"LampMachineListConfig", "m_CountUnfinish", 0, 1000000, I, 0, false},
    // Jog panel: the gear (fast, medium, slow, fine), the jog steps (the
    // speed templates' steps, 0 before the first gear is chosen), the feeder
    // side (0..3 east, south, west, north; a stored side beyond 3 is kept and
    // shows no icon, so the key takes one byte), the first serial port tried.
    {"ManualControlConfig", "m_SpeedGears", 0, 3, I, 0, false},
    {"ManualControlConfig", "m_XY_RunSteps", 0, 100000, I, 0, false},
    {"ManualControlConfig", "m_Z_RunSteps", 0, 100000, I, 0, false},
    {"ManualControlConfig", "m_A_RunSteps", 0, 100000, I, 0, false},
    {"ManualControlConfig", "m_Feed_RunSteps", 0, 100000, I, 0, false},
    {"ManualControlConfig", "m_S_RunSteps", 0, 100000, I, 0, false},
    {"ManualControlConfig", "m_Feed_Direction", 0, 255, I, 0, false},
    {"ManualControlConfig", "m_ComNumber", 0, 255, I, 0, false},
    {"ManualControlConfig", "m_bShowInformation", 0, 1, I, 0, false},
    {"ManualControlConfig", "m_bShowPulse", 0, 1, I, 0, false},
    // Firmware switches.
    {"CPUVersionNumberConfig", "m_V2_04", 0, 1, I, 0, false},
    {"CPUVersionNumberConfig", "m_V2_05", 0, 1, I, 0, false},
    {"CPUVersionNumberConfig", "m_V2_06", 0, 1, I, 0, false},
    {"CPUVersionNumberConfig", "m_V2_07", 0, 1, I, 0, false},
    {"CPUVersionNumberConfig", "m_Write_Logfile", 0, 1, I, 0, false},
    // Placement strategy (the zero-is-unset defaults are the strategy's load
    // rules).
    {"SmtStrategyConfig", "m_SmtOrder", 0, 9, I, 0, false},
    {"SmtStrategyConfig", "m_HeaderSelect", 0, 8, I, 0, false},
    {"SmtStrategyConfig", "m_SpecialHead", 2, 8, I, 8, Unset},
    {"SmtStrategyConfig", "m_TogetherCode", 0, 1, I, 0, false},
    {"SmtStrategyConfig", "m_Camera", 0, 1, I, 0, false},
    {"SmtStrategyConfig", "m_AutoChangeNozzle", 0, 1, I, 0, false},
    {"SmtStrategyConfig", "m_19NozzleLibrary", 0, 1, I, 0, false},
    {"SmtStrategyConfig", "m_ChangeNozzleSelect", 0, 2, I, 0, false},
    {"SmtStrategyConfig", "m_Head2AvoidCamera1", 0, 1, I, 0, false},
    {"SmtStrategyConfig", "m_Cover", 0, 1, I, 0, false},
    {"SmtStrategyConfig", "m_SpellBoard", 0, 255, I, 0, false},  // a style code kept for the file: one byte
    {"SmtStrategyConfig", "m_RunSelect", 0, 12, I, 0, false},
    {"SmtStrategyConfig", "m_Interval", 0, 10000, I, 0, false},
    {"SmtStrategyConfig", "m_DropsGlueDelay", 0, 10000, I, 0, false},
    {"SmtStrategyConfig", "m_bDisMode2", 0, 1, I, 0, false},
    {"SmtStrategyConfig", "m_DisSpeedStart_XY", 1, 255, I, 50, Unset},
    {"SmtStrategyConfig", "m_DisSpeedNormal_XY", 1, 255, I, 100, Unset},
    {"SmtStrategyConfig", "m_DisSpeedStart_Z", 1, 255, I, 50, Unset},
    {"SmtStrategyConfig", "m_DisSpeedNormal_Z", 1, 255, I, 100, Unset},
    {"SmtStrategyConfig", "m_DropsGluePoint", 1, 4, I, 1, Unset},
    {"SmtStrategyConfig", "m_WeldDistance_1", 0, 30, D, 0, false},
    {"SmtStrategyConfig", "m_WeldDistance_2", 0, 30, D, 0, false},
    {"SmtStrategyConfig", "m_DropsGlueOpen1", 0, 100, D, 0, false},
    {"SmtStrategyConfig", "m_DropsGlueClose1", 0, 100, D, 0, false},
    {"SmtStrategyConfig", "m_AfterCloseDelay1", 0, 10000, I, 0, false},
    {"SmtStrategyConfig", "m_DropsGlueOpen2", 0, 100, D, 0, false},
    {"SmtStrategyConfig", "m_DropsGlueClose2", 0, 100, D, 0, false},
    {"SmtStrategyConfig", "m_AfterCloseDelay2", 0, 10000, I, 0, false},
    // Run feeding without a dialog: the drag pin's stroke words (a word of 4
    // is one feed length; up to 25 feed lengths), the label tape axis's
    // pulses per mm (the range of every axis's pulses) and its speeds.
    {"RunFeedConfig", "m_DragPinIn", 1, 100, I, 4, Unset},
    {"RunFeedConfig", "m_DragPinOut", 1, 100, I, 4, Unset},
    {"RunFeedConfig", "m_LabelTape_Pulse", 1, 10000, D, 1, Unset},
    {"RunFeedConfig", "m_LabelTapeStart", 1, 255, I, 10, Unset},
    {"RunFeedConfig", "m_LabelTapeNormal", 1, 255, I, 20, Unset},
    // PCB editor (the zero-is-unset defaults are the editor's load rules).
    {"PcbEditConfig", "m_PcbBoardCount", 1, 10000, I, 1, Unset},
    {"PcbEditConfig", "m_VisualZoom", 1, 200, D, 1, Unset},
    {"PcbEditConfig", "m_DetectPrecision", 1, 100, I, 1, Unset},
    {"PcbEditConfig", "m_ImageColorReversal", 0, 1, I, 0, false},
    {"PcbEditConfig", "m_VisualBox", 0.2, 50, D, 0.2, Unset},
    {"PcbEditConfig", "m_MarkDiameter", 0.1, 20, D, 0.1, Unset},
    {"PcbEditConfig", "m_LightContrast", 0, 255, I, 0, false},
    {"PcbEditConfig", "m_LightBrightness", 0, 255, I, 0, false},
    {"PcbEditConfig", "m_VisualTimes", 1, 10, I, 1, Unset},
    {"PcbEditConfig", "m_MarkCollectTime", 10, 1000, I, 10, Unset},
    {"PcbEditConfig", "m_SpecialMark2", 0, 1, I, 0, false},
    {"PcbEditConfig", "m_Mark2LightContrast", 0, 255, I, 0, false},
    {"PcbEditConfig", "m_Mark2LightBrightness", 0, 255, I, 0, false},
    // Origin update after homing: the offsets (mm) and the switches; an axis
    // switch missing or empty keeps its axis in the update (1).
    {"OriginUpdateConfig", "m_OriginOffsetX", -1, 1, D, 0, false},
    {"OriginUpdateConfig", "m_OriginOffsetY", -1, 1, D, 0, false},
    {"OriginUpdateConfig", "m_UpdateCurrentFeed", 0, 1, I, 0, false},
    {"OriginUpdateConfig", "m_UpdatePcbOrigin", 0, 1, I, 0, false},
    {"OriginUpdateConfig", "m_UpdateCamera", 0, 1, I, 0, false},
    {"OriginUpdateConfig", "m_UpdateNozzle", 0, 1, I, 0, false},
    {"OriginUpdateConfig", "m_UpdateThrow", 0, 1, I, 0, false},
    {"OriginUpdateConfig", "m_00_X", 0, 1, I, 1, false},
    {"OriginUpdateConfig", "m_01_Y", 0, 1, I, 1, false},
    {"OriginUpdateConfig", "m_02_Z1", 0, 1, I, 1, false},
    {"OriginUpdateConfig", "m_03_Z2", 0, 1, I, 1, false},
    {"OriginUpdateConfig", "m_04_A1", 0, 1, I, 1, false},
    {"OriginUpdateConfig", "m_05_A2", 0, 1, I, 1, false},
    {"OriginUpdateConfig", "m_06_A3", 0, 1, I, 1, false},
    {"OriginUpdateConfig", "m_07_A4", 0, 1, I, 1, false},
    {"OriginUpdateConfig", "m_08_W1", 0, 1, I, 1, false},
    {"OriginUpdateConfig", "m_09_W2", 0, 1, I, 1, false},
    {"OriginUpdateConfig", "m_0A_W3", 0, 1, I, 1, false},
    {"OriginUpdateConfig", "m_0B_L1", 0, 1, I, 1, false},
    {"OriginUpdateConfig", "m_0C_L2", 0, 1, I, 1, false},
    {"OriginUpdateConfig", "m_0D_L3", 0, 1, I, 1, false},
    {"OriginUpdateConfig", "m_0E_D1", 0, 1, I, 1, false},
    {"OriginUpdateConfig", "m_0F_D2", 0, 1, I, 1, false},
    // Package editor: the synchronous modify and the eleven pass-on switches.
    {"PackEditConfig", "m_SynchronousModify", 0, 1, I, 0, false},
    {"PackEditConfig", "m_SelectFeedMode", 0, 1, I, 0, false},
    {"PackEditConfig", "m_FeedTimes", 0, 1, I, 0, false},
    {"PackEditConfig", "m_FeedTime", 0, 1, I, 0, false},
    {"PackEditConfig", "m_OpenLength", 0, 1, I, 0, false},
    {"PackEditConfig", "m_CloseLength", 0, 1, I, 0, false},
    {"PackEditConfig", "m_Precision_XY", 0, 1, I, 0, false},
    {"PackEditConfig", "m_Precision_A", 0, 1, I, 0, false},
    {"PackEditConfig", "m_CollectPictureTime", 0, 1, I, 0, false},
    {"PackEditConfig", "m_NozzleHeight", 0, 1, I, 0, false},
    {"PackEditConfig", "m_VacuumTestValue", 0, 1, I, 0, false},
    {"PackEditConfig", "m_smtBeforeCloseVacuum", 0, 1, I, 0, false},
    // Nozzle change: entry and exit by the outer way, the distance (mm) and
    // the delay (ms); a stored 0 distance is the working 100 mm.
    {"NozzleListConfig", "m_InAndOutExtern", 0, 1, I, 0, false},
    {"NozzleListConfig", "m_Distance", 1, 100, D, 100, Unset},
    {"NozzleListConfig", "m_Delay", 0, 10000, I, 0, false},
    // Two-mark test calculator: positions and deviations anywhere on the
    // machine's travel (1000 mm each way), the mark pair's angles in degrees
    // (its dialog bounds none).
    {"DoubleMarkTestConfig", "m_Origin_X", -kMaxTravel, kMaxTravel, D, 0, false, 'X'},
    {"DoubleMarkTestConfig", "m_Origin_Y", -kMaxTravel, kMaxTravel, D, 0, false, 'Y'},
    {"DoubleMarkTestConfig", "m_Mark1_X", -kMaxTravel, kMaxTravel, D, 0, false, 'X'},
    {"DoubleMarkTestConfig", "m_Mark1_Y", -kMaxTravel, kMaxTravel, D, 0, false, 'Y'},
    {"DoubleMarkTestConfig", "m_Mark2_X", -kMaxTravel, kMaxTravel, D, 0, false, 'X'},
    {"DoubleMarkTestConfig", "m_Mark2_Y", -kMaxTravel, kMaxTravel, D, 0, false, 'Y'},
    {"DoubleMarkTestConfig", "m_Coordinate_X", -kMaxTravel, kMaxTravel, D, 0, false, 'X'},
    {"DoubleMarkTestConfig", "m_Coordinate_Y", -kMaxTravel, kMaxTravel, D, 0, false, 'Y'},
    {"DoubleMarkTestConfig", "m_Mark2_Mark1_A_Old", -180, 180, D, 0, false},
    {"DoubleMarkTestConfig", "m_SetMark1Offset_X", -kMaxTravel, kMaxTravel, D, 0, false, 'X'},
    {"DoubleMarkTestConfig", "m_SetMark1Offset_Y", -kMaxTravel, kMaxTravel, D, 0, false, 'Y'},
    {"DoubleMarkTestConfig", "m_SetMark2Offset_X", -kMaxTravel, kMaxTravel, D, 0, false, 'X'},
    {"DoubleMarkTestConfig", "m_SetMark2Offset_Y", -kMaxTravel, kMaxTravel, D, 0, false, 'Y'},
    {"DoubleMarkTestConfig", "m_Mark2_Mark1_A_New", -180, 180, D, 0, false},
    {"DoubleMarkTestConfig", "m_GetCoordinate_X", -1e6, 1e6, D, 0, false},
    {"DoubleMarkTestConfig", "m_GetCoordinate_Y", -1e6, 1e6, D, 0, false},
    // Import of placement files.
    {"ImportFileConfig", "m_FitPartPacking", 0, 1, I, 0, false},
    {"ImportFileConfig", "m_FitPartValue", 0, 1, I, 0, false},
};

}  // namespace

std::span<const ConfigKeyRange> ConfigKeyRanges() { return kRanges; }

const ConfigKeyRange* FindConfigKeyRange(std::string_view section, std::string_view key) {
  for (const auto& r : kRanges)
    if (r.section == section && r.key == key) return &r;
  return nullptr;
}

double ConfiguredTravel(const std::string& configPath, char axis) {
  const platform::SettingsSection basic(configPath, "SetBasicConfig");
  const bool x = axis == 'X';
  const std::string text = basic.ReadText(x ? "m_X_Limit" : "m_Y_Limit", "");
  const auto v = platform::ParseOperatorNumber(text);
  // X limits are positive, Y limits negative; 0 is "not set".
  const double travel = v ? (x ? *v : -*v) : 0;
  if (!(travel >= 0.1 && travel <= kMaxTravel)) return kMaxTravel;
  return travel;
}

std::pair<double, double> ConfigKeyBounds(const ConfigKeyRange& r, const std::string& configPath) {
  if (r.travel == 0) return {r.lo, r.hi};
  const double t = ConfiguredTravel(configPath, r.travel);
  return {-t, t};
}

namespace {
const ConfigKeyRange* RangeOrSay(const platform::SettingsSection& s, std::string_view key) {
  const ConfigKeyRange* r = FindConfigKeyRange(s.section(), key);
  if (!r)
    std::fprintf(stderr, "config key without a range: [%s] %.*s\n", s.section().c_str(), static_cast<int>(key.size()),
                 key.data());
  return r;
}
}  // namespace

int ReadConfigInt(const platform::SettingsSection& s, std::string_view key) {
  const ConfigKeyRange* r = RangeOrSay(s, key);
  if (!r) return s.ReadInt(key);
  if (!r->integer) return static_cast<int>(s.ReadNumber(key, r->lo, r->hi, r->def, r->zeroIsUnset));
  return static_cast<int>(s.ReadInteger(key, static_cast<long long>(r->lo), static_cast<long long>(r->hi),
                                        static_cast<long long>(r->def), r->zeroIsUnset));
}

double ReadConfigNumber(const platform::SettingsSection& s, std::string_view key) {
  const ConfigKeyRange* r = RangeOrSay(s, key);
  if (!r) return s.ReadDouble(key);
  if (r->integer)
    return static_cast<double>(s.ReadInteger(key, static_cast<long long>(r->lo), static_cast<long long>(r->hi),
                                             static_cast<long long>(r->def), r->zeroIsUnset));
  const auto [lo, hi] = ConfigKeyBounds(*r, s.path());
  return s.ReadNumber(key, lo, hi, r->def, r->zeroIsUnset);
}

}  // namespace smt::settings
