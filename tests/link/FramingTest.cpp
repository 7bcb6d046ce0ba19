// Golden bytes of the UDP packet and the serial frame, the checksum rules of
// the UDP channel and the incremental serial frame parser.
#include <gtest/gtest.h>

#include <numeric>

#include "link/CmdPacket.h"
#include "link/LinkBytes.h"
#include "link/MachineCommands.h"
#include "link/SerialFrame.h"

using namespace smt::link;
using Bytes = std::vector<uint8_t>;

namespace {

Bytes Datagram(uint16_t code, const Bytes& payload, uint8_t attempt = 0) {
  CmdPacket p;
  p.Set(code, payload);
  Bytes out;
  EXPECT_TRUE(EncodeCmdDatagram(p, attempt, out));
  return out;
}

}  // namespace

TEST(CmdPacketWire, GoldenDatagrams) {
  // Set output 10 on, value 5: payload 0A 01 05 00.
  EXPECT_EQ(Datagram(0x03, {0x0A, 0x01, 0x05, 0x00}),
            (Bytes{0x17, 0x00, 0x00, 0x03, 0x00, 0x04, 0x00, 0x0A, 0x01, 0x05, 0x00}));
  // Axis value command 0x01 (1, -1): payload 01 FF FF FF FF.
  EXPECT_EQ(Datagram(0x01, ByteWriter().U8(1).I32(-1).Take()),
            (Bytes{0x03, 0x04, 0x00, 0x01, 0x00, 0x05, 0x00, 0x01, 0xFF, 0xFF, 0xFF, 0xFF}));
  // The code keeps its low 12 bits; the attempt fills bits 12-15.
  const Bytes d = Datagram(0x1F64, {}, 3);
  EXPECT_EQ(d[3], 0x64);
  EXPECT_EQ(d[4], 0x3F);
}

TEST(CmdPacketWire, DecodeChecksAndKeepsTheCodeWord) {
  // 7 bytes, length 0, checksum = flag + the two code bytes: queued empty.
  const Bytes empty{0x65, 0x00, 0x01, 0x64, 0x00, 0x00, 0x00};
  auto p = DecodeCmdDatagram(empty.data(), empty.size());
  ASSERT_TRUE(p);
  EXPECT_EQ(p->flag, 1);
  EXPECT_EQ(p->length, 0);
  // Attempt bits stay in the received code word.
  const Bytes withAttempt{0x75, 0x00, 0x01, 0x64, 0x10, 0x00, 0x00};
  ASSERT_TRUE(DecodeCmdDatagram(withAttempt.data(), withAttempt.size()));
  EXPECT_EQ(DecodeCmdDatagram(withAttempt.data(), withAttempt.size())->code, 0x1064);

  struct Bad { const char* what; Bytes d; };
  const Bad bad[] = {
      {"six bytes", {0x65, 0x00, 0x01, 0x64, 0x00, 0x00}},
      {"length field too long", {0x66, 0x00, 0x01, 0x64, 0x00, 0x01, 0x00}},
      {"checksum off by one", {0x66, 0x00, 0x01, 0x64, 0x00, 0x00, 0x00}},
  };
  for (const auto& b : bad) EXPECT_FALSE(DecodeCmdDatagram(b.d.data(), b.d.size())) << b.what;
}

TEST(CmdPacketWire, ChecksumWrapsAt16Bits) {
  Bytes d(519, 0xFF);
  const uint16_t expected = static_cast<uint16_t>((517u * 0xFF) & 0xFFFF);
  EXPECT_EQ(CmdChecksum(d.data(), d.size()), expected);
  d[0] = static_cast<uint8_t>(expected);
  d[1] = static_cast<uint8_t>(expected >> 8);
  d[5] = 0x00;
  d[6] = 0x02;  // 512
  // Recompute with the real header bytes.
  const uint16_t sum = CmdChecksum(d.data(), d.size());
  d[0] = static_cast<uint8_t>(sum);
  d[1] = static_cast<uint8_t>(sum >> 8);
  auto p = DecodeCmdDatagram(d.data(), d.size());
  ASSERT_TRUE(p);
  EXPECT_EQ(p->length, 512);
}

