#include "vision/FrameSocket.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <opencv2/imgproc.hpp>
#include <thread>

#include "core/LogFile.h"

namespace smt::vision {

namespace {

using Clock = std::chrono::steady_clock;

constexpr uint8_t kRequestMagic[4] = {'S', 'M', 'C', 'R'};
constexpr uint8_t kReplyMagic[4] = {'S', 'M', 'C', 'F'};

void Put32(uint8_t* at, uint32_t v) {
  for (int i = 0; i < 4; ++i) at[i] = static_cast<uint8_t>(v >> (8 * i));
}
uint32_t Get32(const uint8_t* at) {
  uint32_t v = 0;
  for (int i = 3; i >= 0; --i) v = (v << 8) | at[i];
  return v;
}
void Put64(uint8_t* at, uint64_t v) {
  for (int i = 0; i < 8; ++i) at[i] = static_cast<uint8_t>(v >> (8 * i));
}
uint64_t Get64(const uint8_t* at) {
  uint64_t v = 0;
  for (int i = 7; i >= 0; --i) v = (v << 8) | at[i];
  return v;
}

int MsLeft(Clock::time_point deadline) {
  const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
  return left <= 0 ? 0 : static_cast<int>(std::min<long long>(left, 60000));
}

// How often a wait that can be stopped looks at its stop.
constexpr int kStopCheckMs = 10;

enum class Io { Ok, TimedOut, Stopped, Closed, Failed };

// Waits until `fd` is ready for `events`, the deadline passes or `stop` is
// requested.
Io WaitReady(int fd, short events, Clock::time_point deadline, const std::stop_token& stop) {
  for (;;) {
    if (stop.stop_requested()) return Io::Stopped;
    const int ms = MsLeft(deadline);
    if (ms <= 0) return Io::TimedOut;
    pollfd p{fd, events, 0};
    const int r = ::poll(&p, 1, stop.stop_possible() ? std::min(ms, kStopCheckMs) : ms);
    if (r > 0) return Io::Ok;
    if (r < 0 && errno != EINTR) return Io::Failed;
  }
}

Io SendAll(int fd, const uint8_t* data, size_t n, Clock::time_point deadline, const std::stop_token& stop) {
  size_t done = 0;
  while (done < n) {
    const ssize_t r = ::send(fd, data + done, n - done, MSG_NOSIGNAL);
    if (r > 0) {
      done += static_cast<size_t>(r);
      continue;
    }
    if (r < 0 && errno == EINTR) continue;
    if (r < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
      if (const Io io = WaitReady(fd, POLLOUT, deadline, stop); io != Io::Ok) return io;
      continue;
    }
    return r < 0 && (errno == EPIPE || errno == ECONNRESET) ? Io::Closed : Io::Failed;
  }
  return Io::Ok;
}

// Receives what is missing of `n` bytes; `done` counts what came so far, also
// across calls, so a reply that runs out of time is taken up where it stopped.
Io ReceiveAll(int fd, uint8_t* data, size_t n, size_t& done, Clock::time_point deadline, const std::stop_token& stop) {
  while (done < n) {
    const ssize_t r = ::recv(fd, data + done, n - done, 0);
    if (r > 0) {
      done += static_cast<size_t>(r);
      continue;
    }
    if (r == 0) return Io::Closed;
    if (errno == EINTR) continue;
    if (errno == EAGAIN || errno == EWOULDBLOCK) {
      if (const Io io = WaitReady(fd, POLLIN, deadline, stop); io != Io::Ok) return io;
      continue;
    }
    return errno == ECONNRESET ? Io::Closed : Io::Failed;
  }
  return Io::Ok;
}

}  // namespace

std::array<uint8_t, kFrameRequestSize> EncodeFrameRequest(const FrameRequest& r) {
  std::array<uint8_t, kFrameRequestSize> out{};
  std::memcpy(out.data(), kRequestMagic, 4);
  Put32(out.data() + 4, kFrameSocketVersion);
  Put32(out.data() + 8, r.camera);
  Put32(out.data() + 12, r.kind);
  return out;
}

std::optional<FrameRequest> DecodeFrameRequest(const uint8_t* bytes, std::string& why) {
  if (std::memcmp(bytes, kRequestMagic, 4) != 0) {
    why = "not a frame request";
    return std::nullopt;
  }
  if (Get32(bytes + 4) != kFrameSocketVersion) {
    why = "request version " + std::to_string(Get32(bytes + 4)) + ", expected " + std::to_string(kFrameSocketVersion);
    return std::nullopt;
  }
  FrameRequest r;
  r.camera = Get32(bytes + 8);
  r.kind = Get32(bytes + 12);
  if (r.camera >= kFrameCameraCount) {
    why = "camera " + std::to_string(r.camera) + " out of 0.." + std::to_string(kFrameCameraCount - 1);
    return std::nullopt;
  }
  if (r.kind != kFrameKindLive && r.kind != kFrameKindFly) {
    why = "request kind " + std::to_string(r.kind) + " unknown";
    return std::nullopt;
  }
  return r;
}

std::array<uint8_t, kFrameReplyHeaderSize> EncodeFrameReplyHeader(const FrameReplyHeader& h) {
  std::array<uint8_t, kFrameReplyHeaderSize> out{};
  std::memcpy(out.data(), kReplyMagic, 4);
  Put32(out.data() + 4, h.status);
  Put32(out.data() + 8, h.cols);
  Put32(out.data() + 12, h.rows);
  Put32(out.data() + 16, h.channels);
  Put32(out.data() + 20, h.length);
  Put64(out.data() + 24, h.shotAtNs);
  return out;
}

FrameReplyHeader FrameHeaderOf(const cv::Mat& frame) {
  FrameReplyHeader h;
  if (frame.empty()) return h;
  h.status = kFrameStatusFrame;
  h.cols = static_cast<uint32_t>(frame.cols);
  h.rows = static_cast<uint32_t>(frame.rows);
  h.channels = static_cast<uint32_t>(frame.channels());
  h.length = h.cols * h.rows * h.channels;
  return h;
}

std::optional<FrameReplyHeader> DecodeFrameReplyHeader(const uint8_t* bytes, std::string& why) {
  if (std::memcmp(bytes, kReplyMagic, 4) != 0) {
    why = "the reply is not a frame";
    return std::nullopt;
  }
  FrameReplyHeader h;
  h.status = Get32(bytes + 4);
  h.cols = Get32(bytes + 8);
  h.rows = Get32(bytes + 12);
  h.channels = Get32(bytes + 16);
  h.length = Get32(bytes + 20);
  h.shotAtNs = Get64(bytes + 24);
  if (h.status == kFrameStatusNone) {
    if (h.cols || h.rows || h.channels || h.length || h.shotAtNs) {
      why = "a reply without a frame gives a size";
      return std::nullopt;
    }
    return h;
  }
  if (h.status != kFrameStatusFrame) {
    why = "reply status " + std::to_string(h.status) + " unknown";
    return std::nullopt;
  }
  if (h.cols < 1 || h.cols > kMaxFrameSide || h.rows < 1 || h.rows > kMaxFrameSide) {
    why = "frame size " + std::to_string(h.cols) + "x" + std::to_string(h.rows) + " out of 1.." +
          std::to_string(kMaxFrameSide);
    return std::nullopt;
  }
  if (h.channels != 1 && h.channels != 3) {
    why = "frame with " + std::to_string(h.channels) + " channels";
    return std::nullopt;
  }
  const uint64_t expected = uint64_t{h.cols} * h.rows * h.channels;
  if (h.length != expected) {
    why = "frame length " + std::to_string(h.length) + ", its size needs " + std::to_string(expected);
    return std::nullopt;
  }
  return h;
}

uint64_t FrameClockNowNs() {
  return static_cast<uint64_t>(
      std::chrono::duration_cast<std::chrono::nanoseconds>(Clock::now().time_since_epoch()).count());
}

FrameSocketClient::FrameSocketClient(std::string path, std::string cameraName)
    : path_(std::move(path)), name_(std::move(cameraName)) {}

FrameSocketClient::~FrameSocketClient() { Close(); }

void FrameSocketClient::Close() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
  owed_.reset();
}

