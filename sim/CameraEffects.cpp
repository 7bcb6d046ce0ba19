#include "sim/CameraEffects.h"

#include <cmath>
#include <cstdio>
#include <map>

namespace smt::sim {

CameraEffects CameraEffects::Realistic(unsigned seed) {
  CameraEffects fx;
  fx.blurPx = 1.2;
  fx.lightingShare = 0.3;
  fx.sensorNoise = 4.0;
  fx.nozzleMm = 1.0;
  fx.groundGrey = 200;
  fx.partGrey = 70;
  fx.edgeShare = 0.12;
  fx.edgeGrey = 150;
  fx.seed = seed;
  return fx;
}

std::string CameraEffects::Describe() const {
  std::string t;
  char b[96];
  auto add = [&](const char* text) { t += (t.empty() ? "" : ", ") + std::string(text); };
  if (blurPx > 0) {
    std::snprintf(b, sizeof b, "blur %.2f px", blurPx);
    add(b);
  }
  if (lightingShare > 0) {
    std::snprintf(b, sizeof b, "lighting falling by %.0f %%", lightingShare * 100);
    add(b);
  }
  if (sensorNoise > 0) {
    std::snprintf(b, sizeof b, "sensor noise %.1f grey levels", sensorNoise);
    add(b);
  }
  if (nozzleMm > 0) {
    std::snprintf(b, sizeof b, "nozzle tip %.2f mm with its shadow", nozzleMm);
    add(b);
  }
  if (groundGrey >= 0) {
    std::snprintf(b, sizeof b, "ground %d with parts %d", groundGrey, partGrey);
    add(b);
  }
  if (edgeShare > 0) {
    std::snprintf(b, sizeof b, "edge %d covering %.0f %% of the width", edgeGrey, edgeShare * 100);
    add(b);
  }
  std::snprintf(b, sizeof b, "seed %u", seed);
  return (t.empty() ? std::string("none") : t) + " (" + b + ")";
}

int CameraEffectNumbers(const std::string& name) {
  static const std::map<std::string, int> kCounts = {{"blur", 1},   {"lighting", 1}, {"sensornoise", 1},
                                                     {"nozzle", 1}, {"ground", 2},   {"edgecover", 2},
                                                     {"cameraseed", 1}, {"realistic", 0}};
  const auto it = kCounts.find(name);
  return it == kCounts.end() ? -1 : it->second;
}

namespace {
bool InRange(double v, double lo, double hi, const char* what, std::string& why) {
  if (std::isfinite(v) && v >= lo && v <= hi) return true;
  char b[160];
  std::snprintf(b, sizeof b, "%s must be %g..%g", what, lo, hi);
  why = b;
  return false;
}
bool Grey(double v, const char* what, std::string& why) {
  if (v == std::floor(v) && v >= 0 && v <= 255) return true;
  why = std::string(what) + " must be a whole grey level 0..255";
  return false;
}
}  // namespace

bool SetCameraEffect(CameraEffects& fx, const std::string& name, const std::vector<double>& v, std::string& why) {
  const int count = CameraEffectNumbers(name);
  if (count < 0) {
    why = "unknown camera effect \"" + name + "\"";
    return false;
  }
  if (static_cast<int>(v.size()) != count) {
    why = name + " takes " + std::to_string(count) + " numbers, has " + std::to_string(v.size());
    return false;
  }
  if (name == "blur") {
    if (!InRange(v[0], 0, 20, "blur (pixels)", why)) return false;
    fx.blurPx = v[0];
  } else if (name == "lighting") {
    if (!InRange(v[0], 0, 0.9, "lighting fall (share)", why)) return false;
    fx.lightingShare = v[0];
  } else if (name == "sensornoise") {
    if (!InRange(v[0], 0, 64, "sensor noise (grey levels)", why)) return false;
    fx.sensorNoise = v[0];
  } else if (name == "nozzle") {
    if (!InRange(v[0], 0, 20, "nozzle tip (mm)", why)) return false;
    fx.nozzleMm = v[0];
  } else if (name == "ground") {
    if (v[0] == -1) {
      if (!Grey(v[1], "part grey", why)) return false;
      fx.groundGrey = -1;
      fx.partGrey = static_cast<int>(v[1]);
      return true;
    }
    if (!Grey(v[0], "ground grey (-1: off)", why) || !Grey(v[1], "part grey", why)) return false;
    fx.groundGrey = static_cast<int>(v[0]);
    fx.partGrey = static_cast<int>(v[1]);
  } else if (name == "edgecover") {
    if (!InRange(v[0], 0, 0.9, "edge cover (share of the width)", why) || !Grey(v[1], "edge grey", why)) return false;
    fx.edgeShare = v[0];
    fx.edgeGrey = static_cast<int>(v[1]);
  } else if (name == "cameraseed") {
    if (v[0] != std::floor(v[0]) || v[0] < 0 || v[0] > 4294967295.0) {
      why = "camera seed must be a whole number 0..4294967295";
      return false;
    }
    fx.seed = static_cast<unsigned>(v[0]);
  } else if (name == "realistic") {
    fx = CameraEffects::Realistic(fx.seed);
  }
  return true;
}

}  // namespace smt::sim
