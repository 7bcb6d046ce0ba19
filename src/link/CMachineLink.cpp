#include "link/CMachineLink.h"

#include "app/core/MachineState.h"
#include "link/LinkBytes.h"
#include "link/OperatorNotice.h"
#include "link/ReplyDispatch.h"
#include "link/ReplyStatus.h"

namespace smt::link {

bool CMachineLink::Open(const std::string& address, uint32_t port) {
  bootReply_.Reset();
  return channel_.Open(address, port, localPort_);
}

void CMachineLink::Close() {
  if (loop_.joinable()) {
    loop_.request_stop();
    loop_.join();
  }
  channel_.Close();
}

void CMachineLink::StartReplyLoop() {
  if (loop_.joinable()) return;
  loop_ = std::jthread([this](std::stop_token st) {
    while (!st.stop_requested() && !g_bUdpStop) {
      // Bounded waits, so that a stop request or a closed channel ends the
      // loop instead of spinning on it.
      const uint32_t r = channel_.Receive(reply_, std::chrono::milliseconds(100));
      if (r == 2) {
        if (st.stop_requested()) break;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        continue;
      }
      if (r != 0) continue;
      if (g_bUdpStop) break;
      HandleUdpPacket(reply_);
      ++handled_;
    }
  });
}

bool CMachineLink::SendCommand(uint16_t code, const uint8_t* payload, uint16_t length) {
  command_.Set(code, payload, length);
  return channel_.Send(command_, 0) == kCmdOk;
}

bool CMachineLink::SendCmd1(uint8_t axis, int32_t value) {
  const auto p = ByteWriter().U8(axis).I32(value).Take();
  return SendCommand(0x01, p.data(), static_cast<uint16_t>(p.size()));
}

bool CMachineLink::SendCmd03SetOutput(uint8_t output, uint8_t state, uint16_t value) {
  const auto p = ByteWriter().U8(output).U8(state).U16(value).Take();
  return SendCommand(0x03, p.data(), static_cast<uint16_t>(p.size()));
}

bool CMachineLink::SendCmd04SelectCamera(uint8_t channel, uint8_t value) {
  const auto p = ByteWriter().U8(channel).U8(value).Take();
  return SendCommand(0x04, p.data(), static_cast<uint16_t>(p.size()));
}

bool CMachineLink::CheckReplyStatus(uint8_t status) {
  if (status == 0) return true;
  const std::string text = ReplyStatusTextChinese(status);
  if (!text.empty()) NotifyOperator(text);
  return false;
}

}  // namespace smt::link
