#pragma once
// What the simulated machine has in its hands and under its cameras: the
// board on the conveyor at its true place (an offset and a turn the job does
// not know), the feeders and the parts they present (each with its own pick
// error), the part each nozzle holds, and where every part was let go.
//
// The board simulator hands every command it carries out to the world
// (SimBoard::SetWorld); the world follows the gantry, the heads' turns, the
// pick and place strokes, the vacuum outputs and the fly passes. The
// cameras ask it what they see (View), as shapes in the picture's own
// millimetres, and render them; a fly pass leaves one view per trigger pulse
// and calls the trigger listener once per pulse.
//
// Conventions (those of the machine): positions in motor steps, converted
// with the steps per mm and per degree of the geometry; nozzle k sits at
// gantry + head offset k, the Mark camera at gantry + its offset. A positive
// A turn turns the held part clockwise (its angle goes down). The Mark
// camera looks down: picture x is machine +X and picture y machine -Y. The
// up-looking cameras see picture x as machine +X and picture y as +Y.
#include <array>
#include <atomic>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <vector>

namespace smt::sim {

struct WorldGeometry {
  double stepsPerMmX = 100, stepsPerMmY = 100, stepsPerDegA = 10;
  std::array<int32_t, 8> headOffsetX{}, headOffsetY{};  // nozzle k from the gantry (steps)
  int32_t markCameraX = 0, markCameraY = 0;              // Mark camera from the gantry (steps)
  std::array<int32_t, 2> visionCameraX{}, visionCameraY{};  // up-looking cameras 1 and 2 (steps)
  // A second camera beside camera 1 that sees head 2 while head 1 is over
  // camera 1 (the two-camera machines, camera 3 of View) (steps).
  int32_t sideCameraX = 0, sideCameraY = 0;
  double pickReach = 1.5;  // mm: a nozzle this near a feeder's pocket takes its part
};

// The board in the machine: its origin where the job believes it (mm), and
// where it truly is: shifted by the offset and turned by the rotation about
// its origin (counter-clockwise in machine X/Y for a positive angle).
struct WorldBoard {
  double originX = 0, originY = 0;
  double offsetX = 0, offsetY = 0, rotationDeg = 0;
  std::vector<std::array<double, 2>> marks;  // board mm
  double markDiameter = 1.0;
};

struct WorldFeeder {
  double x = 0, y = 0;      // pocket, machine mm
  double angleDeg = 0;      // the part's turn in the pocket
  double length = 1.6, width = 0.8;
};

// The part's place in the pocket against its nominal place (mm, degrees).
struct PickError {
  double dx = 0, dy = 0, dAngle = 0;
};

struct WorldPart {
  int feeder = -1;
  double length = 0, width = 0;
  double x = 0, y = 0, angleDeg = 0;  // machine mm and degrees
};

struct Release {
  int head = 0;
  WorldPart part;
  double boardX = 0, boardY = 0, boardAngleDeg = 0;  // on the true board
  bool placed = true;  // false: dropped by its vacuum going off (thrown away)
};

// One shape as a camera sees it: picture millimetres from the picture's
// centre, x to the right, y downwards; the angle clockwise on the picture.
struct ViewShape {
  bool circle = false;
  double x = 0, y = 0, width = 0, height = 0, angleDeg = 0;
  int grey = 230;
  // A nozzle's tip (a circle at the nozzle's axis, `width` 0): drawn only
  // by cameras that show it (see CameraEffects), behind the parts.
  bool nozzle = false;
  bool operator==(const ViewShape&) const = default;
};

class SimWorld {
 public:
  void SetGeometry(const WorldGeometry& g);
  WorldGeometry Geometry() const;
  void SetBoard(const WorldBoard& b);
  int AddFeeder(const WorldFeeder& f);
  // Pick errors given out in turn, one per pick (cycled); none: exact picks.
  void SetPickErrors(std::vector<PickError> errors);
  // Feeders that present nothing (an empty pocket): a pick there takes nothing.
  void SetFeederEmpty(int feeder, bool empty);

  // Called by the board for every command it carried out, with the axes
  // before and after (SimBoard's axis numbering).
  void OnCommand(uint16_t code, const std::vector<uint8_t>& payload, bool udp,
                 const std::map<int, int64_t>& before, const std::map<int, int64_t>& after);

  // What camera `camera` sees now: 0 the Mark camera, 1 and 2 the up-looking
  // vision cameras (1 is also the fly camera), 3 the side camera.
  std::vector<ViewShape> View(int camera) const;
  // The camera channel the last command 0x04 chose (1 Mark, 2 and 3 the
  // vision cameras; 1 before any): what a capture device behind the
  // machine's video switch shows.
  int SelectedChannel() const;
  // The oldest fly view not taken yet; `shotAtNs` (when given) gets the
  // time of its trigger pulse on the host's monotonic clock (nanoseconds of
  // std::chrono::steady_clock), which the program's process shares.
  std::optional<std::vector<ViewShape>> TakeFlyView(uint64_t* shotAtNs = nullptr);
  size_t PendingFlyViews() const;
  // Called once per trigger pulse of a fly pass (outside the world's lock).
  void SetTriggerListener(std::function<void()> listener);

  // Goes up with every command the world was told of.
  uint64_t Version() const { return version_.load(); }

  std::optional<WorldPart> Held(int head) const;
  std::vector<Release> Releases() const;
  std::vector<Release> Placements() const;  // releases that were placements
  int Picks() const;
  // Where the gantry (X, Y in steps) stopped after each command that moved it.
  std::vector<std::array<int64_t, 2>> GantryStops() const;
  void Clear();  // parts held and released, pick counter (feeders stay)

  // The board point (mm from the origin) of a machine point, on the true board.
  std::array<double, 2> BoardPointOf(double machineX, double machineY) const;
  std::array<double, 2> MachinePointOf(double boardX, double boardY) const;

 private:
  struct HeldPart {
    WorldPart atPick;  // pose at the pick
    double nozzleX = 0, nozzleY = 0;  // nozzle at the pick (mm)
    int64_t aAtPick = 0;
  };
  std::array<double, 2> Nozzle(int head, const std::map<int, int64_t>& axes) const;
  WorldPart PoseOf(int head, const HeldPart& h, const std::map<int, int64_t>& axes) const;
  std::vector<ViewShape> UpView(int camera, const std::map<int, int64_t>& axes) const;
  void Pick(int head, const std::map<int, int64_t>& axes);
  void Let(int head, bool placed, const std::map<int, int64_t>& axes);
  void FlyPass(int64_t startX, int64_t y, int64_t distance, int count, const std::vector<int32_t>& triggers,
               std::map<int, int64_t> axes, int& fired);

  mutable std::mutex m_;
  std::atomic<uint64_t> version_{0};
  WorldGeometry g_;
  WorldBoard board_;
  std::vector<WorldFeeder> feeders_;
  std::vector<bool> empty_;
  std::vector<PickError> errors_;
  size_t nextError_ = 0;
  int picks_ = 0;
  std::map<int, int64_t> axes_;
  int channel_ = 1;
  std::vector<std::array<int64_t, 2>> stops_;
  std::array<std::optional<HeldPart>, 8> held_;
  std::vector<Release> releases_;
  struct FlyView {
    std::vector<ViewShape> shapes;
    uint64_t shotAtNs = 0;
  };
  std::deque<FlyView> fly_;
  std::function<void()> trigger_;
};

}  // namespace smt::sim
