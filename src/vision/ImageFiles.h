#pragma once
// Picture files and video capture devices. Their codecs and capture back ends
// bring in a large set of shared libraries the program does not need to start,
// so they live in a small plugin of our own ("libsmt-cvio.so") loaded on first
// use. A missing or unusable plugin is loud: the log names it and every read,
// write or open fails with that reason.
#include <memory>
#include <opencv2/core.hpp>
#include <string>

namespace smt::vision {

// How a picture file is read (the same values as OpenCV's reading flags).
enum class ImageRead : int { Unchanged = -1, Grayscale = 0, Color = 1, AnyColor = 4 };

// The picture in the file; empty when it cannot be read (or the plugin is
// missing).
cv::Mat ReadImageFile(const std::string& path, ImageRead how = ImageRead::Color);
// Writes the picture in the format the file name's extension names; false
// when it cannot (a bad name, a failed write, the plugin missing).
bool WriteImageFile(const std::string& path, const cv::Mat& image);

// A V4L2 capture device opened through the plugin.
class VideoDevice {
 public:
  virtual ~VideoDevice() = default;
  virtual int Width() const = 0;
  virtual int Height() const = 0;
  // The next frame within `timeoutNs`; false when none came.
  virtual bool Grab(cv::Mat& frame, long long timeoutNs) = 0;
};
// Opens /dev/video<node> asking for width x height; nullptr when it does not
// open (or the plugin is missing).
std::unique_ptr<VideoDevice> OpenVideoDevice(int node, int width, int height);

// Whether the plugin is loaded in this process now, and why it could not be
// (empty when it was, or has not been tried).
bool CodecPluginLoaded();
std::string CodecPluginError();

}  // namespace smt::vision
