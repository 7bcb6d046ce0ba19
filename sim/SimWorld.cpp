#include "sim/SimWorld.h"

#include <chrono>
#include <cmath>

namespace smt::sim {
namespace {

constexpr double kPi = 3.14159265358979323846;

int32_t LE32(const std::vector<uint8_t>& p, size_t at) {
  if (at + 3 >= p.size()) return 0;
  uint32_t v = 0;
  for (int i = 3; i >= 0; --i) v = (v << 8) | p[at + i];
  return static_cast<int32_t>(v);
}
int32_t SignMagnitude32(const std::vector<uint8_t>& p, size_t at) {
  if (at + 3 >= p.size()) return 0;
  const uint32_t raw = (uint32_t(p[at]) << 24) | (uint32_t(p[at + 1]) << 16) | (uint32_t(p[at + 2]) << 8) | p[at + 3];
  const int32_t magnitude = static_cast<int32_t>(raw & 0x7FFFFFFF);
  return (raw & 0x80000000u) ? -magnitude : magnitude;
}
uint8_t At(const std::vector<uint8_t>& p, size_t i) { return i < p.size() ? p[i] : 0; }
int64_t Axis(const std::map<int, int64_t>& axes, int a) {
  auto it = axes.find(a);
  return it == axes.end() ? 0 : it->second;
}

// The nozzle a Z stroke works: the pair motors carry two nozzles each (the
// sign of the stroke chooses), the eight-head board one per code.
int NozzleOfStroke(uint8_t code, int32_t steps) {
  if (code == 2) return steps >= 0 ? 2 : 1;
  if (code == 3) return steps >= 0 ? 4 : 3;
  if (code >= 0x20 && code <= 0x27) return code - 0x1F;
  return 0;
}

std::array<double, 2> Turn(double x, double y, double deg) {
  const double a = deg * kPi / 180.0;
  return {x * std::cos(a) - y * std::sin(a), x * std::sin(a) + y * std::cos(a)};
}

}  // namespace

void SimWorld::SetGeometry(const WorldGeometry& g) {
  std::lock_guard lk(m_);
  g_ = g;
}
WorldGeometry SimWorld::Geometry() const {
  std::lock_guard lk(m_);
  return g_;
}
void SimWorld::SetBoard(const WorldBoard& b) {
  std::lock_guard lk(m_);
  board_ = b;
}
int SimWorld::AddFeeder(const WorldFeeder& f) {
  std::lock_guard lk(m_);
  feeders_.push_back(f);
  empty_.push_back(false);
  return static_cast<int>(feeders_.size()) - 1;
}
void SimWorld::SetPickErrors(std::vector<PickError> errors) {
  std::lock_guard lk(m_);
  errors_ = std::move(errors);
  nextError_ = 0;
}
void SimWorld::SetFeederEmpty(int feeder, bool empty) {
  std::lock_guard lk(m_);
  if (feeder >= 0 && feeder < static_cast<int>(empty_.size())) empty_[static_cast<size_t>(feeder)] = empty;
}
void SimWorld::SetTriggerListener(std::function<void()> listener) {
  std::lock_guard lk(m_);
  trigger_ = std::move(listener);
}

std::array<double, 2> SimWorld::MachinePointOf(double bx, double by) const {
  const auto t = Turn(bx, by, board_.rotationDeg);
  return {board_.originX + board_.offsetX + t[0], board_.originY + board_.offsetY + t[1]};
}

std::array<double, 2> SimWorld::BoardPointOf(double mx, double my) const {
  return Turn(mx - board_.originX - board_.offsetX, my - board_.originY - board_.offsetY, -board_.rotationDeg);
}

std::array<double, 2> SimWorld::Nozzle(int head, const std::map<int, int64_t>& axes) const {
  const size_t i = static_cast<size_t>(head - 1);
  return {(Axis(axes, 0) + g_.headOffsetX[i]) / g_.stepsPerMmX, (Axis(axes, 1) + g_.headOffsetY[i]) / g_.stepsPerMmY};
}

WorldPart SimWorld::PoseOf(int head, const HeldPart& h, const std::map<int, int64_t>& axes) const {
  // The part turns with the nozzle about the nozzle's axis.
  const double turn = -static_cast<double>(Axis(axes, 39 + head) - h.aAtPick) / g_.stepsPerDegA;
  const auto n = Nozzle(head, axes);
  const auto r = Turn(h.atPick.x - h.nozzleX, h.atPick.y - h.nozzleY, turn);
  WorldPart p = h.atPick;
  p.x = n[0] + r[0];
  p.y = n[1] + r[1];
  p.angleDeg = h.atPick.angleDeg + turn;
  return p;
}

void SimWorld::Pick(int head, const std::map<int, int64_t>& axes) {
  auto& slot = held_[static_cast<size_t>(head - 1)];
  if (slot) return;  // the nozzle holds its part already
  const auto n = Nozzle(head, axes);
  int best = -1;
  double bestD = g_.pickReach;
  for (size_t i = 0; i < feeders_.size(); ++i) {
    const double d = std::hypot(feeders_[i].x - n[0], feeders_[i].y - n[1]);
    if (d <= bestD && !empty_[i]) {
      best = static_cast<int>(i);
      bestD = d;
    }
  }
  if (best < 0) return;
  const WorldFeeder& f = feeders_[static_cast<size_t>(best)];
  PickError e;
  if (!errors_.empty()) e = errors_[nextError_++ % errors_.size()];
  HeldPart h;
  h.atPick.feeder = best;
  h.atPick.length = f.length;
  h.atPick.width = f.width;
  h.atPick.x = f.x + e.dx;
  h.atPick.y = f.y + e.dy;
  h.atPick.angleDeg = f.angleDeg + e.dAngle;
  h.nozzleX = n[0];
  h.nozzleY = n[1];
  h.aAtPick = Axis(axes, 39 + head);
  slot = h;
  ++picks_;
}

void SimWorld::Let(int head, bool placed, const std::map<int, int64_t>& axes) {
  auto& slot = held_[static_cast<size_t>(head - 1)];
  if (!slot) return;
  Release r;
  r.head = head;
  r.part = PoseOf(head, *slot, axes);
  r.placed = placed;
  const auto b = BoardPointOf(r.part.x, r.part.y);
  r.boardX = b[0];
  r.boardY = b[1];
  r.boardAngleDeg = r.part.angleDeg - board_.rotationDeg;
  releases_.push_back(r);
  slot.reset();
}

void SimWorld::FlyPass(int64_t startX, int64_t y, int64_t distance, int count, const std::vector<int32_t>& triggers,
                       std::map<int, int64_t> axes, int& fired) {
  // The board's trigger positions count back from the end of the pass.
  axes[1] = y;
  for (int i = 0; i < count && i < static_cast<int>(triggers.size()); ++i) {
    axes[0] = startX + distance - triggers[static_cast<size_t>(i)];
    const auto at = std::chrono::steady_clock::now().time_since_epoch();
    fly_.push_back({UpView(1, axes), static_cast<uint64_t>(std::chrono::duration_cast<std::chrono::nanoseconds>(at).count())});
    ++fired;
  }
}

void SimWorld::OnCommand(uint16_t code, const std::vector<uint8_t>& p, bool udp, const std::map<int, int64_t>& before,
                         const std::map<int, int64_t>& after) {
  int fired = 0;
  std::function<void()> trigger;
  {
    std::lock_guard lk(m_);
    axes_ = after;
    if (Axis(before, 0) != Axis(after, 0) || Axis(before, 1) != Axis(after, 1))
      stops_.push_back({Axis(after, 0), Axis(after, 1)});
    switch (code) {
      case 0x67:
      case 0x68: {
        const int32_t steps = udp ? LE32(p, 1) : SignMagnitude32(p, 1);
        const int head = NozzleOfStroke(At(p, 0), steps);
        if (head < 1 || head > 8) break;
        if (code == 0x67) Pick(head, after);
        else Let(head, true, after);
        break;
      }
      case 0x03: {
        // A nozzle's vacuum going off drops what it holds: outputs 1..4 on
        // the pair-motor machines, 0x20..0x27 on the eight-head board.
        const uint8_t out = At(p, 0);
        if (At(p, 1) != 0) break;
        if (out >= 1 && out <= 4) Let(out, false, after);
        else if (out >= 0x20 && out <= 0x27) Let(out - 0x1F, false, after);
        break;
      }
      case 0x74:
      case 0x77: {
        // The eight-head board's move-and-pick / move-and-place: the gantry
        // and heads move, then the head's stroke picks or places.
        const uint8_t headCode = At(p, code == 0x74 ? 80 : 65);
        if (headCode < 0x20 || headCode > 0x27) break;
        if (code == 0x74) Pick(headCode - 0x1F, after);
        else Let(headCode - 0x1F, true, after);
        break;
      }
      case 0x04:
        if (!p.empty() && p[0] >= 1 && p[0] <= 4) channel_ = p[0];
        break;
      case 0x63: {
        std::vector<int32_t> t;
        if (udp) {
          for (int i = 0; i < 8; ++i) t.push_back(LE32(p, 19 + 4 * static_cast<size_t>(i)));
          FlyPass(Axis(before, 0), Axis(before, 1), LE32(p, 7), At(p, 2), t, before, fired);
        } else {
          // The serial form: X as sign and magnitude at 3, the trigger
          // offsets as 16-bit big-endian values from 9.
          if (p.size() < 9 + 2 * 8) break;
          for (size_t i = 0; i < 8; ++i)
            t.push_back(static_cast<int16_t>(static_cast<uint16_t>(p[9 + 2 * i] << 8 | p[10 + 2 * i])));
          FlyPass(Axis(before, 0), Axis(before, 1), SignMagnitude32(p, 3), At(p, 2), t, before, fired);
        }
        break;
      }
      case 0x73: {
        // The heads turn on the way to the fly start; the pass follows.
        std::vector<int32_t> t;
        for (int i = 0; i < 8; ++i) t.push_back(LE32(p, 81 + 4 * static_cast<size_t>(i)));
        std::map<int, int64_t> at = after;
        FlyPass(Axis(before, 0) + LE32(p, 9), Axis(before, 1) + LE32(p, 13), LE32(p, 69), At(p, 68), t, at, fired);
        break;
      }
      default:
        break;
    }
    trigger = trigger_;
  }
  ++version_;
  if (trigger)
    for (int i = 0; i < fired; ++i) trigger();
}

std::vector<ViewShape> SimWorld::UpView(int camera, const std::map<int, int64_t>& axes) const {
  std::vector<ViewShape> out;
  const size_t c = camera == 2 ? 1 : 0;
  double cx = g_.visionCameraX[c] / g_.stepsPerMmX, cy = g_.visionCameraY[c] / g_.stepsPerMmY;
  if (camera == 3) {
    cx = g_.sideCameraX / g_.stepsPerMmX;
    cy = g_.sideCameraY / g_.stepsPerMmY;
  }
  for (int k = 1; k <= 8; ++k) {
    const auto n = Nozzle(k, axes);
    if (std::fabs(n[0] - cx) <= 30 && std::fabs(n[1] - cy) <= 30)
      out.push_back({true, n[0] - cx, n[1] - cy, 0, 0, 0, 0, true});
  }
  for (int k = 1; k <= 8; ++k) {
    const auto& h = held_[static_cast<size_t>(k - 1)];
    if (!h) continue;
    const WorldPart part = PoseOf(k, *h, axes);
    const double x = part.x - cx, y = part.y - cy;
    if (std::fabs(x) > 30 || std::fabs(y) > 30) continue;
    out.push_back({false, x, y, part.length, part.width, part.angleDeg, 230});
  }
  return out;
}

std::vector<ViewShape> SimWorld::View(int camera) const {
  std::lock_guard lk(m_);
  if (camera >= 1 && camera <= 3) return UpView(camera, axes_);
  std::vector<ViewShape> out;
  const double cx = (Axis(axes_, 0) + g_.markCameraX) / g_.stepsPerMmX;
  const double cy = (Axis(axes_, 1) + g_.markCameraY) / g_.stepsPerMmY;
  auto near = [&](double x, double y) { return std::fabs(x - cx) < 30 && std::fabs(y - cy) < 30; };
  for (const auto& m : board_.marks) {
    const auto p = MachinePointOf(m[0], m[1]);
    if (near(p[0], p[1])) out.push_back({true, p[0] - cx, -(p[1] - cy), board_.markDiameter, board_.markDiameter, 0, 240});
  }
  for (const Release& r : releases_)
    if (r.placed && near(r.part.x, r.part.y))
      out.push_back({false, r.part.x - cx, -(r.part.y - cy), r.part.length, r.part.width, -r.part.angleDeg, 200});
  return out;
}

int SimWorld::SelectedChannel() const {
  std::lock_guard lk(m_);
  return channel_;
}

std::optional<std::vector<ViewShape>> SimWorld::TakeFlyView(uint64_t* shotAtNs) {
  std::lock_guard lk(m_);
  if (fly_.empty()) return std::nullopt;
  FlyView v = std::move(fly_.front());
  fly_.pop_front();
  if (shotAtNs) *shotAtNs = v.shotAtNs;
  return std::move(v.shapes);
}

size_t SimWorld::PendingFlyViews() const {
  std::lock_guard lk(m_);
  return fly_.size();
}

std::optional<WorldPart> SimWorld::Held(int head) const {
  std::lock_guard lk(m_);
  if (head < 1 || head > 8 || !held_[static_cast<size_t>(head - 1)]) return std::nullopt;
  return PoseOf(head, *held_[static_cast<size_t>(head - 1)], axes_);
}

std::vector<Release> SimWorld::Releases() const {
  std::lock_guard lk(m_);
  return releases_;
}

std::vector<Release> SimWorld::Placements() const {
  std::lock_guard lk(m_);
  std::vector<Release> out;
  for (const auto& r : releases_)
    if (r.placed) out.push_back(r);
  return out;
}

int SimWorld::Picks() const {
  std::lock_guard lk(m_);
  return picks_;
}

std::vector<std::array<int64_t, 2>> SimWorld::GantryStops() const {
  std::lock_guard lk(m_);
  return stops_;
}

void SimWorld::Clear() {
  std::lock_guard lk(m_);
  for (auto& h : held_) h.reset();
  releases_.clear();
  stops_.clear();
  fly_.clear();
  picks_ = 0;
  nextError_ = 0;
}

}  // namespace smt::sim
