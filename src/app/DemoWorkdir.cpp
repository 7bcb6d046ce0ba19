#include "app/DemoWorkdir.h"

#include <cstdlib>

#include <cmath>
#include <cstdio>
#include <vector>

#include "feeder/FeederNames.h"
#include "feeder/FeederTable.h"
#include "job/JobFile.h"
#include "job/JobModel.h"
#include "job/JobRows.h"
#include "job/PcbRecord.h"
#include "library/NozzleLibrary.h"
#include "library/PackLibrary.h"
#include "library/PackRecord.h"
#include "platform/FileIo.h"
#include "platform/ListFile.h"
#include "platform/ProfileFile.h"
#include "platform/SettingsSection.h"
#include "settings/BasicSettings.h"
#include "settings/PulseSettings.h"
#include "settings/SpeedSettings.h"
#include "settings/SpeedTemplates.h"
#include "settings/SpeedUses.h"
#include "vision/CameraEditValues.h"
#include "vision/CameraListSettings.h"
#include "vision/CameraTable.h"

namespace smt::app {

namespace {

using smt::platform::SettingsSection;

// The simulated machine: a two-head placement machine with a 400 x 400 mm
// table, 100 steps per millimetre on X, Y and Z.
constexpr int kDemoMachineType = 2;
constexpr double kTravelX = 400, kTravelY = -400, kTravelZ = -30;
constexpr double kStepsPerMm = 100;
constexpr double kAPulse = 17.7777;  // steps per degree
constexpr const char* kTemplate = "Demo";
// Where things are, shared by the settings, the job and the simulator's world.
constexpr double kNozzle2X = 40;                 // nozzle 2 from nozzle 1 (mm)
constexpr double kCameraX = -60, kCameraY = 0;   // Mark camera from nozzle 1 (mm)
constexpr double kVisionX[2] = {150, 210}, kVisionY = -200;  // up-looking cameras (mm)
constexpr double kVisionZoom = 60;               // their pixels per mm (a 0603 part: 96 pixels long)
constexpr double kMarkZoom = 18;                 // the Mark camera's pixels per mm
constexpr double kBoardX = 50, kBoardY = -60;    // the board's origin (mm)
constexpr double kMarks[2][2] = {{2, -2}, {40, -20}};  // board marks from the origin (mm)
constexpr double kMarkDiameter = 1.0;
struct DemoFeeder {
  const char* number;
  const char* value;
  double x, y;
  const char* head;
};
// Each feeder lies where the head it is given reaches it: nozzle 2 sits
// kNozzle2X to the right of nozzle 1, so head 2 reaches nothing left of that.
constexpr DemoFeeder kFeeders[2] = {{"W1", "10k", 10, -20, "1"}, {"W2", "100nF", kNozzle2X + 14, -20, "2"}};
constexpr double kPartLength = 1.6, kPartWidth = 0.8;

void WriteMachine(const std::string& app) {
  const std::string config = smt::platform::ConfigPath(app);
  SettingsSection(config, "MachineSetConfig").WriteInt("MachineSet", kDemoMachineType);

  smt::settings::BasicSettings b = smt::settings::LoadBasicSettings(app);
  b.m_X_Limit = kTravelX;
  b.m_Y_Limit = kTravelY;
  b.m_Z_Limit = kTravelZ;
  b.m_Z_Nozzle1ToPCBHeight = -10;
  b.m_Z_Nozzle1ToFeed = -5;
  b.m_Z_Nozzle2ToFeed = -5;
  b.m_X_Nozzle2ToNozzle1 = kNozzle2X;
  b.m_X_CameraToNozzle1 = kCameraX;
  b.m_Y_CameraToNozzle1 = kCameraY;
  // Where a part is thrown away: near enough that every move there fits the
  // serial link's 16-bit step fields.
  b.m_X_ThrowPosition = 300;
  b.m_Y_ThrowPosition = -250;
  if (!smt::settings::SaveBasicSettings(app, b)) throw std::runtime_error("[SetBasicConfig]");

  smt::settings::PulseSettings p = smt::settings::LoadPulseSettings(app);
  p.m_X_Pulse = p.m_Y_Pulse = p.m_Z_Pulse = kStepsPerMm;
  p.m_A_Pulse = kAPulse;
  for (double smt::settings::PulseSettings::*m :
       {&smt::settings::PulseSettings::m_WestWalk_Pulse, &smt::settings::PulseSettings::m_WestLift_Pulse,
        &smt::settings::PulseSettings::m_NorthWalk_Pulse, &smt::settings::PulseSettings::m_NorthLift_Pulse,
        &smt::settings::PulseSettings::m_EastWalk_Pulse, &smt::settings::PulseSettings::m_EastLift_Pulse,
        &smt::settings::PulseSettings::m_AutoWalk1_Pulse, &smt::settings::PulseSettings::m_AutoWalk2_Pulse})
    p.*m = kStepsPerMm;
  if (!smt::settings::SavePulseSettings(app, p)) throw std::runtime_error("[SetPulseConfig]");

  // Jog steps of the four gears, and the panel's current gear: the medium one.
  // Gear steps in motor steps: fast 10 mm, medium 1 mm, slow 0.1 mm, fine 0.01 mm.
  smt::settings::SpeedSettings s;
  s.m_SpeedMenuCheck = 1;
  if (!smt::settings::SaveSpeedSettings(app, s)) throw std::runtime_error("[SpeedTemplateConfig]");
  SettingsSection jog(config, "ManualControlConfig");
  jog.WriteInt("m_SpeedGears", 1);
  jog.WriteInt("m_XY_RunSteps", s.m_XY_RunMedium);
  jog.WriteInt("m_Z_RunSteps", s.m_Z_RunMedium);
  jog.WriteInt("m_A_RunSteps", s.m_A_RunMedium);
  jog.WriteInt("m_Feed_RunSteps", s.m_Feed_RunMedium);
  jog.WriteInt("m_S_RunSteps", s.m_S_RunMedium);
  jog.WriteInt("m_ComNumber", 1);

  // Two heads, placement from the feeders.
  SettingsSection strategy(config, "SmtStrategyConfig");
  strategy.WriteInt("m_HeaderSelect", 1);
  strategy.WriteInt("m_RunSelect", 0);
}

// One template "Demo" in all three tiers, used for every speed use.
void WriteSpeeds(const std::string& app) {
  smt::settings::SpeedRecord speeds;
  speeds.fill({40, 200});
  const smt::settings::SpeedTemplateRow row(smt::settings::SpeedTemplate::Of(kTemplate, speeds));
  smt::settings::SpeedTiers tiers;
  tiers.high = tiers.medium = tiers.low = {row};
  smt::settings::SpeedUseNames uses;
  uses.fill(kTemplate);
  smt::platform::WriteListFile(std::filesystem::path(app) / "config_speed.fig",
                               {smt::settings::BuildUseLine(uses), smt::settings::WriteTemplateRows(tiers)});
  const auto& prefixes = smt::settings::SpeedUsePrefixes();
  for (const char* prefix : prefixes)
    if (!smt::settings::SaveUsageSpeeds(app, prefix, speeds)) throw std::runtime_error(prefix);
}

// The simulated industrial cameras, switched on, and the two up-looking
// camera rows in front of the feeders.
void WriteCameras(const std::string& app) {
  SettingsSection c(smt::platform::ConfigPath(app), "CameraListConfig");
  c.WriteInt("m_HighSpeedCamera", 1);
  c.WriteInt("m_MarkCamera", 1);
  c.WriteInt("m_VisualCamera1", 1);
  c.WriteInt("m_VisualCamera2", 1);
  // Vision camera 1 is also the fly camera: a feeder set to fly vision is
  // looked at as the heads cross it (the simulator triggers it in the pass).
  c.WriteInt("m_FlyCamera", 1);
  std::vector<std::string> rows;
  std::vector<smt::vision::CameraValues> values;
  for (int k = 0; k < 2; ++k) {
    smt::vision::CameraEditValues v;
    v.name = k == 0 ? smt::vision::kCameraName1 : smt::vision::kCameraName2;
    v.x = kVisionX[k];
    v.y = kVisionY;
    v.visualZoom = kVisionZoom;
    v.visualSize = 5;
    v.contrast = 128;
    v.brightness = 128;
    // Three looks: measure, correct, check; to 0.05 mm and half a degree.
    v.correctionTimes = 3;
    v.precisionXY = 5;
    v.precisionA = 9;
    v.collectTime = 50;
    values.push_back(v);
    rows.push_back(smt::vision::CameraRow(v).Text());
  }
  smt::platform::WriteListFile(std::filesystem::path(app) / "config_camera.fig", {std::nullopt, rows});
  // The vision cameras' records, as the camera list's OK keeps them: without
  // them the vision camera buttons say the cameras do not exist.
  smt::vision::CameraListSettings settings;
  smt::vision::CameraRecord first, second;
  smt::vision::LoadCameraListConfig(app, settings, first, second);
  first = smt::vision::RecordFromValues(values[0], 1, kStepsPerMm, kStepsPerMm);
  second = smt::vision::RecordFromValues(values[1], 2, kStepsPerMm, kStepsPerMm);
  if (!smt::vision::WriteCameraListConfig(app, settings, first, second)) throw std::runtime_error("CameraListConfig");
}

void WriteNozzles(const std::string& app) {
  std::vector<std::string> rows;
  for (int k = 0; k < 6; ++k) {
    auto r = smt::library::NozzleLibrary::MakeRow(k + 1, 20 + 15 * k, -380, -5, 20 + 15 * k, -360, -8, 40,
                                                  k < 3 ? "CN030" : "CN040");
    std::string line;
    for (const auto& cell : r) line += cell + "\t";
    rows.push_back(line);
  }
  smt::platform::WriteListFile(std::filesystem::path(app) / smt::library::kNozzleFileName, {std::nullopt, rows});
}

smt::feeder::FeederRow TapeFeeder(const DemoFeeder& f) {
  smt::feeder::FeederCells r;
  r[smt::feeder::kCellNumber] = f.number;
  r[smt::feeder::kCellType] = "Resistor";
  r[smt::feeder::kCellPackage] = "0603";
  r[smt::feeder::kCellValue] = f.value;
  r[smt::feeder::kCellX] = smt::platform::FormatDouble(f.x, 4);
  r[smt::feeder::kCellY] = smt::platform::FormatDouble(f.y, 4);
  r[smt::feeder::kCellLength] = smt::platform::FormatDouble(kPartLength, 2);
  r[smt::feeder::kCellWidth] = smt::platform::FormatDouble(kPartWidth, 2);
  r[smt::feeder::kCellHeight] = "0.50";
  r[smt::feeder::kCellAngle] = "0";
  r[smt::feeder::kCellHead] = f.head;
  r[smt::feeder::kCellVacuum] = "0";
  // Each part is looked at over vision camera 1 and centred before it is placed.
  r[smt::feeder::kCellCamera] = std::string("Yes/") + smt::vision::kCameraName1;
  r[smt::feeder::kCellFly] = "No/60/80";
  r[smt::feeder::kCellFeedMode] = "集中飞达";
  r[smt::feeder::kCellPickDelay] = "0";
  r[smt::feeder::kCellPlaceDelay] = "0";
  r[smt::feeder::kCellFeedCoord] = "5";
  r[smt::feeder::kCellFeedCount] = "1";
  r[smt::feeder::kCellFeedTime] = "10";
  r[smt::feeder::kCellSlack] = "0";
  r[smt::feeder::kCellTension] = "0";
  r[smt::feeder::kCellPickHeight] = "-5.0000";
  r[smt::feeder::kCellSpeed] = std::string("No/") + kTemplate;
  r[smt::feeder::kCellEarlyVacuum] = "0";
  r[smt::feeder::kCellFeature] = "01:贴片电阻";
  r[smt::feeder::kCellQuantity] = "1000";
  // -1: the vision camera's own precision (0.05 mm, half a degree). A
  // precision of 0 steps asks the check look for no offset at all, which a
  // camera a pixel of noise off never gives for sure: the part then fails
  // vision after its last look.
  r[smt::feeder::kCellPrecisionXY] = "-1";
  r[smt::feeder::kCellPrecisionA] = "-1";
  r[smt::feeder::kCellCollectTime] = "0";
  return smt::feeder::FeederRow(std::move(r));
}

// The lists the demo's feeders and parts choose from: the package "0603"
// with the feeders' values, and the drop-down lists with the part types and
// the package the feeders name, so that the feeder editor shows them.
void WriteLists(const std::string& app) {
  smt::library::PackRecord p;
  p.name = "0603";
  p.length = kPartLength;
  p.width = kPartWidth;
  p.thickness = 0.5;
  p.contrast = 60;
  p.brightness = 80;
  p.camera = smt::vision::kCameraName1;
  p.visionCentring = true;
  p.nozzle = "1";
  p.speedName = kTemplate;
  p.recognition = "01:贴片电阻";
  p.feedMode = "集中飞达";
  p.feedCount = 1;
  p.feedTime = 10;
  p.precisionXY = -1;
  p.precisionA = -1;
  p.pickHeight = -5;
  smt::platform::WriteListFile(std::filesystem::path(app) / smt::library::kPackFileName,
                               {std::nullopt, smt::library::PackRowStrings({smt::library::PackRowOf(p)})});
  smt::platform::WriteListFile(std::filesystem::path(app) / "config_dropdown.fig",
                               {std::nullopt, {"", "Resistor\tCapacitor\t", "0603\t", "0\t90\t180\t270\t"}});
}

// Feeder group "Demo": two tape feeders on the west bank.
void WriteFeeders(const std::string& app) {
  smt::feeder::FeederTable t;
  t.AddGroup("Demo", "");
  t.SetCurrentName("Demo");
  t.ShowGroupInList("Demo", smt::feeder::BuiltInNameTables(0));
  t.ReplaceCurrentRows({TapeFeeder(kFeeders[0]), TapeFeeder(kFeeders[1])},
                       {smt::feeder::TrayRecord::Default(), smt::feeder::TrayRecord::Default()});
  smt::platform::WriteListFile(std::filesystem::path(app) / "config_feed.fig", {std::nullopt, t.SaveToLines()});
}

smt::job::PlacementRecord DemoPart(int serial, double x, double y, const std::string& name, const std::string& feeder,
                                   const std::string& value) {
  smt::job::PlacementRecord r;
  r.serial = serial;
  r.x = x;
  r.y = y;
  r.name = name;
  r.type = "Resistor";
  r.package = "0603";
  r.place = true;
  r.placeWord = "Yes";
  r.value = value;
  r.feeder = feeder;
  r.vision = true;
  r.visionWord = "Yes";
  r.feederValue = value;
  // The head column shows the head the run picks with: the feeder's.
  r.head = 1;
  for (const DemoFeeder& f : kFeeders)
    if (feeder == f.number) r.head = std::atoi(f.head);
  return r;
}

// One board without marks and four parts from the two feeders.
void WriteJob(const std::filesystem::path& dir) {
  smt::job::PcbRecord rec;
  rec.m_strName = "Demo";
  rec.m_nRows = 1;
  rec.m_nCols = 1;
  rec.m_dThickness = 1.6;
  rec.m_dOriginX = kBoardX;
  rec.m_dOriginY = kBoardY;
  // The board's two marks are printed on it; the demo job does not align on them.
  rec.m_bMarkEnable = false;
  rec.m_dMark1X = kMarks[0][0];
  rec.m_dMark1Y = kMarks[0][1];
  rec.m_dMark2X = kMarks[1][0];
  rec.m_dMark2Y = kMarks[1][1];
  rec.m_dMarkDiameter = kMarkDiameter;
  rec.m_dVisualZoom = kMarkZoom;
  rec.m_dVisualBox = 3;
  rec.m_PanelGrid = smt::job::FullPanelGrid(1, 1);
  rec.m_Parts = {DemoPart(1, 5, -5, "R1", "W1", "10k"), DemoPart(2, 10, -5, "C1", "W2", "100nF"),
                 DemoPart(3, 15, -5, "R2", "W1", "10k"), DemoPart(4, 20, -5, "C2", "W2", "100nF")};
  smt::job::JobModel job;
  job.pcbs.m_Records.push_back(rec);
  job.pcbs.m_strCurPcbName = rec.m_strName;
  job.ShowRecord(0);
  smt::job::WriteJobFiles(dir / kDemoJobName, job.ToContent(kDemoMachineType), kDemoMachineType);
}

// The board simulator's world: the same machine, board and feeders.
void WriteWorld(const std::filesystem::path& dir) {
  auto steps = [](double mm) { return std::to_string(static_cast<long long>(std::llround(mm * kStepsPerMm))); };
  auto num = [](double v) { return smt::platform::FormatDouble(v, 4); };
  std::string t = "# The simulated machine as smt-sim sees it (written with the demo set-up).\n";
  t += "steps " + num(kStepsPerMm) + " " + num(kStepsPerMm) + " " + num(kAPulse) + "\n";
  t += "head 2 " + steps(kNozzle2X) + " 0\n";
  t += "markcamera " + steps(kCameraX) + " " + steps(kCameraY) + "\n";
  for (int k = 0; k < 2; ++k)
    t += "visioncamera " + std::to_string(k + 1) + " " + steps(kVisionX[k]) + " " + steps(kVisionY) + "\n";
  t += "board " + num(kBoardX) + " " + num(kBoardY) + " 0 0 0\n";
  for (const auto& m : kMarks) t += "mark " + num(m[0]) + " " + num(m[1]) + "\n";
  t += "markdiameter " + num(kMarkDiameter) + "\n";
  for (const auto& f : kFeeders)
    t += "feeder " + num(f.x) + " " + num(f.y) + " 0 " + num(kPartLength) + " " + num(kPartWidth) + "\n";
  t += "picture 640 480 " + num(kMarkZoom) + " " + num(kVisionZoom) + " " + num(kVisionZoom) + "\n";
  smt::platform::WriteFileAtomically(dir / kDemoWorldName, t);
}

// The import file: KiCad's position listing (millimetres, degrees).
void WriteImportSample(const std::filesystem::path& dir) {
  std::string t =
      "### Module positions - demo board for the import dialog ###\n"
      "## Unit = mm, Angle = deg.\n"
      "## Side : top\n"
      "# Ref     Val       Package                PosX       PosY       Rot  Side\n";
  const char* values[2] = {"10k", "100nF"};
  const char* refs[2] = {"R", "C"};
  for (int i = 0; i < kDemoImportParts; ++i) {
    const int kind = i % 2;
    char line[128];
    std::snprintf(line, sizeof line, "%-9s %-9s %-18s %10.4f %10.4f %9.4f  top\n",
                  (std::string(refs[kind]) + std::to_string(i / 2 + 11)).c_str(), values[kind], "0603",
                  5.0 + 5.0 * i, 10.0, i % 3 == 2 ? 90.0 : 0.0);
    t += line;
  }
  t += "## End\n";
  smt::platform::WriteFileAtomically(dir / kDemoImportName, t);
}

}  // namespace

std::string PrepareDemoWorkdir(const std::filesystem::path& dir) {
  const std::string app = dir.string();
  try {
    std::filesystem::create_directories(dir);
    WriteMachine(app);
    WriteSpeeds(app);
    WriteCameras(app);
    WriteNozzles(app);
    WriteFeeders(app);
    WriteLists(app);
    WriteJob(dir);
    WriteWorld(dir);
    WriteImportSample(dir);
  } catch (const std::exception& e) {
    return e.what();
  }
  smt::platform::ClearProfileCache();
  return {};
}

}  // namespace smt::app
