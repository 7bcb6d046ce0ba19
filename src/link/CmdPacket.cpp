#include "link/CmdPacket.h"

#include <cstring>

namespace smt::link {

void CmdPacket::Set(uint16_t c, const uint8_t* payload, uint16_t len) {
  if (data_.size() < len) data_.resize(len);
  code = c;
  length = len;
  if (len > 0 && payload) std::memcpy(data_.data(), payload, len);
}

void CmdPacket::Free() {
  data_.clear();
  data_.shrink_to_fit();
  length = 0;
}

uint16_t CmdChecksum(const uint8_t* datagram, size_t size) {
  uint16_t sum = 0;
  for (size_t i = 2; i < size; ++i) sum = static_cast<uint16_t>(sum + datagram[i]);
  return sum;
}

bool EncodeCmdDatagram(const CmdPacket& packet, uint8_t attempt, std::vector<uint8_t>& out) {
  const size_t total = static_cast<size_t>(packet.length) + kCmdHeaderSize;
  if (total > 0xFFFF) return false;
  out.resize(total);
  const uint16_t word = static_cast<uint16_t>(((attempt & 0xF) << 12) | (packet.code & 0xFFF));
  out[2] = 0;
  out[3] = static_cast<uint8_t>(word);
  out[4] = static_cast<uint8_t>(word >> 8);
  out[5] = static_cast<uint8_t>(packet.length);
  out[6] = static_cast<uint8_t>(packet.length >> 8);
  if (packet.length) std::memcpy(out.data() + kCmdHeaderSize, packet.data(), packet.length);
  const uint16_t sum = CmdChecksum(out.data(), total);
  out[0] = static_cast<uint8_t>(sum);
  out[1] = static_cast<uint8_t>(sum >> 8);
  return true;
}

std::optional<CmdPacket> DecodeCmdDatagram(const uint8_t* d, size_t size) {
  if (size < kCmdHeaderSize) return std::nullopt;
  const uint16_t length = static_cast<uint16_t>(d[5] | (d[6] << 8));
  const uint16_t sum = static_cast<uint16_t>(d[0] | (d[1] << 8));
  if (length != size - kCmdHeaderSize || sum != CmdChecksum(d, size)) return std::nullopt;
  CmdPacket p;
  p.flag = d[2] != 0 ? 1 : 0;
  p.Set(static_cast<uint16_t>(d[3] | (d[4] << 8)), d + kCmdHeaderSize, length);
  return p;
}

}  // namespace smt::link
