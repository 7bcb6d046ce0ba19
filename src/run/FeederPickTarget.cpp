#include "run/FeederPickTarget.h"

#include <cstdlib>
#include <initializer_list>

#include "core/MachineState.h"
#include "job/BoardGeometry.h"
#include "library/NozzleSeats.h"
#include "link/MotionSettings.h"
#include "platform/MessageService.h"
#include "run/RunServices.h"
#include "run/RunState.h"
#include "run/StrategySettings.h"

namespace smt::run {

namespace {

using smt::platform::ShowMessage;

bool In(int v, std::initializer_list<int> set) {
  for (int x : set)
    if (x == v) return true;
  return false;
}

int Nozzle(smt::Machine& m, int head) { return m.Part<smt::run::HeadRecords>().pick[static_cast<size_t>(head - 1)].nozzleTarget; }

bool Duplicate(smt::Machine& m, int k, int n) {
  for (int j = 1; j < k; ++j)
    if (Nozzle(m, j) == n) return true;
  return false;
}

void Route(HeadPickState& r, int n, int heads) { r.headTarget = (n >= 1 && n <= heads) ? n : 1; }

// Head and nozzle of slot 1 (and the single-step slot).
bool FirstSlotRules(smt::Machine& m, HeadPickState& r, int n, int type, const SmtStrategy& st, bool autoOn) {
  const int mode = st.m_HeaderSelect;
  auto changeRule = [&] {
    if (st.m_ChangeNozzleSelect == 1) r.headTarget = n == 1 ? 1 : 2;
    else if (st.m_ChangeNozzleSelect == 2) r.headTarget = n == 2 ? 2 : 1;
  };
  if (In(type, {0, 1}) && mode == 0) r.nozzleTarget = autoOn ? n : 1;
  else if (In(type, {2, 5, 10}) && mode == 0) {
    r.nozzleTarget = n;
    if (!autoOn && n > 1) r.headTarget = 2;
  } else if (In(type, {2, 3, 5, 7, 8, 10}) && mode == 1) r.nozzleTarget = autoOn ? n : 1;
  else if (In(type, {2, 5, 10}) && mode == 2) {
    r.nozzleTarget = n;
    if (!autoOn && n > 1) r.headTarget = 2;
    if (autoOn) changeRule();
  } else if (type == 3 && In(mode, {0, 2, 4})) {
    r.nozzleTarget = n;
    if (!autoOn) Route(r, n, 4);
    else if (mode == 2) changeRule();
  } else if (In(type, {3, 7, 8}) && In(mode, {3, 6})) {
    if (mode == 6 && type == 3) return true;
    r.nozzleTarget = autoOn ? FindLibraryNozzleSlot(m, 1, n) : 1;
  } else if (In(type, {3, 6, 7, 8}) && mode == 5) {
    if (!autoOn) {
      r.headTarget = n == 4 ? 4 : 1;
      r.nozzleTarget = n == 4 ? 4 : 1;
    }
  } else if (type == 6 && !autoOn) {
    if (In(mode, {0, 2, 4})) {
      r.nozzleTarget = n;
      Route(r, n, 4);
    } else if (In(mode, {1, 3})) r.nozzleTarget = 1;
  } else if (type == 6 && mode == 4) r.nozzleTarget = n;
  else if (In(type, {7, 8}) && In(mode, {0, 4, 7})) {
    r.nozzleTarget = n;
    if (!autoOn) Route(r, n, 8);
  } else if (In(type, {7, 8}) && mode == 2) {
    r.nozzleTarget = n;
    if (!autoOn) Route(r, n, 4);
    else changeRule();
  } else if (In(type, {7, 8}) && mode == 8 && !autoOn) {
    const bool own = n >= st.m_SpecialHead;
    r.headTarget = own ? n : 1;
    r.nozzleTarget = own ? n : 1;
  }
  return true;
}

// Head and nozzle of slots 2..8 (k); false refuses.
bool LaterSlotRules(smt::Machine& m, HeadPickState& r, int k, int n, int type, const SmtStrategy& st, bool autoOn) {
  const int mode = st.m_HeaderSelect;
  const int s = st.m_SpecialHead;
  const int t1 = Nozzle(m, 1);
  auto libSlot = [&]() -> bool {
    const int slot = FindLibraryNozzleSlot(m, k, n);
    if (slot == 0) return false;
    r.nozzleTarget = slot;
    return true;
  };
  auto dupThen = [&](int route) -> bool {
    if (Duplicate(m, k, n)) return false;
    r.nozzleTarget = n;
    if (route) Route(r, n, route);
    return true;
  };
  auto special = [&]() -> bool {  // head mode 8 with auto change off
    if (n >= s) {
      if (Duplicate(m, k, n)) return false;
      r.headTarget = n;
      r.nozzleTarget = n;
      return true;
    }
    if (s <= k) return false;
    r.nozzleTarget = k;
    return true;
  };
  if (k == 2) {
    if (In(type, {2, 10}) && mode == 0) {
      if (!autoOn) r.nozzleTarget = n;
    } else if (In(type, {2, 3, 5, 7, 8, 10}) && mode == 1) {
      if (!autoOn) r.nozzleTarget = 2;
      else {
        if (!libSlot()) return false;
        // Each head keeps the nozzle it holds when the two targets cross.
        const int held1 = m.Part<smt::run::HeadRecords>().place[0].nozzleTarget, held2 = m.Part<smt::run::HeadRecords>().place[1].nozzleTarget;
        if (t1 != held1 && t1 == held2 && r.nozzleTarget == held1) {
          m.Part<smt::run::HeadRecords>().pick[0].nozzleTarget = r.nozzleTarget;
          r.nozzleTarget = t1;
        }
      }
    } else if (In(type, {2, 3, 5, 6, 7, 8, 10}) && mode == 2 && (!autoOn || type != 6)) {
      if (!autoOn) {
        if (!dupThen(In(type, {3, 6, 7, 8}) ? 4 : 0)) return false;
        if (In(type, {2, 5, 10}) && n == 1) r.headTarget = 1;
      } else {
        const int c = st.m_ChangeNozzleSelect;
        if (c == 0) return dupThen(0);
        if (c == 1) {
          if (!(t1 == 1 && n != 1)) return false;
          r.nozzleTarget = n;
        } else if (c == 2) {
          if (!(t1 == 2 && n != 2)) return false;
          r.headTarget = 1;
          r.nozzleTarget = n;
        }
      }
    } else if (In(type, {3, 7, 8}) && mode == 3) {
      if (!autoOn) r.nozzleTarget = 2;
      else if (!libSlot()) return false;
    } else if (In(type, {3, 6}) && mode == 4) return dupThen(autoOn ? 0 : 4);
    else if (In(type, {3, 6, 7, 8}) && mode == 5) {
      if (!autoOn) {
        if (t1 == 4) return false;
        if (n == 4) r.headTarget = 4, r.nozzleTarget = 4;
        else r.nozzleTarget = 2;
      }
    } else if (type == 6 && In(mode, {1, 3})) {
      if (!autoOn) r.nozzleTarget = 2;
    } else if (In(type, {7, 8}) && In(mode, {4, 7})) return dupThen(autoOn ? 0 : 8);
    else if (In(type, {7, 8}) && mode == 6) {
      if (!autoOn) r.nozzleTarget = 2;
      else if (!libSlot()) return false;
    } else if (In(type, {7, 8}) && mode == 8 && !autoOn) return special();
    return true;
  }
  if (k <= 4) {
    if ((In(type, {3, 7, 8}) && mode == 3) || (In(type, {7, 8}) && mode == 6)) {
      if (!autoOn) r.nozzleTarget = k;
      else if (!libSlot()) return false;
    } else if (type == 6 && mode == 3) {
      if (!autoOn) r.nozzleTarget = k;
    } else if (In(type, {3, 6}) && mode == 4) return dupThen(autoOn ? 0 : 4);
    else if (In(type, {7, 8}) && In(mode, {4, 7})) return dupThen(autoOn ? 0 : 8);
    else if (In(type, {3, 6, 7, 8}) && mode == 5 && !autoOn) {
      if (k == 3) {
        if (t1 == 4 || Nozzle(m, 2) == 4) return false;
        if (n == 4) r.headTarget = 4, r.nozzleTarget = 4;
        else r.nozzleTarget = 3;
      } else {
        if (t1 == 4 || Nozzle(m, 2) == 4 || Nozzle(m, 3) == 4) return false;
        if (type != 6 && n != 4) return false;
        r.nozzleTarget = 4;
      }
    } else if (In(type, {7, 8}) && mode == 8 && !autoOn) return special();
    return true;
  }
  if (!In(type, {7, 8})) return true;
  if (mode == 6) {
    if (!autoOn) r.nozzleTarget = k;
    else if (!libSlot()) return false;
  } else if (mode == 7) return dupThen(autoOn ? 0 : 8);
  else if (mode == 8 && !autoOn) return special();
  return true;
}

}  // namespace

int FeedSideOfNumber(const std::string& number) {
  if (number.empty()) return 0;
  switch (number[0]) {
    case 'W': return 1;
    case 'N': return 2;
    case 'E': return 3;
    case 'S': return 4;
    case 'G': return 13;
    default: return 0;
  }
}

int FindLibraryNozzleSlot(smt::Machine& m, int head, int nozzle) {
  using smt::library::kSeatCount;
  if (head < 1 || head > 8 || nozzle < 1 || nozzle > kSeatCount) return 0;
  const auto fit = m.Part<smt::library::NozzleState>().seats.Get(nozzle - 1).bSameNote;
  if (head == 1) {
    for (int i = 1; i <= kSeatCount; ++i)
      if (fit[static_cast<size_t>(i - 1)]) return i;
    return nozzle;
  }
  for (int i = 1; i <= kSeatCount; ++i) {
    if (!fit[static_cast<size_t>(i - 1)]) continue;
    if (!m.Part<smt::library::NozzleState>().seats.HasNozzle(i - 1)) break;
    if (!Duplicate(m, head, i)) return i;
  }
  for (int i = 1; i <= kSeatCount; ++i)
    if (fit[static_cast<size_t>(i - 1)] && !Duplicate(m, head, i)) return i;
  return Duplicate(m, head, nozzle) ? 0 : nozzle;
}

int CalcFeederPickTarget(smt::Machine& m, int slot, int requestedHead, const std::string& feederNumber) {
  const smt::feeder::FeederTable& table = Feeders(m);
  const int rowIndex = table.FindCurrentRow(feederNumber);
  if (rowIndex < 0 || feederNumber.empty()) {
    ShowMessage(kFeedIndexNoFind);
    return 0;
  }
  const int group = table.CurrentIndex();
  const auto feeder = FeederRecordAt(m, group, rowIndex);
  if (!feeder) {
    ShowMessage(kFeedIndexNoFind);
    return 0;
  }
  const auto& c = *feeder;
  const int n = c.head;
  const int side = FeedSideOfNumber(feederNumber);
  if (side == 0) {
    ShowMessage(kFeedDirectionNoFind);
    return 0;
  }
  HeadPickState* rec = PickRecordOfSlot(m, slot);
  if (!rec) {
    ShowMessage(kWhichFeedNoFind);
    return 0;
  }
  const SmtStrategy st = Strategy(m);
  const int type = m.machineType;
  const bool autoOn = m.run.autoChangeNozzle;
  const int k = slot == 10 ? 1 : slot;
  if (k == 1) {
    rec->headTarget = requestedHead == 0 ? 1 : requestedHead;
    if (!FirstSlotRules(m, *rec, n, type, st, autoOn)) return 0;
  } else if (k >= 2 && k <= 8) {
    if (autoOn && m.Part<smt::run::HeadRecords>().pick[static_cast<size_t>(k - 2)].headTarget != k - 1) return 0;
    rec->headTarget = k;
    if (!LaterSlotRules(m, *rec, k, n, type, st, autoOn)) return 0;
  }
  if (c.cameraNamed) rec->camera = c.camera;
  if (k >= 2 && k <= 8 && st.m_Camera && rec->camera != m.Part<smt::run::HeadRecords>().pick[static_cast<size_t>(k - 2)].camera) return 0;
  if (auto d = Display(m)) {
    char buf[96];
    std::snprintf(buf, sizeof buf, "feed_headerTarget = %d，feed_nozzleTarget = %d", rec->headTarget, rec->nozzleTarget);
    d->Info(buf);
  }
  rec->groupIndex = group;
  rec->rowIndex = rowIndex;
  rec->feederNumber = feederNumber;
  rec->feedSide = side;
  rec->feederIndex = c.index;
  rec->feedModeText = c.feedMode;
  const auto names = FeedModeNames(m);
  rec->feedMode = -1;
  for (int i = 0; i < 9; ++i)
    if (names[static_cast<size_t>(i)] == rec->feedModeText) {
      rec->feedMode = i;
      break;
    }
  if (rec->feedMode < 0) {
    rec->feedMode = 0;
    ShowMessage(kFeedModeNoFind);
    return 0;
  }
  rec->feedCoordinate = c.feedCoordinate;
  rec->feedCount = c.feedCount;
  rec->feedTime = c.feedTime;
  rec->loosenLength = c.slack;
  rec->tightenLength = c.tension;
  rec->pickHeight = c.pickHeight;
  if (st.m_RunSelect == 2) {
    if (type == 7 || type == 8) {
      if (rec->headTarget == 8) return 0;
    } else if (type == 3) {
      if (rec->headTarget == 4) return 0;
    } else if (type != 6 && rec->headTarget != 1) {
      return 0;
    }
  }
  if (slot == 10) return 1;
  return CheckFeederPosition(m, *rec, slot) ? 1 : 2;
}

bool LookupFeedDirection(smt::Machine& m, int groupIndex, const std::string& feederNumber) {
  const smt::feeder::FeederTable& table = Feeders(m);
  const int rowIndex = groupIndex == table.CurrentIndex() ? table.FindCurrentRow(feederNumber) : -1;
  const auto feeder = rowIndex >= 0 ? FeederRecordAt(m, groupIndex, rowIndex) : std::nullopt;
  if (!feeder) {
    ShowMessage(kFeedIndexNoFind);
    return false;
  }
  const int side = FeedSideOfNumber(feederNumber);
  if (side == 0) {
    ShowMessage(kFeedDirectionNoFind);
    return false;
  }
  HeadPickState& r = m.Part<smt::run::HeadRecords>().pickExtra2;
  r.groupIndex = groupIndex;
  r.rowIndex = rowIndex;
  r.feederNumber = feederNumber;
  r.feedSide = side;
  r.feederIndex = feeder->index;
  r.pickHeight = feeder->pickHeight;
  return true;
}

bool CheckFeederPosition(smt::Machine& m, const HeadPickState& rec, int slot) {
  const auto feeder = FeederRecordAt(m, rec.groupIndex, rec.rowIndex);
  if (!feeder) return false;
  double x = feeder->x;
  double y = feeder->y;
  int same = 0;
  if (slot >= 1 && slot <= 8)
    for (int j = 1; j <= slot; ++j)
      if (m.Part<smt::run::HeadRecords>().pick[static_cast<size_t>(j - 1)].feederNumber == rec.feederNumber) ++same;
  const bool even = same % 2 == 0;
  if (rec.feedMode == 4 && even && rec.feedCount == 0) {
    switch (rec.feedSide) {
      case 1: x -= 2.0; break;
      case 2: y += 2.0; break;
      case 3: x += 2.0; break;
      case 4: y -= 2.0; break;
    }
  } else if (rec.feedMode == 5 && m.headCount == 2 && m.Part<smt::run::HeadRecords>().pick[0].feederNumber == m.Part<smt::run::HeadRecords>().pick[1].feederNumber &&
             slot != 9 && even && rec.feedCount != 0) {
    switch (rec.feedSide) {
      case 1: x += 4.0; break;
      case 2: y -= 4.0; break;
      case 3: x -= 4.0; break;
      case 4: y += 4.0; break;
    }
  } else if (rec.feedMode == 3 || rec.feedMode == 8) {
    if (auto t = Feeders(m).CurrentTray(rec.rowIndex); t && t->cols > 0 && t->rows > 0) {
      int c = t->colSerial + same, r = t->rowSerial;
      while (c >= t->cols) {
        c -= t->cols;
        r = (r + 1 >= t->rows) ? 0 : r + 1;
      }
      x += std::max(c, 0) * t->colSpace;
      y += std::max(r, 0) * t->rowSpace;
    }
  }
  const int head = rec.headTarget;
  const int32_t px = static_cast<int32_t>(x * m.steps.xPulsePerMm) - smt::job::NozzleOffsetX(m, head);
  const int32_t py = static_cast<int32_t>(y * m.steps.yPulsePerMm) - smt::job::NozzleOffsetY(m, head);
  const auto lim = smt::link::GetMotionSettings(m);
  if (px >= 0 && px <= lim.xLimit && py <= 0 && py >= lim.yLimit) return true;
  if (auto d = Display(m)) d->Info(kFeedPosError);
  return false;
}

}  // namespace smt::run