TEST(CmdPacketWire, PacketBufferOnlyGrows) {
  CmdPacket p;
  p.Set(0x64, Bytes(38, 1));
  EXPECT_EQ(p.capacity(), 38);
  p.Set(0x03, Bytes{1, 2});
  EXPECT_EQ(p.capacity(), 38);
  EXPECT_EQ(p.length, 2);
}

TEST(SerialFrameWire, GoldenFrames) {
  struct Case { const char* what; Bytes frame; Bytes expected; };
  const std::array<int32_t, 14> home{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14};
  const Case cases[] = {
      {"hello", BuildSerialFrame(0x00, {}), {0xEE, 0x00, 0x02, 0x00, 0x02, 0xFF, 0xFC, 0xFF, 0xFF}},
      {"output 10 on", BuildSerialFrame(0x03, {0x0A, 0x01}),
       {0xEE, 0x00, 0x04, 0x03, 0x0A, 0x01, 0x12, 0xFF, 0xFC, 0xFF, 0xFF}},
      {"axis 2 by -1000", BuildSerialFrame(0x01, ByteWriter().U8(2).SM32(-1000).Take()),
       {0xEE, 0x00, 0x07, 0x01, 0x02, 0x80, 0x00, 0x03, 0xE8, 0x75, 0xFF, 0xFC, 0xFF, 0xFF}},
      {"state 5 carries the code only", BuildSerialFrame(0x60, {0x05}),
       {0xEE, 0x00, 0x03, 0x60, 0x05, 0x68, 0xFF, 0xFC, 0xFF, 0xFF}},
      {"vacuum channel 2", BuildSerialFrame(0x15, {0x02}), {0xEE, 0x00, 0x03, 0x15, 0x02, 0x1A, 0xFF, 0xFC, 0xFF, 0xFF}},
      {"camera 3 value 1", BuildSerialFrame(0x04, {0x03, 0x01}),
       {0xEE, 0x00, 0x04, 0x04, 0x03, 0x01, 0x0C, 0xFF, 0xFC, 0xFF, 0xFF}},
      {"home", BuildSerialFrame(0x02, Cmd02HomeSerialPayload(home)),
       {0xEE, 0x00, 0x10, 0x02, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 0x7B, 0xFF, 0xFC, 0xFF, 0xFF}},
  };
  for (const auto& c : cases) EXPECT_EQ(c.frame, c.expected) << c.what;
  EXPECT_EQ(Cmd02HomeUdpPayload(home).size(), 56u);
}

TEST(SerialFrameWire, SignMagnitudeFields) {
  EXPECT_EQ(ByteWriter().SM32(-1000).Take(), (Bytes{0x80, 0x00, 0x03, 0xE8}));
  EXPECT_EQ(ByteWriter().SM32(1000).Take(), (Bytes{0x00, 0x00, 0x03, 0xE8}));
  EXPECT_EQ(ByteWriter().SM16(-5).Take(), (Bytes{0x80, 0x05}));
  EXPECT_EQ(ByteWriter().BE32(-2).Take(), (Bytes{0xFF, 0xFF, 0xFF, 0xFE}));
  EXPECT_EQ(ByteWriter().BE16(0xFFFF).Take(), (Bytes{0xFF, 0xFF}));
  // A value wider than its field is refused, never cut to its low bits.
  EXPECT_FALSE(ByteWriter().BE16(0x12345).ok());
  EXPECT_FALSE(ByteWriter().SM32(INT32_MIN).ok());
  EXPECT_EQ(ByteWriter().SM32(-INT32_MAX).Take(), (Bytes{0xFF, 0xFF, 0xFF, 0xFF}));
}

// --- parser ---------------------------------------------------------------

