// Every numeric key of the detour, feeder, conveyor, cover-tape, dipping,
// labeling, lamp, jog panel, firmware switch, strategy, run feed, PCB editor,
// origin update, package editor, nozzle change, two-mark test and import
// sections of config.ini, read through every loader that reads it: each end
// of the key's range is taken, one past each end and every text a damaged or
// hand-edited file holds are refused once naming the file, the key and the
// range, every reader then uses the key's default, and the file is never
// written.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "core/Machine.h"
#include "feeder/AutoFeeders.h"
#include "job/ImportFileSettings.h"
#include "job/PcbEditSettings.h"
#include "library/DoubleMarkTest.h"
#include "library/NozzleLibrary.h"
#include "library/NozzleStrategy.h"
#include "library/OriginUpdate.h"
#include "library/PackLibrary.h"
#include "link/FirmwareSwitches.h"
#include "link/JogPad.h"
#include "link/JogPanelConfig.h"
#include "link/MotionSettings.h"
#include "platform/FileCell.h"
#include "platform/MessageService.h"
#include "platform/ProfileFile.h"
#include "platform/ReadRefusals.h"
#include "platform/SettingsSection.h"
#include "run/RunFeedSettings.h"
#include "run/StrategySettings.h"
#include "settings/DetourSettings.h"
#include "settings/ConfigKeyRanges.h"
#include "stations/ConveyorSettings.h"
#include "stations/CoverTapeSettings.h"
#include "stations/DippingStation.h"
#include "stations/LabelingSettings.h"
#include "stations/LampPointTable.h"
#include "support/TempDir.h"

using smt::test::TempDir;
namespace platform = smt::platform;

