#include "link/CUdpSocket.h"

#include <arpa/inet.h>
#include <linux/errqueue.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace smt::link {

bool CUdpSocket::Open(uint16_t port, const std::string& address, int localPort) {
  if (IsOpen()) return false;
  sockaddr_in peer{};
  peer.sin_family = AF_INET;
  peer.sin_port = htons(port);
  if (inet_pton(AF_INET, address.c_str(), &peer.sin_addr) != 1) throw UdpSocketError("socket 地址错误");
  const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  if (fd < 0) throw UdpSocketError("创建 socket 失败");
  sockaddr_in local{};
  local.sin_family = AF_INET;
  local.sin_addr.s_addr = htonl(INADDR_ANY);
  local.sin_port = htons(static_cast<uint16_t>(localPort < 0 ? port : localPort));
  if (::bind(fd, reinterpret_cast<sockaddr*>(&local), sizeof local) != 0) {
    ::close(fd);
    throw UdpSocketError("socket 绑定端口失败");
  }
  peerPort_ = peer.sin_port;
  peerAddr_ = peer.sin_addr.s_addr;
  fd_ = fd;
  if (PeerIsMulticast()) {
    ip_mreq mreq{};
    mreq.imr_multiaddr = peer.sin_addr;
    mreq.imr_interface.s_addr = htonl(INADDR_ANY);
    setsockopt(fd, IPPROTO_IP, IP_ADD_MEMBERSHIP, &mreq, sizeof mreq);
    unsigned char loop = 0;
    setsockopt(fd, IPPROTO_IP, IP_MULTICAST_LOOP, &loop, sizeof loop);
  } else {
    // The ICMP errors a datagram to the peer draws are kept on the socket
    // (an unconnected socket would otherwise never hear of them).
    int on = 1;
    setsockopt(fd, IPPROTO_IP, IP_RECVERR, &on, sizeof on);
  }
  int size = 32768;
  setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &size, sizeof size);
  setsockopt(fd, SOL_SOCKET, SO_SNDBUF, &size, sizeof size);
  return true;
}

void CUdpSocket::Close() {
  if (fd_ >= 0) {
    ::shutdown(fd_, SHUT_RDWR);
    ::close(fd_);
    fd_ = -1;
  }
}

bool CUdpSocket::SetPeer(const std::string& address) {
  in_addr a{};
  if (inet_pton(AF_INET, address.c_str(), &a) != 1) return false;
  peerAddr_ = a.s_addr;
  return true;
}

sockaddr_in CUdpSocket::Peer() const {
  sockaddr_in p{};
  p.sin_family = AF_INET;
  p.sin_port = peerPort_;
  p.sin_addr.s_addr = peerAddr_.load();
  return p;
}

bool CUdpSocket::PeerIsMulticast() const { return IN_MULTICAST(ntohl(peerAddr_.load())); }

uint16_t CUdpSocket::LocalPort() const {
  sockaddr_in a{};
  socklen_t len = sizeof a;
  if (fd_ < 0 || getsockname(fd_, reinterpret_cast<sockaddr*>(&a), &len) != 0) return 0;
  return ntohs(a.sin_port);
}

bool CUdpSocket::SetReceiveTimeout(int ms) {
  if (fd_ < 0) return false;
  timeval tv{ms / 1000, (ms % 1000) * 1000};
  return setsockopt(fd_, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv) == 0;
}

long CUdpSocket::SendToPeer(const void* data, size_t size) {
  if (fd_ < 0) return -1;
  const sockaddr_in peer = Peer();
  return ::sendto(fd_, data, size, MSG_NOSIGNAL, reinterpret_cast<const sockaddr*>(&peer), sizeof peer);
}

int CUdpSocket::SendEmptyToPeer() {
  if (fd_ < 0) return EBADF;
  const sockaddr_in peer = Peer();
  if (::sendto(fd_, "", 0, MSG_NOSIGNAL, reinterpret_cast<const sockaddr*>(&peer), sizeof peer) == 0) return 0;
  return errno;
}

bool CUdpSocket::SendFault(UdpSendFault& fault) {
  if (fd_ < 0) return false;
  for (;;) {
    sockaddr_in to{};
    char data[64];
    iovec iov{data, sizeof data};
    alignas(cmsghdr) char control[256];
    msghdr m{};
    m.msg_name = &to;
    m.msg_namelen = sizeof to;
    m.msg_iov = &iov;
    m.msg_iovlen = 1;
    m.msg_control = control;
    m.msg_controllen = sizeof control;
    if (::recvmsg(fd_, &m, MSG_ERRQUEUE | MSG_DONTWAIT) < 0) return false;
    for (cmsghdr* c = CMSG_FIRSTHDR(&m); c; c = CMSG_NXTHDR(&m, c)) {
      if (c->cmsg_level != IPPROTO_IP || c->cmsg_type != IP_RECVERR) continue;
      sock_extended_err e{};
      std::memcpy(&e, CMSG_DATA(c), sizeof e);
      // Only what the network answered (ICMP) or the local stack found
      // (no route, no neighbour) about a datagram that went out.
      if (e.ee_origin != SO_EE_ORIGIN_ICMP && e.ee_origin != SO_EE_ORIGIN_LOCAL) continue;
      fault.error = static_cast<int>(e.ee_errno);
      fault.to = to;
      return true;
    }
  }
}

long CUdpSocket::ReceiveFrom(void* buffer, size_t size, sockaddr_in* from, int timeoutMs) {
  if (fd_ < 0) return -1;
  if (timeoutMs >= 0) {
    pollfd p{fd_, POLLIN, 0};
    const int r = ::poll(&p, 1, timeoutMs);
    if (r == 0) return 0;
    if (r < 0) return errno == EINTR ? 0 : -1;
  }
  sockaddr_in src{};
  socklen_t len = sizeof src;
  const long n = ::recvfrom(fd_, buffer, size, MSG_TRUNC, reinterpret_cast<sockaddr*>(&src), &len);
  if (n < 0) return (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR) ? 0 : -1;
  if (static_cast<size_t>(n) > size) return -1;  // longer than the buffer: lost
  if (from) *from = src;
  return n;
}

std::string Ipv4Text(const sockaddr_in& a) {
  char text[INET_ADDRSTRLEN] = {};
  inet_ntop(AF_INET, &a.sin_addr, text, sizeof text);
  return text;
}

}  // namespace smt::link
