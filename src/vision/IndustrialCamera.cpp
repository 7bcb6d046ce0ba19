#include "vision/IndustrialCamera.h"

#include <algorithm>
#include <cmath>
#include <fstream>
#include <sstream>

#include "platform/FileIo.h"
#include "platform/FileCell.h"
#include "platform/ReadRefusals.h"
#include "platform/SettingsSection.h"

namespace smt::vision {

int CameraRoleFromName(const std::string& name) {
  if (name == "Mark_Camera") return kRoleMarkCamera;
  if (name == "Visual_Camera_1") return kRoleVisualCamera1;
  if (name == "Visual_Camera_2") return kRoleVisualCamera2;
  return -1;
}

const char* CameraRoleName(int role) {
  switch (role) {
    case kRoleMarkCamera:
      return "Mark_Camera";
    case kRoleVisualCamera1:
      return "Visual_Camera_1";
    case kRoleVisualCamera2:
      return "Visual_Camera_2";
    default:
      return "";
  }
}

bool CameraParameters::Clamp() {
  const CameraParameters before = *this;
  auto clampD = [](double v, double lo, double hi, double def) { return std::isfinite(v) ? std::clamp(v, lo, hi) : def; };
  exposureUs = clampD(exposureUs, 1.0, 1000000.0, 10000.0);
  analogGain = clampD(analogGain, 1.0, 16.0, 1.0);
  gamma = std::clamp(gamma, 1, 1000);
  contrast = std::clamp(contrast, 0, 200);
  return before == *this;
}

bool IIndustrialCamera::SaveParameters(const std::string& fileName) const {
  const CameraParameters p = Parameters();
  std::ostringstream out;
  out << "name=" << FriendlyName() << "\n"
      << "exposureUs=" << smt::platform::FormatDouble(p.exposureUs) << "\n"
      << "analogGain=" << smt::platform::FormatDouble(p.analogGain) << "\n"
      << "gamma=" << p.gamma << "\n"
      << "contrast=" << p.contrast << "\n"
      << "mirrorX=" << (p.mirrorX ? 1 : 0) << "\n"
      << "mirrorY=" << (p.mirrorY ? 1 : 0) << "\n";
  try {
    smt::platform::WriteFileAtomically(fileName, out.str());
    return true;
  } catch (const smt::platform::FileError&) {
    return false;
  }
}

bool IIndustrialCamera::LoadParameters(const std::string& fileName) {
  std::ifstream in(fileName);
  if (!in) return false;
  CameraParameters p = Parameters();
  std::string line;
  int lineNo = 0;
  // Each value is read once, here, within its range; a value that is not
  // one keeps the camera's current setting and is told once (file, line,
  // field). The file itself is left as it is.
  struct Field {
    const char* key;
    double lo, hi;
    bool integer;
  };
  static const Field kFields[] = {{"exposureUs", 1.0, 1000000.0, false}, {"analogGain", 1.0, 16.0, false},
                                  {"gamma", 1, 1000, true},            {"contrast", 0, 200, true},
                                  {"mirrorX", 0, 1, true},             {"mirrorY", 0, 1, true}};
  while (std::getline(in, line)) {
    ++lineNo;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    const auto eq = line.find('=');
    if (eq == std::string::npos) continue;
    const std::string key = line.substr(0, eq), value = line.substr(eq + 1);
    for (const Field& f : kFields) {
      if (key != f.key) continue;
      const auto v = smt::platform::ParseCellNumber(value, f.lo, f.hi);
      if (!v || (f.integer && std::trunc(*v) != *v)) {
        smt::platform::ReportReadRefusal(
            {fileName, "line " + std::to_string(lineNo) + ", field \"" + key + "\"", value,
             std::string(f.integer ? "a whole number in " : "a number in ") + smt::platform::RangeText(f.lo, f.hi),
             "the camera's current value"});
        break;
      }
      if (key == "exposureUs") p.exposureUs = *v;
      else if (key == "analogGain") p.analogGain = *v;
      else if (key == "gamma") p.gamma = static_cast<int>(*v);
      else if (key == "contrast") p.contrast = static_cast<int>(*v);
      else if (key == "mirrorX") p.mirrorX = *v != 0;
      else if (key == "mirrorY") p.mirrorY = *v != 0;
    }
  }
  p.Clamp();
  return SetParameters(p);
}

CameraRoles AssignCameraRoles(const std::vector<std::shared_ptr<IIndustrialCamera>>& cameras) {
  CameraRoles roles;
  for (const auto& cam : cameras) {
    if (!cam) continue;
    const int role = CameraRoleFromName(cam->FriendlyName());
    if (role < 0)
      roles.mismatched.push_back(cam->FriendlyName());
    else
      roles.byRole[role] = cam;
  }
  return roles;
}

}  // namespace smt::vision
