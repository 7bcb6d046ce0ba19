#include "sim/CameraServer.h"

#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <opencv2/imgproc.hpp>

#include "vision/FrameSocket.h"

namespace smt::sim {

namespace {

using Clock = std::chrono::steady_clock;

// Reads exactly n bytes; false when the peer closed, failed, the server
// stops, or the rest of a begun request did not come within `patience`.
bool ReadRequest(int fd, uint8_t* data, size_t n, const std::atomic<bool>& stop, std::chrono::milliseconds patience) {
  size_t done = 0;
  Clock::time_point deadline = Clock::time_point::max();
  while (done < n) {
    if (stop.load()) return false;
    if (done > 0 && deadline == Clock::time_point::max()) deadline = Clock::now() + patience;
    if (Clock::now() > deadline) return false;
    pollfd p{fd, POLLIN, 0};
    const int r = ::poll(&p, 1, 100);
    if (r < 0 && errno != EINTR) return false;
    if (r <= 0) continue;
    const ssize_t got = ::recv(fd, data + done, n - done, 0);
    if (got == 0) return false;
    if (got < 0) {
      if (errno == EINTR || errno == EAGAIN) continue;
      return false;
    }
    done += static_cast<size_t>(got);
  }
  return true;
}

bool SendAll(int fd, const uint8_t* data, size_t n) {
  size_t done = 0;
  while (done < n) {
    const ssize_t r = ::send(fd, data + done, n - done, MSG_NOSIGNAL);
    if (r < 0 && errno == EINTR) continue;
    if (r <= 0) return false;  // closed, failed or the send time-out passed
    done += static_cast<size_t>(r);
  }
  return true;
}

}  // namespace

CameraSocketServer::CameraSocketServer(std::shared_ptr<SimWorld> world, WorldCameraLook look)
    : world_(std::move(world)), look_(look) {}

CameraSocketServer::~CameraSocketServer() { Stop(); }

bool CameraSocketServer::Start(const std::string& path) {
  sockaddr_un addr{};
  addr.sun_family = AF_UNIX;
  if (path.empty() || path.size() >= sizeof addr.sun_path) {
    error_ = "camera socket path \"" + path + "\" is empty or longer than " + std::to_string(sizeof addr.sun_path - 1) +
             " bytes";
    return false;
  }
  struct stat st {};
  if (::lstat(path.c_str(), &st) == 0) {
    if (!S_ISSOCK(st.st_mode)) {
      error_ = path + " exists and is not a socket";
      return false;
    }
    ::unlink(path.c_str());
  }
  std::memcpy(addr.sun_path, path.c_str(), path.size() + 1);
  const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0 || ::bind(fd, reinterpret_cast<const sockaddr*>(&addr), sizeof addr) != 0 || ::listen(fd, 8) != 0) {
    error_ = "camera socket " + path + ": " + std::strerror(errno);
    if (fd >= 0) ::close(fd);
    return false;
  }
  listenFd_ = fd;
  path_ = path;
  stop_ = false;
  acceptor_ = std::thread([this] { AcceptLoop(); });
  return true;
}

void CameraSocketServer::Stop() {
  stop_ = true;
  if (acceptor_.joinable()) acceptor_.join();
  std::list<Connection> connections;
  {
    std::lock_guard lk(m_);
    for (auto& c : connections_) ::shutdown(c.fd, SHUT_RDWR);
    connections.swap(connections_);
  }
  for (auto& c : connections)
    if (c.thread.joinable()) c.thread.join();
  if (listenFd_ >= 0) {
    ::close(listenFd_);
    listenFd_ = -1;
    ::unlink(path_.c_str());
  }
}

void CameraSocketServer::AcceptLoop() {
  while (!stop_.load()) {
    pollfd p{listenFd_, POLLIN, 0};
    if (::poll(&p, 1, 100) <= 0) continue;
    const int fd = ::accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC);
    if (fd < 0) continue;
    const auto ms = sendTimeout.count();
    timeval tv{static_cast<time_t>(ms / 1000), static_cast<suseconds_t>((ms % 1000) * 1000)};
    ::setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &tv, sizeof tv);
    std::lock_guard lk(m_);
    // Connections that ended are joined here, so the list stays short.
    for (auto it = connections_.begin(); it != connections_.end();) {
      if (it->fd < 0) {
        it->thread.join();
        it = connections_.erase(it);
      } else {
        ++it;
      }
    }
    connections_.push_back({fd, {}});
    Connection& c = connections_.back();
    c.thread = std::thread([this, &c, fd] {
      Serve(fd);
      std::lock_guard lk2(m_);
      ::close(fd);
      c.fd = -1;
    });
  }
}

cv::Mat CameraSocketServer::Render(uint32_t camera, uint32_t kind, uint64_t& shotAtNs) {
  shotAtNs = 0;
  const size_t scaleOf = camera == 0 ? 0 : camera == 2 ? 2 : 1;
  const double scale = look_.pixelsPerMm[scaleOf];
  cv::Mat picture;
  if (kind == smt::vision::kFrameKindFly) {
    auto view = world_->TakeFlyView(&shotAtNs);
    if (!view) return {};
    picture = RenderView(*view, look_.cols, look_.rows, scale, look_.noise, seed_.fetch_add(1), look_.effects->Get(), 1);
  } else {
    // The picture shows the machine as it is when the frame is done: a move
    // during the rendering is rendered again.
    for (int attempt = 0; attempt < 3; ++attempt) {
      const uint64_t version = world_->Version();
      picture = RenderView(world_->View(static_cast<int>(camera)), look_.cols, look_.rows, scale, look_.noise,
                           seed_.fetch_add(1), look_.effects->Get(), static_cast<int>(camera));
      if (world_->Version() == version) break;
    }
  }
  // The scene is grey: one channel goes over the socket.
  if (picture.channels() == 3) cv::cvtColor(picture, picture, cv::COLOR_BGR2GRAY);
  if (!picture.isContinuous()) picture = picture.clone();
  return picture;
}

void CameraSocketServer::Serve(int fd) {
  using namespace std::chrono_literals;
  std::array<uint8_t, smt::vision::kFrameRequestSize> request{};
  while (!stop_.load()) {
    if (!ReadRequest(fd, request.data(), request.size(), stop_, 1000ms)) return;
    std::string why;
    const auto r = smt::vision::DecodeFrameRequest(request.data(), why);
    if (!r) {
      ++refused_;
      std::fprintf(stderr, "smt-sim: camera request refused (%s); connection closed\n", why.c_str());
      return;
    }
    uint64_t shotAtNs = 0;
    const cv::Mat frame = Render(r->camera, r->kind, shotAtNs);
    auto h = smt::vision::FrameHeaderOf(frame);
    if (!frame.empty()) h.shotAtNs = shotAtNs;
    const auto header = smt::vision::EncodeFrameReplyHeader(h);
    if (!SendAll(fd, header.data(), header.size())) return;
    if (!frame.empty() && !SendAll(fd, frame.data, frame.total() * frame.elemSize())) return;
    ++served_;
  }
}

}  // namespace smt::sim
