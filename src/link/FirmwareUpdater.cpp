#include "link/FirmwareUpdater.h"

#include <algorithm>
#include <thread>

#include "core/LogFile.h"
#include "core/MachineState.h"
#include "link/BootloaderProtocol.h"
#include "link/LinkGlobals.h"
#include "platform/MessageService.h"
#include "platform/SettingsSection.h"
#include "platform/TextCodec.h"
#include "settings/PulseSettings.h"
#include "platform/RefusalTexts.h"

namespace smt::link {
namespace {

constexpr const char* kFullStop = " ！";  // the full-width mark that closes the board messages

std::string BoardMessage(const char* verb, int board, const char* what) {
  return std::string(verb) + " " + BoardWord(board) + " Board " + what + kFullStop;
}

std::string InvalidImageText(int board, FirmwareImage::Check check) {
  const std::string name = FirmwareImage::FileName(board);
  switch (check) {
    case FirmwareImage::Check::TooShort:
      return name + " 文件过短，不是有效的程序 !\r\n" + name + " is too short to be a firmware image !";
    case FirmwareImage::Check::TooLarge:
      return name + " 文件超过应用程序区 (393216 字节) !\r\n" + name +
             " is larger than the application area (393216 bytes) !";
    case FirmwareImage::Check::Erased:
      return name + " 文件全部为 0xFF，不是程序 !\r\n" + name +
             " holds nothing but 0xFF (erased flash), it is not a program ! Nothing was erased.";
    case FirmwareImage::Check::NoStack:
      return name + " 文件的初始堆栈指针不在内存中，不是本机的程序 !\r\n" + name +
             " is not an application for this board: its initial stack pointer does not lie in the board's RAM ! "
             "Nothing was erased.";
    case FirmwareImage::Check::NoReset:
      return name + " 文件的复位向量不指向应用程序区，不是本机的程序 !\r\n" + name +
             " is not an application for this board: its reset vector does not point into the application it "
             "would be written as (from 0x08020000) ! Nothing was erased.";
    default:
      return name + " 文件无法完整读取 !\r\n" + name + " could not be read whole !";
  }
}

// Two boards given the same file: one of them got another board's program
// (a copy under the wrong name).
std::string SameImageText(int first, int second) {
  const std::string a = FirmwareImage::FileName(first), b = FirmwareImage::FileName(second);
  return a + " 与 " + b + " 内容相同，其中一个不是该板的程序 !\r\n" + a + " and " + b +
         " are the same file: one of them is another board's program ! Nothing was erased.";
}

}  // namespace

FirmwareUpdater::FirmwareUpdater(FirmwareEnvironment env, FirmwareSink& sink) : env_(std::move(env)), sink_(sink) {
  if (env_.link) env_.link->SetBootAbort(env_.aborted);
}

void FirmwareUpdater::Message(const std::string& text) const {
  CLogFile::Instance().Write(true, "Firmware: %s", text.c_str());
  // While the program shuts down nobody answers a box: the log keeps it.
  if (Aborted()) return;
  smt::platform::ShowMessage(text, smt::platform::MsgButtons::Ok, smt::platform::MsgIcon::Error);
}

CMachineLink::Progress FirmwareUpdater::ProgressFn() {
  return [this](int percent) { sink_.Progress(percent); };
}

void FirmwareUpdater::Pause() const {
  const auto end = std::chrono::steady_clock::now() + env_.settle;
  while (std::chrono::steady_clock::now() < end && !Aborted())
    std::this_thread::sleep_for(std::min<std::chrono::steady_clock::duration>(
        end - std::chrono::steady_clock::now(), std::chrono::milliseconds(20)));
}

// --- single operations -----------------------------------------------------

bool FirmwareUpdater::SetUpdateFlag(uint8_t board, uint8_t feederBoardIndex) {
  if (!env_.link || !env_.link->BootCmdF00(board, feederBoardIndex)) {
    Message(std::string("Modify update flag Error") + kFullStop);
    return false;
  }
  return true;
}

bool FirmwareUpdater::ReadBoardFlash(int board, uint8_t* destination) {
  if (board < 1 || board > 4) return true;
  if (env_.link && env_.link->ReadFlash(destination, ProgressFn())) return true;
  // "Feedd" is how the board's message has always been spelt.
  Message(std::string("Read ") + (board == 3 ? "Feedd" : BoardWord(board)) + " Board Flash Error" + kFullStop);
  return false;
}

bool FirmwareUpdater::EraseBoardFlash(int board) {
  if (board < 1 || board > 4) return true;
  if (env_.link && env_.link->BootCmdF02(boot::kConfigAddress, boot::kConfigSize)) return true;
  Message(BoardMessage("Erase", board, "Flash Error"));
  return false;
}

bool FirmwareUpdater::WriteBoardFlash(int board, const uint8_t* source) {
  if (board < 1 || board > 4) return true;
  if (env_.link && env_.link->WriteFlash(boot::kConfigAddress, source, static_cast<int32_t>(boot::kConfigSize), ProgressFn())) {
    // The area has no digest of its own: read it back, so that a block the
    // board did not take exactly is reported, not trusted.
    FirmwareConfigBlock check;
    if (env_.link->ReadFlash(check.data(), {}) && std::equal(check.bytes().begin(), check.bytes().end(), source))
      return true;
  }
  Message(BoardMessage("Write", board, "Flash Error"));
  return false;
}

bool FirmwareUpdater::Jump(uint32_t address) { return env_.link && env_.link->BootCmdF07(address); }

// --- one board's application -------------------------------------------------

bool FirmwareUpdater::UpdateFirmware(int board) {
  if (board < 1 || board > 4) return false;
  FirmwareImage image;
  const auto check = image.Load(FirmwareImage::PathFor(env_.appDir, board));
  if (check != FirmwareImage::Check::Ok) {
    Message(check == FirmwareImage::Check::Missing ? FirmwareImage::FileName(board) + " File does not exist"
                                                   : InvalidImageText(board, check));
    return false;
  }
  return UpdateFirmware(board, image);
}

bool FirmwareUpdater::UpdateFirmware(int board, const FirmwareImage& image) {
  if (board < 1 || board > 4 || !env_.link || image.size() == 0) return false;
  const FirmwareTexts& t = env_.texts;
  const std::string& b = t.BoardName(board);
  CMachineLink& link = *env_.link;

  Status(b + t.jumpTo + t.upgradeProgram + "...");
  Pause();
  if (Aborted()) return false;

  Status(b + t.erasing + t.application + "...");
  if (!link.BootCmdF02(boot::kApplicationAddress, boot::kApplicationSize)) {
    Status(b + t.erasing + t.application + t.failed + " !");
    Message(BoardMessage("Erase", board, "Flash Error"));
    return false;
  }
  // The erased area must read as erased flash before anything is written on it.
  Md5Digest digest{};
  if (!link.FlashMd5(boot::kApplicationSize, digest.data()) || digest != ErasedFlashMd5(boot::kApplicationSize)) {
    Status(b + t.erasing + t.application + t.failed + " !");
    Message(BoardMessage("Count", board, "MD5 Error"));
    return false;
  }

  Status(b + t.writing + t.application + "...");
  sink_.Progress(0);
  if (!link.WriteFlash(boot::kApplicationAddress, image.bytes().data(), static_cast<int32_t>(image.size()),
                       ProgressFn())) {
    Status(b + t.writing + t.application + t.failed + " !");
    Message(BoardMessage("Write", board, "Flash Error"));
    return false;
  }

  // What the board holds now must be the file, byte for byte.
  Status(b + t.calculation + t.application + "...");
  digest = {};
  if (!link.FlashMd5(image.size(), digest.data()) || digest != image.md5()) {
    Status(b + t.calculation + t.application + t.failed + " !");
    Message(BoardMessage("Write", board, "MD5 Error"));
    return false;
  }
  Status(b + t.calculation + t.application + t.complete);
  return true;
}

// --- the whole upgrade ---------------------------------------------------------

bool FirmwareUpdater::ReconnectMainBoard(CMachineLink& link, const DiscoveryOptions& discovery) {
  if (!link.IsOpen()) return false;
  std::string address;
  if (!DiscoverMainBoard(address, discovery)) return false;
  if (link.Channel().PeerAddress() != address) link.Channel().SetPeer(address);
  return true;
}

smt::Machine& FirmwareUpdater::OwnMachine() const {
  if (env_.machine) return *env_.machine;
  return env_.link->OwnMachine();
}

bool FirmwareUpdater::Relink() {
  const FirmwareTexts& t = env_.texts;
  Status(t.relinking + "...");
  // The main board restarts with its jump: the link is down until it answers.
  OwnMachine().connected = false;
  if (env_.linkDropped) env_.linkDropped();
  for (int i = 0; i < std::max(1, env_.reconnectAttempts) && !OwnMachine().connected; ++i) {
    Pause();
    if (Aborted()) break;
    const bool ok = env_.reconnect ? env_.reconnect() : (env_.link && ReconnectMainBoard(*env_.link, env_.discovery));
    if (ok) OwnMachine().connected = true;
  }
  if (!OwnMachine().connected) {
    Status(t.relinking + t.failed + " !");
    Message(std::string("Relink Main Board Error") + kFullStop);
    return false;
  }
  // A restarted main board has forgotten where its axes are.
  OwnMachine().resetDone = false;
  if (env_.linkRestored) env_.linkRestored();
  Status(t.relinking + t.complete);
  return true;
}

FirmwareUpdater::Outcome FirmwareUpdater::UpgradeBoards(int feedSelect) {
  const FirmwareTexts& t = env_.texts;
  feedSelect = std::clamp(feedSelect, 0, 3);

  // Every image is read and checked before any board is touched.
  std::array<FirmwareImage, 5> images;
  std::array<bool, 5> present{};
  for (int board = 1; board <= 4; ++board) {
    const auto check = images[board].Load(FirmwareImage::PathFor(env_.appDir, board));
    if (check == FirmwareImage::Check::Ok) {
      present[board] = true;
      continue;
    }
    if (check == FirmwareImage::Check::Missing) {
      const auto answer = smt::platform::ShowMessage(smt::platform::FillText(smt::platform::WindowText("LinkMessagesConfig", "LinkMessages.c_FirmwareFileMissing", "%1 文件不存在，是否跳过 ?"), {FirmwareImage::FileName(board)}),
                                                     smt::platform::MsgButtons::YesNoCancel,
                                                     smt::platform::MsgIcon::Question);
      if (answer == smt::platform::MsgAnswer::Yes) continue;
      return Outcome::Refused;
    }
    Message(InvalidImageText(board, check));
    Status(t.upadte + t.failed + " !");
    return Outcome::Refused;
  }
  for (int a = 1; a <= 4; ++a)
    for (int b = a + 1; b <= 4; ++b)
      if (present[a] && present[b] && images[a].md5() == images[b].md5() && images[a].bytes() == images[b].bytes()) {
        Message(SameImageText(a, b));
        Status(t.upadte + t.failed + " !");
        return Outcome::Refused;
      }

  FirmwareConfigBlock block;
  Outcome outcome = Outcome::Completed;
  bool endStep = true;
  int board = 1;
  int index = 0;
  while (board <= 4) {
    if (present[board]) {
      const std::string& b = t.BoardName(board);
      const std::string cfg = b + t.application + t.configurationInformation;
      const uint8_t idx = static_cast<uint8_t>(board == boot::kFeedBoard ? index : 0);
      auto failAt = [&](const std::string& line) {
        Status(line);
        outcome = Outcome::Failed;
      };
      if (Aborted()) { outcome = Outcome::Failed; break; }
      if (!SetUpdateFlag(static_cast<uint8_t>(board), idx)) {
        outcome = Outcome::Failed;
        endStep = false;
        break;
      }
      block.Fill(0xFF);
      Status(t.reading + cfg + "...");
      if (!ReadBoardFlash(board, block.data())) { failAt(t.reading + cfg + t.failed + " !"); break; }
      block.SetUpgradeMark(1);
      Status(t.erasing + cfg + "...");
      if (!EraseBoardFlash(board)) { failAt(t.erasing + cfg + t.failed + " !"); break; }
      Status(t.erasing + t.complete + " ， " + t.writing + cfg + "...");
      if (!WriteBoardFlash(board, block.data())) { failAt(t.writing + cfg + t.failed + " !"); break; }
      Status(t.jumpTo + b + t.upgradeProgram + "...");
      if (!Jump(boot::kUpgradeProgramAddress)) {
        Message(std::string("Jump to address Error") + kFullStop);
        failAt(t.jumpTo + b + t.upgradeProgram + t.failed + " !");
        break;
      }
      if (board == boot::kMainBoard && !Relink()) {
        outcome = Outcome::LinkLost;
        endStep = false;
        break;
      }
      Pause();
      if (!UpdateFirmware(board, images[board])) { outcome = Outcome::Failed; break; }

      // The block as the board holds it now; when it cannot be read the
      // copy read before (already marked) is written back.
      FirmwareConfigBlock fresh;
      if (ReadBoardFlash(board, fresh.data())) block = fresh;
      Status(t.erasing + cfg + "...");
      block.SetUpgradeMark(0);
      if (!EraseBoardFlash(board)) { failAt(t.erasing + cfg + t.failed + " !"); break; }
      Status(t.writing + cfg + "...");
      if (!WriteBoardFlash(board, block.data())) { failAt(t.writing + cfg + t.failed + " !"); break; }
      Status(t.jumpTo + b + t.application + "...");
      if (!Jump(boot::kApplicationAddress)) {
        Message(std::string("Jump to address Error") + kFullStop);
        failAt(t.jumpTo + b + t.application + t.failed + " !");
        endStep = false;
        break;
      }
      if (board == boot::kMainBoard && !Relink()) {
        outcome = Outcome::LinkLost;
        endStep = false;
        break;
      }
    }
    Pause();
    if (board == boot::kFeedBoard && index < feedSelect) {
      ++index;
    } else {
      index = 0;
      ++board;
    }
  }

  // A stopped run sends nothing more.
  if (Aborted()) endStep = false;
  // The update flag goes back to the main board when its image was used.
  if (endStep && present[boot::kMainBoard] && !SetUpdateFlag(boot::kMainBoard, 0)) outcome = Outcome::Failed;
  if (outcome == Outcome::Completed) Status(t.upadte + t.complete);
  else Status(t.upadte + t.failed + " !");
  static const char* kOutcome[] = {"completed", "refused", "failed", "link lost"};
  CLogFile::Instance().Write(true, "Firmware upgrade %s", kOutcome[static_cast<int>(outcome)]);
  return outcome;
}

// --- the configuration block ---------------------------------------------------

std::string FirmwareUpdater::ConfigurationText(const FirmwareConfigBlock& block, const FirmwareTexts& t) {
  std::string s;
  s += t.upgradeMark + std::to_string(block.UpgradeMark()) + "\r\n";
  s += t.versionNumber + VersionDigits(block.Version()) + "\r\n";
  s += t.deviceDescription + smt::platform::GbkToUtf8(block.DescriptionBytes()) + "\r\n";
  s += t.information + BinaryDigits(block.Information()) + "\r\n";
  s += t.xLimit + std::to_string(block.XLimit()) + "\r\n";
  s += t.yLimit + std::to_string(block.YLimit()) + "\r\n";
  return s;
}

bool FirmwareUpdater::ReadConfigInfo() {
  const FirmwareTexts& t = env_.texts;
  FirmwareConfigBlock block;
  Status(t.reading + t.configurationInformation + "...");
  sink_.ConfigText("");
  if (!ReadBoardFlash(boot::kMainBoard, block.data())) {
    Status(t.reading + t.configurationInformation + t.failed + " !");
    return false;
  }
  Status(t.reading + t.configurationInformation + t.complete);
  sink_.ConfigText(ConfigurationText(block, t));
  if (block.Version() != FirmwareConfigBlock::kExpectedVersion)
    smt::platform::ShowMessage(smt::platform::WindowText("LinkMessagesConfig", "LinkMessages.c_UpdateFirmware", "请升级固件 !"), smt::platform::MsgButtons::Ok,
                               smt::platform::MsgIcon::Information);
  return true;
}

bool FirmwareUpdater::WritePositionLimits() {
  // Read as the machine settings read them: each key with its range.
  const smt::settings::BasicSettings basic = smt::settings::LoadBasicSettings(env_.appDir);
  const smt::settings::PulseSettings pulse = smt::settings::LoadPulseSettings(env_.appDir);
  return WritePositionLimits(basic.m_X_Limit, pulse.m_X_Pulse, basic.m_Y_Limit, pulse.m_Y_Pulse);
}

bool FirmwareUpdater::WritePositionLimits(double xLimitMm, double xPulsesPerMm, double yLimitMm, double yPulsesPerMm) {
  const FirmwareTexts& t = env_.texts;
  FirmwareConfigBlock block;
  Status(t.reading + t.configurationInformation + "...");
  if (!ReadBoardFlash(boot::kMainBoard, block.data())) {
    Status(t.reading + t.configurationInformation + t.failed + " !");
    return false;
  }
  const int32_t x = LimitInSteps(xLimitMm, xPulsesPerMm);
  const int32_t y = LimitInSteps(yLimitMm, yPulsesPerMm);
  block.SetLimits(x, y);
  Status(t.erasing + t.configurationInformation + "...");
  if (!EraseBoardFlash(boot::kMainBoard)) {
    Status(t.erasing + t.configurationInformation + t.failed + " !");
    return false;
  }
  Status(t.writing + t.configurationInformation + "...");
  if (!WriteBoardFlash(boot::kMainBoard, block.data())) {
    Status(t.writing + t.configurationInformation + t.failed + " !");
    return false;
  }
  bool sent = false;
  if (OwnMachine().linkMutex.TryLockFor(std::chrono::seconds(10))) {
    sent = env_.link->SendCmd1(0, x) && env_.link->SendCmd1(1, y);
    OwnMachine().linkMutex.unlock();
  }
  if (!sent) {
    Status(t.writing + t.configurationInformation + t.failed + " !");
    return false;
  }
  Status(t.writing + t.configurationInformation + t.complete);
  return true;
}

}  // namespace smt::link
