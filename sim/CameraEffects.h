#pragma once
// What a real machine camera adds to the picture of what it sees: the
// lens's blur, a lighting that falls off across the frame, the sensor's
// noise, the nozzle's tip and its shadow behind the part, a ground brighter
// than the part (a lit diffuser behind a dark body) and an edge (a feeder's
// or the holder's) that covers part of the frame. Each is switched on its
// own; all of them are deterministic for one seed and one sequence of
// frames.
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace smt::sim {

struct CameraEffects {
  double blurPx = 0;         // the lens's blur: Gaussian sigma in pixels; 0 off
  double lightingShare = 0;  // the light falls by this share from the frame's brightest corner to its darkest; 0 off
  double sensorNoise = 0;    // the sensor's noise, standard deviation in grey levels; 0 off
  double nozzleMm = 0;       // the nozzle tip's diameter behind a held part, with its shadow; 0 off
  int groundGrey = -1;       // the up-looking cameras' ground; -1 off (a dark ground)
  int partGrey = 70;         // the parts' grey on that ground
  double edgeShare = 0;      // share of the frame's width an edge covers from the right; 0 off
  int edgeGrey = 150;        // the edge's grey
  unsigned seed = 1;         // the noise's seed, combined with each frame's number

  bool operator==(const CameraEffects&) const = default;
  bool Any() const {
    return blurPx > 0 || lightingShare > 0 || sensorNoise > 0 || nozzleMm > 0 || groundGrey >= 0 || edgeShare > 0;
  }
  // Every effect at what a bottom camera of a real machine shows.
  static CameraEffects Realistic(unsigned seed = 1);
  // One line naming what is switched on ("none" when nothing is).
  std::string Describe() const;
};

// The names of the effects, as the world file and the simulator's commands
// take them, each with the count of its numbers:
//   blur PX               lighting SHARE          sensornoise SD
//   nozzle MM             ground GREY PARTGREY    edgecover SHARE GREY
//   cameraseed N          realistic (no numbers: every effect at its realistic value)
// A value 0 (for ground: -1) switches an effect off.
// -1 when `name` is not one of them.
int CameraEffectNumbers(const std::string& name);
// Sets one effect from its numbers; false with `why` naming the allowed
// range when a number is outside it (nothing is changed then).
bool SetCameraEffect(CameraEffects& fx, const std::string& name, const std::vector<double>& numbers, std::string& why);

// The effects the cameras apply now, shared by the cameras and whoever
// switches them (a command, a test) while frames are taken.
class CameraEffectsSwitch {
 public:
  CameraEffects Get() const {
    std::lock_guard lk(m_);
    return fx_;
  }
  void Set(const CameraEffects& fx) {
    std::lock_guard lk(m_);
    fx_ = fx;
  }

 private:
  mutable std::mutex m_;
  CameraEffects fx_;
};

}  // namespace smt::sim
