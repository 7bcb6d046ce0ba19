#pragma once
// One link to the machine's main board, whatever carries it: the serial port
// or the UDP channel (and, in tests, a recording stand-in). The command set
// talks to this interface only:
//  - Form() says which payload form the link carries (the serial frames hold
//    big-endian sign-and-magnitude fields, the UDP packets little-endian
//    packed ones), so that the command set hands over the right one;
//  - SendFrame() sends one command once, false when it did not go out;
//  - every reply and report the link receives goes to the one reply dispatch
//    (link/ReplyDispatch), decoded from the link's own framing first;
//  - the moment the port or socket fails while the program talks over it,
//    the link reports the loss (ReportLinkLoss in link/LinkLoss.h).
#include <cstdint>
#include <string>
#include <vector>

namespace smt::link {

enum class LinkForm { Serial, Udp };

class Link {
 public:
  virtual ~Link() = default;

  virtual LinkForm Form() const = 0;
  virtual bool IsOpen() const = 0;
  // Sends command `code` with `payload` (in this link's form) once.
  virtual bool SendFrame(uint8_t code, const std::vector<uint8_t>& payload) = 0;
  // The link as the operator's messages name it: "COM port /dev/ttyS0",
  // "the network link to 192.168.1.10".
  virtual std::string Describe() const = 0;
};

}  // namespace smt::link
