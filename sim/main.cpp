// smt-sim: the board simulator as a program. It serves the UDP command port,
// answers discovery and opens a pseudo-terminal for the serial link, then
// takes control commands on its standard input (type "help"). With
// --camera-socket it also serves what the simulated machine's cameras see
// (the world of --world, see sim/WorldFile.h) to the program's simulated
// cameras.
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "sim/CameraServer.h"
#include "sim/SimBoard.h"
#include "sim/WorldFile.h"

namespace {

void Usage() {
  std::puts(
      "usage: smt-sim [--udp-port N] [--bind ADDR] [--no-udp] [--no-discovery] [--no-serial]\n"
      "               [--head-mask N] [--pty-link PATH] [--world FILE] [--camera-socket PATH]\n"
      "               [--reply-delay MS]   (MS: wait before every reply, a slow machine)\n"
      "               [--realistic-cameras] [--camera-seed N]   (what real cameras add to the frames)");
}

void Help() {
  std::puts(
      "commands:\n"
      "  drop N            do not answer the next N commands\n"
      "  badsum N          send the next N UDP replies with a wrong checksum\n"
      "  status CODE ST    answer the next UDP command CODE (hex) with status ST (hex)\n"
      "  serialerr CODE E S  answer the next serial command CODE with error frame EE FF E S (hex)\n"
      "  delay MS          wait MS before every reply\n"
      "  nodiscover N      leave the next N discovery requests unanswered\n"
      "  mask N            head state the board reports (hex)\n"
      "  key K             front-panel key K (1..11)\n"
      "  dropcode CODE N [SKIP]  after SKIP replies to CODE (hex), leave the next N unanswered\n"
      "  corruptwrite N    store the next N boot loader write chunks with a flipped bit\n"
      "  badmd5 N          answer the next N digest requests with a wrong digest\n"
      "  shortmd5 N        answer the next N digest requests with 16 bytes only\n"
      "  anycode N         answer the next N boot loader commands with code FFF\n"
      "  restart MS        the main board is silent for MS after it jumps\n"
      "  boards            boot loader state of every board\n"
      "  log               commands received\n"
      "  pos               axis positions\n"
      "  pickerrors DX DY DA ...  the world's parts lie this far off in their pockets (mm, deg), in turn\n"
      "  parts             where the world's parts were let go (board mm and degrees)\n"
      "  frames            camera frames served\n"
      "  camera            what the cameras add to their frames now\n"
      "  camera off | realistic | blur PX | lighting SHARE | sensornoise SD | nozzle MM |\n"
      "         ground GREY PARTGREY | edgecover SHARE GREY | cameraseed N\n"
      "                    switch what they add (0, or ground -1, switches an effect off)\n"
      "  quit");
}

}  // namespace

