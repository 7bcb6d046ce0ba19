#include "feeder/AutoFeeders.h"

#include "platform/SettingsSection.h"
#include "core/Machine.h"
#include "settings/ConfigKeyRanges.h"

namespace smt::feeder {


AutoFeeders& AutoFeeders::Of(smt::Machine& machine) { return machine.Part<AutoFeeders>(); }

bool AutoFeeders::IsFeederOn(int n) const {
  if (n < 1 || n > 96) return true;
  return (mask_[static_cast<size_t>((n - 1) / 32)].load() >> ((n - 1) % 32)) & 1u;
}

void AutoFeeders::ToggleFeeder(int n, int machineType) {
  if (n < 1 || n > 96) return;
  const uint32_t bit = 1u << ((n - 1) % 32);
  const uint32_t now = mask_[static_cast<size_t>((n - 1) / 32)].fetch_xor(bit) ^ bit;
  cmdWord_ = WordOf(n);
  if (now & bit) cmdFeeder_ = n;
  else cmdFeeder_ = machineType == 8 ? n : 0;
}

bool AutoFeeders::SetFeederOn(int n) {
  if (n < 1 || n > 96) return false;
  const uint32_t bit = 1u << ((n - 1) % 32);
  return !(mask_[static_cast<size_t>((n - 1) / 32)].fetch_or(bit) & bit);
}

void AutoFeeders::SetFeederOff(int n) {
  if (n < 1 || n > 96) return;
  mask_[static_cast<size_t>((n - 1) / 32)].fetch_and(~(1u << ((n - 1) % 32)));
}

void AutoFeeders::SetRow(int r, bool on) {
  if (r < 0 || r > 5) return;
  const uint32_t bits = (r % 2 == 0) ? 0x0000FFFFu : 0xFFFF0000u;
  auto& w = mask_[static_cast<size_t>(r / 2)];
  if (on) w.fetch_or(bits);
  else w.fetch_and(~bits);
  cmdWord_ = r / 2 + 1;
  cmdFeeder_ = (r / 2) * 32 + 1;
}

std::array<uint32_t, 3> AutoFeeders::Mask() const { return {mask_[0].load(), mask_[1].load(), mask_[2].load()}; }

void AutoFeeders::SetMask(const std::array<uint32_t, 3>& m) {
  for (size_t i = 0; i < 3; ++i) mask_[i] = m[i];
}

AutoFeedConfig AutoFeeders::Config() const {
  std::lock_guard lk(m_);
  return config_;
}
void AutoFeeders::SetConfig(const AutoFeedConfig& c) {
  std::lock_guard lk(m_);
  config_ = c;
}

void AutoFeeders::LoadConfig(const std::string& appDir) {
  smt::platform::SettingsSection s(smt::platform::ConfigPath(appDir), "AutoFeedConfig");
  AutoFeedConfig c;
  c.m_Feed_Times = smt::settings::ReadConfigInt(s, "m_Feed_Times");
  if (c.m_Feed_Times == 0) c.m_Feed_Times = 1;
  c.m_Feed_Delay = smt::settings::ReadConfigInt(s, "m_Feed_Delay");
  if (c.m_Feed_Delay == 0) c.m_Feed_Delay = 200;
  c.m_Open_Length = smt::settings::ReadConfigInt(s, "m_Open_Length");
  if (c.m_Open_Length == 0) c.m_Open_Length = 30;
  c.m_Close_Length = smt::settings::ReadConfigInt(s, "m_Close_Length");
  if (c.m_Close_Length == 0) c.m_Close_Length = 45;
  c.m_FeedBack_Delay = smt::settings::ReadConfigInt(s, "m_FeedBack_Delay");
  c.m_bIntegrationFeed = smt::settings::ReadConfigInt(s, "m_bIntegrationFeed");
  c.m_bAutoFeed = smt::settings::ReadConfigInt(s, "m_bAutoFeed");
  c.m_bVibrationFeed = smt::settings::ReadConfigInt(s, "m_bVibrationFeed");
  c.m_bDragHand = smt::settings::ReadConfigInt(s, "m_bDragHand");
  c.m_TestLoop = smt::settings::ReadConfigInt(s, "m_TestLoop");
  if (c.m_TestLoop < 1) c.m_TestLoop = 1;
  SetConfig(c);
}

bool AutoFeeders::SaveConfig(const std::string& appDir) const {
  smt::platform::SettingsSection s(smt::platform::ConfigPath(appDir), "AutoFeedConfig");
  const auto m = Mask();
  const AutoFeedConfig c = Config();
  bool ok = true;
  ok = s.WriteInt("m_AutoFeedArray[0]", static_cast<int32_t>(m[0])) && ok;
  ok = s.WriteInt("m_AutoFeedArray[1]", static_cast<int32_t>(m[1])) && ok;
  ok = s.WriteInt("m_AutoFeedArray[2]", static_cast<int32_t>(m[2])) && ok;
  ok = s.WriteInt("m_Feed_Times", c.m_Feed_Times) && ok;
  ok = s.WriteInt("m_Feed_Delay", c.m_Feed_Delay) && ok;
  ok = s.WriteInt("m_Open_Length", c.m_Open_Length) && ok;
  ok = s.WriteInt("m_Close_Length", c.m_Close_Length) && ok;
  ok = s.WriteInt("m_FeedBack_Delay", c.m_FeedBack_Delay) && ok;
  ok = s.WriteInt("m_bIntegrationFeed", c.m_bIntegrationFeed) && ok;
  ok = s.WriteInt("m_bAutoFeed", c.m_bAutoFeed) && ok;
  ok = s.WriteInt("m_bVibrationFeed", c.m_bVibrationFeed) && ok;
  ok = s.WriteInt("m_bDragHand", c.m_bDragHand) && ok;
  ok = s.WriteInt("m_TestLoop", c.m_TestLoop) && ok;
  return ok;
}

void AutoFeeders::Reset() {
  SetMask({0, 0, 0});
  cmdWord_ = 1;
  cmdFeeder_ = 0;
  SetConfig(AutoFeedConfig{});
}

}  // namespace smt::feeder