namespace {

// What each reader of the file gives, keyed "[Section] key"; a key read by
// several loaders has one value per loader.
using Values = std::map<std::string, std::vector<double>>;

void Put(Values& v, const std::string& section, const std::string& key, double value) {
  v["[" + section + "] " + key].push_back(value);
}

Values LoadEverything(const std::string& dir) {
  Values v;
  {
    const auto d = smt::settings::LoadDetourSettings(dir);
    const std::string s = "PositionLimitDetourConfig";
    Put(v, s, "m_W_S_Detour_dX", d.m_W_S_Detour_dX);
    Put(v, s, "m_W_S_Detour_dY", d.m_W_S_Detour_dY);
    Put(v, s, "m_E_S_Detour_dX", d.m_E_S_Detour_dX);
    Put(v, s, "m_E_S_Detour_dY", d.m_E_S_Detour_dY);
    Put(v, s, "m_W_S_PositionLimitPositionDetour", d.m_W_S_PositionLimitPositionDetour);
    Put(v, s, "m_E_S_PositionLimitPositionDetour", d.m_E_S_PositionLimitPositionDetour);
    Put(v, s, "m_W_S_LessPosition_dX", d.m_W_S_LessPosition_dX);
    Put(v, s, "m_W_S_LessPosition_dY", d.m_W_S_LessPosition_dY);
    Put(v, s, "m_E_S_LessPosition_dX", d.m_E_S_LessPosition_dX);
    Put(v, s, "m_E_S_LessPosition_dY", d.m_E_S_LessPosition_dY);
    Put(v, s, "m_E_N_LessPosition_dX", d.m_E_N_LessPosition_dX);
    Put(v, s, "m_E_N_LessPosition_dY", d.m_E_N_LessPosition_dY);
  }
  {
    auto& feeders = smt::feeder::AutoFeeders::Of(smt::CurrentMachine());
    feeders.LoadConfig(dir);
    const auto c = feeders.Config();
    const std::string s = "AutoFeedConfig";
    Put(v, s, "m_Feed_Times", c.m_Feed_Times);
    Put(v, s, "m_Feed_Delay", c.m_Feed_Delay);
    Put(v, s, "m_Open_Length", c.m_Open_Length);
    Put(v, s, "m_Close_Length", c.m_Close_Length);
    Put(v, s, "m_FeedBack_Delay", c.m_FeedBack_Delay);
    Put(v, s, "m_bIntegrationFeed", c.m_bIntegrationFeed);
    Put(v, s, "m_bAutoFeed", c.m_bAutoFeed);
    Put(v, s, "m_bVibrationFeed", c.m_bVibrationFeed);
    Put(v, s, "m_bDragHand", c.m_bDragHand);
    Put(v, s, "m_TestLoop", c.m_TestLoop);
  }
  {
    smt::link::MotionSettings m;
    smt::link::ApplyFileValues(m, dir);
    Put(v, "AutoFeedConfig", "m_Feed_Delay", m.feedDelayMs);
    Put(v, "AutoTransportConfig", "m_WaitTimeOut", m.conveyorWaitTimeOut);
    Put(v, "AutoTransportConfig", "m_ConveyorStartSpeed", m.conveyorStartSpeed);
    Put(v, "AutoTransportConfig", "m_ConveyorNormalSpeed", m.conveyorNormalSpeed);
    Put(v, "AutoTransportConfig", "m_AutoTransport", m.autoTransport ? 1 : 0);
    Put(v, "SmtStrategyConfig", "m_RunSelect", m.runSelect);
    Put(v, "ManualControlConfig", "m_bShowPulse", m.showPulse ? 1 : 0);
    for (size_t i = 0; i < 16; ++i)
      Put(v, "OriginUpdateConfig", smt::link::OriginUpdateKeys()[i], m.originUpdate[i] ? 1 : 0);
  }
  {
    const auto j = smt::link::LoadJogContext(smt::CurrentMachine(), dir);
    Put(v, "AutoFeedConfig", "m_Open_Length", j.openLength);
    Put(v, "AutoFeedConfig", "m_Close_Length", j.closeLength);
  }
  {
    const auto c = smt::stations::ConveyorSettings::Load(dir);
    const std::string s = "AutoTransportConfig";
    Put(v, s, "m_ConveyorStartSpeed", c.m_ConveyorStartSpeed);
    Put(v, s, "m_ConveyorNormalSpeed", c.m_ConveyorNormalSpeed);
    Put(v, s, "m_StepValue", c.m_StepValue);
    Put(v, s, "m_ClampTime", c.m_ClampTime);
    Put(v, s, "m_WaitTimeOut", c.m_WaitTimeOut);
    Put(v, s, "m_AutoTransport_1_1", c.m_AutoTransport_1_1);
    Put(v, s, "m_AutoTransport_1_2", c.m_AutoTransport_1_2);
    Put(v, s, "m_AutoTransport_2_1", c.m_AutoTransport_2_1);
    Put(v, s, "m_AutoTransport_2_2", c.m_AutoTransport_2_2);
    Put(v, s, "m_AutoTransport_3_1", c.m_AutoTransport_3_1);
    Put(v, s, "m_AutoTransport_3_2", c.m_AutoTransport_3_2);
    Put(v, s, "m_AutoTransport", c.m_AutoTransport);
    Put(v, s, "m_Reset", c.m_Reset);
    Put(v, s, "m_ResetWidth", c.m_ResetWidth);
    Put(v, s, "m_SetWidth", c.m_SetWidth);
    Put(v, s, "m_MinRange", c.m_MinRange);
    Put(v, s, "m_MaxRange", c.m_MaxRange);
  }
  {
    const auto c = smt::stations::CoverTapeSettings::Load(dir);
    const std::string s = "SetCoverConfig";
    Put(v, s, "m_StepPulse", c.m_StepPulse);
    Put(v, s, "m_CoverTotal", c.m_CoverTotal);
    Put(v, s, "m_CoverOnceTotal", c.m_CoverOnceTotal);
    Put(v, s, "m_BlankTotal", c.m_BlankTotal);
    Put(v, s, "m_CoverDelay", c.m_CoverDelay);
    Put(v, s, "m_CoverTotalCount", c.m_CoverTotalCount);
    Put(v, s, "m_CoverCount", c.m_CoverCount);
  }
  {
    const auto d = smt::stations::DippingStationSettings::Load(dir);
    const std::string s = "DippingStationConfig";
    Put(v, s, "m_DippingStation", d.m_DippingStation);
    Put(v, s, "m_DippingStation_X", d.m_DippingStation_X);
    Put(v, s, "m_DippingStation_Y", d.m_DippingStation_Y);
    Put(v, s, "m_DippingStation_Z", d.m_DippingStation_Z);
    Put(v, s, "m_WaterFilmThickness", d.m_WaterFilmThickness);
    Put(v, s, "m_DippingStation_RunTime", d.m_DippingStation_RunTime);
    Put(v, s, "m_DippingStation_StopDelay", d.m_DippingStation_StopDelay);
    Put(v, s, "m_DippingStation_Delay", d.m_DippingStation_Delay);
  }
  {
    const auto l = smt::stations::LabelingSettings::Load(dir);
    const std::string s = "LabelingSetConfig";
    Put(v, s, "m_StartX", l.m_StartX);
    Put(v, s, "m_StartY", l.m_StartY);
    Put(v, s, "m_EndX", l.m_EndX);
    Put(v, s, "m_EndY", l.m_EndY);
    Put(v, s, "m_DistanceX", l.m_DistanceX);
    Put(v, s, "m_DistanceY", l.m_DistanceY);
    Put(v, s, "m_SerialX", l.m_SerialX);
    Put(v, s, "m_SerialY", l.m_SerialY);
    Put(v, s, "m_ThimbleX", l.m_ThimbleX);
    Put(v, s, "m_ThimbleY", l.m_ThimbleY);
    Put(v, s, "m_NozzlePickHeight", l.m_NozzlePickHeight);
    Put(v, s, "m_ThimblePickHeight", l.m_ThimblePickHeight);
    Put(v, s, "m_LiftAwayDistance", l.m_LiftAwayDistance);
    Put(v, s, "m_ComponentLenght", l.m_ComponentLenght);
    Put(v, s, "m_ComponentWidth", l.m_ComponentWidth);
    Put(v, s, "m_AllowableError", l.m_AllowableError);
    Put(v, s, "m_CheckTimes", l.m_CheckTimes);
    Put(v, s, "m_VisualBoxSize", l.m_VisualBoxSize);
    Put(v, s, "m_Brightness", l.m_Brightness);
    Put(v, s, "m_Threshold", l.m_Threshold);
    Put(v, s, "m_GlassSheets", l.m_GlassSheets);
    Put(v, s, "m_Pause", l.m_Pause);
  }
  {
    const auto c = smt::stations::LampCounters::Load(dir);
    Put(v, "LampMachineListConfig", "m_CountSet", c.m_CountSet);
    Put(v, "LampMachineListConfig", "m_CountFinish", c.m_CountFinish);
    Put(v, "LampMachineListConfig", "m_CountUnfinish", c.m_CountUnfinish);
  }
  {
    const auto c = smt::link::LoadJogPanelConfig(dir);
    const std::string s = "ManualControlConfig";
    Put(v, s, "m_SpeedGears", c.steps.m_SpeedGears);
    Put(v, s, "m_XY_RunSteps", c.steps.m_XY_RunSteps);
    Put(v, s, "m_Z_RunSteps", c.steps.m_Z_RunSteps);
    Put(v, s, "m_A_RunSteps", c.steps.m_A_RunSteps);
    Put(v, s, "m_Feed_RunSteps", c.steps.m_Feed_RunSteps);
    Put(v, s, "m_S_RunSteps", c.steps.m_S_RunSteps);
    Put(v, s, "m_Feed_Direction", c.feedDirection);
    Put(v, s, "m_ComNumber", c.comNumber);
    Put(v, s, "m_bShowInformation", c.showInformation);
  }
  {
    smt::link::FirmwareSwitches f;
    f.Load(dir);
    const std::string s = "CPUVersionNumberConfig";
    Put(v, s, "m_V2_04", f.m_V2_04);
    Put(v, s, "m_V2_05", f.m_V2_05);
    Put(v, s, "m_V2_06", f.m_V2_06);
    Put(v, s, "m_V2_07", f.m_V2_07);
    Put(v, s, "m_Write_Logfile", f.m_Write_Logfile);
  }
  {
    const auto t = smt::run::LoadStrategy(dir);
    const std::string s = "SmtStrategyConfig";
    Put(v, s, "m_SmtOrder", t.m_SmtOrder);
    Put(v, s, "m_HeaderSelect", t.m_HeaderSelect);
    Put(v, s, "m_SpecialHead", t.m_SpecialHead);
    Put(v, s, "m_TogetherCode", t.m_TogetherCode);
    Put(v, s, "m_Camera", t.m_Camera);
    Put(v, s, "m_AutoChangeNozzle", t.m_AutoChangeNozzle);
    Put(v, s, "m_19NozzleLibrary", t.m_19NozzleLibrary);
    Put(v, s, "m_ChangeNozzleSelect", t.m_ChangeNozzleSelect);
    Put(v, s, "m_Head2AvoidCamera1", t.m_Head2AvoidCamera1);
    Put(v, s, "m_Cover", t.m_Cover);
    Put(v, s, "m_SpellBoard", t.m_SpellBoard);
    Put(v, s, "m_RunSelect", t.m_RunSelect);
    Put(v, s, "m_Interval", t.m_Interval);
    Put(v, s, "m_DropsGlueDelay", t.m_DropsGlueDelay);
    Put(v, s, "m_bDisMode2", t.m_bDisMode2);
    Put(v, s, "m_DisSpeedStart_XY", t.m_DisSpeedStart_XY);
    Put(v, s, "m_DisSpeedNormal_XY", t.m_DisSpeedNormal_XY);
    Put(v, s, "m_DisSpeedStart_Z", t.m_DisSpeedStart_Z);
    Put(v, s, "m_DisSpeedNormal_Z", t.m_DisSpeedNormal_Z);
    Put(v, s, "m_DropsGluePoint", t.m_DropsGluePoint);
    Put(v, s, "m_WeldDistance_1", t.m_WeldDistance_1);
    Put(v, s, "m_WeldDistance_2", t.m_WeldDistance_2);
    Put(v, s, "m_DropsGlueOpen1", t.m_DropsGlueOpen1);
    Put(v, s, "m_DropsGlueClose1", t.m_DropsGlueClose1);
    Put(v, s, "m_AfterCloseDelay1", t.m_AfterCloseDelay1);
    Put(v, s, "m_DropsGlueOpen2", t.m_DropsGlueOpen2);
    Put(v, s, "m_DropsGlueClose2", t.m_DropsGlueClose2);
    Put(v, s, "m_AfterCloseDelay2", t.m_AfterCloseDelay2);
    const auto n = smt::library::LoadNozzleStrategy(dir);
    Put(v, s, "m_AutoChangeNozzle", n.m_AutoChangeNozzle);
    Put(v, s, "m_19NozzleLibrary", n.m_19NozzleLibrary);
    Put(v, s, "m_ChangeNozzleSelect", n.m_ChangeNozzleSelect);
  }
  {
    const auto f = smt::run::LoadRunFeedSettings(dir);
    const std::string s = "RunFeedConfig";
    Put(v, s, "m_DragPinIn", f.m_DragPinIn);
    Put(v, s, "m_DragPinOut", f.m_DragPinOut);
    Put(v, s, "m_LabelTape_Pulse", f.m_LabelTape_Pulse);
    Put(v, s, "m_LabelTapeStart", f.m_LabelTapeStart);
    Put(v, s, "m_LabelTapeNormal", f.m_LabelTapeNormal);
  }
  {
    const auto p = smt::job::LoadPcbEditSettings(dir);
    const std::string s = "PcbEditConfig";
    Put(v, s, "m_PcbBoardCount", p.m_PcbBoardCount);
    Put(v, s, "m_VisualZoom", p.m_VisualZoom);
    Put(v, s, "m_DetectPrecision", p.m_DetectPrecision);
    Put(v, s, "m_ImageColorReversal", p.m_ImageColorReversal ? 1 : 0);
    Put(v, s, "m_VisualBox", p.m_VisualBox);
    Put(v, s, "m_MarkDiameter", p.m_MarkDiameter);
    Put(v, s, "m_LightContrast", p.m_LightContrast);
    Put(v, s, "m_LightBrightness", p.m_LightBrightness);
    Put(v, s, "m_VisualTimes", p.m_VisualTimes);
    Put(v, s, "m_MarkCollectTime", p.m_MarkCollectTime);
    Put(v, s, "m_SpecialMark2", p.m_SpecialMark2 ? 1 : 0);
    Put(v, s, "m_Mark2LightContrast", p.m_Mark2LightContrast);
    Put(v, s, "m_Mark2LightBrightness", p.m_Mark2LightBrightness);
  }
  {
    const auto o = smt::library::LoadOriginUpdate(dir);
    const std::string s = "OriginUpdateConfig";
    Put(v, s, "m_OriginOffsetX", o.m_OriginOffsetX);
    Put(v, s, "m_OriginOffsetY", o.m_OriginOffsetY);
    Put(v, s, "m_UpdateCurrentFeed", o.m_UpdateCurrentFeed);
    Put(v, s, "m_UpdatePcbOrigin", o.m_UpdatePcbOrigin);
    Put(v, s, "m_UpdateCamera", o.m_UpdateCamera);
    Put(v, s, "m_UpdateNozzle", o.m_UpdateNozzle);
    Put(v, s, "m_UpdateThrow", o.m_UpdateThrow);
    for (int i = 0; i < smt::library::kAxisSwitchCount; ++i)
      Put(v, s, smt::library::AxisSwitchKeys()[i], o.axes[i]);
  }
  {
    const auto p = smt::library::LoadPackEditSwitches(dir);
    const std::string s = "PackEditConfig";
    Put(v, s, "m_SynchronousModify", p.m_SynchronousModify);
    Put(v, s, "m_SelectFeedMode", p.m_SelectFeedMode);
    Put(v, s, "m_FeedTimes", p.m_FeedTimes);
    Put(v, s, "m_FeedTime", p.m_FeedTime);
    Put(v, s, "m_OpenLength", p.m_OpenLength);
    Put(v, s, "m_CloseLength", p.m_CloseLength);
    Put(v, s, "m_Precision_XY", p.m_Precision_XY);
    Put(v, s, "m_Precision_A", p.m_Precision_A);
    Put(v, s, "m_CollectPictureTime", p.m_CollectPictureTime);
    Put(v, s, "m_NozzleHeight", p.m_NozzleHeight);
    Put(v, s, "m_VacuumTestValue", p.m_VacuumTestValue);
    Put(v, s, "m_smtBeforeCloseVacuum", p.m_smtBeforeCloseVacuum);
  }
  {
    auto& nozzles = smt::library::TheNozzleLibrary(smt::CurrentMachine());
    nozzles.LoadConfig(dir);
    const auto n = nozzles.Settings();
    Put(v, "NozzleListConfig", "m_InAndOutExtern", n.m_InAndOutExtern);
    Put(v, "NozzleListConfig", "m_Distance", n.m_Distance);
    Put(v, "NozzleListConfig", "m_Delay", n.m_Delay);
  }
  {
    const auto m = smt::library::LoadDoubleMarkTest(dir);
    const std::string s = "DoubleMarkTestConfig";
    Put(v, s, "m_Origin_X", m.m_Origin_X);
    Put(v, s, "m_Origin_Y", m.m_Origin_Y);
    Put(v, s, "m_Mark1_X", m.m_Mark1_X);
    Put(v, s, "m_Mark1_Y", m.m_Mark1_Y);
    Put(v, s, "m_Mark2_X", m.m_Mark2_X);
    Put(v, s, "m_Mark2_Y", m.m_Mark2_Y);
    Put(v, s, "m_Coordinate_X", m.m_Coordinate_X);
    Put(v, s, "m_Coordinate_Y", m.m_Coordinate_Y);
    Put(v, s, "m_Mark2_Mark1_A_Old", m.m_Mark2_Mark1_A_Old);
    Put(v, s, "m_SetMark1Offset_X", m.m_SetMark1Offset_X);
    Put(v, s, "m_SetMark1Offset_Y", m.m_SetMark1Offset_Y);
    Put(v, s, "m_SetMark2Offset_X", m.m_SetMark2Offset_X);
    Put(v, s, "m_SetMark2Offset_Y", m.m_SetMark2Offset_Y);
    Put(v, s, "m_Mark2_Mark1_A_New", m.m_Mark2_Mark1_A_New);
    Put(v, s, "m_GetCoordinate_X", m.m_GetCoordinate_X);
    Put(v, s, "m_GetCoordinate_Y", m.m_GetCoordinate_Y);
  }
  {
    const auto f = smt::job::LoadImportFitOptions(dir);
    Put(v, "ImportFileConfig", "m_FitPartPacking", f.m_FitPartPacking);
    Put(v, "ImportFileConfig", "m_FitPartValue", f.m_FitPartValue);
  }
  return v;
}

// The range of each key as the dialog that edits it bounds it (a switch 0 or
// 1), the value a missing key reads as, and whether a stored 0 means "not
// set" (read as that value without a word).
struct Expected {
  const char* section;
  const char* key;
  double lo, hi;
  bool integer;
  double def;
  bool zeroIsUnset;
};
constexpr bool I = true, D = false, U = true, N = false;
const Expected kExpected[] = {
    // The detours and the two-mark positions: the machine's travel along
    // their axis, here the widest (the files swept hold no limits).
    {"PositionLimitDetourConfig", "m_W_S_Detour_dX", -10000, 10000, D, 0, N},
    {"PositionLimitDetourConfig", "m_W_S_Detour_dY", -10000, 10000, D, 0, N},
    {"PositionLimitDetourConfig", "m_E_S_Detour_dX", -10000, 10000, D, 0, N},
    {"PositionLimitDetourConfig", "m_E_S_Detour_dY", -10000, 10000, D, 0, N},
    {"PositionLimitDetourConfig", "m_W_S_PositionLimitPositionDetour", 0, 1, I, 0, N},
    {"PositionLimitDetourConfig", "m_E_S_PositionLimitPositionDetour", 0, 1, I, 0, N},
    {"PositionLimitDetourConfig", "m_W_S_LessPosition_dX", -10000, 10000, D, 0, N},
    {"PositionLimitDetourConfig", "m_W_S_LessPosition_dY", -10000, 10000, D, 0, N},
    {"PositionLimitDetourConfig", "m_E_S_LessPosition_dX", -10000, 10000, D, 0, N},
    {"PositionLimitDetourConfig", "m_E_S_LessPosition_dY", -10000, 10000, D, 0, N},
    {"PositionLimitDetourConfig", "m_E_N_LessPosition_dX", -10000, 10000, D, 0, N},
    {"PositionLimitDetourConfig", "m_E_N_LessPosition_dY", -10000, 10000, D, 0, N},
    {"AutoFeedConfig", "m_Feed_Times", 1, 10, I, 1, U},
    {"AutoFeedConfig", "m_Feed_Delay", 0, 10000, I, 200, U},
    {"AutoFeedConfig", "m_Open_Length", 0, 1000, I, 30, U},
    {"AutoFeedConfig", "m_Close_Length", 0, 1000, I, 45, U},
    {"AutoFeedConfig", "m_FeedBack_Delay", 0, 65535, I, 0, N},
    {"AutoFeedConfig", "m_bIntegrationFeed", 0, 1, I, 0, N},
    {"AutoFeedConfig", "m_bAutoFeed", 0, 1, I, 0, N},
    {"AutoFeedConfig", "m_bVibrationFeed", 0, 1, I, 0, N},
    {"AutoFeedConfig", "m_bDragHand", 0, 1, I, 0, N},
    {"AutoFeedConfig", "m_TestLoop", 1, 10000, I, 1, U},
    {"AutoTransportConfig", "m_ConveyorStartSpeed", 1, 255, I, 1, U},
    {"AutoTransportConfig", "m_ConveyorNormalSpeed", 1, 255, I, 1, U},
    {"AutoTransportConfig", "m_StepValue", 1, 100000, I, 1, U},
    {"AutoTransportConfig", "m_ClampTime", 0, 10000, I, 0, N},
    {"AutoTransportConfig", "m_WaitTimeOut", 0, 10000, I, 0, N},
    {"AutoTransportConfig", "m_AutoTransport_1_1", 0, 10000, D, 0, N},
    {"AutoTransportConfig", "m_AutoTransport_1_2", 0, 10000, D, 0, N},
    {"AutoTransportConfig", "m_AutoTransport_2_1", 0, 10000, D, 0, N},
    {"AutoTransportConfig", "m_AutoTransport_2_2", 0, 10000, D, 0, N},
    {"AutoTransportConfig", "m_AutoTransport_3_1", 0, 10000, D, 0, N},
    {"AutoTransportConfig", "m_AutoTransport_3_2", 0, 10000, D, 0, N},
    {"AutoTransportConfig", "m_AutoTransport", 0, 1, I, 0, N},
    {"AutoTransportConfig", "m_Reset", 0, 1, I, 0, N},
    {"AutoTransportConfig", "m_ResetWidth", 0, 10000, D, 0, N},
    {"AutoTransportConfig", "m_SetWidth", -1000, 1000, D, 0, N},
    {"AutoTransportConfig", "m_MinRange", -1000, 1000, D, 0, N},
    {"AutoTransportConfig", "m_MaxRange", -1000, 1000, D, 0, N},
    {"SetCoverConfig", "m_StepPulse", 1, 10000, I, 1, U},
    {"SetCoverConfig", "m_CoverTotal", 1, 100000, I, 1, U},
    {"SetCoverConfig", "m_CoverOnceTotal", 1, 100, I, 1, U},
    {"SetCoverConfig", "m_BlankTotal", 1, 1000, I, 1, U},
    {"SetCoverConfig", "m_CoverDelay", 1, 100000, I, 1, U},
    {"SetCoverConfig", "m_CoverTotalCount", 0, 100000, I, 0, N},
    {"SetCoverConfig", "m_CoverCount", 0, 1000, I, 0, N},
    {"DippingStationConfig", "m_DippingStation", 0, 1, I, 0, N},
    {"DippingStationConfig", "m_DippingStation_X", 0, 1000, D, 0, N},
    {"DippingStationConfig", "m_DippingStation_Y", -1000, 0, D, 0, N},
    {"DippingStationConfig", "m_DippingStation_Z", -100, 0, D, 0, N},
    {"DippingStationConfig", "m_WaterFilmThickness", 0, 3, D, 0, N},
    {"DippingStationConfig", "m_DippingStation_RunTime", 0, 10000, I, 0, N},
    {"DippingStationConfig", "m_DippingStation_StopDelay", 0, 10000, I, 0, N},
    {"DippingStationConfig", "m_DippingStation_Delay", 0, 10000, I, 0, N},
    {"LabelingSetConfig", "m_StartX", 0, 1000, D, 0, N},
    {"LabelingSetConfig", "m_StartY", -1000, 0, D, 0, N},
    {"LabelingSetConfig", "m_EndX", 0, 1000, D, 0, N},
    {"LabelingSetConfig", "m_EndY", -1000, 0, D, 0, N},
    {"LabelingSetConfig", "m_DistanceX", 1, 100, D, 1, U},
    {"LabelingSetConfig", "m_DistanceY", 1, 100, D, 1, U},
    {"LabelingSetConfig", "m_SerialX", 0, 100, I, 0, N},
    {"LabelingSetConfig", "m_SerialY", 0, 100, I, 0, N},
    {"LabelingSetConfig", "m_ThimbleX", 0, 1000, D, 0, N},
    {"LabelingSetConfig", "m_ThimbleY", -1000, 0, D, 0, N},
    {"LabelingSetConfig", "m_NozzlePickHeight", -100, 0, D, 0, N},
    {"LabelingSetConfig", "m_ThimblePickHeight", 0, 100, D, 0, N},
    {"LabelingSetConfig", "m_LiftAwayDistance", 0, 100, D, 0, N},
    {"LabelingSetConfig", "m_ComponentLenght", 0, 20, D, 0, N},
    {"LabelingSetConfig", "m_ComponentWidth", 0, 20, D, 0, N},
    {"LabelingSetConfig", "m_AllowableError", 0, 100, I, 0, N},
    {"LabelingSetConfig", "m_CheckTimes", 0, 10000, I, 0, N},
    {"LabelingSetConfig", "m_VisualBoxSize", 0, 50, D, 0, N},
    {"LabelingSetConfig", "m_Brightness", 0, 255, I, 0, N},
    {"LabelingSetConfig", "m_Threshold", 0, 255, I, 0, N},
    {"LabelingSetConfig", "m_GlassSheets", 0, 1, I, 0, N},
    {"LabelingSetConfig", "m_Pause", 0, 1, I, 0, N},
    {"LampMachineListConfig", "m_CountSet", 1, 1000000, I, 1, U},
    {"LampMachineListConfig", "m_CountFinish", 0, 1000000, I, 0, N},
    {"LampMachineListConfig", "m_CountUnfinish", 0, 1000000, I, 0, N},
    {"ManualControlConfig", "m_SpeedGears", 0, 3, I, 0, N},
    {"ManualControlConfig", "m_XY_RunSteps", 0, 100000, I, 0, N},
    {"ManualControlConfig", "m_Z_RunSteps", 0, 100000, I, 0, N},
    {"ManualControlConfig", "m_A_RunSteps", 0, 100000, I, 0, N},
    {"ManualControlConfig", "m_Feed_RunSteps", 0, 100000, I, 0, N},
    {"ManualControlConfig", "m_S_RunSteps", 0, 100000, I, 0, N},
    {"ManualControlConfig", "m_Feed_Direction", 0, 255, I, 0, N},  // beyond 3: no icon
    {"ManualControlConfig", "m_ComNumber", 0, 255, I, 0, N},
    {"ManualControlConfig", "m_bShowInformation", 0, 1, I, 0, N},
    {"ManualControlConfig", "m_bShowPulse", 0, 1, I, 0, N},
    {"CPUVersionNumberConfig", "m_V2_04", 0, 1, I, 0, N},
    {"CPUVersionNumberConfig", "m_V2_05", 0, 1, I, 0, N},
    {"CPUVersionNumberConfig", "m_V2_06", 0, 1, I, 0, N},
    {"CPUVersionNumberConfig", "m_V2_07", 0, 1, I, 0, N},
    {"CPUVersionNumberConfig", "m_Write_Logfile", 0, 1, I, 0, N},
    {"SmtStrategyConfig", "m_SmtOrder", 0, 9, I, 0, N},
    {"SmtStrategyConfig", "m_HeaderSelect", 0, 8, I, 0, N},
    {"SmtStrategyConfig", "m_SpecialHead", 2, 8, I, 8, U},
    {"SmtStrategyConfig", "m_TogetherCode", 0, 1, I, 0, N},
    {"SmtStrategyConfig", "m_Camera", 0, 1, I, 0, N},
    {"SmtStrategyConfig", "m_AutoChangeNozzle", 0, 1, I, 0, N},
    {"SmtStrategyConfig", "m_19NozzleLibrary", 0, 1, I, 0, N},
    {"SmtStrategyConfig", "m_ChangeNozzleSelect", 0, 2, I, 0, N},
    {"SmtStrategyConfig", "m_Head2AvoidCamera1", 0, 1, I, 0, N},
    {"SmtStrategyConfig", "m_Cover", 0, 1, I, 0, N},
    {"SmtStrategyConfig", "m_SpellBoard", 0, 255, I, 0, N},
    {"SmtStrategyConfig", "m_RunSelect", 0, 12, I, 0, N},
    {"SmtStrategyConfig", "m_Interval", 0, 10000, I, 0, N},
    {"SmtStrategyConfig", "m_DropsGlueDelay", 0, 10000, I, 0, N},
    {"SmtStrategyConfig", "m_bDisMode2", 0, 1, I, 0, N},
    {"SmtStrategyConfig", "m_DisSpeedStart_XY", 1, 255, I, 50, U},
    {"SmtStrategyConfig", "m_DisSpeedNormal_XY", 1, 255, I, 100, U},
    {"SmtStrategyConfig", "m_DisSpeedStart_Z", 1, 255, I, 50, U},
    {"SmtStrategyConfig", "m_DisSpeedNormal_Z", 1, 255, I, 100, U},
    {"SmtStrategyConfig", "m_DropsGluePoint", 1, 4, I, 1, U},
    {"SmtStrategyConfig", "m_WeldDistance_1", 0, 30, D, 0, N},
    {"SmtStrategyConfig", "m_WeldDistance_2", 0, 30, D, 0, N},
    {"SmtStrategyConfig", "m_DropsGlueOpen1", 0, 100, D, 0, N},
    {"SmtStrategyConfig", "m_DropsGlueClose1", 0, 100, D, 0, N},
    {"SmtStrategyConfig", "m_AfterCloseDelay1", 0, 10000, I, 0, N},
    {"SmtStrategyConfig", "m_DropsGlueOpen2", 0, 100, D, 0, N},
    {"SmtStrategyConfig", "m_DropsGlueClose2", 0, 100, D, 0, N},
    {"SmtStrategyConfig", "m_AfterCloseDelay2", 0, 10000, I, 0, N},
    {"RunFeedConfig", "m_DragPinIn", 1, 100, I, 4, U},
    {"RunFeedConfig", "m_DragPinOut", 1, 100, I, 4, U},
    {"RunFeedConfig", "m_LabelTape_Pulse", 1, 10000, D, 1, U},
    {"RunFeedConfig", "m_LabelTapeStart", 1, 255, I, 10, U},
    {"RunFeedConfig", "m_LabelTapeNormal", 1, 255, I, 20, U},
    {"PcbEditConfig", "m_PcbBoardCount", 1, 10000, I, 1, U},
    {"PcbEditConfig", "m_VisualZoom", 1, 200, D, 1, U},
    {"PcbEditConfig", "m_DetectPrecision", 1, 100, I, 1, U},
    {"PcbEditConfig", "m_ImageColorReversal", 0, 1, I, 0, N},
    {"PcbEditConfig", "m_VisualBox", 0.2, 50, D, 0.2, U},
    {"PcbEditConfig", "m_MarkDiameter", 0.1, 20, D, 0.1, U},
    {"PcbEditConfig", "m_LightContrast", 0, 255, I, 0, N},
    {"PcbEditConfig", "m_LightBrightness", 0, 255, I, 0, N},
    {"PcbEditConfig", "m_VisualTimes", 1, 10, I, 1, U},
    {"PcbEditConfig", "m_MarkCollectTime", 10, 1000, I, 10, U},
    {"PcbEditConfig", "m_SpecialMark2", 0, 1, I, 0, N},
    {"PcbEditConfig", "m_Mark2LightContrast", 0, 255, I, 0, N},
    {"PcbEditConfig", "m_Mark2LightBrightness", 0, 255, I, 0, N},
    {"OriginUpdateConfig", "m_OriginOffsetX", -1, 1, D, 0, N},
    {"OriginUpdateConfig", "m_OriginOffsetY", -1, 1, D, 0, N},
    {"OriginUpdateConfig", "m_UpdateCurrentFeed", 0, 1, I, 0, N},
    {"OriginUpdateConfig", "m_UpdatePcbOrigin", 0, 1, I, 0, N},
    {"OriginUpdateConfig", "m_UpdateCamera", 0, 1, I, 0, N},
    {"OriginUpdateConfig", "m_UpdateNozzle", 0, 1, I, 0, N},
    {"OriginUpdateConfig", "m_UpdateThrow", 0, 1, I, 0, N},
    {"OriginUpdateConfig", "m_00_X", 0, 1, I, 1, N},
    {"OriginUpdateConfig", "m_01_Y", 0, 1, I, 1, N},
    {"OriginUpdateConfig", "m_02_Z1", 0, 1, I, 1, N},
    {"OriginUpdateConfig", "m_03_Z2", 0, 1, I, 1, N},
    {"OriginUpdateConfig", "m_04_A1", 0, 1, I, 1, N},
    {"OriginUpdateConfig", "m_05_A2", 0, 1, I, 1, N},
    {"OriginUpdateConfig", "m_06_A3", 0, 1, I, 1, N},
    {"OriginUpdateConfig", "m_07_A4", 0, 1, I, 1, N},
    {"OriginUpdateConfig", "m_08_W1", 0, 1, I, 1, N},
    {"OriginUpdateConfig", "m_09_W2", 0, 1, I, 1, N},
    {"OriginUpdateConfig", "m_0A_W3", 0, 1, I, 1, N},
    {"OriginUpdateConfig", "m_0B_L1", 0, 1, I, 1, N},
    {"OriginUpdateConfig", "m_0C_L2", 0, 1, I, 1, N},
    {"OriginUpdateConfig", "m_0D_L3", 0, 1, I, 1, N},
    {"OriginUpdateConfig", "m_0E_D1", 0, 1, I, 1, N},
    {"OriginUpdateConfig", "m_0F_D2", 0, 1, I, 1, N},
    {"PackEditConfig", "m_SynchronousModify", 0, 1, I, 0, N},
    {"PackEditConfig", "m_SelectFeedMode", 0, 1, I, 0, N},
    {"PackEditConfig", "m_FeedTimes", 0, 1, I, 0, N},
    {"PackEditConfig", "m_FeedTime", 0, 1, I, 0, N},
    {"PackEditConfig", "m_OpenLength", 0, 1, I, 0, N},
    {"PackEditConfig", "m_CloseLength", 0, 1, I, 0, N},
    {"PackEditConfig", "m_Precision_XY", 0, 1, I, 0, N},
    {"PackEditConfig", "m_Precision_A", 0, 1, I, 0, N},
    {"PackEditConfig", "m_CollectPictureTime", 0, 1, I, 0, N},
    {"PackEditConfig", "m_NozzleHeight", 0, 1, I, 0, N},
    {"PackEditConfig", "m_VacuumTestValue", 0, 1, I, 0, N},
    {"PackEditConfig", "m_smtBeforeCloseVacuum", 0, 1, I, 0, N},
    {"NozzleListConfig", "m_InAndOutExtern", 0, 1, I, 0, N},
    {"NozzleListConfig", "m_Distance", 1, 100, D, 100, U},
    {"NozzleListConfig", "m_Delay", 0, 10000, I, 0, N},
    {"DoubleMarkTestConfig", "m_Origin_X", -10000, 10000, D, 0, N},
    {"DoubleMarkTestConfig", "m_Origin_Y", -10000, 10000, D, 0, N},
    {"DoubleMarkTestConfig", "m_Mark1_X", -10000, 10000, D, 0, N},
    {"DoubleMarkTestConfig", "m_Mark1_Y", -10000, 10000, D, 0, N},
    {"DoubleMarkTestConfig", "m_Mark2_X", -10000, 10000, D, 0, N},
    {"DoubleMarkTestConfig", "m_Mark2_Y", -10000, 10000, D, 0, N},
    {"DoubleMarkTestConfig", "m_Coordinate_X", -10000, 10000, D, 0, N},
    {"DoubleMarkTestConfig", "m_Coordinate_Y", -10000, 10000, D, 0, N},
    {"DoubleMarkTestConfig", "m_Mark2_Mark1_A_Old", -180, 180, D, 0, N},
    {"DoubleMarkTestConfig", "m_SetMark1Offset_X", -10000, 10000, D, 0, N},
    {"DoubleMarkTestConfig", "m_SetMark1Offset_Y", -10000, 10000, D, 0, N},
    {"DoubleMarkTestConfig", "m_SetMark2Offset_X", -10000, 10000, D, 0, N},
    {"DoubleMarkTestConfig", "m_SetMark2Offset_Y", -10000, 10000, D, 0, N},
    {"DoubleMarkTestConfig", "m_Mark2_Mark1_A_New", -180, 180, D, 0, N},
    {"DoubleMarkTestConfig", "m_GetCoordinate_X", -1e6, 1e6, D, 0, N},
    {"DoubleMarkTestConfig", "m_GetCoordinate_Y", -1e6, 1e6, D, 0, N},
    {"ImportFileConfig", "m_FitPartPacking", 0, 1, I, 0, N},
    {"ImportFileConfig", "m_FitPartValue", 0, 1, I, 0, N},
};

std::string Name(const Expected& e) { return "[" + std::string(e.section) + "] " + e.key; }

std::string Text(const Expected& e, double v) {
  return e.integer ? platform::FormatInt(static_cast<long long>(v)) : platform::FormatDouble(v, 4);
}

// A file in which every key holds a value inside its range (the strategy's
// head mode is 2, the one mode in which the nozzle-change choice is kept).
std::string GoodFile(const std::string& changedName = {}, const std::string& changedText = {}) {
  std::string text, section;
  for (const Expected& e : kExpected) {
    if (section != e.section) {
      section = e.section;
      text += "[" + section + "]\n";
    }
    double v = e.integer ? std::floor((e.lo + e.hi) / 2) : (e.lo + e.hi) / 2;
    if (std::string_view(e.key) == "m_HeaderSelect") v = 2;
    const std::string value = Name(e) == changedName ? changedText : Text(e, v);
    text += std::string(e.key) + "=" + value + "\n";
  }
  return text;
}

struct Load {
  Values values;
  std::vector<platform::ReadRefusal> refused;
};

Load LoadFrom(const TempDir& dir, const std::string& text) {
  dir.Write("config.ini", text);
  platform::ClearProfileCache();
  platform::ForgetReadRefusals();
  Load l;
  l.values = LoadEverything(dir.str());
  l.refused = platform::ReadRefusalsSoFar();
  EXPECT_EQ(dir.Read("config.ini"), text) << "the file was written";
  return l;
}

}  // namespace

