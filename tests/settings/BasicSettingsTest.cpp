#include <gtest/gtest.h>

#include <atomic>
#include <set>
#include <thread>

#include "platform/SettingsSection.h"
#include "settings/BasicSettings.h"
#include "settings/MachineSettingsStore.h"
#include "support/TempDir.h"

using namespace smt::settings;
using smt::test::TempDir;

namespace {
void WriteBasic(const TempDir& dir, const std::string& body) { dir.Write("config.ini", "[SetBasicConfig]\n" + body); }
}  // namespace

TEST(BasicSettingsLoad, NoFileGivesTheFixedDefaults) {
  TempDir dir;
  const BasicSettings s = LoadBasicSettings(dir.str());
  EXPECT_DOUBLE_EQ(s.m_X_Limit, 0.1);
  EXPECT_DOUBLE_EQ(s.m_Y_Limit, -0.1);
  EXPECT_DOUBLE_EQ(s.m_Z_Limit, -0.1);
  EXPECT_DOUBLE_EQ(s.m_EastFeed_Limit, -0.1);
  EXPECT_DOUBLE_EQ(s.m_SouthFeed_Limit, 0.1);
  EXPECT_DOUBLE_EQ(s.m_WestFeed_Limit, -0.1);
  EXPECT_DOUBLE_EQ(s.m_NorthFeed_Limit, 0.1);
  EXPECT_EQ(s.m_ThrowDelay, 100);
  EXPECT_EQ(s.m_ChangeDelay, 100);
  EXPECT_EQ(s.m_Exhaust, 5);
  EXPECT_EQ(s.m_MeasurementStart, 1);
  EXPECT_EQ(s.m_MeasurementNormal, 1);
  EXPECT_DOUBLE_EQ(s.m_VisualOriginBox, 2.0);
  EXPECT_DOUBLE_EQ(s.m_AutoMagnify, 4.0);
  EXPECT_DOUBLE_EQ(s.m_Z_closeVacuum, 0.1);
  EXPECT_EQ(s.m_CommModel, 0);
  EXPECT_EQ(s.m_CameraLens, 0);
  EXPECT_DOUBLE_EQ(s.m_X_CameraToNozzle1, 0.0);
  EXPECT_EQ(s.m_OnlineToReset, 0);
  // Every field is within its range after loading no file.
  EXPECT_FALSE(FirstBasicFieldOutOfRange(s).has_value());
}

TEST(BasicSettingsLoad, FieldTableHoldsEveryKeyOnce) {
  auto fields = BasicFields();
  ASSERT_EQ(fields.size(), 103u);
  std::set<std::string> keys;
  for (const auto& f : fields) EXPECT_TRUE(keys.insert(f.key).second) << f.key;
  EXPECT_STREQ(fields.front().key, "m_Z_Nozzle1ToFeed");
  EXPECT_STREQ(fields.back().key, "m_bCameraTrackModify");
}

struct FixUpCase {
  const char* line;
  const char* key;
  double expected;
};
class BasicFixUps : public ::testing::TestWithParam<FixUpCase> {};

TEST_P(BasicFixUps, LoadCorrectsValue) {
  TempDir dir;
  WriteBasic(dir, std::string(GetParam().line) + "\n");
  const BasicSettings s = LoadBasicSettings(dir.str());
  EXPECT_DOUBLE_EQ(FindBasicField(GetParam().key)->Get(s), GetParam().expected) << GetParam().line;
}

INSTANTIATE_TEST_SUITE_P(
    Table, BasicFixUps,
    ::testing::Values(FixUpCase{"m_ChangeDelay=50000", "m_ChangeDelay", 100},
                      FixUpCase{"m_ChangeDelay=30000", "m_ChangeDelay", 30000},
                      FixUpCase{"m_ChangeDelay=99", "m_ChangeDelay", 100},
                      FixUpCase{"m_Exhaust=3", "m_Exhaust", 5},
                      // Sent as one byte: a larger value is brought to 255.
                      FixUpCase{"m_Exhaust=300", "m_Exhaust", 255},
                      // A positive Y limit is brought to the nearest sound limit.
                      FixUpCase{"m_Y_Limit=5", "m_Y_Limit", -0.1},
                      FixUpCase{"m_Y_Limit=-400.5", "m_Y_Limit", -400.5},
                      FixUpCase{"m_X_Limit=20000", "m_X_Limit", 10000},
                      FixUpCase{"m_CommModel=2", "m_CommModel", 1},
                      FixUpCase{"m_CommModel=-1", "m_CommModel", 1},
                      FixUpCase{"m_CommModel=1", "m_CommModel", 1},
                      FixUpCase{"m_ThrowDelay=0", "m_ThrowDelay", 100},
                      FixUpCase{"m_VisualOriginBox=0", "m_VisualOriginBox", 2.0},
                      FixUpCase{"m_AutoMagnify=0", "m_AutoMagnify", 4.0},
                      FixUpCase{"m_MeasurementStart=-4", "m_MeasurementStart", 1},
                      FixUpCase{"m_X_CameraToNozzle1=abc", "m_X_CameraToNozzle1", 0},
                      // Trailing letters are no number: refused, the key reads as missing.
                      FixUpCase{"m_X_CameraToNozzle1=12.5mm", "m_X_CameraToNozzle1", 0},
                      FixUpCase{"m_X_CameraToNozzle1=nan", "m_X_CameraToNozzle1", 0},
                      FixUpCase{"m_ThrowDelay=1e400", "m_ThrowDelay", 100}));

