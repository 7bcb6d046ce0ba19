#include "vision/ImageFiles.h"

#include <dlfcn.h>
#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <mutex>
#include <vector>

#include "platform/Hooks.h"
#include "vision/codecs/CvIoApi.h"

namespace smt::vision {
namespace {

constexpr const char* kPluginName = "libsmt-cvio.so";

struct Plugin {
  std::once_flag once;
  std::atomic<const CvIoApi*> api{nullptr};
  std::string error;
};
Plugin& P() {
  static Plugin p;
  return p;
}

// Where the plugin may be: beside the running program, then where this build
// put it.
std::vector<std::string> Candidates() {
  std::vector<std::string> out;
  std::error_code ec;
  const auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
  if (!ec) out.push_back((exe.parent_path() / kPluginName).string());
#ifdef SMT_CVIO_PLUGIN_PATH
  out.push_back(SMT_CVIO_PLUGIN_PATH);
#endif
  return out;
}

void Load(Plugin& p) {
  std::string tried;
  for (const auto& path : Candidates()) {
    if (::access(path.c_str(), R_OK) != 0) {
      tried += "\n  " + path + ": not there";
      continue;
    }
    void* handle = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle) {
      const char* e = ::dlerror();
      tried += "\n  " + path + ": " + (e ? e : "cannot be loaded");
      continue;
    }
    using Entry = const CvIoApi* (*)();
    auto entry = reinterpret_cast<Entry>(::dlsym(handle, "smt_cvio_api"));
    const CvIoApi* api = entry ? entry() : nullptr;
    if (!api || api->version != CvIoApi::kVersion) {
      tried += "\n  " + path + ": not a plugin of this program's version";
      ::dlclose(handle);
      continue;
    }
    p.api = api;  // kept loaded for the rest of the process
    return;
  }
  p.error = std::string("picture and camera plugin ") + kPluginName + " missing; picture files and USB cameras are " +
            "unavailable:" + tried;
  smt::platform::HookLog(p.error);
}

const CvIoApi* Api() {
  Plugin& p = P();
  std::call_once(p.once, [&] { Load(p); });
  return p.api;
}

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

bool CodecPluginLoaded() {
  Plugin& p = P();
  return p.api != nullptr;
}

std::string CodecPluginError() { return P().error; }

}  // namespace smt::vision
