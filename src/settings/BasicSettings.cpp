#include "settings/BasicSettings.h"

#include <cmath>

#include "core/LogFile.h"
#include "platform/FileCell.h"
#include "platform/SettingsSection.h"

namespace smt::settings {

namespace {

constexpr double kNone = 1.0, kNoneMax = 0.0;  // min > max: no range

#define D(name, lo, hi) BasicField{#name, &BasicSettings::name, lo, hi}
#define I(name, lo, hi) BasicField{#name, &BasicSettings::name, lo, hi}
#define DN(name) D(name, kNone, kNoneMax)
#define SW(name) I(name, 0, 1)

const BasicField kFields[] = {
    D(m_Z_Nozzle1ToFeed, -1000, 0), D(m_Z_Nozzle2ToFeed, -1000, 0), D(m_Z_Nozzle3ToFeed, -1000, 0),
    D(m_Z_Nozzle4ToFeed, -1000, 0), D(m_Z_Nozzle5ToFeed, -1000, 0), D(m_Z_Nozzle6ToFeed, -1000, 0),
    D(m_Z_Nozzle7ToFeed, -1000, 0), D(m_Z_Nozzle8ToFeed, -1000, 0),
    D(m_Correction_X1, -1, 1), D(m_Correction_X2, -1, 1), D(m_Correction_X3, -1, 1), D(m_Correction_X4, -1, 1),
    D(m_Correction_X5, -1, 1), D(m_Correction_X6, -1, 1), D(m_Correction_X7, -1, 1), D(m_Correction_X8, -1, 1),
    D(m_Correction_Y1, -1, 1), D(m_Correction_Y2, -1, 1), D(m_Correction_Y3, -1, 1), D(m_Correction_Y4, -1, 1),
    D(m_Correction_Y5, -1, 1), D(m_Correction_Y6, -1, 1), D(m_Correction_Y7, -1, 1), D(m_Correction_Y8, -1, 1),
    D(m_Z_Nozzle1ToPCBHeight, -1000, 0), D(m_Z_DropsGlueToPCBHeight, -1000, 0), DN(m_Nozzle2MoreNozzle1),
    D(m_FeedOverBack, 0, 0.5),
    D(m_Z_Measurement, -1000, 0), DN(m_X_Measurement), DN(m_Y_Measurement), SW(m_bMeasurementEffect),
    I(m_MeasurementStart, 1, 255), I(m_MeasurementNormal, 1, 255),
    DN(m_X_CameraToNozzle1), DN(m_Y_CameraToNozzle1),
    DN(m_X_Nozzle2ToNozzle1), DN(m_Y_Nozzle2ToNozzle1), DN(m_X_Nozzle3ToNozzle1), DN(m_Y_Nozzle3ToNozzle1),
    DN(m_X_Nozzle4ToNozzle1), DN(m_Y_Nozzle4ToNozzle1), DN(m_X_Nozzle5ToNozzle1), DN(m_Y_Nozzle5ToNozzle1),
    DN(m_X_Nozzle6ToNozzle1), DN(m_Y_Nozzle6ToNozzle1), DN(m_X_Nozzle7ToNozzle1), DN(m_Y_Nozzle7ToNozzle1),
    DN(m_X_Nozzle8ToNozzle1), DN(m_Y_Nozzle8ToNozzle1),
    DN(m_X_DropsGlueToNozzle1), DN(m_Y_DropsGlueToNozzle1),
    D(m_X_Y2ToY1, 0, 10000), DN(m_Y_Y2ToY1),
    D(m_X_ThrowPosition, 0, 10000), D(m_Y_ThrowPosition, -10000, 0), I(m_ThrowDelay, 100, 3000),
    I(m_ChangeDelay, 100, 30000),
    DN(m_X_VisualOrigin), DN(m_Y_VisualOrigin), DN(m_X_VisualOriginOffset), DN(m_Y_VisualOriginOffset),
    DN(m_X_StopPosition), DN(m_Y_StopPosition), SW(m_bStopPosition), SW(m_ResetToVisualOrigin),
    SW(m_SmtFinishToVisualOrigin), I(m_CottectionTimeReset, 0, 10), I(m_CottectionTimeSmt, 0, 5),
    I(m_OriginVisualCollectTime, 0, 10000), D(m_VisualOriginBox, 0.2, 50), D(m_VisualOriginSize, 0, 10),
    I(m_OriginLightContrast, 0, 255), I(m_OriginLightBrightness, 0, 255), I(m_FeedBrightness, 0, 255),
    SW(m_OriginImageColorReversal),
    D(m_Z_closeVacuum, 0.1, 25), I(m_Exhaust, 0, 255), SW(m_SuctionNozzleBlock), SW(m_SuctionNozzleOffset),
    I(m_SuctionNozzleValue1, -99, 99), I(m_SuctionNozzleValue2, -99, 99), I(m_SuctionNozzleValue3, -99, 99),
    I(m_SuctionNozzleValue4, -99, 99), I(m_SuctionNozzleValue5, -99, 99), I(m_SuctionNozzleValue6, -99, 99),
    I(m_SuctionNozzleValue7, -99, 99), I(m_SuctionNozzleValue8, -99, 99),
    D(m_AutoMagnify, 1, 10), SW(m_Calibrator2), I(m_CameraLens, 0, 1),
    I(m_CommModel, 0, 1),
    D(m_X_Limit, 0.1, 10000), D(m_Y_Limit, -10000, -0.1), D(m_Z_Limit, -10000, -0.1),
    D(m_EastFeed_Limit, -10000, -0.1), D(m_SouthFeed_Limit, 0.1, 10000), D(m_WestFeed_Limit, -10000, -0.1),
    D(m_NorthFeed_Limit, 0.1, 10000),
    SW(m_OnlineToReset), SW(m_DebugModel), SW(m_OpenCamera), SW(m_bCameraTrackModify),
};
static_assert(std::size(kFields) == 103);

#undef D
#undef I
#undef DN
#undef SW

// Loading keeps these as the file has them: the lens value selects the
// calibration file (any other value loads none) and switches are read as is.
std::string NeedOf(const BasicField& f) {
  return std::string(f.IsDouble() ? "a number in " : "a whole number in ") + platform::RangeText(f.min, f.max);
}

bool CorrectedAtLoad(const BasicField& f) {
  if (std::string_view(f.key) == "m_CameraLens") return false;
  return f.HasRange() && !(f.min == 0 && f.max == 1 && std::string_view(f.key) != "m_CommModel");
}

}  // namespace

double BasicField::Get(const BasicSettings& s) const {
  if (auto d = std::get_if<double BasicSettings::*>(&member)) return s.**d;
  return s.*std::get<int BasicSettings::*>(member);
}

void BasicField::Set(BasicSettings& s, double v) const {
  if (auto d = std::get_if<double BasicSettings::*>(&member)) {
    s.**d = v;
  } else {
    s.*std::get<int BasicSettings::*>(member) = static_cast<int>(v);
  }
}

std::span<const BasicField> BasicFields() { return kFields; }

const BasicField* FindBasicField(std::string_view key) {
  for (const auto& f : kFields)
    if (key == f.key) return &f;
  return nullptr;
}

double BasicSettings::ZNozzleToFeed(int n) const {
  const double v[] = {m_Z_Nozzle1ToFeed, m_Z_Nozzle2ToFeed, m_Z_Nozzle3ToFeed, m_Z_Nozzle4ToFeed,
                      m_Z_Nozzle5ToFeed, m_Z_Nozzle6ToFeed, m_Z_Nozzle7ToFeed, m_Z_Nozzle8ToFeed};
  return (n >= 1 && n <= 8) ? v[n - 1] : 0.0;
}
double BasicSettings::CorrectionX(int n) const {
  const double v[] = {m_Correction_X1, m_Correction_X2, m_Correction_X3, m_Correction_X4,
                      m_Correction_X5, m_Correction_X6, m_Correction_X7, m_Correction_X8};
  return (n >= 1 && n <= 8) ? v[n - 1] : 0.0;
}
double BasicSettings::CorrectionY(int n) const {
  const double v[] = {m_Correction_Y1, m_Correction_Y2, m_Correction_Y3, m_Correction_Y4,
                      m_Correction_Y5, m_Correction_Y6, m_Correction_Y7, m_Correction_Y8};
  return (n >= 1 && n <= 8) ? v[n - 1] : 0.0;
}
double BasicSettings::XNozzleToNozzle1(int n) const {
  const double v[] = {0, 0, m_X_Nozzle2ToNozzle1, m_X_Nozzle3ToNozzle1, m_X_Nozzle4ToNozzle1,
                      m_X_Nozzle5ToNozzle1, m_X_Nozzle6ToNozzle1, m_X_Nozzle7ToNozzle1, m_X_Nozzle8ToNozzle1};
  return (n >= 2 && n <= 8) ? v[n] : 0.0;
}
double BasicSettings::YNozzleToNozzle1(int n) const {
  const double v[] = {0, 0, m_Y_Nozzle2ToNozzle1, m_Y_Nozzle3ToNozzle1, m_Y_Nozzle4ToNozzle1,
                      m_Y_Nozzle5ToNozzle1, m_Y_Nozzle6ToNozzle1, m_Y_Nozzle7ToNozzle1, m_Y_Nozzle8ToNozzle1};
  return (n >= 2 && n <= 8) ? v[n] : 0.0;
}
int BasicSettings::SuctionNozzleValue(int n) const {
  const int v[] = {m_SuctionNozzleValue1, m_SuctionNozzleValue2, m_SuctionNozzleValue3, m_SuctionNozzleValue4,
                   m_SuctionNozzleValue5, m_SuctionNozzleValue6, m_SuctionNozzleValue7, m_SuctionNozzleValue8};
  return (n >= 1 && n <= 8) ? v[n - 1] : 0;
}

std::string LensCalibrationFile(int cameraLens) {
  if (cameraLens == 0) return "cameraCalibrate_data8mm.xml";
  if (cameraLens == 1) return "cameraCalibrate_data6mm.xml";
  return {};
}

bool ApplyLensCalibration(BasicSettings& s, const LensCalibrationLoader& loader) {
  bool loaded = false;
  const std::string file = LensCalibrationFile(s.m_CameraLens);
  if (!file.empty() && loader) loaded = loader(file);
  if (!loaded) s.m_Calibrator2 = 0;
  return loaded;
}

BasicSettings LoadBasicSettings(const std::string& appDir, const LensCalibrationLoader& loader) {
  using platform::SettingsSection;
  SettingsSection sec(platform::ConfigPath(appDir), "SetBasicConfig");
  BasicSettings s;
  for (const auto& f : kFields) {
    // A missing key reads as 0; a text that is not a number (a word, "nan",
    // "inf", "1e400", "12abc") is refused, told once, and reads as 0 too:
    // the fix-ups below then give it the default of a missing key.
    const std::string need = f.HasRange() && !(f.min == 0 && f.max == 1)
                                 ? std::string(f.IsDouble() ? "a number in " : "a whole number in ") +
                                       platform::RangeText(f.min, f.max)
                                 : std::string(f.IsDouble() ? "a number" : "a whole number");
    f.Set(s, sec.ReadAnyNumber(f.key, !f.IsDouble(), need).value_or(0.0));
    const std::string_view key = f.key;
    if (key == "m_MeasurementStart" && s.m_MeasurementStart < 1) s.m_MeasurementStart = 1;
    if (key == "m_MeasurementNormal" && s.m_MeasurementNormal < 1) s.m_MeasurementNormal = 1;
    if (key == "m_Exhaust" && s.m_Exhaust < 5) s.m_Exhaust = 5;
  }
  if (s.m_ChangeDelay < 100 || s.m_ChangeDelay > 30000) s.m_ChangeDelay = 100;
  if (s.m_VisualOriginBox == 0.0) s.m_VisualOriginBox = 2.0;

  ApplyLensCalibration(s, loader);

  if (s.m_Z_closeVacuum == 0.0) s.m_Z_closeVacuum = 0.1;
  if (s.m_X_Limit == 0.0) s.m_X_Limit = 0.1;
  if (s.m_Y_Limit == 0.0) s.m_Y_Limit = -0.1;
  if (s.m_Z_Limit == 0.0) s.m_Z_Limit = -0.1;
  if (s.m_EastFeed_Limit == 0.0) s.m_EastFeed_Limit = -0.1;
  if (s.m_SouthFeed_Limit == 0.0) s.m_SouthFeed_Limit = 0.1;
  if (s.m_WestFeed_Limit == 0.0) s.m_WestFeed_Limit = -0.1;
  if (s.m_NorthFeed_Limit == 0.0) s.m_NorthFeed_Limit = 0.1;
  if (s.m_AutoMagnify == 0.0) s.m_AutoMagnify = 4.0;
  if (s.m_ThrowDelay == 0) s.m_ThrowDelay = 100;

  // A value the file holds outside its range (a limit with the wrong sign, a
  // blow time that does not fit the byte it is sent in, a link mode other
  // than serial or Ethernet) would reach the machine as it is: it is brought
  // to the nearest value of its range instead, and the log says so.
  for (const auto& f : kFields) {
    if (!CorrectedAtLoad(f)) continue;
    const double v = f.Get(s);
    if (std::isnan(v) || v < f.min || v > f.max) {
      double fixed = std::isnan(v) ? f.min : (v < f.min ? f.min : f.max);
      if (std::string_view(f.key) == "m_CommModel") fixed = 1;  // the link reads any non-zero as Ethernet
      f.Set(s, fixed);
      CLogFile::Instance().Write(true, "SetBasicConfig: %s = %s is out of range, corrected to %s", f.key,
                                 platform::FormatDouble(v).c_str(), platform::FormatDouble(fixed).c_str());
      // The operator is told too: the machine now works with another value
      // than the file holds.
      sec.TellRefused(f.key, sec.ReadText(f.key), NeedOf(f),
                      f.IsDouble() ? platform::FormatDouble(fixed) : platform::FormatInt(static_cast<long long>(fixed)));
    }
  }
  return s;
}

bool SaveBasicSettings(const std::string& appDir, const BasicSettings& s) {
  platform::SettingsSection sec(platform::ConfigPath(appDir), "SetBasicConfig");
  bool ok = true;
  for (const auto& f : kFields) {
    ok = (f.IsDouble() ? sec.WriteDouble(f.key, f.Get(s)) : sec.WriteInt(f.key, static_cast<long long>(f.Get(s)))) &&
         ok;
  }
  return ok;
}

std::optional<std::string> FirstBasicFieldOutOfRange(const BasicSettings& s) {
  for (const auto& f : kFields) {
    if (!f.HasRange()) continue;
    const double v = f.Get(s);
    if (std::isnan(v) || v < f.min || v > f.max) return std::string(f.key);
  }
  return std::nullopt;
}

}  // namespace smt::settings