std::string FrameSocketClient::LastProblem() const {
  std::lock_guard lk(m_);
  return problem_;
}

void FrameSocketClient::Report(const std::string& problem) {
  // Logged when the state changes: the first frame, a new problem, frames again.
  if (problem == problem_ && reported_) return;
  const bool hadProblem = !problem_.empty();
  problem_ = problem;
  reported_ = true;
  std::string line;
  if (problem.empty())
    line = "Camera " + name_ + (hadProblem ? ": frames again from " : ": frames from ") + path_;
  else
    line = "Camera " + name_ + ": no frames from " + path_ + ": " + problem;
  CLogFile::Instance().Write(true, "%s", line.c_str());
}

bool FrameSocketClient::Connect(Clock::time_point deadline, const std::stop_token& stop, std::string& why) {
  sockaddr_un addr{};
  addr.sun_family = AF_UNIX;
  if (path_.empty() || path_.size() >= sizeof addr.sun_path) {
    why = "the socket path is empty or longer than " + std::to_string(sizeof addr.sun_path - 1) + " bytes";
    return false;
  }
  std::memcpy(addr.sun_path, path_.c_str(), path_.size() + 1);
  const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  if (fd < 0) {
    why = std::string("no socket: ") + std::strerror(errno);
    return false;
  }
  if (::connect(fd, reinterpret_cast<const sockaddr*>(&addr), sizeof addr) != 0) {
    if (errno != EINPROGRESS && errno != EAGAIN) {
      why = std::string("cannot connect: ") + std::strerror(errno);
      ::close(fd);
      return false;
    }
    int err = 0;
    socklen_t len = sizeof err;
    const Io ready = WaitReady(fd, POLLOUT, deadline, stop);
    if (ready != Io::Ok || ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &err, &len) != 0 || err != 0) {
      why = ready == Io::Stopped ? "stopped"
            : err               ? std::string("cannot connect: ") + std::strerror(err)
                                : "no connection in time";
      ::close(fd);
      return false;
    }
  }
  fd_ = fd;
  return true;
}