TEST(BasicSettingsLoad, LensCalibrationDecidesCameraTwoCorrection) {
  TempDir dir;
  std::vector<std::string> tried;
  auto loader = [&](const std::string& f) {
    tried.push_back(f);
    return true;
  };
  WriteBasic(dir, "m_CameraLens=1\nm_Calibrator2=1\n");
  EXPECT_EQ(LoadBasicSettings(dir.str(), loader).m_Calibrator2, 1);
  ASSERT_EQ(tried.size(), 1u);
  EXPECT_EQ(tried[0], "cameraCalibrate_data6mm.xml");

  // Lens 2 loads nothing and switches the correction off.
  TempDir other;
  WriteBasic(other, "m_CameraLens=2\nm_Calibrator2=1\n");
  tried.clear();
  const BasicSettings s = LoadBasicSettings(other.str(), loader);
  EXPECT_TRUE(tried.empty());
  EXPECT_EQ(s.m_Calibrator2, 0);
  EXPECT_EQ(s.m_CameraLens, 2);

  // Without a calibration loader (no camera code) the correction is off.
  EXPECT_EQ(LoadBasicSettings(dir.str()).m_Calibrator2, 0);
}

TEST(BasicSettingsSave, RoundTripKeepsFourDecimals) {
  TempDir dir;
  BasicSettings s = LoadBasicSettings(dir.str());
  s.m_X_CameraToNozzle1 = 1.23456;
  s.m_Y_ThrowPosition = -12.5;
  s.m_ThrowDelay = 250;
  s.m_CommModel = 1;
  ASSERT_TRUE(SaveBasicSettings(dir.str(), s));
  const std::string text = dir.Read("config.ini");
  EXPECT_NE(text.find("m_X_CameraToNozzle1=1.2346"), std::string::npos);
  EXPECT_NE(text.find("m_ThrowDelay=250"), std::string::npos);
  const BasicSettings back = LoadBasicSettings(dir.str());
  EXPECT_DOUBLE_EQ(back.m_X_CameraToNozzle1, 1.2346);
  EXPECT_DOUBLE_EQ(back.m_Y_ThrowPosition, -12.5);
  EXPECT_EQ(back.m_ThrowDelay, 250);
  EXPECT_EQ(back.m_CommModel, 1);
  // Every field's key is in the file.
  for (const auto& f : BasicFields()) EXPECT_NE(text.find(std::string(f.key) + "="), std::string::npos) << f.key;
}

TEST(MachineSettingsCommit, RefusedCopyLeavesStoreAndFileUntouched) {
  TempDir dir;
  MachineSettingsStore store;
  store.LoadAll(dir.str());
  BasicSettings edited = *store.Basic();
  edited.m_X_Limit = 300;
  ASSERT_TRUE(store.CommitBasic(dir.str(), edited).ok);
  const std::string fileBefore = dir.Read("config.ini");
  const auto before = store.Basic();

  BasicSettings bad = *before;
  bad.m_X_CameraToNozzle1 = 42;  // a valid change before the bad one
  bad.m_Y_Limit = 5;             // outside -10000..-0.1
  const CommitResult r = store.CommitBasic(dir.str(), bad);
  EXPECT_FALSE(r.ok);
  EXPECT_EQ(r.badField, "m_Y_Limit");
  EXPECT_EQ(*store.Basic(), *before);
  EXPECT_EQ(dir.Read("config.ini"), fileBefore);
}

TEST(MachineSettingsCommit, GeometryFollowsAndListenersRun) {
  TempDir dir;
  MachineSettingsStore store;
  store.LoadAll(dir.str());
  int calls = 0;
  store.AddGeometryListener([&] { ++calls; });
  PulseSettings p = *store.Pulse();
  p.m_X_Pulse = 100;
  p.m_Y_Pulse = 80;
  ASSERT_TRUE(store.CommitPulse(dir.str(), p).ok);
  BasicSettings b = *store.Basic();
  b.m_X_Limit = 500;
  b.m_Y_Limit = -400;
  ASSERT_TRUE(store.CommitBasic(dir.str(), b).ok);
  EXPECT_EQ(calls, 2);
  EXPECT_EQ(store.Geometry()->limits.m_nXLimitPulse, 50000);
  EXPECT_EQ(store.Geometry()->limits.m_nYLimitPulse, -32000);
  EXPECT_EQ(store.Geometry()->limits.m_nYLimitPulseAbs, 32000);

  // A restart finds the values kept.
  MachineSettingsStore again;
  again.LoadAll(dir.str());
  EXPECT_DOUBLE_EQ(again.Basic()->m_X_Limit, 500);
  EXPECT_DOUBLE_EQ(again.Pulse()->m_X_Pulse, 100);
  EXPECT_EQ(again.Geometry()->limits.m_nXLimitPulse, 50000);
}

TEST(MachineSettingsCommit, ReadersSeeWholeSnapshots) {
  // Two consistent versions alternate; a reader must never see a mix.
  MachineSettingsStore store;
  BasicSettings a, b;
  a.m_X_Limit = 1;
  a.m_Y_Limit = -1;
  b.m_X_Limit = 2;
  b.m_Y_Limit = -2;
  store.SetBasic(a);
  std::atomic<bool> stop{false};
  std::atomic<int> mixed{0};
  std::thread reader([&] {
    while (!stop) {
      auto s = store.Basic();
      if (s->m_X_Limit != -s->m_Y_Limit) ++mixed;
    }
  });
  for (int i = 0; i < 20000; ++i) store.SetBasic(i % 2 ? a : b);
  stop = true;
  reader.join();
  EXPECT_EQ(mixed.load(), 0);
}
