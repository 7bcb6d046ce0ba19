#pragma once
// Parts of every recognition type (and the five special packages) drawn into
// a simulated camera scene: pads, leads and balls laid out in the part's own
// frame, then moved and turned. Shared by the recogniser tests and the
// recogniser benchmark so that both look at the same pictures.
#include <array>
#include <functional>

#include "vision/RecognitionTypes.h"
#include "vision/SimulatedScene.h"

namespace visiontest {

// Where and how a part lies: centre offset from the camera axis (mm), turn
// (degrees, clockwise on the picture), a size factor on every length of the
// layout, and the grey of the part.
struct PartPose {
  cv::Point2d offsetMm{0.3, -0.2};
  double turnDeg = 12.0;
  double size = 1.0;
  int grey = 255;
};

class PartDrawer {
 public:
  PartDrawer(smt::vision::SimulatedScene& scene, const PartPose& pose) : s_(scene), p_(pose) {}
  cv::Point2d At(double x, double y) const {
    return smt::vision::SimulatedScene::PartPoint(s_.Axis() + p_.offsetMm, p_.turnDeg, {x * p_.size, y * p_.size});
  }
  void Pad(double x, double y, double w, double h) const {
    s_.AddRect(At(x, y), {w * p_.size, h * p_.size}, p_.turnDeg, p_.grey);
  }
  void Ball(double x, double y, double d) const { s_.AddCircle(At(x, y), d * p_.size, p_.grey); }

  void Chip() const {
    Pad(-5, 0, 3, 5);
    Pad(5, 0, 3, 5);
  }
  void Body() const { Pad(0, 0, 12, 6); }
  void Sot() const {
    Pad(-8, -4, 2, 2);
    Pad(8, -4, 2, 2);
    Pad(0, 4, 2, 2);
  }
  void Leads(int perSide, bool fourSides) const {
    for (int i = 0; i < perSide; ++i) {
      const double t = -12 + 24.0 * i / (perSide - 1);
      Pad(t, -13, 0.6, 2);
      Pad(t, 13, 0.6, 2);
      if (fourSides) {
        Pad(-13, t, 2, 0.6);
        Pad(13, t, 2, 0.6);
      }
    }
  }
  void Grid(int n, bool skipCorner, bool mark) const {
    const double pitch = 24.0 / (n - 1);
    for (int r = 0; r < n; ++r)
      for (int k = 0; k < n; ++k) {
        if (skipCorner && r == 0 && k == 0) continue;
        Ball(-12 + k * pitch, -12 + r * pitch, pitch * 0.5);
      }
    if (mark) Ball(-14.5, -14.5, pitch * 0.8);
  }
  void Rch110() const {
    for (double x : {-6.0, 6.0})
      for (double y : {-6.0, 6.0}) Pad(x, y, 3, 3);
  }
  void Le224() const {
    Ball(-8, 0, 2.5);
    Ball(8, 0, 2.5);
  }
  void G5nb() const {
    Pad(-10, -5, 2, 2);
    Pad(10, -5, 2, 2);
    Pad(-10, 5, 2, 2);
    Pad(-4, -2, 2, 2);
  }
  void C10x16() const {
    Pad(-12, -8, 2, 2);
    Pad(-12, 8, 2, 2);
    Pad(12, -8, 4, 4);
    Pad(12, 8, 2, 2);
    Pad(-3, 0, 2, 2);
    Pad(3, 0, 2, 2);
  }

 private:
  smt::vision::SimulatedScene& s_;
  PartPose p_;
};

// One package of each recognition type, the special ones by name. At size 1
// every layout fits a 32 mm square round its centre.
struct PackageCase {
  int type;
  const char* name;
  std::function<void(const PartDrawer&)> draw;
};
inline const std::array<PackageCase, 18>& PackageCases() {
  static const std::array<PackageCase, 18> cases = {{
      {0, "", [](const PartDrawer& d) { d.Chip(); }},
      {1, "", [](const PartDrawer& d) { d.Body(); }},
      {2, "", [](const PartDrawer& d) { d.Chip(); }},
      {3, "", [](const PartDrawer& d) { d.Chip(); }},
      {4, "", [](const PartDrawer& d) { d.Sot(); }},
      {5, "", [](const PartDrawer& d) { d.Leads(16, false); }},
      {6, "", [](const PartDrawer& d) { d.Leads(16, false); }},
      {7, "", [](const PartDrawer& d) { d.Leads(16, true); }},
      {8, "", [](const PartDrawer& d) { d.Grid(10, false, true); }},
      {9, "", [](const PartDrawer& d) { d.Grid(10, false, false); }},
      {10, "", [](const PartDrawer& d) { d.Grid(10, false, false); }},
      {11, "", [](const PartDrawer& d) { d.Grid(10, true, false); }},
      {12, "", [](const PartDrawer& d) { d.Grid(10, false, false); }},
      {13, smt::vision::kSpecialRch110, [](const PartDrawer& d) { d.Rch110(); }},
      {13, smt::vision::kSpecialKsd42, [](const PartDrawer& d) { d.Leads(5, false); }},
      {13, smt::vision::kSpecialLe224, [](const PartDrawer& d) { d.Le224(); }},
      {13, smt::vision::kSpecialG5nb, [](const PartDrawer& d) { d.G5nb(); }},
      {13, smt::vision::kSpecialC10x16, [](const PartDrawer& d) { d.C10x16(); }},
  }};
  return cases;
}

inline std::string PackageCaseLabel(const PackageCase& c) {
  return "type " + std::to_string(c.type) + (c.name[0] ? std::string(" ") + c.name : std::string());
}

// A camera picture of a package: the scale (pixels per mm), the search box
// (mm), the ground's grey and noise, and how the recogniser is asked to
// look at it (threshold, 0 = automatic; inversion for a dark part).
struct PictureCondition {
  PartPose pose;
  double pixelsPerMm = 20.0;
  double boxMm = 40.0;
  int background = 0;
  double noise = 0.0;
  int threshold = 0;
  bool invert = false;
};

// Pictures an operator meets: the benchmark's clean frame, the simulated
// machine's look (ground 20, noise 1.5), small parts at a coarse scale, a
// fixed threshold, a dark part on a bright ground, a large part nearly
// square to the camera.
inline const std::array<PictureCondition, 6>& PictureConditions() {
  static const std::array<PictureCondition, 6> conditions = {{
      {{{0.3, -0.2}, 12.0, 1.0, 255}, 20.0, 40.0, 0, 0.0, 0, false},
      {{{-0.45, 0.7}, -33.5, 0.6, 255}, 20.0, 30.0, 20, 1.5, 0, false},
      {{{0.1, 0.05}, 97.0, 0.4, 200}, 12.0, 16.0, 20, 1.5, 0, false},
      {{{0.2, 0.3}, 179.5, 0.8, 220}, 20.0, 32.0, 30, 3.0, 120, false},
      {{{-0.3, -0.1}, 45.0, 0.55, 40}, 20.0, 30.0, 230, 2.0, 0, true},
      {{{0.0, 0.0}, 0.5, 1.2, 255}, 15.0, 44.0, 10, 0.0, 0, false},
  }};
  return conditions;
}

inline cv::Mat RenderPackage(const PackageCase& c, const PictureCondition& k, unsigned seed = 7) {
  smt::vision::SimulatedScene scene(1280, 1024, k.pixelsPerMm, {0, 0});
  scene.SetBackground(k.background);
  scene.SetNoise(k.noise, seed);
  c.draw(PartDrawer(scene, k.pose));
  return scene.Render();
}

}  // namespace visiontest
