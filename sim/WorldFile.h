#pragma once
// The simulated machine's world written down as text, so that the board
// simulator run as its own program sees the same machine as the working
// directory the program runs on (smt-prepare-workdir writes both).
//
// One item per line, numbers separated by blanks, '#' starts a comment:
//   steps  X Y A              steps per mm of X and Y, per degree of A
//   head   K X Y              nozzle K (1..8) from the gantry, steps
//   markcamera X Y            the Mark camera from the gantry, steps
//   visioncamera K X Y        up-looking camera K (1, 2), steps
//   sidecamera X Y            the side camera, steps
//   pickreach MM              a nozzle this near a pocket takes its part
//   board OX OY DX DY TURN    origin (mm), true offset (mm) and turn (deg)
//   mark X Y                  a board mark, mm from the board's origin
//   markdiameter MM
//   feeder X Y ANGLE L W      a pocket (machine mm), its part's turn and size
//   picture COLS ROWS PMARK P1 P2   frame size, pixels per mm of the Mark
//                             camera and of vision cameras 1 and 2
// and what the cameras add to their pictures (sim/CameraEffects.h), each off
// unless named:
//   blur PX  lighting SHARE  sensornoise SD  nozzle MM  ground GREY PARTGREY
//   edgecover SHARE GREY  cameraseed N  realistic
// Every item is checked: a wrong keyword, count or number refuses the whole
// file with the line it is on; a step value that does not fit 32 bits is
// refused, never cut short.
#include <array>
#include <optional>
#include <string>
#include <vector>

#include "sim/CameraEffects.h"
#include "sim/SimWorld.h"

namespace smt::sim {

struct WorldPicture {
  int cols = 640, rows = 480;
  std::array<double, 3> pixelsPerMm{18.0, 20.0, 20.0};  // Mark, vision 1, vision 2
};

struct WorldDescription {
  WorldGeometry geometry;
  WorldBoard board;
  std::vector<WorldFeeder> feeders;
  WorldPicture picture;
  CameraEffects effects;
};

// The description, or nullopt with `why` naming the line and the fault.
std::optional<WorldDescription> ParseWorld(const std::string& text, std::string& why);
std::optional<WorldDescription> ReadWorldFile(const std::string& path, std::string& why);
// A world set up from the description (geometry, board, feeders).
void ApplyWorld(SimWorld& world, const WorldDescription& d);

}  // namespace smt::sim
