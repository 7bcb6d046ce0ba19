#pragma once
// Camera frames over a local (UNIX stream) socket: the board simulator, run
// as its own process, renders what its cameras see and serves one frame per
// request; the program's simulated industrial cameras ask it for theirs.
//
// One request, one reply, in this order, on one connection:
//   request  16 bytes: "SMCR", version (2), camera, kind      (u32 LE each)
//   reply    32 bytes: "SMCF", status, cols, rows, channels, length (u32 LE),
//            shot at (u64 LE), then `length` bytes of 8-bit pixels, row by row.
// camera: 0 Mark, 1 and 2 the vision cameras, 3 the side camera.
// kind: 0 the live view, 1 the oldest fly-pass view not taken yet.
// status 0: a frame (1 <= cols, rows <= kMaxFrameSide, channels 1 or 3,
// length = cols * rows * channels); status 1: nothing to show (every other
// field 0). Anything else is a broken reply and the connection is closed.
// shot at: for a fly view, when its trigger pulse came, in nanoseconds of the
// host's monotonic clock (std::chrono::steady_clock, which both processes
// share); 0 for a live picture. A fly pass drops views shot before its own
// trigger mode began (pulses of an earlier pass left in the queue).
#include <array>
#include <chrono>
#include <cstdint>
#include <mutex>
#include <optional>
#include <stop_token>
#include <string>

#include <opencv2/core.hpp>

namespace smt::vision {

inline constexpr uint32_t kFrameSocketVersion = 2;
inline constexpr size_t kFrameRequestSize = 16;
inline constexpr size_t kFrameReplyHeaderSize = 32;
inline constexpr uint32_t kMaxFrameSide = 8192;
inline constexpr uint32_t kFrameStatusFrame = 0, kFrameStatusNone = 1;
inline constexpr uint32_t kFrameKindLive = 0, kFrameKindFly = 1;
inline constexpr uint32_t kFrameCameraCount = 4;

struct FrameRequest {
  uint32_t camera = 0;
  uint32_t kind = kFrameKindLive;
};

struct FrameReplyHeader {
  uint32_t status = kFrameStatusNone;
  uint32_t cols = 0, rows = 0, channels = 0, length = 0;
  uint64_t shotAtNs = 0;
};

// Now on the clock of the fly views' "shot at" (nanoseconds).
uint64_t FrameClockNowNs();

std::array<uint8_t, kFrameRequestSize> EncodeFrameRequest(const FrameRequest& r);
// The request, or why it is refused (wrong magic, version, camera or kind).
std::optional<FrameRequest> DecodeFrameRequest(const uint8_t* bytes, std::string& why);

// The header of a frame (8-bit, 1 or 3 channels, continuous) or of "none".
std::array<uint8_t, kFrameReplyHeaderSize> EncodeFrameReplyHeader(const FrameReplyHeader& h);
FrameReplyHeader FrameHeaderOf(const cv::Mat& frame);
std::optional<FrameReplyHeader> DecodeFrameReplyHeader(const uint8_t* bytes, std::string& why);

// The program's side: one connection to the server at `path`, opened when
// needed and closed after any failure (the next request opens a new one).
// Every request is bounded by its time-out; a server that is gone, does not
// answer in time or answers out of form gives "no frame" and a log line
// when the state changes (not one per frame).
class FrameSocketClient {
 public:
  FrameSocketClient(std::string path, std::string cameraName);
  ~FrameSocketClient();
  FrameSocketClient(const FrameSocketClient&) = delete;
  FrameSocketClient& operator=(const FrameSocketClient&) = delete;

  // A frame of `camera` (BGR), an empty Mat when the server has nothing to
  // show; nullopt when no reply came in time, the connection failed or
  // `stop` was requested. A failure waits out the rest of `timeout`, at most
  // kFailurePause, so a caller asking again at once does not spin. A reply
  // that comes too late (or after a stop) stays owed on the connection: the
  // next ask takes it first, as its answer when it is a fly view (the next
  // pulse's view in turn), dropped when it is a live picture. A stop ends the
  // wait within a few milliseconds and is not reported as a problem.
  // `shotAtNs` (when given) gets the reply's "shot at".
  std::optional<cv::Mat> Fetch(const FrameRequest& request, std::chrono::milliseconds timeout,
                               std::stop_token stop = {}, uint64_t* shotAtNs = nullptr);
  static constexpr std::chrono::milliseconds kFailurePause{500};

  const std::string& Path() const { return path_; }
  // Why the last request failed ("" after a frame or "none").
  std::string LastProblem() const;

 private:
  bool Connect(std::chrono::steady_clock::time_point deadline, const std::stop_token& stop, std::string& why);
  void Close();
  void Report(const std::string& problem);

  // A request sent whose reply has not been read whole yet.
  struct Owed {
    FrameRequest request;
    std::array<uint8_t, kFrameReplyHeaderSize> head{};
    size_t headDone = 0;
    std::optional<FrameReplyHeader> header;
    cv::Mat frame;
    size_t frameDone = 0;
  };

  const std::string path_, name_;
  mutable std::mutex m_;  // one request at a time on the connection
  int fd_ = -1;
  std::optional<Owed> owed_;
  std::string problem_;
  bool reported_ = false;  // the current problem (or the first frame) was logged
};

}  // namespace smt::vision
