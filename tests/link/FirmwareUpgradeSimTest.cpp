// The whole board upgrade against the simulated boards over UDP: the order
// of the boards and update flags, what ends up in flash, the main board's
// restart, and every failure ending with the board in its boot loader and a
// failure line, never a success.
#include <gtest/gtest.h>

#include <functional>
#include <random>

#include "FirmwareSimFixture.h"
#include "link/BootloaderProtocol.h"

using namespace smt::link;
using fwtest::FirmwareSimTest;
using smt::platform::MsgAnswer;
using smt::sim::SimBootloader;
using Outcome = FirmwareUpdater::Outcome;

namespace {

const FirmwareTexts kTexts;

class Upgrade : public FirmwareSimTest {
 protected:
  // The images of the boards, written into Update/.
  std::vector<uint8_t> images[5];
  void WriteImages(std::initializer_list<int> boards, size_t size = 5000) {
    for (int b : boards) {
      images[b] = fwtest::ImageBytes(size + static_cast<size_t>(b) * 111, static_cast<uint8_t>(b));
      WriteImage(b, images[b]);
    }
  }
  bool RunsImage(int board, int index) const {
    const auto& img = images[board];
    return !sim->Bootloader().InBootloader(board, index) &&
           sim->Bootloader().Application(board, index, static_cast<uint32_t>(img.size())) == img;
  }
  uint16_t Mark(int board, int index) const {
    const auto cfg = BoardConfig(board, index);
    return static_cast<uint16_t>(cfg[0] | (cfg[1] << 8));
  }
};

TEST_F(Upgrade, EveryBoardWithAnImageRunsItAndTheFlagsFollowTheBoardOrder) {
  WriteImages({1, 2, 3, 4});
  sim->SetRestartSilence(std::chrono::milliseconds(150));
  const auto configBefore = BoardConfig(3, 1);
  FirmwareUpdater updater(Env(), sink);
  EXPECT_EQ(updater.UpgradeBoards(1), Outcome::Completed);  // Feed64: two feeder boards

  EXPECT_EQ(sim->Bootloader().UpdateFlags(),
            (std::vector<std::pair<int, int>>{{1, 0}, {2, 0}, {3, 0}, {3, 1}, {4, 0}, {1, 0}}));
  for (auto [b, i] : std::vector<std::pair<int, int>>{{1, 0}, {2, 0}, {3, 0}, {3, 1}, {4, 0}}) {
    EXPECT_TRUE(RunsImage(b, i)) << "board " << b << "/" << i;
    EXPECT_EQ(Mark(b, i), 0) << "board " << b << "/" << i;
  }
  // Feeder boards 2 and 3 were not chosen and keep their old application.
  EXPECT_EQ(sim->Bootloader().ApplicationBytesWritten(3, 2), 0u);
  // The rest of the configuration area is written back as it was.
  EXPECT_EQ(BoardConfig(3, 1), configBefore);
  EXPECT_EQ(sink.LastLine(), kTexts.upadte + kTexts.complete);
  EXPECT_TRUE(sink.HasLine(kTexts.relinking + kTexts.complete));
  EXPECT_TRUE(sink.HasLine(kTexts.feedBoard + kTexts.calculation + kTexts.application + kTexts.complete));
  EXPECT_EQ(sink.progress.back(), 100);
  EXPECT_TRUE(smt::CurrentMachine().connected);
  EXPECT_FALSE(smt::CurrentMachine().resetDone);  // the main board restarted: home again
  EXPECT_TRUE(messages.service.Texts().empty());
}

TEST_F(Upgrade, BoardSequenceShowsItsStepsInOrder) {
  WriteImages({3});
  sim->Bootloader().SetInBootloader(3, 0, true);
  FirmwareUpdater updater(Env(), sink);
  ASSERT_TRUE(updater.SetUpdateFlag(3, 0));
  ASSERT_TRUE(updater.UpdateFirmware(3));
  const std::string& f = kTexts.feedBoard;
  EXPECT_EQ(sink.lines, (std::vector<std::string>{
                            f + kTexts.jumpTo + kTexts.upgradeProgram + "...",
                            f + kTexts.erasing + kTexts.application + "...",
                            f + kTexts.writing + kTexts.application + "...",
                            f + kTexts.calculation + kTexts.application + "...",
                            f + kTexts.calculation + kTexts.application + kTexts.complete,
                        }));
  EXPECT_EQ(sink.progress.back(), 100);
}

struct FailureCase {
  const char* name;
  int board;                                      // the only image
  std::function<void(smt::sim::SimBoard&)> fault;
  std::string message;                            // shown to the operator
  bool leftInBootloader;                          // the board did not run anything new
};

class UpgradeFailure : public Upgrade, public ::testing::WithParamInterface<FailureCase> {};

TEST_P(UpgradeFailure, EndsWithAFailureLineAndTheBoardInItsBootLoader) {
  const FailureCase& c = GetParam();
  WriteImages({c.board});
  c.fault(*sim);
  FirmwareUpdater updater(Env(), sink);
  EXPECT_NE(updater.UpgradeBoards(0), Outcome::Completed);
  EXPECT_EQ(sink.LastLine(), kTexts.upadte + kTexts.failed + " !");
  EXPECT_FALSE(sink.HasLine(kTexts.upadte + kTexts.complete));
  const auto texts = messages.service.Texts();
  EXPECT_NE(std::find(texts.begin(), texts.end(), c.message), texts.end()) << ::testing::PrintToString(texts);
  EXPECT_EQ(sim->Bootloader().InBootloader(c.board, 0), c.leftInBootloader);
  // No board was told to run an application it does not hold whole.
  for (const auto& j : sim->Bootloader().Jumps()) EXPECT_NE(j[2], SimBootloader::kAppAddress);
}

INSTANTIATE_TEST_SUITE_P(
    Faults, UpgradeFailure,
    ::testing::Values(
        FailureCase{"CorruptedConfigurationChunk", 2, [](auto& s) { s.Bootloader().CorruptNextWrites(1); },
                    "Write Head Board Flash Error ！", false},
        FailureCase{"ConfigurationEraseRefused", 2, [](auto& s) { s.InjectStatus(0xF02, 0x10); },
                    "Erase Head Board Flash Error ！", false},
        FailureCase{"WrongDigestOfTheErasedArea", 2, [](auto& s) { s.Bootloader().WrongNextDigests(1); },
                    "Count Head Board MD5 Error ！", true},
        FailureCase{"ShortDigestReplies", 4, [](auto& s) { s.Bootloader().ShortNextDigests(100); },
                    "Count Conveyor Board MD5 Error ！", true},
        FailureCase{"WriteRepliesAllLost", 4, [](auto& s) { s.DropRepliesTo(0xF03, 1000, 152 + 3); },
                    "Write Conveyor Board Flash Error ！", true},
        FailureCase{"JumpToUpgradeProgramRefused", 2, [](auto& s) { s.InjectStatus(0xF07, 0x05); },
                    "Jump to address Error ！", false},
        FailureCase{"UpdateFlagRefused", 3, [](auto& s) { s.InjectStatus(0xF00, 0x05); },
                    "Modify update flag Error ！", false}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(Upgrade, ChunkCorruptedInTheApplicationAreaIsCaughtByTheDigest) {
  WriteImages({2});
  sim->Bootloader().CorruptWriteAt(SimBootloader::kAppAddress + 1000);
  FirmwareUpdater updater(Env(), sink);
  EXPECT_EQ(updater.UpgradeBoards(0), Outcome::Failed);
  EXPECT_TRUE(sink.HasLine(kTexts.headBoard + kTexts.calculation + kTexts.application + kTexts.failed + " !"));
  EXPECT_EQ(messages.service.Texts().back(), "Write Head Board MD5 Error ！");
  EXPECT_TRUE(sim->Bootloader().InBootloader(2, 0));
  EXPECT_EQ(Mark(2, 0), 1);  // marked for upgrade: the boot loader keeps it
  for (const auto& j : sim->Bootloader().Jumps()) EXPECT_NE(j[2], SimBootloader::kAppAddress);
}

TEST_F(Upgrade, OneLostReplyPerCommandIsSurvived) {
  WriteImages({2});
  sim->DropRepliesTo(0xF00, 1);       // the update flag
  sim->DropRepliesTo(0xF04, 1, 10);   // a read of the configuration area
  sim->DropRepliesTo(0xF02, 1, 1);    // the application erase
  sim->DropRepliesTo(0xF06, 1);       // the erased area's digest
  sim->DropRepliesTo(0xF03, 1, 200);  // an application chunk
  FirmwareUpdater updater(Env(), sink);
  EXPECT_EQ(updater.UpgradeBoards(0), Outcome::Completed);
  EXPECT_TRUE(RunsImage(2, 0));
  EXPECT_EQ(Mark(2, 0), 0);
  EXPECT_EQ(sink.LastLine(), kTexts.upadte + kTexts.complete);
}

struct ImageRefusal {
  const char* name;
  size_t size;
};

class ShortImage : public Upgrade, public ::testing::WithParamInterface<ImageRefusal> {};

TEST_P(ShortImage, IsRefusedBeforeAnyBoardIsTouched) {
  WriteImages({1, 2});
  WriteImage(3, std::vector<uint8_t>(GetParam().size, 0x11));
  FirmwareUpdater updater(Env(), sink);
  EXPECT_EQ(updater.UpgradeBoards(0), Outcome::Refused);
  EXPECT_TRUE(SentBootCommands().empty());
  ASSERT_EQ(messages.service.Texts().size(), 1u);
  EXPECT_NE(messages.service.Texts()[0].find("FeedApplication.bin"), std::string::npos);
  EXPECT_EQ(sink.LastLine(), kTexts.upadte + kTexts.failed + " !");
}

INSTANTIATE_TEST_SUITE_P(Images, ShortImage,
                         ::testing::Values(ImageRefusal{"Empty", 0}, ImageRefusal{"ThreeBytes", 3},
                                           ImageRefusal{"LargerThanTheArea", boot::kApplicationSize + 1}),
                         [](const auto& info) { return std::string(info.param.name); });

// Files that are no application for their board: each is refused with one
// message naming the file and what is wrong, before any board is touched
// (they used to be erased into the board, written, verified against their
// own digest and reported complete).
TEST_F(Upgrade, FilesThatAreNoApplicationForTheirBoardAreRefusedBeforeTheErase) {
  struct Case {
    const char* what;
    std::function<std::vector<uint8_t>(const std::vector<uint8_t>& feederImage)> bytes;
    const char* why;
  };
  const Case cases[] = {
      {"random bytes",
       [](const std::vector<uint8_t>&) {
         std::mt19937 gen(7);
         std::vector<uint8_t> v(5000);
         for (auto& b : v) b = static_cast<uint8_t>(gen());
         return v;
       },
       "stack pointer"},
      {"nine bytes", [](const std::vector<uint8_t>&) { return std::vector<uint8_t>(9, 0x42); }, "too short"},
      {"erased flash", [](const std::vector<uint8_t>&) { return std::vector<uint8_t>(5000, 0xFF); }, "0xFF"},
      {"the feeder board's image", [](const std::vector<uint8_t>& feed) { return feed; }, "FeedApplication.bin"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    WriteImages({1, 2, 3, 4});
    WriteImage(1, c.bytes(images[3]));
    sim->ClearReceived();
    messages.service.Clear();
    FirmwareUpdater updater(Env(), sink);
    EXPECT_EQ(updater.UpgradeBoards(0), Outcome::Refused);
    EXPECT_TRUE(SentBootCommands().empty());
    ASSERT_EQ(messages.service.Texts().size(), 1u);
    const std::string text = messages.service.Texts()[0];
    EXPECT_NE(text.find("MainApplication.bin"), std::string::npos) << text;
    EXPECT_NE(text.find(c.why), std::string::npos) << text;
    EXPECT_EQ(sink.LastLine(), kTexts.upadte + kTexts.failed + " !");
  }
}

TEST_F(Upgrade, MissingImagesAreAskedAbout) {
  // Yes four times: nothing to do, nothing sent, and the run is complete.
  messages.service.SetDefaultAnswer(MsgAnswer::Yes);
  {
    FirmwareUpdater updater(Env(), sink);
    EXPECT_EQ(updater.UpgradeBoards(0), Outcome::Completed);
  }
  EXPECT_EQ(messages.service.Texts(),
            (std::vector<std::string>{"MainApplication.bin 文件不存在，是否跳过 ?", "HeadApplication.bin 文件不存在，是否跳过 ?",
                                      "FeedApplication.bin 文件不存在，是否跳过 ?",
                                      "ConveyorApplication.bin 文件不存在，是否跳过 ?"}));
  EXPECT_TRUE(SentBootCommands().empty());
  EXPECT_EQ(sink.LastLine(), kTexts.upadte + kTexts.complete);

  // Only the conveyor image: its flag first, no main-board flag at the end.
  WriteImages({4});
  messages.service.Clear();
  {
    FirmwareUpdater updater(Env(), sink);
    EXPECT_EQ(updater.UpgradeBoards(0), Outcome::Completed);
  }
  EXPECT_EQ(sim->Bootloader().UpdateFlags(), (std::vector<std::pair<int, int>>{{4, 0}}));
  EXPECT_TRUE(RunsImage(4, 0));

  // No (or Cancel) stops before anything is sent.
  sim->ClearReceived();
  messages.service.Clear();
  messages.service.SetDefaultAnswer(MsgAnswer::No);
  FirmwareUpdater updater(Env(), sink);
  EXPECT_EQ(updater.UpgradeBoards(0), Outcome::Refused);
  EXPECT_EQ(messages.service.Texts().size(), 1u);
  EXPECT_TRUE(SentBootCommands().empty());
}

TEST_F(Upgrade, Feed128WritesTheFeederImageFourTimes) {
  WriteImages({3});
  FirmwareUpdater updater(Env(), sink);
  EXPECT_EQ(updater.UpgradeBoards(3), Outcome::Completed);
  EXPECT_EQ(sim->Bootloader().UpdateFlags(), (std::vector<std::pair<int, int>>{{3, 0}, {3, 1}, {3, 2}, {3, 3}}));
  for (int i = 0; i < 4; ++i) EXPECT_TRUE(RunsImage(3, i)) << i;
}

struct RelinkCase {
  const char* name;
  int failuresBeforeLink;  // reconnect attempts that fail first
  Outcome outcome;
};

class MainBoardRelink : public Upgrade, public ::testing::WithParamInterface<RelinkCase> {};

TEST_P(MainBoardRelink, UpToThreeAttemptsThenTheRunStops) {
  WriteImages({1});
  FirmwareEnvironment env = Env();
  std::atomic<int> calls{0};
  const int failures = GetParam().failuresBeforeLink;
  env.reconnect = [&] { return ++calls > failures; };
  int dropped = 0;
  env.linkDropped = [&] { ++dropped; };
  FirmwareUpdater updater(env, sink);
  EXPECT_EQ(updater.UpgradeBoards(0), GetParam().outcome);
  if (GetParam().outcome == Outcome::Completed) {
    EXPECT_TRUE(RunsImage(1, 0));
    EXPECT_EQ(dropped, 2);  // into the upgrade program and into the application
    EXPECT_TRUE(smt::CurrentMachine().connected);
  } else {
    EXPECT_EQ(calls.load(), 3);
    EXPECT_FALSE(smt::CurrentMachine().connected);
    EXPECT_EQ(sink.LastLine(), kTexts.upadte + kTexts.failed + " !");
    // Without a link no end flag is sent and nothing was erased.
    EXPECT_EQ(sim->Bootloader().UpdateFlags(), (std::vector<std::pair<int, int>>{{1, 0}}));
    EXPECT_EQ(sim->Bootloader().ApplicationBytesWritten(1, 0), 0u);
  }
}

INSTANTIATE_TEST_SUITE_P(Attempts, MainBoardRelink,
                         ::testing::Values(RelinkCase{"FirstAttempt", 0, Outcome::Completed},
                                           RelinkCase{"ThirdAttempt", 2, Outcome::Completed},
                                           RelinkCase{"NeverBack", 3, Outcome::LinkLost}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(Upgrade, StopRequestEndsTheRunWithTheBoardInItsBootLoader) {
  WriteImages({2}, 300000);  // long enough to be stopped while it is written
  FirmwareEnvironment env = Env();
  std::atomic<bool> stop{false};
  env.aborted = [&] { return stop.load(); };
  FirmwareUpdater updater(env, sink);
  std::thread stopper([&] {
    linktest::WaitFor([&] { return sink.HasLine(kTexts.headBoard + kTexts.writing + kTexts.application + "..."); },
                      std::chrono::seconds(10));
    stop = true;
  });
  EXPECT_EQ(updater.UpgradeBoards(0), Outcome::Failed);
  stopper.join();
  EXPECT_TRUE(sim->Bootloader().InBootloader(2, 0));
  EXPECT_EQ(sink.LastLine(), kTexts.upadte + kTexts.failed + " !");
}

}  // namespace
