#include "vision/ImageFiles.h"

#include <string>

#include "vision/PluginLoader.h"
#include "vision/codecs/CvIoApi.h"

namespace smt::vision {
namespace {

constexpr const char* kPluginName = "libsmt-cvio.so";

PluginOnFirstUse<CvIoApi>& P() {
#ifdef SMT_CVIO_PLUGIN_PATH
  const char* built = SMT_CVIO_PLUGIN_PATH;
#else
  const char* built = nullptr;
#endif
  static PluginOnFirstUse<CvIoApi> p(kPluginName, built, "smt_cvio_api",
                                     std::string("picture and camera plugin ") + kPluginName +
                                         " missing; picture files and USB cameras are unavailable:");
  return p;
}

const CvIoApi* Api() { return P().Get(); }

class PluginVideoDevice final : public VideoDevice {
 public:
  PluginVideoDevice(const CvIoApi* api, void* handle, int w, int h) : api_(api), handle_(handle), w_(w), h_(h) {}
  ~PluginVideoDevice() override { api_->videoClose(handle_); }
  int Width() const override { return w_; }
  int Height() const override { return h_; }
  bool Grab(cv::Mat& frame, long long timeoutNs) override { return api_->videoGrab(handle_, timeoutNs, &frame); }

 private:
  const CvIoApi* api_;
  void* handle_;
  int w_, h_;
};

}  // namespace

cv::Mat ReadImageFile(const std::string& path, ImageRead how) {
  const CvIoApi* api = Api();
  return api ? api->read(path.c_str(), static_cast<int>(how)) : cv::Mat();
}

bool WriteImageFile(const std::string& path, const cv::Mat& image) {
  const CvIoApi* api = Api();
  return api && api->write(path.c_str(), image);
}

std::unique_ptr<VideoDevice> OpenVideoDevice(int node, int width, int height) {
  const CvIoApi* api = Api();
  if (!api) return nullptr;
  int w = 0, h = 0;
  void* handle = api->videoOpen(node, width, height, &w, &h);
  if (!handle) return nullptr;
  return std::make_unique<PluginVideoDevice>(api, handle, w, h);
}

bool CodecPluginLoaded() { return P().Loaded(); }

std::string CodecPluginError() { return P().Error(); }

}  // namespace smt::vision
