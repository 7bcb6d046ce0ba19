#include "run/PickPlacePreparation.h"

#include <cmath>
#include <cstdlib>
#include <mutex>
#include <optional>

#include "core/LogFile.h"
#include "core/MachineState.h"
#include "job/BoardGeometry.h"
#include "library/NozzleSeats.h"
#include "link/MotionCommands.h"
#include "link/MotionGlobals.h"
#include "link/ReplyEvent.h"
#include "platform/MessageService.h"
#include "run/BoardFrame.h"
#include "run/RunState.h"
#include "run/StrategySettings.h"
#include "run/TheMachine.h"
#include "settings/SettingsStores.h"
#include "platform/RefusalTexts.h"

namespace smt::run {

namespace {

using namespace smt::feeder;
using smt::settings::SpeedUse;

// The board's thickness as the run took it: the board is read on the
// window thread, so a run reads it once (at its first placement), not
// waiting for the window before every part. Outside a run it is read anew.
struct TakenBoardThickness {
  std::mutex mutex;
  std::optional<double> value;
};

double BoardThickness(smt::Machine& m) {
  auto& s = Services(m);
  if (!smt::link::t_onRunThread) return s.board ? s.board().thickness : 0.0;
  auto& taken = m.Part<TakenBoardThickness>();
  std::lock_guard lk(taken.mutex);
  if (!taken.value) taken.value = s.board ? s.board().thickness : 0.0;
  return *taken.value;
}

double HeadFeedHeight(const smt::settings::BasicSettings& b, int k) {
  const double h[8] = {b.m_Z_Nozzle1ToFeed, b.m_Z_Nozzle2ToFeed, b.m_Z_Nozzle3ToFeed, b.m_Z_Nozzle4ToFeed,
                       b.m_Z_Nozzle5ToFeed, b.m_Z_Nozzle6ToFeed, b.m_Z_Nozzle7ToFeed, b.m_Z_Nozzle8ToFeed};
  return k >= 1 && k <= 8 ? h[k - 1] : h[0];
}

void SpeedsFromUses(smt::Machine& m, HeadPlaceState& p) {
  auto& sp = smt::settings::SettingsStores::Of(m).speed;
  const auto pick = sp.Record(SpeedUse::PickPart), vis = sp.Record(SpeedUse::VisualCorrection),
             visPlace = sp.Record(SpeedUse::VisualSmt), place = sp.Record(SpeedUse::Smt);
  for (int i = 0; i < 8; ++i) {
    p.pickSpeeds[static_cast<size_t>(i)] = pick[static_cast<size_t>(i)];
    p.placeSpeeds[static_cast<size_t>(i)] = place[static_cast<size_t>(i)];
  }
  p.visionSpeeds = {vis[0], vis[1], vis[4], vis[5], vis[6], vis[7]};
  p.visionPlaceSpeeds = {visPlace[0], visPlace[1], visPlace[2], visPlace[3]};
}

bool OwnSpeeds(smt::Machine& m, HeadPlaceState& p, const std::string& name) {
  auto& sp = smt::settings::SettingsStores::Of(m).speed;
  const int level = Services(m).speedLevel ? Services(m).speedLevel() : 1;
  const auto rec = smt::settings::FindTemplateSpeeds(sp.Get()->tiers, level, name);
  if (!rec) {
    smt::platform::ShowMessage(kNoSpeedTemplate);
    return false;
  }
  const auto& r = *rec;
  const auto pick = sp.Record(SpeedUse::PickPart);
  for (int i = 4; i < 8; ++i) p.pickSpeeds[static_cast<size_t>(i)] = pick[static_cast<size_t>(i)];
  p.pickSpeeds[0] = p.visionSpeeds[0] = p.visionPlaceSpeeds[0] = p.placeSpeeds[0] = r[0];
  p.pickSpeeds[1] = p.visionSpeeds[1] = p.visionPlaceSpeeds[1] = p.placeSpeeds[1] = r[1];
  for (int z = 2; z < 4; ++z)
    p.pickSpeeds[static_cast<size_t>(z)] = p.visionPlaceSpeeds[static_cast<size_t>(z)] =
        p.placeSpeeds[static_cast<size_t>(z)] = r[static_cast<size_t>(z)];
  for (int a = 0; a < 4; ++a) {
    p.visionSpeeds[static_cast<size_t>(2 + a)] = r[static_cast<size_t>(4 + a)];
    p.placeSpeeds[static_cast<size_t>(4 + a)] = r[static_cast<size_t>(4 + a)];
  }
  return true;
}

void Shift(int side, double d, double& x, double& y, bool forward) {
  // forward: the 0402 direction (W -, N +, E +, S -); else the 48 direction.
  const double s = forward ? d : -d;
  switch (side) {
    case 1: x -= s; break;
    case 2: y += s; break;
    case 3: x += s; break;
    case 4: y -= s; break;
  }
}

}  // namespace

double NormalizeRotation(double deg) {
  // Any number of whole turns comes off (900 is 180, -540 is -180).
  if (!std::isfinite(deg)) return 0.0;
  deg = std::fmod(deg, 360.0);
  if (deg > 180) deg -= 360;
  else if (deg < -180) deg += 360;
  return deg;
}

bool PreparePickPlace(smt::Machine& m, int groupIndex, HeadPlaceState& p, int slot) {
  const HeadPickState* pick = PickRecordOfSlot(m, slot);
  if (!pick) return false;
  p.failed = 0;
  p.correctionX = p.correctionY = 0;
  p.row = pick->row;
  p.feederNumber = pick->feederNumber;
  p.rowIndex = pick->rowIndex;
  p.feedSide = pick->feedSide;
  p.feedMode = pick->feedMode;
  p.headTarget = pick->headTarget;
  p.nozzleTarget = pick->nozzleTarget;
  if (slot != 9) p.pick = *pick;
  const auto feederOpt = FeederRecordAt(m, groupIndex, pick->rowIndex);
  if (!feederOpt) {
    smt::platform::ShowMessage(smt::platform::WindowText("RunMessagesConfig", "RunMessages.c_FeederNotFound", "没有找到料架 !"));
    return false;
  }
  const FeederRecord& c = *feederOpt;
  const SmtStrategy st = Strategy(m);
  const auto basic = smt::settings::SettingsStores::Of(m).machine.Basic();
  p.pickX = c.x;
  p.pickY = c.y;
  p.partLength = c.length;
  p.partWidth = c.width;
  p.partHeight = c.height;
  p.feederAngle = std::trunc(c.angle);
  p.vacuum = static_cast<int>(c.vacuum);
  if (m.run.autoChangeNozzle && p.nozzleTarget >= 1 && p.nozzleTarget <= smt::library::kSeatCount)
    p.vacuum = m.Part<smt::library::NozzleState>().seats.Get(p.nozzleTarget - 1).nVacuum;
  // Vision.
  if (c.cameraNamed) {
    p.visionMode = c.visionOn ? 1 : 0;
    const std::string& name = c.camera;
    const auto names = Services(m).cameraNames ? Services(m).cameraNames()
                                              : std::pair<std::string, std::string>{"Camera 1", "Camera 2"};
    p.visionCamera = name == names.first ? 1 : name == names.second ? 2 : 0;
  }
  if (st.m_Head2AvoidCamera1 && p.headTarget == 2) p.visionCamera = 2;
  if (c.lightsNamed) {
    if (c.flyingCentring) p.visionMode = 2;
    p.lightContrast = c.lightContrast;
    p.lightBrightness = c.lightBrightness;
  }
  p.pickDelay = c.pickDelay;
  p.placeDelay = c.placeDelay;
  p.feedCount = c.feedCount;
  // Pocket shifts and tray stepping.
  if (p.feedMode == 4) {
    if (p.feedCount == 0) {
      Shift(p.feedSide, 2.0, p.pickX, p.pickY, true);
      SetFeederFeedCount(m, groupIndex, p.rowIndex, 1);
    } else {
      SetFeederFeedCount(m, groupIndex, p.rowIndex, 0);
    }
  } else if (p.feedMode == 5 && m.headCount == 2 && m.Part<smt::run::HeadRecords>().pick[0].feederNumber == m.Part<smt::run::HeadRecords>().pick[1].feederNumber &&
             slot != 9) {
    if (p.feedCount == 0) {
      SetFeederFeedCount(m, groupIndex, p.rowIndex, 1);
    } else {
      Shift(p.feedSide, 4.0, p.pickX, p.pickY, false);
      SetFeederFeedCount(m, groupIndex, p.rowIndex, 0);
    }
  } else if (p.feedMode == 3 || p.feedMode == 8) {
    smt::feeder::FeederTable& table = Feeders(m);
    auto tray = table.CurrentTray(p.rowIndex);
    if (tray) {
      TrayRecord t = *tray;
      if (t.rows <= 0 || t.cols <= 0) {
        // A grid without rows or columns cannot be stepped: the pick stays
        // at the feeder's own point.
        smt::platform::ShowMessage(kGridNoFind);
      } else {
        if (t.rowSerial == -1) {
          t.rowSerial = 0;
          if (m.machineType != 10) {
            const auto sp = smt::settings::SettingsStores::Of(m).speed.Record(SpeedUse::Smt);
            if (!TheMachine(m).MoveGantry(1000 - m.curX, Speed(sp[0]), -1000 - m.curY, Speed(sp[1]), smt::link::GantryMove::Checked))
              return false;
          }
          smt::platform::ShowMessage(RunText(m, "PartList.c_Message_19", "托盘下一个没有料了，请提前放料 !"));
        }
        p.pickX += t.colSerial * t.colSpace;
        p.pickY += t.rowSerial * t.rowSpace;
        if (++t.colSerial >= t.cols) {
          t.colSerial = 0;
          if (++t.rowSerial >= t.rows) t.rowSerial = -1;
        }
        table.LoadTray(p.rowIndex);
        TrayRecord work = table.WorkTray();
        work.rowSerial = t.rowSerial;
        work.colSerial = t.colSerial;
        table.SetWorkTray(work);
        table.StoreTray(p.rowIndex);
      }
    }
  }
  // Heights.
  const double h = c.pickHeight;
  const double base = basic->m_Z_Nozzle1ToPCBHeight + BoardThickness(m) + p.partHeight;
  const int k = p.headTarget;
  const int n = p.nozzleTarget;
  const double H1 = HeadFeedHeight(*basic, 1), Hk = HeadFeedHeight(*basic, k);
  const double L = (n >= 1 && n <= smt::library::kSeatCount) ? m.Part<smt::library::NozzleState>().seats.Get(n - 1).dPickHeight : 0.0;
  p.pickHeight = h;
  p.placeHeight = base;
  auto pickDefault = [&](double hk) {
    if (h == 0) p.pickHeight = hk;
  };
  auto offsetRule = [&] {
    if (k <= 1) pickDefault(H1);
    else {
      pickDefault(Hk);
      p.placeHeight = base + Hk - H1;
    }
  };
  auto relativeRule = [&] {
    if (k < 2) return;
    p.pickHeight = h != 0 ? h + Hk - H1 : Hk;
    p.placeHeight = base + Hk - H1;
  };
  auto libraryRule = [&](bool perHead, int onlyHead) {
    double hh = h;
    if (hh == 0) {
      hh = L;
      p.pickHeight = L;
    }
    p.placeHeight = base + L - H1;
    if (perHead && k >= 2 && (onlyHead == 0 || k == onlyHead)) {
      p.pickHeight = hh + Hk - H1;
      p.placeHeight += Hk - H1;
    }
  };
  const bool autoOn = m.run.autoChangeNozzle;
  switch (st.m_HeaderSelect) {
    case 0: case 4: case 7:
      if (autoOn) libraryRule(st.m_HeaderSelect != 0, 0);
      else offsetRule();
      break;
    case 1: case 2:
      if (autoOn) libraryRule(true, 2);
      else if (k <= 1) pickDefault(H1);
      else if (k == 2) {
        if (st.m_HeaderSelect == 1) relativeRule();
        else offsetRule();
      }
      break;
    case 3: case 6:
      if (autoOn) libraryRule(true, 0);
      else if (k <= 1) pickDefault(H1);
      else relativeRule();
      break;
    default: offsetRule(); break;
  }
  if (p.headTarget == 2 && (st.m_RunSelect == 1 || (st.m_RunSelect == 2 && m.run.activeList == 2)))
    p.placeHeight = basic->m_Z_DropsGlueToPCBHeight;
  // Speeds.
  if (c.ownSpeed && c.speedNamed) {
    p.ownSpeed = 1;
    if (!OwnSpeeds(m, p, c.speedTemplate)) return false;
  } else {
    p.ownSpeed = 0;
    SpeedsFromUses(m, p);
  }
  p.vacuumHeight = c.vacuum + p.pickHeight;
  if (p.vacuumHeight > 0) p.vacuumHeight = 0;
  const double off = c.earlyVacuumOff;
  p.vacuumOffHeight = (off == 0 ? basic->m_Z_closeVacuum : off) + p.placeHeight;
  p.recognitionType = c.recognitionType;
  if (p.recognitionType < 0 || p.recognitionType > 13) p.recognitionType = 0;  // 13: the special parts
  p.packageName = c.package;
  p.xyTolerance = c.precisionXY;
  p.angleTolerance = c.precisionA;
  p.timeLimit = c.collectTime;
  return true;
}

void AlignHeadSpeeds(HeadPlaceState& a, HeadPlaceState& b) {
  if (b.placeSpeeds[0].start < a.placeSpeeds[0].start) {
    a.visionSpeeds = b.visionSpeeds;
    a.visionPlaceSpeeds = b.visionPlaceSpeeds;
    a.placeSpeeds = b.placeSpeeds;
  } else if (b.placeSpeeds[0].start != a.placeSpeeds[0].start) {
    b.visionSpeeds = a.visionSpeeds;
    b.visionPlaceSpeeds = a.visionPlaceSpeeds;
    b.placeSpeeds = a.placeSpeeds;
  }
}

namespace {
double RowAngle(smt::Machine& m, int row, const std::vector<PlacementRow>* rows) {
  if (rows && row >= 0 && row < static_cast<int>(rows->size())) return (*rows)[static_cast<size_t>(row)].angle;
  if (!rows && Services(m).placementRows) {
    const auto all = Services(m).placementRows();
    if (row >= 0 && row < static_cast<int>(all.size())) return all[static_cast<size_t>(row)].angle;
  }
  return 0;
}
std::pair<double, double> CameraOffsets(smt::Machine& m) {
  const auto v = Services(m).vision.Get();
  return v ? v->CameraAngleOffsets() : std::pair<double, double>{0, 0};
}
double Rotation(smt::Machine& m, const HeadPlaceState& p) {
  return m.machineType == 4 ? -p.targetAngle : NormalizeRotation(p.feederAngle - p.targetAngle);
}
int32_t StepsOfDegrees(smt::Machine& m, double deg) { return static_cast<int32_t>(deg * m.steps.aPulsePerDeg); }
// The board's turn found by its marks; a board placed without marks is not
// turned by what an earlier board's marks measured.
double BoardTurn(smt::Machine& m) { return m.machineType == 4 || Frame(m).marksOn ? m.correction.boardRotation.load() : 0.0; }
}  // namespace

// Type 5, two heads flying over camera 1 together: head 2 is seen through
// the second camera-1 offset.
static bool Head2SharesCamera1(smt::Machine& m, size_t index) {
  if (m.machineType != 5 || index != 1) return false;
  const int mode = Strategy(m).m_HeaderSelect;
  if (mode != 1 && mode != 2) return false;
  const auto& h1 = m.Part<smt::run::HeadRecords>().place[0];
  const auto& h2 = m.Part<smt::run::HeadRecords>().place[1];
  return h2.headTarget == 2 && h2.visionMode == 2 && h1.visionCamera == 1 && h1.visionMode == 2;
}

void LogRotationAngles(smt::Machine& m, const std::vector<PlacementRow>* rows) {
  for (auto& a : m.motion.headMoveArgs) a = 0;
  const auto [off1, off2] = CameraOffsets(m);
  for (size_t i = 0; i < m.Part<smt::run::HeadRecords>().place.size(); ++i) {
    auto& p = m.Part<smt::run::HeadRecords>().place[i];
    if (p.row == -1) continue;
    p.partAngle = RowAngle(m, p.row, rows);
    double camOff = 0;
    if (p.visionMode != 0) camOff = p.visionCamera == 1 ? off1 : p.visionCamera == 2 ? off2 : 0;
    if (const auto v = Services(m).vision.Get(); v && Head2SharesCamera1(m, i))
      if (const auto shared = v->SharedViewAngleOffset()) camOff = *shared;
    p.targetAngle = p.partAngle + BoardTurn(m) + camOff;
    p.rotation = Rotation(m, p);
    if (p.headTarget >= 1 && p.headTarget <= 8)
      m.motion.headMoveArgs[static_cast<size_t>(p.headTarget - 1)] = StepsOfDegrees(m, p.rotation);
    CLogFile::Instance().Write(true, "part row %d nozzle %d rotate angle : %0.4f", p.row + 1, static_cast<int>(i + 1),
                               p.rotation);
  }
}

void LogReplenishRotation(smt::Machine& m, HeadPlaceState& p, const std::vector<PlacementRow>* rows) {
  const auto [off1, off2] = CameraOffsets(m);
  double camOff = 0;
  if (p.visionMode == 1 || p.visionMode == 2) camOff = p.visionCamera == 1 ? off1 : p.visionCamera == 2 ? off2 : 0;
  p.targetAngle = RowAngle(m, p.row, rows) + BoardTurn(m) + camOff;
  p.rotation = Rotation(m, p);
  for (int h = 1; h <= 8; ++h)
    m.motion.headMoveArgs[static_cast<size_t>(h - 1)] = h == p.headTarget ? StepsOfDegrees(m, p.rotation) : 0;
  CLogFile::Instance().Write(true, "part row %d nozzle %d rotate angle : %0.4f replenish", p.row + 1, p.headTarget,
                             p.rotation);
}


void ForgetTakenBoard(smt::Machine& m) {
  auto& taken = m.Part<TakenBoardThickness>();
  std::lock_guard lk(taken.mutex);
  taken.value.reset();
}

}  // namespace smt::run
