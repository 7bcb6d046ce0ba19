#pragma once
// Two network namespaces, "host" and "board", joined by a veth pair, with
// 10.<net>.<n>.1 and .2 and a route for the multicast group; removed again
// at the end. Discovery switches multicast loop-back off, so the simulated
// board must be a host of its own for the program to find it.
#include <fcntl.h>
#include <sched.h>
#include <unistd.h>

#include <cstdlib>
#include <functional>
#include <string>
#include <thread>

namespace linktest {

class NamespacePair {
 public:
  // `tag` keeps the names of concurrent test programs apart; `net` is the
  // second octet of their subnet.
  NamespacePair(const std::string& tag, int net) {
    const std::string id = std::to_string(getpid() % 100000);
    host_ = "smt" + tag + "h" + id;
    board_ = "smt" + tag + "b" + id;
    const std::string prefix = "10." + std::to_string(net) + "." + std::to_string(getpid() % 250) + ".";
    const std::string vh = tag + "h" + id, vb = tag + "b" + id;
    ok_ = Run("ip netns add " + host_) && Run("ip netns add " + board_) &&
          Run("ip link add " + vh + " netns " + host_ + " type veth peer name " + vb + " netns " + board_) &&
          Run("ip -n " + host_ + " addr add " + prefix + "1/24 dev " + vh) &&
          Run("ip -n " + board_ + " addr add " + prefix + "2/24 dev " + vb) &&
          Run("ip -n " + host_ + " link set " + vh + " up") && Run("ip -n " + board_ + " link set " + vb + " up") &&
          Run("ip -n " + host_ + " link set lo up") && Run("ip -n " + board_ + " link set lo up") &&
          Run("ip -n " + host_ + " route add 224.0.0.0/4 dev " + vh) &&
          Run("ip -n " + board_ + " route add 224.0.0.0/4 dev " + vb);
    boardAddress_ = prefix + "2";
  }
  ~NamespacePair() {
    Run("ip netns del " + host_);
    Run("ip netns del " + board_);
  }
  NamespacePair(const NamespacePair&) = delete;
  NamespacePair& operator=(const NamespacePair&) = delete;

  bool ok() const { return ok_; }
  const std::string& boardAddress() const { return boardAddress_; }

  // Runs `fn` on the calling thread moved into the namespace, and moves it
  // back afterwards: sockets `fn` creates, and threads it starts (with the
  // sockets they create), live there. False (nothing run) when it cannot.
  bool RunHere(bool board, const std::function<void()>& fn) const {
    const int home = open("/proc/thread-self/ns/net", O_RDONLY | O_CLOEXEC);
    const int there = open(("/var/run/netns/" + (board ? board_ : host_)).c_str(), O_RDONLY | O_CLOEXEC);
    const bool entered = home >= 0 && there >= 0 && setns(there, CLONE_NEWNET) == 0;
    if (there >= 0) close(there);
    if (entered) {
      fn();
      if (setns(home, CLONE_NEWNET) != 0) std::abort();  // never left in the test namespace
    }
    if (home >= 0) close(home);
    return entered;
  }

  // Runs `fn` on a thread inside the namespace: sockets it creates live there.
  bool RunIn(bool board, const std::function<void()>& fn) const {
    bool entered = false;
    std::thread t([&] {
      const int fd = open(("/var/run/netns/" + (board ? board_ : host_)).c_str(), O_RDONLY | O_CLOEXEC);
      if (fd < 0 || setns(fd, CLONE_NEWNET) != 0) return;
      close(fd);
      entered = true;
      fn();
    });
    t.join();
    return entered;
  }

 private:
  static bool Run(const std::string& cmd) { return std::system((cmd + " >/dev/null 2>&1").c_str()) == 0; }
  std::string host_, board_, boardAddress_;
  bool ok_ = false;
};

}  // namespace linktest
