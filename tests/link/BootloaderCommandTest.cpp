// The boot loader commands of the link object against the simulated boards:
// chunking and progress, resends of failed chunks, lost replies, digest
// replies that must not be trusted, and the image file limits.
#include <gtest/gtest.h>

#include <vector>

#include <numeric>

#include "FirmwareSimFixture.h"
#include "link/BootloaderProtocol.h"
#include "link/FirmwareImage.h"

using namespace smt::link;
using fwtest::FirmwareSimTest;
using smt::sim::SimBootloader;

namespace {

uint32_t LE32(const std::vector<uint8_t>& p, size_t at) {
  return uint32_t(p[at]) | (uint32_t(p[at + 1]) << 8) | (uint32_t(p[at + 2]) << 16) | (uint32_t(p[at + 3]) << 24);
}

class BootCommands : public FirmwareSimTest {};

TEST_F(BootCommands, WriteSplitsIntoChunksOf433AndReportsProgress) {
  std::vector<int> progress;
  auto record = [&](int p) { progress.push_back(p); };
  EXPECT_TRUE(link.WriteFlash(boot::kConfigAddress, nullptr, 0, record));
  EXPECT_TRUE(SentBootCommands().empty());  // nothing for an empty write

  const auto data = fwtest::ImageBytes(434, 3);
  ASSERT_TRUE(link.WriteFlash(boot::kConfigAddress, data.data(), 434, record));
  const auto sent = SentBootCommands();
  ASSERT_EQ(sent.size(), 2u);
  EXPECT_EQ(LE32(sent[0].payload, 0), boot::kConfigAddress);
  EXPECT_EQ(LE32(sent[0].payload, 4), 433u);
  EXPECT_EQ(sent[0].payload.size(), 8u + 433u);
  EXPECT_EQ(LE32(sent[1].payload, 0), boot::kConfigAddress + 433);
  EXPECT_EQ(LE32(sent[1].payload, 4), 1u);
  EXPECT_EQ(progress, (std::vector<int>{99, 100}));
  EXPECT_EQ(sent[0].attempt, 0);
  // Flash programming only clears bits: the area was erased first by nobody,
  // so compare after an erase and a second write.
  ASSERT_TRUE(link.BootCmdF02(boot::kConfigAddress, boot::kConfigSize));
  ASSERT_TRUE(link.WriteFlash(boot::kConfigAddress, data.data(), 434, {}));
  EXPECT_EQ(sim->Bootloader().Read(1, 0, boot::kConfigAddress, 434), data);
}

TEST_F(BootCommands, ReadTakesTheWholeConfigurationAreaIn152Commands) {
  std::vector<uint8_t> area(boot::kConfigSize, 0);
  std::vector<int> progress;
  ASSERT_TRUE(link.ReadFlash(area.data(), [&](int p) { progress.push_back(p); }));
  const auto sent = SentBootCommands();
  ASSERT_EQ(sent.size(), 152u);
  EXPECT_EQ(LE32(sent.back().payload, 4), 153u);
  EXPECT_EQ(progress.back(), 100);
  EXPECT_EQ(area, sim->Bootloader().Read(1, 0, boot::kConfigAddress, boot::kConfigSize));
}

TEST_F(BootCommands, FailedChunkIsSentAgainUnchangedWithoutProgress) {
  ASSERT_TRUE(link.BootCmdF02(boot::kConfigAddress, boot::kConfigSize));
  sim->ClearReceived();
  sim->InjectStatus(boot::kWrite, 0x05);
  const auto data = fwtest::ImageBytes(500, 9);
  std::vector<int> progress;
  ASSERT_TRUE(link.WriteFlash(boot::kConfigAddress, data.data(), 500, [&](int p) { progress.push_back(p); }));
  const auto sent = SentBootCommands();
  ASSERT_EQ(sent.size(), 3u);
  EXPECT_EQ(sent[0].payload, sent[1].payload);
  EXPECT_EQ(progress, (std::vector<int>{86, 100}));
  EXPECT_EQ(sim->Bootloader().Read(1, 0, boot::kConfigAddress, 500), data);
  // The failure's status text reached the operator.
  EXPECT_TRUE(linktest::WaitFor([&] { return !messages.service.Texts().empty(); }));
}

TEST_F(BootCommands, ChunkThatKeepsFailingEndsTheWriteInsteadOfLoopingForever) {
  sim->InjectStatusRepeated(boot::kWrite, 0x05, 1000);
  const auto data = fwtest::ImageBytes(100, 1);
  const bool ok = link.WriteFlash(boot::kConfigAddress, data.data(), 100, {});
  EXPECT_FALSE(ok);
  EXPECT_EQ(link.LastBootResult(), CMachineLink::BootResult::BadStatus);
  EXPECT_EQ(SentBootCommands().size(), static_cast<size_t>(fwtest::FastTimeouts().failedChunkResends + 1));
}

TEST_F(BootCommands, LostRepliesAreSentAgainAndAnAnswerlessBoardEndsInTimeOut) {
  ASSERT_TRUE(link.BootCmdF02(boot::kConfigAddress, boot::kConfigSize));
  const auto data = fwtest::ImageBytes(433 * 4, 5);
  sim->DropRepliesTo(boot::kWrite, 1, 2);  // the third chunk's answer is lost once
  ASSERT_TRUE(link.WriteFlash(boot::kConfigAddress, data.data(), static_cast<int32_t>(data.size()), {}));
  EXPECT_EQ(sim->Bootloader().Read(1, 0, boot::kConfigAddress, static_cast<uint32_t>(data.size())), data);

  sim->ClearReceived();
  sim->DropRepliesTo(boot::kErase, 100);
  EXPECT_FALSE(link.BootCmdF02(boot::kConfigAddress, boot::kConfigSize));
  EXPECT_EQ(link.LastBootResult(), CMachineLink::BootResult::TimedOut);
  EXPECT_EQ(SentBootCommands().size(), 3u);  // bounded resends
}

struct DigestCase {
  const char* name;
  std::function<void(smt::sim::SimBoard&)> fault;
  bool ok;
};

class DigestReplies : public FirmwareSimTest, public ::testing::WithParamInterface<DigestCase> {};

TEST_P(DigestReplies, OnlyAFull17ByteSuccessReplyFillsTheDigest) {
  GetParam().fault(*sim);
  uint8_t digest[16];
  std::fill(std::begin(digest), std::end(digest), 0xEE);
  const bool ok = link.FlashMd5(0x800, digest);
  EXPECT_EQ(ok, GetParam().ok);
  const auto expected = smt::sim::SimMd5(sim->Bootloader().Application(1, 0, 0x800).data(), 0x800);
  if (ok) {
    EXPECT_TRUE(std::equal(std::begin(digest), std::end(digest), expected.begin()));
    EXPECT_EQ(Md5Of(sim->Bootloader().Application(1, 0, 0x800).data(), 0x800), expected);  // both sides agree on MD5
  } else {
    EXPECT_TRUE(std::all_of(std::begin(digest), std::end(digest), [](uint8_t b) { return b == 0xEE; }));
  }
}

INSTANTIATE_TEST_SUITE_P(
    Md5, DigestReplies,
    ::testing::Values(DigestCase{"Good", [](smt::sim::SimBoard&) {}, true},
                      DigestCase{"AnsweredWithCodeFFF", [](smt::sim::SimBoard& s) { s.AnswerBootWithAnyCode(1); }, true},
                      DigestCase{"SixteenBytes", [](smt::sim::SimBoard& s) { s.Bootloader().ShortNextDigests(1); }, false},
                      DigestCase{"FailureStatus", [](smt::sim::SimBoard& s) { s.InjectStatus(boot::kMd5, 0x05); }, false},
                      DigestCase{"NeverAnswered", [](smt::sim::SimBoard& s) { s.DropRepliesTo(boot::kMd5, 100); }, false}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(BootCommands, StaleReplyOfAnotherCommandDoesNotAnswerTheNextOne) {
  // The erase's answer comes late, after the erase gave up; the digest
  // request that follows must wait for its own reply.
  sim->SetReplyDelay(std::chrono::milliseconds(400));
  smt::link::boot::BootTimeouts t = fwtest::FastTimeouts();
  t.erase = std::chrono::milliseconds(100);
  t.attempts = 1;
  link.SetBootTimeouts(t);
  EXPECT_FALSE(link.BootCmdF02(boot::kConfigAddress, boot::kConfigSize));
  sim->SetReplyDelay(std::chrono::milliseconds(0));
  uint8_t digest[16] = {};
  ASSERT_TRUE(link.FlashMd5(0x800, digest));
  const auto expected = smt::sim::SimMd5(sim->Bootloader().Application(1, 0, 0x800).data(), 0x800);
  EXPECT_TRUE(std::equal(std::begin(digest), std::end(digest), expected.begin()));
}

TEST_F(BootCommands, FileWritesRefuseWhatTheyCannotWriteWhole) {
  uint32_t written = 77;
  EXPECT_FALSE(link.WriteFlashFromFile((dir / "none.bin").string(), boot::kConfigAddress, &written, {}));
  EXPECT_EQ(written, 77u);  // untouched: the file could not be opened

  dir.Write("big.bin", std::string(0x100001, 'x'));
  EXPECT_FALSE(link.WriteFlashFromFile((dir / "big.bin").string(), boot::kConfigAddress, &written, {}));
  EXPECT_EQ(written, 0u);
  EXPECT_TRUE(SentBootCommands().empty());  // nothing of it was sent

  dir.Write("empty.bin", "");
  EXPECT_TRUE(link.WriteFlashFromFile((dir / "empty.bin").string(), boot::kConfigAddress, &written, {}));
  EXPECT_EQ(written, 0u);

  ASSERT_TRUE(link.BootCmdF02(boot::kConfigAddress, boot::kConfigSize));
  dir.Write("small.bin", "0123456789");
  EXPECT_TRUE(link.WriteFlashFromFile((dir / "small.bin").string(), boot::kConfigAddress, &written, {}));
  EXPECT_EQ(written, 10u);
}

struct ImageCase {
  const char* name;
  size_t size;  // SIZE_MAX: no file
  FirmwareImage::Check check;
};

// `size` bytes of 'a' behind a vector table that an application for the
// application area has: the stack in RAM, the reset vector at Thumb code
// just past the table (cut short with the file).
std::string ImageText(size_t size) {
  std::string t(size, 'a');
  const uint32_t words[2] = {0x20008000u, 0x08020000u + 0x41u};
  for (size_t i = 0; i < 8 && i < size; ++i) t[i] = static_cast<char>(words[i / 4] >> (8 * (i % 4)));
  return t;
}

class ImageChecks : public ::testing::TestWithParam<ImageCase> {};

TEST_P(ImageChecks, ImageIsTakenOnlyWhenItCanRunAndFits) {
  smt::test::TempDir dir;
  std::filesystem::create_directories(dir.path() / "Update");
  const std::string path = FirmwareImage::PathFor(dir.str(), 2);
  EXPECT_EQ(path, (dir.path() / "Update" / "HeadApplication.bin").string());
  if (GetParam().size != SIZE_MAX) dir.Write("Update/HeadApplication.bin", ImageText(GetParam().size));
  FirmwareImage image;
  EXPECT_EQ(image.Load(path), GetParam().check);
  if (GetParam().check == FirmwareImage::Check::Ok) {
    EXPECT_EQ(image.size(), GetParam().size);
    const std::string text = ImageText(GetParam().size);
    EXPECT_EQ(image.md5(), Md5Of(reinterpret_cast<const uint8_t*>(text.data()), text.size()));
  }
}

INSTANTIATE_TEST_SUITE_P(Files, ImageChecks,
                         ::testing::Values(ImageCase{"Missing", SIZE_MAX, FirmwareImage::Check::Missing},
                                           ImageCase{"Empty", 0, FirmwareImage::Check::TooShort},
                                           ImageCase{"NineBytes", 9, FirmwareImage::Check::TooShort},
                                           ImageCase{"VectorTableOnly", 64, FirmwareImage::Check::NoReset},
                                           ImageCase{"TableAndFirstCode", 66, FirmwareImage::Check::Ok},
                                           ImageCase{"WholeArea", boot::kApplicationSize, FirmwareImage::Check::Ok},
                                           ImageCase{"PastTheArea", boot::kApplicationSize + 1,
                                                     FirmwareImage::Check::TooLarge}),
                         [](const auto& info) { return std::string(info.param.name); });

// What a file that is not an application for the boards looks like: each is
// refused by its first four or eight bytes.
TEST(FirmwareImageContent, WhatCannotStartOnTheBoardIsRefused) {
  struct Case {
    const char* what;
    uint32_t stack, reset;
    FirmwareImage::Check check;
  };
  const Case cases[] = {
      {"an application", 0x20010000u, 0x08020101u, FirmwareImage::Check::Ok},
      {"stack at the top of the coupled RAM", 0x10010000u, 0x08020101u, FirmwareImage::Check::Ok},
      {"random bytes", 0x9C3A5E71u, 0x1F00AB37u, FirmwareImage::Check::NoStack},
      {"stack in flash", 0x08020000u, 0x08020101u, FirmwareImage::Check::NoStack},
      {"stack not word aligned", 0x20010002u, 0x08020101u, FirmwareImage::Check::NoStack},
      {"stack past the RAM", 0x20080004u, 0x08020101u, FirmwareImage::Check::NoStack},
      {"linked for the boot loader's area", 0x20010000u, 0x08000101u, FirmwareImage::Check::NoReset},
      {"reset vector past the image", 0x20010000u, 0x08030001u, FirmwareImage::Check::NoReset},
      {"reset vector into the table", 0x20010000u, 0x08020009u, FirmwareImage::Check::NoReset},
      {"reset vector not Thumb code", 0x20010000u, 0x08020100u, FirmwareImage::Check::NoReset},
  };
  for (const Case& c : cases) {
    std::vector<uint8_t> b(4096, 0x5A);
    for (int k = 0; k < 4; ++k) {
      b[static_cast<size_t>(k)] = static_cast<uint8_t>(c.stack >> (8 * k));
      b[static_cast<size_t>(4 + k)] = static_cast<uint8_t>(c.reset >> (8 * k));
    }
    EXPECT_EQ(FirmwareImage::CheckContent(b), c.check) << c.what;
  }
  EXPECT_EQ(FirmwareImage::CheckContent(std::vector<uint8_t>(4096, 0xFF)), FirmwareImage::Check::Erased);
}

TEST(FirmwareMd5, KnownDigests) {
  // RFC 1321 test suite, on both the program's and the simulator's side.
  const std::string abc = "abc";
  const auto d = Md5Of(reinterpret_cast<const uint8_t*>(abc.data()), abc.size());
  EXPECT_EQ(Md5Hex(d), "900150983cd24fb0d6963f7d28e17f72");
  EXPECT_EQ(smt::sim::SimMd5(reinterpret_cast<const uint8_t*>(abc.data()), abc.size()), d);
  const std::string longer(1000, 'q');
  EXPECT_EQ(smt::sim::SimMd5(reinterpret_cast<const uint8_t*>(longer.data()), longer.size()),
            Md5Of(reinterpret_cast<const uint8_t*>(longer.data()), longer.size()));
  EXPECT_EQ(Md5Hex(Md5Of(nullptr, 0)), "d41d8cd98f00b204e9800998ecf8427e");
}

}  // namespace