std::optional<cv::Mat> FrameSocketClient::Fetch(const FrameRequest& request, std::chrono::milliseconds timeout,
                                                 std::stop_token stop, uint64_t* shotAtNs) {
  const auto start = Clock::now();
  const auto deadline = start + timeout;
  std::lock_guard lk(m_);
  std::string why;
  auto ioProblem = [&](Io io, const char* what) {
    switch (io) {
      case Io::TimedOut: return std::string("no ") + what + " within " + std::to_string(timeout.count()) + " ms";
      case Io::Closed: return std::string("the simulator closed the connection");
      default: return std::string(what) + " failed: " + std::strerror(errno);
    }
  };
  auto fail = [&](const std::string& problem) -> std::optional<cv::Mat> {
    Close();
    if (stop.stop_requested()) return std::nullopt;  // the caller gave up: no problem of the server
    Report(problem);
    // Wait out the time-out (a failure pause at most): a caller asking again
    // at once does not spin, and one asking again after a pause finds a
    // server that came back.
    const auto until = std::min(deadline, start + kFailurePause);
    while (Clock::now() < until && !stop.stop_requested())
      std::this_thread::sleep_for(std::min<Clock::duration>(until - Clock::now(), std::chrono::milliseconds(kStopCheckMs)));
    return std::nullopt;
  };
  // A stop leaves a reply under way owed, as a time-out does, unreported.
  auto timedOut = [&](Io io, const char* what) -> std::optional<cv::Mat> {
    if (io == Io::TimedOut) Report(ioProblem(io, what));
    return std::nullopt;
  };
  if (fd_ < 0 && !Connect(deadline, stop, why)) return fail(why);
  for (;;) {
    // A reply an earlier ask ran out of time for is still on its way: it is
    // taken first, on the same connection, rather than dropped with the
    // connection. A fly view is the next of the pulses' views in turn, so it
    // answers this ask (dropped, it would shift every later view by one); a
    // live picture shows the machine as it was before this ask and is not
    // used.
    bool askedNow = false;
    if (!owed_) {
      const auto req = EncodeFrameRequest(request);
      // A request cut short by a stop is closed with the connection.
      if (Io io = SendAll(fd_, req.data(), req.size(), deadline, stop); io != Io::Ok) return fail(ioProblem(io, "request"));
      owed_.emplace();
      owed_->request = request;
      askedNow = true;
    }
    Owed& o = *owed_;
    if (!o.header) {
      if (Io io = ReceiveAll(fd_, o.head.data(), o.head.size(), o.headDone, deadline, stop); io != Io::Ok) {
        if (io != Io::TimedOut && io != Io::Stopped) return fail(ioProblem(io, "reply"));
        return timedOut(io, "reply");
      }
      o.header = DecodeFrameReplyHeader(o.head.data(), why);
      if (!o.header) return fail(why);
      if (o.header->status == kFrameStatusFrame)
        o.frame.create(static_cast<int>(o.header->rows), static_cast<int>(o.header->cols),
                       o.header->channels == 1 ? CV_8UC1 : CV_8UC3);
    }
    if (o.header->status == kFrameStatusFrame) {
      if (Io io = ReceiveAll(fd_, o.frame.data, o.header->length, o.frameDone, deadline, stop); io != Io::Ok) {
        if (io != Io::TimedOut && io != Io::Stopped) return fail(ioProblem(io, "frame"));
        return timedOut(io, "frame");
      }
    }
    Owed done = std::move(*owed_);
    owed_.reset();
    const bool answers = askedNow || (done.request.kind == kFrameKindFly && request.kind == kFrameKindFly &&
                                      done.request.camera == request.camera);
    if (!answers) continue;
    Report("");
    if (shotAtNs) *shotAtNs = done.header->shotAtNs;
    cv::Mat frame = done.frame;
    if (frame.empty()) return cv::Mat();
    if (frame.channels() == 1) cv::cvtColor(frame, frame, cv::COLOR_GRAY2BGR);
    return frame;
  }
}

}  // namespace smt::vision
