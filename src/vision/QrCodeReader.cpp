#include "vision/QrCodeReader.h"

#include <filesystem>
#include <mutex>
#include <optional>

#include "core/LogFile.h"
#include "vision/CvExtra.h"

namespace {
// The reader of the process, built once (the network models are costly to
// load) and read from any thread: the detector is handed out as a shared
// pointer under the lock, so a rebuild never pulls it from under a read. The
// program names the model directory at start-up and the reader is built the
// first time it is asked for (`pending`), under `build`, so two first uses
// build it once.
struct QrReaderState {
  std::mutex m;
  std::shared_ptr<void> detector;
  QrReaderMode mode = QrReaderMode::Off;
  std::string status;
  std::optional<std::string> pending;
  std::mutex build;
} g_reader;

void SetStatus(const std::string& text) {
  {
    std::lock_guard<std::mutex> lock(g_reader.m);
    g_reader.status = text;
  }
  if (!text.empty()) CLogFile::Instance().Write(true, "%s", text.c_str());
}

void SetReader(std::shared_ptr<void> detector, QrReaderMode mode) {
  std::lock_guard<std::mutex> lock(g_reader.m);
  g_reader.detector = std::move(detector);
  g_reader.mode = mode;
}

// A reader from the plugin, destroyed by it.
std::shared_ptr<void> NewReader(const smt::vision::CvExtraApi* api, const std::vector<std::string>* paths) {
  void* r = api->qrCreate(paths);
  return std::shared_ptr<void>(r, [api](void* p) { api->qrDestroy(p); });
}

// Builds the reader the program asked for at start-up, if it has not been
// built yet.
void BuildIfPending() {
  std::lock_guard<std::mutex> build(g_reader.build);
  std::optional<std::string> dir;
  {
    std::lock_guard<std::mutex> lock(g_reader.m);
    dir.swap(g_reader.pending);
  }
  if (dir) CreateQrCodeReader(*dir);
}
}  // namespace

std::string QrReaderStatus() {
  BuildIfPending();
  std::lock_guard<std::mutex> lock(g_reader.m);
  return g_reader.status;
}

std::vector<std::string> QrModelPaths(const std::string& directory) {
  std::string dir = directory.empty() ? std::string("./Model/") : directory;
  const char last = dir.back();
  if (last != '/' && last != '\\') dir += '/';
  return {dir + "detect.prototxt", dir + "detect.caffemodel", dir + "sr.prototxt", dir + "sr.caffemodel"};
}

namespace {
// The detector with its classic detection only (no network files).
bool CreateWithoutModels(const smt::vision::CvExtraApi* api, const std::string& why) {
  try {
    SetReader(NewReader(api, nullptr), QrReaderMode::WithoutModels);
  } catch (const std::exception& e) {
    SetReader(nullptr, QrReaderMode::Off);
    SetStatus("QR reader off: " + why + "; the detector without models failed too (" + e.what() + ")");
    return false;
  }
  SetStatus("QR reader without network models: " + why);
  return true;
}
}  // namespace

QrReaderMode CurrentQrReaderMode() {
  BuildIfPending();
  std::lock_guard<std::mutex> lock(g_reader.m);
  return g_reader.mode;
}

void CreateQrCodeReaderOnFirstUse(const std::string& directory) {
  std::lock_guard<std::mutex> build(g_reader.build);
  std::lock_guard<std::mutex> lock(g_reader.m);
  g_reader.detector = nullptr;
  g_reader.mode = QrReaderMode::Off;
  g_reader.status.clear();
  g_reader.pending = directory;
}

bool CreateQrCodeReader(const std::string& directory) {
  const std::vector<std::string> paths = QrModelPaths(directory);
  {
    std::lock_guard<std::mutex> lock(g_reader.m);
    g_reader.pending.reset();
  }
  SetReader(nullptr, QrReaderMode::Off);
  SetStatus("");
  const smt::vision::CvExtraApi* api = smt::vision::CvExtra();
  if (!api) {
    SetStatus("QR reader off: " + smt::vision::CvExtraPluginError());
    return false;
  }
  for (const std::string& p : paths) {
    std::error_code ec;
    if (!std::filesystem::is_regular_file(p, ec)) return CreateWithoutModels(api, "model file " + p + " is missing");
  }
  try {
    SetReader(NewReader(api, &paths), QrReaderMode::WithModels);
  } catch (const std::exception& e) {
    return CreateWithoutModels(api, "model files " + paths[0] + " .. " + paths[3] + " not loaded (" + e.what() + ")");
  }
  return true;
}

bool ReadQrCodes(const cv::Mat& frame, std::vector<std::string>& texts) {
  texts.clear();
  BuildIfPending();
  std::shared_ptr<void> reader;
  {
    std::lock_guard<std::mutex> lock(g_reader.m);
    reader = g_reader.detector;
  }
  if (!reader) {
    CLogFile::Instance().Write(true, "load model failed !");
    return false;
  }
  if (frame.empty()) return false;
  try {
    texts = smt::vision::CvExtra()->qrDecode(reader.get(), frame);
  } catch (const cv::Exception& e) {
    CLogFile::Instance().Write(true, "QR read failed: %s", e.what());
    return false;
  }
  return true;
}