TEST(SettingsKeyTable, SubsystemKeysTakeTheirWholeRangeAndRefuseWhatLiesOutside) {
  TempDir dir;
  platform::ScopedRecordingMessages messages;
  // Every key of the table is read, and nothing else is refused.
  const Load good = LoadFrom(dir, GoodFile());
  EXPECT_TRUE(good.refused.empty()) << good.refused.front().where << "=" << good.refused.front().text;
  for (const Expected& e : kExpected) ASSERT_TRUE(good.values.count(Name(e))) << Name(e) << " is read by no loader";
  ASSERT_EQ(good.values.size(), std::size(kExpected)) << "a loader reads a key the table does not hold";

  const char* const kBadTexts[] = {"nan", "inf", "-inf", "1e400", "ten", "12abc", "0x10"};
  int refusals = 0, taken = 0;
  for (const Expected& e : kExpected) {
    const std::string name = Name(e);
    // Both ends are taken by every reader.
    for (double end : {e.lo, e.hi}) {
      SCOPED_TRACE(name + "=" + Text(e, end));
      const Load l = LoadFrom(dir, GoodFile(name, Text(e, end)));
      EXPECT_TRUE(l.refused.empty());
      const double want = end == 0 && e.zeroIsUnset ? e.def : end;
      for (double got : l.values.at(name)) EXPECT_EQ(got, want);
      ++taken;
    }
    // One past each end, a broken number, and (for a whole-number key) a
    // fraction: refused once, naming the file, the key and what it takes.
    // A key whose 0 means "not set" and whose range starts at 1 is taken
    // past its end at -1; a count is refused when negative.
    std::vector<std::string> bad(std::begin(kBadTexts), std::end(kBadTexts));
    const double belowLo = e.lo - 1 == 0 && e.zeroIsUnset ? -1 : e.lo - 1;
    bad.push_back(Text(e, belowLo));
    bad.push_back(Text(e, e.hi + 1));
    if (e.lo >= 0 && belowLo != -1) bad.push_back(Text(e, -1));
    if (e.integer) bad.push_back(Text(e, e.lo) + ".5");
    for (const std::string& text : bad) {
      SCOPED_TRACE(name + "=" + text);
      messages.service.Clear();
      const Load l = LoadFrom(dir, GoodFile(name, text));
      ASSERT_EQ(l.refused.size(), 1u);
      EXPECT_EQ(l.refused[0].file, platform::ConfigPath(dir.str()));
      EXPECT_EQ(l.refused[0].where, name);
      EXPECT_EQ(l.refused[0].text, text);
      EXPECT_NE(l.refused[0].need.find(platform::RangeText(e.lo, e.hi)), std::string::npos) << l.refused[0].need;
      const auto told = messages.service.Texts();
      ASSERT_EQ(told.size(), 1u);
      EXPECT_NE(told[0].find(e.key), std::string::npos);
      // Every reader of the key uses its default.
      for (double got : l.values.at(name)) EXPECT_EQ(got, e.def);
      ++refusals;
    }
  }
  std::printf("config.ini: %zu subsystem keys: %d ends taken, %d values refused\n", std::size(kExpected), taken,
              refusals);
}

