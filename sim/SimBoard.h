#pragma once
// A stand-in for the machine's main board, on the other end of both links:
// it answers discovery on the multicast group, takes command packets on its
// UDP port and serial frames on a pseudo-terminal, checks their checksums
// and lengths, answers every command the way the board does, and keeps the
// position of every axis and the state of every output.
//
// Its control API lets tests break the link on purpose (lost replies,
// corrupted datagrams, error statuses, delays) and read back what the board
// received. It is written from the protocol, not from the program's encoder,
// so tests that compare the two catch a mistake in either.
#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "sim/SimBootloader.h"
#include "sim/SimWorld.h"

namespace smt::sim {

struct SimConfig {
  // UDP command channel: bind address and port (0 picks a free port).
  std::string udpBindAddress = "0.0.0.0";
  int udpPort = 60000;
  bool udp = true;
  // Discovery: the multicast group and port the board listens on.
  bool discovery = true;
  std::string discoveryGroup = "239.15.1.100";
  int discoveryPort = 65000;
  // Serial link on a pseudo-terminal.
  bool serial = true;
  // The board's head state (bit k-1 = head k) and readings.
  uint8_t headMask = 0x01;
  uint8_t vacuumKpa = 62;
  int32_t probeValue = 1234;
};

enum class SimLink { Udp, Serial };

// The board's axes at the moment it carried out a process stroke: a glue
// dot (0x58) or a Z stroke with vacuum release, a placement (0x68).
struct ProcessStroke {
  uint16_t code = 0;
  uint8_t head = 0;  // the command's first payload byte (glue channel or Z head)
  std::map<int, int64_t> axes;
};

// The board's axes right after it carried out a command.
struct AxesAfter {
  uint16_t code = 0;
  std::map<int, int64_t> axes;
};

struct ReceivedCommand {
  SimLink link = SimLink::Udp;
  uint16_t code = 0;              // the command code (UDP: low 12 bits of the code word)
  uint8_t attempt = 0;            // UDP: bits 12-15 of the code word
  std::vector<uint8_t> payload;
  std::vector<uint8_t> raw;       // the whole datagram or frame
};

class SimBoard {
 public:
  explicit SimBoard(SimConfig config = {});
  ~SimBoard();
  SimBoard(const SimBoard&) = delete;
  SimBoard& operator=(const SimBoard&) = delete;

  // Creates the sockets and the pseudo-terminal on the calling thread (so a
  // thread inside a network namespace puts them there) and starts serving.
  bool Start();
  void Stop();
  std::string LastError() const { return error_; }

  int UdpPort() const { return boundUdpPort_; }
  // The pseudo-terminal's device path: the program opens this as its COM port.
  std::string SerialPath() const { return ptyPath_; }

  // --- faults -----------------------------------------------------------
  // The next n replies (either link) are not sent.
  void DropReplies(int n) { dropReplies_ = n; }
  // How many of those are still to come (fewer once a reply was withheld).
  int RepliesLeftToDrop() const { return dropReplies_.load(); }
  // The next n UDP replies go out with a wrong checksum.
  void CorruptReplies(int n) { corruptReplies_ = n; }
  // The next reply to `code` carries `status` (UDP) instead of 0.
  void InjectStatus(uint16_t code, uint8_t status);
  // The next n replies to `code` carry `status`.
  void InjectStatusRepeated(uint16_t code, uint8_t status, int n);
  // The next serial command `code` is answered by the error frame EE FF err sub.
  void InjectSerialError(uint16_t code, uint8_t errorCode, uint8_t subCode);
  // Forgets a status or error report injected for `code` that no command took.
  void ClearInjected(uint16_t code);
  // Every reply waits this long first.
  void SetReplyDelay(std::chrono::milliseconds d) { delayMs_ = d.count(); }
  // The next reply to `code` (either link) goes out `d` late, while the
  // board goes on taking commands.
  void DelayNextReplyTo(uint16_t code, std::chrono::milliseconds d);
  // The next n discovery requests go unanswered.
  void IgnoreDiscovery(int n) { ignoreDiscovery_ = n; }
  void SetHeadMask(uint8_t mask) { headMask_ = mask; }
  // Replies to `code` (either link): after `skip` of them, the next n are not sent (the
  // command itself is carried out).
  void DropRepliesTo(uint16_t code, int n, int skip = 0);
  // The next n boot loader replies carry the code 0xFFF instead of their own.
  void AnswerBootWithAnyCode(int n) { anyCodeReplies_ = n; }
  // After the main board jumps it restarts: for this long it neither takes
  // commands nor answers discovery.
  void SetRestartSilence(std::chrono::milliseconds d) { restartSilenceMs_ = d.count(); }
  bool Silent() const;

  // The machine's world (parts, board, cameras' views): told of every
  // command carried out. Null: none. Set before the program connects.
  void SetWorld(SimWorld* world) { world_ = world; }

  // The boards' boot loaders and flash.
  SimBootloader& Bootloader() { return boot_; }
  void SetVacuum(uint8_t kpa) { vacuumKpa_ = kpa; }
  // The next n placing strokes (0x68) report that the part was lost: the
  // vacuum check of the stroke fails.
  void FailPlaceVacuum(int n) { failPlaceVacuum_ = n; }

  // --- reports the board sends by itself ---------------------------------
  // A front-panel key: UDP report 0x14 (key 1..11) to the last host that
  // sent a command, and the serial status frame with the key character.
  void SendKeyReport(uint8_t key);
  // A raw UDP report (flag 0) to the last host.
  void SendUdpReport(uint16_t code, const std::vector<uint8_t>& payload);
  // Raw bytes on the serial line.
  void SendSerialBytes(const std::vector<uint8_t>& bytes);

