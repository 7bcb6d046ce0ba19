#pragma once
// The simulated machine's cameras served to another process: a UNIX stream
// socket on which each request (vision/FrameSocket.h) gets one frame of
// what the world's camera sees now. The board simulator run as its own
// program serves the program's simulated industrial cameras this way.
//
// Each connection is served on its own thread; rendering reads the world
// under its lock only to copy the view, so the board's command handling is
// never held up by a frame. A request that is out of form closes its
// connection; a reader that does not take its frame within the send
// time-out is dropped.
#include <atomic>
#include <chrono>
#include <list>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "sim/SimWorld.h"
#include "sim/WorldCameras.h"

namespace smt::sim {

class CameraSocketServer {
 public:
  CameraSocketServer(std::shared_ptr<SimWorld> world, WorldCameraLook look);
  ~CameraSocketServer();
  CameraSocketServer(const CameraSocketServer&) = delete;
  CameraSocketServer& operator=(const CameraSocketServer&) = delete;

  // Listens at `path` (a socket left there by an earlier run is replaced;
  // any other file is not). False with LastError() when it cannot.
  bool Start(const std::string& path);
  void Stop();
  std::string LastError() const { return error_; }
  uint64_t FramesServed() const { return served_.load(); }
  // Requests refused as out of form (their connections were closed).
  uint64_t Refused() const { return refused_.load(); }

  std::chrono::milliseconds sendTimeout{2000};

 private:
  void AcceptLoop();
  void Serve(int fd);
  // A fly view gives its pulse's time in `shotAtNs` (0 for a live picture).
  cv::Mat Render(uint32_t camera, uint32_t kind, uint64_t& shotAtNs);

  std::shared_ptr<SimWorld> world_;
  WorldCameraLook look_;
  std::string path_, error_;
  int listenFd_ = -1;
  std::atomic<bool> stop_{false};
  std::atomic<uint64_t> served_{0}, refused_{0};
  std::atomic<unsigned> seed_{31};
  std::thread acceptor_;
  std::mutex m_;
  struct Connection {
    int fd;
    std::thread thread;
  };
  std::list<Connection> connections_;  // guarded by m_
};

}  // namespace smt::sim
