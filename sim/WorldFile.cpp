#include "sim/WorldFile.h"

#include <cmath>
#include <fstream>
#include <limits>
#include <map>
#include <sstream>

namespace smt::sim {

namespace {

// Reads exactly `count` finite numbers from the rest of the line.
bool Numbers(std::istringstream& in, size_t count, std::vector<double>& out, std::string& why) {
  out.clear();
  std::string word;
  while (in >> word) {
    if (!word.empty() && word[0] == '#') break;
    size_t used = 0;
    double v = 0;
    try {
      v = std::stod(word, &used);
    } catch (const std::exception&) {
      used = 0;
    }
    if (used != word.size() || !std::isfinite(v)) {
      why = "\"" + word + "\" is not a number";
      return false;
    }
    out.push_back(v);
  }
  if (out.size() != count) {
    why = "takes " + std::to_string(count) + " numbers, has " + std::to_string(out.size());
    return false;
  }
  return true;
}

bool Steps(double v, int32_t& out, std::string& why) {
  if (v != std::floor(v) || v < std::numeric_limits<int32_t>::min() || v > std::numeric_limits<int32_t>::max()) {
    why = "steps " + std::to_string(v) + " are not a whole number within 32 bits";
    return false;
  }
  out = static_cast<int32_t>(v);
  return true;
}

bool Positive(double v, const char* what, std::string& why) {
  if (v > 0) return true;
  why = std::string(what) + " must be above 0";
  return false;
}

}  // namespace

std::optional<WorldDescription> ParseWorld(const std::string& text, std::string& why) {
  WorldDescription d;
  std::istringstream lines(text);
  std::string line;
  int number = 0;
  static const std::map<std::string, size_t> kCounts = {
      {"steps", 3},  {"head", 3},         {"markcamera", 2}, {"visioncamera", 3}, {"sidecamera", 2},
      {"pickreach", 1}, {"board", 5},     {"mark", 2},       {"markdiameter", 1}, {"feeder", 5},
      {"picture", 5}};
  while (std::getline(lines, line)) {
    ++number;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    std::istringstream in(line);
    std::string key;
    if (!(in >> key) || key[0] == '#') continue;
    std::string fault;
    auto refuse = [&]() -> std::optional<WorldDescription> {
      why = "line " + std::to_string(number) + " (" + key + "): " + fault;
      return std::nullopt;
    };
    std::vector<double> v;
    if (const int effect = CameraEffectNumbers(key); effect >= 0) {
      if (!Numbers(in, static_cast<size_t>(effect), v, fault) || !SetCameraEffect(d.effects, key, v, fault))
        return refuse();
      continue;
    }
    const auto count = kCounts.find(key);
    if (count == kCounts.end()) {
      fault = "unknown item";
      return refuse();
    }
    if (!Numbers(in, count->second, v, fault)) return refuse();
    auto& g = d.geometry;
    if (key == "steps") {
      if (!Positive(v[0], "steps per mm of X", fault) || !Positive(v[1], "steps per mm of Y", fault) ||
          !Positive(v[2], "steps per degree of A", fault))
        return refuse();
      g.stepsPerMmX = v[0];
      g.stepsPerMmY = v[1];
      g.stepsPerDegA = v[2];
    } else if (key == "head") {
      if (v[0] != std::floor(v[0]) || v[0] < 1 || v[0] > 8) {
        fault = "nozzle must be 1..8";
        return refuse();
      }
      const auto k = static_cast<size_t>(v[0]) - 1;
      if (!Steps(v[1], g.headOffsetX[k], fault) || !Steps(v[2], g.headOffsetY[k], fault)) return refuse();
    } else if (key == "markcamera") {
      if (!Steps(v[0], g.markCameraX, fault) || !Steps(v[1], g.markCameraY, fault)) return refuse();
    } else if (key == "visioncamera") {
      if (v[0] != 1 && v[0] != 2) {
        fault = "camera must be 1 or 2";
        return refuse();
      }
      const auto k = static_cast<size_t>(v[0]) - 1;
      if (!Steps(v[1], g.visionCameraX[k], fault) || !Steps(v[2], g.visionCameraY[k], fault)) return refuse();
    } else if (key == "sidecamera") {
      if (!Steps(v[0], g.sideCameraX, fault) || !Steps(v[1], g.sideCameraY, fault)) return refuse();
    } else if (key == "pickreach") {
      if (!Positive(v[0], "pick reach", fault)) return refuse();
      g.pickReach = v[0];
    } else if (key == "board") {
      d.board.originX = v[0];
      d.board.originY = v[1];
      d.board.offsetX = v[2];
      d.board.offsetY = v[3];
      d.board.rotationDeg = v[4];
    } else if (key == "mark") {
      d.board.marks.push_back({v[0], v[1]});
    } else if (key == "markdiameter") {
      if (!Positive(v[0], "mark diameter", fault)) return refuse();
      d.board.markDiameter = v[0];
    } else if (key == "feeder") {
      if (!Positive(v[3], "part length", fault) || !Positive(v[4], "part width", fault)) return refuse();
      d.feeders.push_back({v[0], v[1], v[2], v[3], v[4]});
    } else if (key == "picture") {
      for (int i : {0, 1})
        if (v[i] != std::floor(v[i]) || v[i] < 16 || v[i] > 8192) {
          fault = "frame size must be whole numbers 16..8192";
          return refuse();
        }
      if (!Positive(v[2], "pixels per mm", fault) || !Positive(v[3], "pixels per mm", fault) ||
          !Positive(v[4], "pixels per mm", fault))
        return refuse();
      d.picture.cols = static_cast<int>(v[0]);
      d.picture.rows = static_cast<int>(v[1]);
      d.picture.pixelsPerMm = {v[2], v[3], v[4]};
    }
  }
  return d;
}

std::optional<WorldDescription> ReadWorldFile(const std::string& path, std::string& why) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    why = "cannot read " + path;
    return std::nullopt;
  }
  std::stringstream text;
  text << in.rdbuf();
  auto d = ParseWorld(text.str(), why);
  if (!d) why = path + ": " + why;
  return d;
}

void ApplyWorld(SimWorld& world, const WorldDescription& d) {
  world.SetGeometry(d.geometry);
  world.SetBoard(d.board);
  for (const auto& f : d.feeders) world.AddFeeder(f);
}

}  // namespace smt::sim