namespace {

const Bytes kAck61{0xEE, 0x01, 0x61, 0x00, 0xFF, 0xFC, 0xFF, 0xFF};
const Bytes kVac{0xEE, 0x01, 0x15, 0x00, 0x3C, 0xFF, 0xFC, 0xFF, 0xFF};

std::vector<Bytes> FeedInPieces(SerialFrameParser& parser, const Bytes& bytes, size_t piece) {
  std::vector<Bytes> frames;
  for (size_t i = 0; i < bytes.size(); i += piece) {
    const size_t n = std::min(piece, bytes.size() - i);
    EXPECT_EQ(parser.Feed(bytes.data() + i, n, [&](const Bytes& f) { frames.push_back(f); }), n);
  }
  return frames;
}

Bytes Concat(std::initializer_list<Bytes> parts) {
  Bytes out;
  for (const auto& p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}

}  // namespace

TEST(SerialFrameParser, FramesSurviveAnyCut) {
  const Bytes stream = Concat({kAck61, kVac, kAck61});
  for (size_t piece : {1u, 2u, 3u, 5u, 7u, 64u}) {
    SerialFrameParser parser;
    const auto frames = FeedInPieces(parser, stream, piece);
    ASSERT_EQ(frames.size(), 3u) << "pieces of " << piece;
    EXPECT_EQ(frames[0], kAck61);
    EXPECT_EQ(frames[1], kVac);
    EXPECT_EQ(frames[2], kAck61);
    EXPECT_EQ(parser.Pending(), 0u);
  }
}

TEST(SerialFrameParser, IncompleteFrameWaitsAndNothingIsReadPastTheBytes) {
  SerialFrameParser parser;
  std::vector<Bytes> frames;
  auto sink = [&](const Bytes& f) { frames.push_back(f); };
  parser.Feed(kVac.data(), 6, sink);  // tail not yet here
  EXPECT_TRUE(frames.empty());
  EXPECT_EQ(parser.Pending(), 6u);
  parser.Feed(kVac.data() + 6, 3, sink);
  ASSERT_EQ(frames.size(), 1u);
  EXPECT_EQ(frames[0], kVac);
}

TEST(SerialFrameParser, JunkIsPassedOverAndTheStreamResynchronises) {
  SerialFrameParser parser;
  Bytes lonelyStart(40, 0x11);
  lonelyStart[0] = 0xEE;  // a start byte with no tail in reach
  const Bytes stream = Concat({{0x00, 0x13, 0x37}, lonelyStart, kAck61, {0xAA}, kVac});
  const auto frames = FeedInPieces(parser, stream, 1);
  ASSERT_EQ(frames.size(), 2u);
  EXPECT_EQ(frames[0], kAck61);
  EXPECT_EQ(frames[1], kVac);
  EXPECT_EQ(parser.SkippedBytes(), 3u + 40u + 1u);
}

TEST(SerialFrameParser, TailMustBeginWithin30Bytes) {
  for (size_t gap : {29u, 30u}) {
    Bytes f{0xEE};
    f.insert(f.end(), gap, 0x01);
    f.insert(f.end(), {0xFF, 0xFC, 0xFF, 0xFF});
    SerialFrameParser parser;
    const auto frames = FeedInPieces(parser, f, 1);
    // 29 bytes between start and tail: tail at offset 30, found. 30 between: not.
    EXPECT_EQ(frames.size(), gap == 29u ? 1u : 0u) << gap;
  }
}

TEST(SerialFrameParser, FramesAcrossTheRingEnd) {
  SerialFrameParser parser;
  std::vector<Bytes> frames;
  // 31 acknowledgements of 8 bytes = 248 bytes, then frames that wrap slot 255.
  Bytes stream;
  for (int i = 0; i < 40; ++i) stream.insert(stream.end(), kAck61.begin(), kAck61.end());
  stream.insert(stream.end(), kVac.begin(), kVac.end());
  parser.Feed(stream.data(), stream.size(), [&](const Bytes& f) { frames.push_back(f); });
  ASSERT_EQ(frames.size(), 41u);
  EXPECT_EQ(frames.back(), kVac);
}

TEST(SerialFrameParser, FullRingIsReportedNotOverrun) {
  SerialFrameParser parser;
  for (size_t i = 0; i < SerialFrameParser::kCapacity; ++i) ASSERT_TRUE(parser.Push(0xEE));
  EXPECT_FALSE(parser.Push(0xEE));
  EXPECT_EQ(parser.Overflows(), 1u);
  EXPECT_EQ(parser.Pending(), SerialFrameParser::kCapacity);
}
