#pragma once
// Section [CameraListConfig]: the two camera records, the standard piece of
// the calibrations, the camera-switch delay, the synchronous camera
// correction, the high-speed camera configuration and the fly camera. Also
// the small rules of the camera list's settings controls.
#include <array>
#include <string>
#include <vector>

#include "core/Machine.h"
#include "vision/CameraTable.h"

namespace smt::vision {

struct CameraListSettings {
  double m_BaseDiameter = 5.0;
  double m_BaseCoordinates_X = 0, m_BaseCoordinates_Y = 0, m_BaseCoordinates_Z = 0;
  int m_iChangeCameraDelay = 0;
  int m_bChangeCameraDelay = 0;
  double m_Correct_X = 0, m_Correct_Y = 0, m_Correct_A = 0;
  int m_HighSpeedCamera = 0;
  int m_MarkCamera = 0, m_VisualCamera1 = 0, m_VisualCamera2 = 0, m_FlyCamera = 0;
  int m_iFlyStartSpeed = 1, m_iFlyNormalSpeed = 1;
  std::array<int, 8> m_iTriggerPulse{};        // heads 1..8
  std::array<double, 8> m_dFlyCorrect_Y{};     // heads 1..8
  int m_VisualImageColorReversal = 0;
  int m_bVisualOffset = 0;
  double m_AllowOffset = 0;
  bool operator==(const CameraListSettings&) const = default;
};

// Reads the section from "<appDir>/config.ini" into the settings and the two
// records, with the fix-ups: diameter below 5 becomes 5, the legacy trigger
// key, fly speeds 0 become 1.
void LoadCameraListConfig(const std::string& appDir, CameraListSettings& s, CameraRecord& first,
                          CameraRecord& second);
// The camera switches of the section (each 0 or 1; any other text is
// refused and reads as 0), as the camera panel takes them at start-up.
struct CameraSwitches {
  int highSpeed = 0;
  bool mark = false, visual1 = false, visual2 = false, fly = false;
};
CameraSwitches LoadCameraSwitches(const std::string& appDir);
// Writes every key in order. False when the file could not be written.
bool WriteCameraListConfig(const std::string& appDir, const CameraListSettings& s, const CameraRecord& first,
                           const CameraRecord& second);
// Writes every key in order and sets the machine's four camera flags (not the
// high-speed mode). False when the file could not be written.
bool SaveCameraListConfig(smt::Machine& machine, const std::string& appDir, const CameraListSettings& s,
                          const CameraRecord& first, const CameraRecord& second);

// The first field outside the dialog's ranges (its key), empty when all fit.
std::string FirstCameraListFieldOutOfRange(const CameraListSettings& s);
// The range of a key FirstCameraListFieldOutOfRange checks.
bool CameraListFieldRange(const std::string& key, double& lo, double& hi);
// The keys with a range, in the dialog's order; whether a key takes whole
// numbers only (steps, milliseconds, speeds).
std::vector<std::string> CameraListFieldKeys();
bool CameraListFieldIsWhole(const std::string& key);

// A machine position taken into a millimetre field: steps / pulses per mm,
// rounded to four decimals and moved 0.0001 away from zero.
double NudgedMm(double value);
std::string NudgedMmText(double value);
// Buttons CX, CY and Z of the standard piece: the Mark camera's position
// (head position plus the camera offset in steps) and the Z1 height.
std::string CaptureBaseX(int32_t curX, double cameraToNozzle1X, double xPulse);
std::string CaptureBaseY(int32_t curY, double cameraToNozzle1Y, double yPulse);
std::string CaptureBaseZ(int32_t curZ1, double zPulse);

// The heads whose trigger and fly correction edits the activation enables.
int FlyEditHeadsForMachineType(int machineType);

}  // namespace smt::vision