int main(int argc, char** argv) {
  smt::sim::SimConfig config;
  std::string ptyLink, worldFile, cameraSocket;
  int replyDelayMs = 0;
  bool realisticCameras = false;
  long long cameraSeed = -1;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    auto next = [&]() -> std::string { return i + 1 < argc ? argv[++i] : ""; };
    if (a == "--udp-port") config.udpPort = std::atoi(next().c_str());
    else if (a == "--bind") config.udpBindAddress = next();
    else if (a == "--no-udp") config.udp = false;
    else if (a == "--no-discovery") config.discovery = false;
    else if (a == "--no-serial") config.serial = false;
    else if (a == "--head-mask") config.headMask = static_cast<uint8_t>(std::strtol(next().c_str(), nullptr, 0));
    else if (a == "--pty-link") ptyLink = next();
    else if (a == "--world") worldFile = next();
    else if (a == "--camera-socket") cameraSocket = next();
    else if (a == "--realistic-cameras") realisticCameras = true;
    else if (a == "--camera-seed") {
      const std::string v = next();
      char* end = nullptr;
      const long long n = std::strtoll(v.c_str(), &end, 10);
      if (v.empty() || *end != '\0' || n < 0 || n > 4294967295LL) {
        std::fprintf(stderr, "smt-sim: --camera-seed takes a whole number from 0 to 4294967295, not \"%s\"\n", v.c_str());
        return 2;
      }
      cameraSeed = n;
    }
    else if (a == "--reply-delay") {
      const std::string v = next();
      char* end = nullptr;
      const long ms = std::strtol(v.c_str(), &end, 10);
      if (v.empty() || *end != '\0' || ms < 0 || ms > 10000) {
        std::fprintf(stderr, "smt-sim: --reply-delay takes milliseconds from 0 to 10000, not \"%s\"\n", v.c_str());
        return 2;
      }
      replyDelayMs = static_cast<int>(ms);
    } else {
      Usage();
      return a == "--help" ? 0 : 2;
    }
  }
  // The world the board moves and the cameras see.
  auto world = std::make_shared<smt::sim::SimWorld>();
  smt::sim::WorldCameraLook look;
  if (!worldFile.empty()) {
    std::string why;
    const auto d = smt::sim::ReadWorldFile(worldFile, why);
    if (!d) {
      std::fprintf(stderr, "smt-sim: world %s\n", why.c_str());
      return 1;
    }
    smt::sim::ApplyWorld(*world, *d);
    look.cols = d->picture.cols;
    look.rows = d->picture.rows;
    look.pixelsPerMm = d->picture.pixelsPerMm;
    look.effects->Set(d->effects);
  }
  {
    smt::sim::CameraEffects fx = look.effects->Get();
    if (realisticCameras) fx = smt::sim::CameraEffects::Realistic(fx.seed);
    if (cameraSeed >= 0) fx.seed = static_cast<unsigned>(cameraSeed);
    look.effects->Set(fx);
  }
  smt::sim::SimBoard board(config);
  board.SetWorld(world.get());
  board.SetReplyDelay(std::chrono::milliseconds(replyDelayMs));
  if (!board.Start()) {
    std::fprintf(stderr, "smt-sim: %s\n", board.LastError().c_str());
    return 1;
  }
  std::unique_ptr<smt::sim::CameraSocketServer> cameras;
  if (!cameraSocket.empty()) {
    cameras = std::make_unique<smt::sim::CameraSocketServer>(world, look);
    if (!cameras->Start(cameraSocket)) {
      // The board is still served; the program's cameras will say they get no frames.
      std::fprintf(stderr, "smt-sim: no cameras: %s\n", cameras->LastError().c_str());
      cameras.reset();
    }
  }
  if (!ptyLink.empty() && !board.SerialPath().empty()) {
    std::error_code ec;
    std::filesystem::remove(ptyLink, ec);
    std::filesystem::create_symlink(board.SerialPath(), ptyLink, ec);
    if (ec) std::fprintf(stderr, "smt-sim: cannot link %s: %s\n", ptyLink.c_str(), ec.message().c_str());
  }
  if (config.udp) std::printf("smt-sim: UDP commands on %s:%d\n", config.udpBindAddress.c_str(), board.UdpPort());
  if (config.discovery) std::printf("smt-sim: discovery on %s:%d\n", config.discoveryGroup.c_str(), config.discoveryPort);
  if (config.serial)
    std::printf("smt-sim: serial line %s%s%s\n", board.SerialPath().c_str(), ptyLink.empty() ? "" : " linked as ",
                ptyLink.c_str());
  if (replyDelayMs > 0) std::printf("smt-sim: every reply waits %d ms (a slow machine)\n", replyDelayMs);
  if (cameras)
    std::printf("smt-sim: cameras on %s (world %s), adding %s\n", cameraSocket.c_str(),
                worldFile.empty() ? "empty" : worldFile.c_str(), look.effects->Get().Describe().c_str());
  std::fflush(stdout);

  std::string line;
  while (std::getline(std::cin, line)) {
    std::istringstream in(line);
    std::string cmd;
    in >> cmd;
    if (cmd.empty()) continue;
    if (cmd == "quit" || cmd == "exit") break;
    if (cmd == "help") Help();
    else if (cmd == "drop") { int n = 1; in >> n; board.DropReplies(n); }
    else if (cmd == "badsum") { int n = 1; in >> n; board.CorruptReplies(n); }
    else if (cmd == "status") {
      unsigned code = 0, st = 0;
      in >> std::hex >> code >> st;
      board.InjectStatus(static_cast<uint16_t>(code), static_cast<uint8_t>(st));
    } else if (cmd == "serialerr") {
      unsigned code = 0, e = 0, s = 0;
      in >> std::hex >> code >> e >> s;
      board.InjectSerialError(static_cast<uint16_t>(code), static_cast<uint8_t>(e), static_cast<uint8_t>(s));
    } else if (cmd == "delay") { int ms = 0; in >> ms; board.SetReplyDelay(std::chrono::milliseconds(ms)); }
    else if (cmd == "nodiscover") { int n = 1; in >> n; board.IgnoreDiscovery(n); }
    else if (cmd == "mask") { unsigned m = 0; in >> std::hex >> m; board.SetHeadMask(static_cast<uint8_t>(m)); }
    else if (cmd == "dropcode") {
      unsigned code = 0;
      int n = 1, skip = 0;
      in >> std::hex >> code >> std::dec >> n >> skip;
      board.DropRepliesTo(static_cast<uint16_t>(code), n, skip);
    } else if (cmd == "corruptwrite") { int n = 1; in >> n; board.Bootloader().CorruptNextWrites(n); }
    else if (cmd == "badmd5") { int n = 1; in >> n; board.Bootloader().WrongNextDigests(n); }
    else if (cmd == "shortmd5") { int n = 1; in >> n; board.Bootloader().ShortNextDigests(n); }
    else if (cmd == "anycode") { int n = 1; in >> n; board.AnswerBootWithAnyCode(n); }
    else if (cmd == "restart") { int ms = 0; in >> ms; board.SetRestartSilence(std::chrono::milliseconds(ms)); }
    else if (cmd == "boards") {
      auto& bl = board.Bootloader();
      const auto sel = bl.Selected();
      std::printf("selected board %d index %d\n", sel.first, sel.second);
      for (int b = 1; b <= 4; ++b)
        for (int i = 0; i < (b == 3 ? 4 : 1); ++i) {
          const auto cfg = bl.Read(b, i, smt::sim::SimBootloader::kConfigAddress, 2);
          std::printf("board %d/%d: %s, upgrade mark %d\n", b, i, bl.InBootloader(b, i) ? "boot loader" : "application",
                      cfg.size() == 2 ? cfg[0] | (cfg[1] << 8) : -1);
        }
    } else if (cmd == "key") { int k = 0; in >> k; board.SendKeyReport(static_cast<uint8_t>(k)); }
    else if (cmd == "log") {
      for (const auto& c : board.Received()) {
        std::printf("%s 0x%02X:", c.link == smt::sim::SimLink::Udp ? "udp   " : "serial", c.code);
        for (uint8_t b : c.payload) std::printf(" %02X", b);
        std::printf("\n");
      }
    } else if (cmd == "pickerrors") {
      std::vector<smt::sim::PickError> errors;
      smt::sim::PickError e;
      while (in >> e.dx >> e.dy >> e.dAngle) errors.push_back(e);
      world->SetPickErrors(errors);
      std::printf("pick errors: %zu\n", errors.size());
    } else if (cmd == "parts") {
      const auto releases = world->Releases();
      for (const auto& r : releases)
        std::printf("%s head %d feeder %d board %.4f %.4f %.3f\n", r.placed ? "placed" : "dropped", r.head,
                    r.part.feeder, r.boardX, r.boardY, r.boardAngleDeg);
      std::printf("parts: %zu\n", releases.size());
    } else if (cmd == "frames") {
      std::printf("frames: %llu\n", cameras ? static_cast<unsigned long long>(cameras->FramesServed()) : 0ULL);
    } else if (cmd == "camera") {
      std::string name;
      smt::sim::CameraEffects fx = look.effects->Get();
      std::string why;
      if (in >> name) {
        std::vector<double> v;
        double n = 0;
        while (in >> n) v.push_back(n);
        if (name == "off") {
          fx = smt::sim::CameraEffects{};
          fx.seed = look.effects->Get().seed;
        } else if (!smt::sim::SetCameraEffect(fx, name, v, why)) {
          std::printf("camera: %s\n", why.c_str());
          std::fflush(stdout);
          continue;
        }
        look.effects->Set(fx);
      }
      std::printf("camera adds: %s\n", look.effects->Get().Describe().c_str());
    } else if (cmd == "pos") {
      for (const auto& [axis, pos] : board.Positions()) std::printf("axis %d: %lld\n", axis, static_cast<long long>(pos));
    } else {
      std::printf("unknown command \"%s\" (help)\n", cmd.c_str());
    }
    std::fflush(stdout);
  }
  // Standard input closed (or quit): keep serving when stdin was never a
  // terminal and the caller wants us in the background.
  if (!isatty(STDIN_FILENO) && std::getenv("SMT_SIM_STAY")) {
    for (;;) pause();
  }
  if (cameras) cameras->Stop();
  board.Stop();
  board.SetWorld(nullptr);
  if (!ptyLink.empty()) std::filesystem::remove(ptyLink);
  return 0;
}
