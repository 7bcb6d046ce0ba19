#include "vision/VisionTemplates.h"
#include "vision/ImageFiles.h"

#include <cmath>
#include <filesystem>
#include <mutex>

#include "platform/NameAsPath.h"
#include "platform/RefusalTexts.h"
#include "core/Machine.h"

namespace smt::vision {

namespace {
struct Held {
  std::mutex m;
  std::string name;
  cv::Mat image;
};
Held& H(smt::Machine& machine) {
  return machine.Part<Held>();
}
}  // namespace

TemplateCutResult CutTemplateSquare(const cv::Mat& frame, double boxMm, double pixelsPerMm, cv::Mat& cut) {
  const double raw = boxMm * pixelsPerMm;
  if (!std::isfinite(raw) || raw < 5.0) return TemplateCutResult::TooSmall;
  if (raw > frame.rows || raw > frame.cols) return TemplateCutResult::TooBig;
  int s = static_cast<int>(raw);
  s -= s % 4;
  const int top = (frame.rows - s) / 2, left = (frame.cols - s) / 2;
  cut = frame(cv::Rect(left, top, s, s)).clone();
  return TemplateCutResult::Ok;
}

void SetHeldTemplate(smt::Machine& machine, const std::string& name, const cv::Mat& image) {
  std::lock_guard lk(H(machine).m);
  H(machine).name = name;
  H(machine).image = image.clone();
}

std::string HeldTemplateName(smt::Machine& machine) {
  std::lock_guard lk(H(machine).m);
  return H(machine).name;
}

cv::Mat HeldTemplate(smt::Machine& machine) {
  std::lock_guard lk(H(machine).m);
  return H(machine).image.clone();
}

std::string TemplateFilePath(const std::string& appDir, const std::string& name) {
  // A name that is not one file name reaches no file (nothing outside the folder).
  if (!smt::platform::NameAsPathProblem(name).empty()) return {};
  return (std::filesystem::path(appDir) / "Template" / (name + ".png")).string();
}

std::string TemplateNameRefusal(const std::string& name) {
  const std::string problem = smt::platform::NameAsPathProblem(name);
  if (problem.empty()) return {};
  return smt::platform::NameRefusalText(smt::platform::CommonText("Common.c_TemplateName", "模板名称"), name);
}

cv::Mat HeldTemplateFor(smt::Machine& machine, const std::string& appDir, const std::string& name) {
  std::lock_guard lk(H(machine).m);
  if (H(machine).name != name) {
    const std::string path = TemplateFilePath(appDir, name);
    H(machine).image = path.empty() ? cv::Mat() : smt::vision::ReadImageFile(path, smt::vision::ImageRead::Color);
    H(machine).name = name;
  }
  return H(machine).image.clone();
}

bool WriteTemplateFile(const std::string& appDir, const std::string& name, const cv::Mat& image) {
  const std::string path = TemplateFilePath(appDir, name);
  if (path.empty()) return false;
  std::error_code ec;
  std::filesystem::create_directories(std::filesystem::path(appDir) / "Template", ec);
  try {
    return smt::vision::WriteImageFile(path, image);
  } catch (const cv::Exception&) {
    return false;
  }
}

}  // namespace smt::vision