TEST(SettingsKeyTable, SubsystemKeysMissingOrEmptyReadTheirDefaultWithoutAWord) {
  TempDir dir;
  platform::ScopedRecordingMessages messages;
  for (const Expected& e : kExpected) {
    SCOPED_TRACE(Name(e));
    // The key's line left out, and the key present with nothing after "=".
    std::string without;
    {
      const std::string all = GoodFile();
      const std::string line = std::string(e.key) + "=";
      const size_t at = all.find("\n" + line) + 1;
      const size_t end = all.find('\n', at);
      without = all.substr(0, at) + all.substr(end + 1);
    }
    for (const std::string& text : {without, GoodFile(Name(e), "")}) {
      const Load l = LoadFrom(dir, text);
      EXPECT_TRUE(l.refused.empty());
      for (double got : l.values.at(Name(e))) EXPECT_EQ(got, e.def);
    }
  }
  EXPECT_TRUE(messages.service.Texts().empty());
}

TEST(SettingsKeyTable, TheLastImportFormatIsOneOfTheFormatsOffered) {
  TempDir dir;
  platform::ScopedRecordingMessages messages;
  struct Case {
    const char* text;
    int formats;
    int want;
    bool refused;
  };
  const Case cases[] = {{"0", 4, 0, false},   {"3", 4, 3, false},    {"4", 4, 0, true},     {"-1", 4, 0, true},
                        {"nan", 4, 0, true},  {"1e400", 4, 0, true}, {"two", 4, 0, true},   {"", 4, 0, false},
                        {"1.5", 4, 0, true},  {"2", 1, 0, true}};
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string("LastFormat=") + c.text + " of " + std::to_string(c.formats));
    const std::string text = std::string("[") + smt::job::kImportFileSection + "]\nLastFormat=" + c.text +
                             "\nLastFolder=C:\\jobs\n";
    dir.Write("config.ini", text);
    platform::ClearProfileCache();
    platform::ForgetReadRefusals();
    const auto place = smt::job::LoadImportPlace(dir.str(), c.formats);
    EXPECT_EQ(place.format, c.want);
    EXPECT_EQ(place.folder, "C:\\jobs");
    const auto refused = platform::ReadRefusalsSoFar();
    ASSERT_EQ(refused.size(), c.refused ? 1u : 0u);
    if (c.refused) {
      EXPECT_EQ(refused[0].where, std::string("[") + smt::job::kImportFileSection + "] LastFormat");
      EXPECT_NE(refused[0].need.find("0.." + std::to_string(c.formats - 1)), std::string::npos);
    }
    EXPECT_EQ(dir.Read("config.ini"), text);
  }
}

TEST(SettingsKeyTable, TheSourceTableHoldsEveryKeyWithTheRangeItsDialogGives) {
  // The program's own table and the ranges above agree key by key, so that
  // a reader that looks a key up gets the range the sweep tested.
  ASSERT_EQ(smt::settings::ConfigKeyRanges().size(), std::size(kExpected));
  for (const Expected& e : kExpected) {
    SCOPED_TRACE(Name(e));
    const auto* r = smt::settings::FindConfigKeyRange(e.section, e.key);
    ASSERT_NE(r, nullptr);
    EXPECT_EQ(r->lo, e.lo);
    EXPECT_EQ(r->hi, e.hi);
    EXPECT_EQ(r->integer, e.integer);
    EXPECT_EQ(r->def, e.def);
    EXPECT_EQ(r->zeroIsUnset, e.zeroIsUnset);
  }
}
