#pragma once
// Template images of the get and find template commands: the square of the
// visual box cut from a frame, the template held in memory with its name,
// and the files "<appDir>/Template/<name>.png".
#include <opencv2/core.hpp>
#include <string>

namespace smt {
class Machine;
}

namespace smt::vision {

enum class TemplateCutResult { Ok, TooSmall, TooBig };
// Side = trunc(box x scale): below 5 too small, above the frame's rows (or
// columns) too big; else lowered to a multiple of 4 and cut from the centre
// (a deep copy).
TemplateCutResult CutTemplateSquare(const cv::Mat& frame, double boxMm, double pixelsPerMm, cv::Mat& cut);

// The template in the machine's memory.
void SetHeldTemplate(smt::Machine& machine, const std::string& name, const cv::Mat& image);
std::string HeldTemplateName(smt::Machine& machine);
cv::Mat HeldTemplate(smt::Machine& machine);
// The template of `name`: the one in the machine's memory when its name
// matches, else read from its file (an empty image when the file is missing)
// and held.
cv::Mat HeldTemplateFor(smt::Machine& machine, const std::string& appDir, const std::string& name);

// "<appDir>/Template/<name>.png"; empty when the name cannot be a file name.
std::string TemplateFilePath(const std::string& appDir, const std::string& name);
// The refusal of a template name that cannot be a file name; empty when it can.
std::string TemplateNameRefusal(const std::string& name);
// Writes the file, creating the folder when it is missing.
bool WriteTemplateFile(const std::string& appDir, const std::string& name, const cv::Mat& image);

}  // namespace smt::vision