  // --- read back ---------------------------------------------------------
  std::vector<ReceivedCommand> Received() const;
  std::optional<ReceivedCommand> LastReceived(uint16_t code) const;
  void ClearReceived();
  size_t ReceivedCount() const;
  // Axis positions in steps by motor (0 X, 1 Y, 2 and 3 the Z pair motors,
  // 8-10 feeder walks, 9 and 12 the lamp machine's second platform X and Y,
  // 14 the conveyor width, 32-39 Z1-Z8, 40-47 A1-A8 (not wrapped: the board
  // counts steps), 100 + head code for Z strokes, 211-213 the conveyor axes).
  int64_t Position(int axis) const;
  std::map<int, int64_t> Positions() const;
  bool Output(int output) const;
  // Every glue dot and placing stroke, with where the axes stood.
  std::vector<ProcessStroke> Strokes() const;
  // Once switched on, the axes after every command carried out, in order.
  void KeepAxisTrail(bool on) { keepTrail_ = on; }
  std::vector<AxesAfter> AxisTrail() const;
  int OutputValue(int output) const;
  int LastState() const { return lastState_; }
  // Every state command received: (code, value; -1 for the serial form).
  std::vector<std::pair<int, int>> States() const;
  uint64_t DiscoveryRequests() const { return discoveryRequests_; }
  uint64_t BadDatagrams() const { return badDatagrams_; }
  // Empty datagrams taken (the program's link watch), neither bad nor commands.
  uint64_t EmptyDatagrams() const { return emptyDatagrams_; }
  uint64_t BadFrames() const { return badFrames_; }
  uint64_t RepliesSent() const { return repliesSent_; }
  // Commands refused as a board refuses them: a payload too short for the
  // code (UDP status 0x05, serial error report), an unknown code.
  uint64_t RefusedCommands() const { return refused_; }

  // Payload bytes the protocol gives a command on each link; -1 for a code
  // the link does not know.
  static int UdpPayloadLength(uint16_t code);
  static int SerialPayloadLength(uint8_t code, int v2_04Form);

 private:
  void UdpLoop(std::stop_token st);
  void DiscoveryLoop(std::stop_token st);
  void SerialLoop(std::stop_token st);

  void OnUdpCommand(const std::vector<uint8_t>& datagram, const void* from);
  void OnSerialFrame(const std::vector<uint8_t>& frame);
  // The board model: what a command does to axes and outputs.
  void Apply(SimLink link, uint16_t code, const std::vector<uint8_t>& payload, size_t serialLength);
  void ApplyLocked(SimLink link, uint16_t code, const std::vector<uint8_t>& payload, size_t serialLength);
  std::vector<uint8_t> UdpReplyData(uint16_t code, uint8_t status) const;
  void SendUdp(uint8_t flag, uint16_t code, const std::vector<uint8_t>& data, bool corrupt);
  void WriteSerial(const std::vector<uint8_t>& bytes);
  bool TakeDrop();
  uint8_t TakeStatus(uint16_t code);
  void Record(ReceivedCommand c);
  void Delay() const;

  SimConfig config_;
  std::string error_;
  int udpFd_ = -1;
  int discoveryFd_ = -1;
  int ptyMaster_ = -1;
  int ptySlave_ = -1;
  int boundUdpPort_ = 0;
  std::string ptyPath_;
  std::jthread udpThread_, discoveryThread_, serialThread_;

  mutable std::mutex m_;
  std::vector<ReceivedCommand> received_;
  std::map<int, int64_t> axes_;
  std::map<int, std::pair<bool, int>> outputs_;
  std::vector<std::pair<int, int>> states_;
  std::vector<ProcessStroke> strokes_;
  std::atomic<bool> keepTrail_{false};
  std::vector<AxesAfter> trail_;
  std::map<uint16_t, uint8_t> injectedStatus_;
  std::map<uint16_t, std::pair<uint8_t, int>> repeatedStatus_;
  std::map<uint16_t, std::pair<uint8_t, uint8_t>> injectedSerialError_;
  std::vector<uint8_t> lastHost_;  // sockaddr of the last UDP sender
  std::mutex serialWriteMutex_;

  std::atomic<int> dropReplies_{0};
  std::atomic<int> failPlaceVacuum_{0};
  std::atomic<int> corruptReplies_{0};
  std::atomic<long long> delayMs_{0};
  std::atomic<int> ignoreDiscovery_{0};
  std::atomic<uint8_t> headMask_;
  std::atomic<uint8_t> vacuumKpa_;
  std::atomic<int> lastState_{-1};
  std::atomic<uint64_t> discoveryRequests_{0};
  std::atomic<uint64_t> badDatagrams_{0};
  std::atomic<uint64_t> emptyDatagrams_{0};
  std::atomic<uint64_t> badFrames_{0};
  std::atomic<uint64_t> repliesSent_{0};
  std::atomic<uint64_t> refused_{0};
  // Sends `send` after the delayed reply of `code` is due, or now.
  bool SendLaterIfAsked(uint16_t code, std::function<void()> send);
  std::map<uint16_t, long long> lateReplies_;  // code -> delay in ms
  std::vector<std::jthread> lateSenders_;

  bool TakeCodeDrop(uint16_t code);
  SimBootloader boot_;
  std::atomic<SimWorld*> world_{nullptr};
  std::map<uint16_t, std::pair<int, int>> codeDrops_;  // code -> (skip, n)
  std::atomic<int> anyCodeReplies_{0};
  std::atomic<long long> restartSilenceMs_{0};
  std::atomic<long long> silentUntilNs_{0};
};

}  // namespace smt::sim
