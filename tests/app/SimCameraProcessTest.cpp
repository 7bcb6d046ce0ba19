// The program's cameras on the board simulator run as its own program, as
// scripts/run starts them: the Mark camera shows the demo board where the
// operator jogged it.
#include "SimProcessFixture.h"
#include "platform/GuiDispatcher.h"

namespace {

constexpr int kXYFast = 32954, kXYMedium = 32955;  // the panel menu's XY steps: 10 mm, 1 mm

struct Found {
  bool found = false;
  double dx = 0, dy = 0, diameter = 0;  // mm; dx, dy > 0: left of / above the middle
};
Found FindMark(const cv::Mat& frame) {
  Found f;
  if (frame.empty()) return f;
  const auto r = smt::vision::RecognizePart(frame, 0, false, 3.0, 18.0, f.dx, f.dy, false, &f.diameter);
  f.found = r.found;
  return f;
}

TEST_F(SimProcess, MarkCameraShowsTheDemoBoardWhereTheOperatorJogged) {
  CMainFrame& f = Start();
  f.show();
  ConnectAndHome();
  ASSERT_EQ(smt::CurrentMachine().curX.load(), 0);
  ASSERT_EQ(smt::CurrentMachine().curY.load(), 0);
  // Homed, the Mark camera (60 mm left of nozzle 1) sees no mark.
  cv::Mat frame = MarkFrame();
  ASSERT_FALSE(frame.empty());
  EXPECT_EQ(frame.cols, 640);
  EXPECT_EQ(frame.rows, 480);
  EXPECT_FALSE(FindMark(frame).found);
  // The board's first mark is at (52, -62) mm: the camera gets there with the
  // gantry at (112, -62), jogged in 10 mm and then 1 mm steps.
  ChooseXYStep(kXYFast);
  for (int i = 0; i < 11; ++i) JogOnce(smt::link::jogid::kXPlus);
  for (int i = 0; i < 6; ++i) JogOnce(smt::link::jogid::kYMinus);
  ChooseXYStep(kXYMedium);
  for (int i = 0; i < 2; ++i) JogOnce(smt::link::jogid::kXPlus);
  for (int i = 0; i < 2; ++i) JogOnce(smt::link::jogid::kYMinus);
  ASSERT_EQ(smt::CurrentMachine().curX.load(), 11200);
  ASSERT_EQ(smt::CurrentMachine().curY.load(), -6200);
  // The camera keeps its latest frame: the one taken after the move is waited for.
  cv::Mat over;
  auto settled = [&](cv::Mat& frame, double dx, double dy) {
    Found f;
    PumpUntil([&] {
      frame = MarkFrame();
      f = FindMark(frame);
      return f.found && std::abs(f.dx - dx) <= 0.05 && std::abs(f.dy - dy) <= 0.05;
    }, 5s);
    return f;
  };
  const Found centred = settled(over, 0.0, 0.0);
  ASSERT_TRUE(centred.found);
  EXPECT_NEAR(centred.dx, 0.0, 0.05);
  EXPECT_NEAR(centred.dy, 0.0, 0.05);
  EXPECT_NEAR(centred.diameter, 1.0, 0.15);
  // One more millimetre to the right and one up: the mark moves left and
  // down in the picture by as much.
  JogOnce(smt::link::jogid::kXPlus);
  JogOnce(smt::link::jogid::kYPlus);
  cv::Mat moved;
  const Found after = settled(moved, 1.0, -1.0);
  EXPECT_GT(cv::norm(over, moved, cv::NORM_L1) / over.total(), 1.0);
  ASSERT_TRUE(after.found);
  EXPECT_NEAR(after.dx, 1.0, 0.05);
  EXPECT_NEAR(after.dy, -1.0, 0.05);
  EXPECT_TRUE(messages.service.Texts().empty()) << messages.service.Texts().front();
}

// The simulator program ends while the program runs: the Mark camera's
// frames stop, the log says why once, a frame request ends without one, and
// a simulator started again on the same socket brings the frames back.
TEST_F(SimProcess, TheSimulatorGoingAwayStopsTheFramesAndItsReturnBringsThemBack) {
  CMainFrame& f = Start();
  f.show();
  ASSERT_FALSE(MarkFrame().empty());
  const size_t logAt = Log().size();
  sim.Stop();
  const std::string gone = "Camera Mark_Camera: no frames from " + socketPath + ": ";
  ASSERT_TRUE(PumpUntil([&] { return Log().find(gone, logAt) != std::string::npos; })) << Log();
  cv::Mat frame;
  EXPECT_FALSE(Cameras().GrabFrame(smt::vision::kRoleMarkCamera, frame, 1500ms));
  // Said when it changes (a frame late on a loaded machine, the connection
  // closed, then no socket to connect to), not once per frame: no line says
  // what the one before it said.
  const std::string log = Log();
  std::vector<std::string> said;
  for (size_t at = log.find(gone, logAt); at != std::string::npos; at = log.find(gone, at + 1))
    said.push_back(log.substr(at, log.find('\n', at) - at));
  EXPECT_GE(said.size(), 1u);
  EXPECT_LE(said.size(), 3u) << log.substr(logAt);
  for (size_t i = 1; i < said.size(); ++i) EXPECT_NE(said[i], said[i - 1]) << log.substr(logAt);
  const std::string noSocket = gone + "cannot connect";
  EXPECT_EQ(log.find(noSocket, logAt), log.rfind(noSocket)) << log.substr(logAt);

  sim_process::SimProgram again;
  std::string why;
  ASSERT_TRUE(again.Start({"--no-udp", "--no-discovery", "--no-serial", "--world",
                           (dir / smt::app::kDemoWorldName).string(), "--camera-socket", socketPath},
                          dir / "smt-sim-2.log", why))
      << why;
  const std::string back = "Camera Mark_Camera: frames again from " + socketPath;
  ASSERT_TRUE(PumpUntil([&] { return Log().find(back) != std::string::npos; })) << again.Output();
  EXPECT_FALSE(MarkFrame().empty());
  Cameras().CloseCameras();
  again.Stop();
}

}  // namespace

namespace {

// The program's cameras named a camera socket that does not serve: a server
// that never answers, one that closes every connection at once, or none at
// all. The cameras show no frames and the log says why; a worker asking for a
// frame gets "none" within its time-out, the window keeps running, and the
// cameras close.
struct DeadCase {
  const char* name;
  int how;  // 0 silent server, 1 closes at once, 2 no server
  const char* logged;
};

class DeadCameraSocket : public DemoMachine, public ::testing::WithParamInterface<DeadCase> {};

TEST_P(DeadCameraSocket, ShowsNoFramesSaysWhyAndHangsNothing) {
  const DeadCase& c = GetParam();
  // Not the fixture's own simulator socket: a dead one beside it.
  const std::string path = (dir / "dead-cameras.sock").string();
  std::unique_ptr<sim_process::FakeServer> server;
  if (c.how != 2) {
    server = std::make_unique<sim_process::FakeServer>(
        path, c.how == 0 ? sim_process::Fake::Silent : sim_process::Fake::CloseAtOnce);
    ASSERT_TRUE(server->ok());
  }
  setenv("SMT_SIM_CAMERA_SOCKET", path.c_str(), 1);
  CMainFrame& f = Start();
  f.show();
  const std::string line = "Camera Mark_Camera: no frames from " + path + ": " + c.logged;
  // A server that never answers is told once the frame wait has passed.
  ASSERT_TRUE(PumpUntil([&] { return Log().find(line) != std::string::npos; }, kSimulatorFrameTimeout + 15s)) << Log();
  if (c.how == 0) {
    EXPECT_GT(server->Requests(), 0);
  }

  // A worker's frame request ends, with no frame, and the window thread runs
  // what is posted to it meanwhile.
  CDialogSetView& view = *f.view()->m_pSetView;
  std::atomic<int> grabbed{-1};
  std::thread worker([&] {
    cv::Mat frame;
    grabbed = view.GrabFrame(smt::vision::kRoleMarkCamera, frame, 1500ms) ? 1 : 0;
  });
  std::atomic<bool> posted{false};
  smt::platform::PostToGui([&] { posted = true; });
  EXPECT_TRUE(PumpUntil([&] { return posted.load(); }, 5s));
  EXPECT_TRUE(PumpUntil([&] { return grabbed.load() >= 0; }, 10s));
  worker.join();
  EXPECT_EQ(grabbed.load(), 0);
  // The picture stays empty and the status counts no frames.
  EXPECT_TRUE(view.LivePicture().isNull());
  EXPECT_TRUE(PumpUntil([&] { return view.StatusText().contains("Size:0*0"); }, 5s)) << view.StatusText().toStdString();
  // The log says it once, not once per frame.
  const std::string log = Log();
  EXPECT_EQ(log.find(line), log.rfind(line));
  view.CloseCameras();
  unsetenv("SMT_SIM_CAMERA_SOCKET");
}

INSTANTIATE_TEST_SUITE_P(Cases, DeadCameraSocket,
                         ::testing::Values(DeadCase{"ServerNeverAnswers", 0, "no reply within 5000 ms"},
                                           DeadCase{"ServerClosesAtOnce", 1, "the simulator closed the connection"},
                                           DeadCase{"NoServer", 2, "cannot connect"}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace

namespace {

// The demo job on the simulator program with parts lying off in their
// pockets: as prepared (vision on for the demo feeders) the vision camera,
// its frames over the socket, centres every part on its target; so it does
// with the feeders set to fly vision, the fly-pass frames (taken at the
// simulator's trigger pulses) coming over the socket too; with vision
// switched off the pick errors stay.
struct DemoRunCase {
  const char* name;
  const char* camera;  // the feeders' vision cell; nullptr: as the demo set-up wrote it
  bool centred;
  bool fly = false;    // fly vision: the parts are looked at as the heads cross the camera
};

class DemoRunOnSimProgram : public SimProcess, public ::testing::WithParamInterface<DemoRunCase> {};

struct Placed {
  double x = 0, y = 0, angle = 0;
};

TEST_P(DemoRunOnSimProgram, PartsLandWhereVisionSaysTheyMust) {
  const DemoRunCase& c = GetParam();
  CMainFrame& f = Start();
  f.show();
  ConnectAndHome();
  sim.Type("pickerrors 0.2 -0.15 3 -0.15 0.2 -2.5 0.1 0.15 2 -0.2 -0.1 -3");
  ASSERT_TRUE(PumpUntil([&] { return sim.Output().find("pick errors: 4") != std::string::npos; })) << sim.Output();
  auto& feeders = *f.view()->m_pFeedList;
  for (int row = 0; row < 2; ++row) {
    if (c.camera) {
      ASSERT_TRUE(feeders.Table().SetCurrentCell(row, smt::feeder::kCellCamera, c.camera));
    } else {
      EXPECT_EQ(feeders.Table().CurrentRow(row).value().Cell(smt::feeder::kCellCamera), "Yes/Camera 1") << "vision on";
    }
    if (c.fly) {
      ASSERT_TRUE(feeders.Table().SetCurrentCell(row, smt::feeder::kCellFly, "Yes/60/80"));
    }
  }
  feeders.ShowCurrentGroup();
  ASSERT_TRUE(f.view()->document()->OnOpenDocument(dir / smt::app::kDemoJobName));
  auto& pl = *f.view()->m_pPartList;
  const size_t logAt = Log().size();
  ASSERT_TRUE(PumpUntil([&] { return pl.ToolBar().Button(106)->isEnabled(); }));
  Click(pl.ToolBar().widgetForAction(pl.ToolBar().Button(106)));
  ASSERT_TRUE(PumpUntil([&] { return Log().find("smt run end 1", logAt) != std::string::npos; }, 90s))
      << [&] {
           std::string t;
           for (const auto& m : messages.service.Texts()) t += m + " | ";
           return t;
         }();
  EXPECT_TRUE(messages.service.Texts().empty()) << messages.service.Texts().front();
  if (c.centred) {
    // The vision camera's frames came from the simulator's socket (its first
    // ask may have run out of time on a loaded machine: "frames again").
    const std::string log = Log();
    EXPECT_TRUE(log.find("Camera Visual_Camera_1: frames from " + socketPath) != std::string::npos ||
                log.find("Camera Visual_Camera_1: frames again from " + socketPath) != std::string::npos)
        << log;
  }

  // Where the simulator saw the parts let go.
  sim.Type("parts");
  ASSERT_TRUE(PumpUntil([&] { return sim.Output().find("parts: ") != std::string::npos; })) << sim.Output();
  std::vector<Placed> placed;
  std::istringstream out(sim.Output());
  for (std::string line; std::getline(out, line);) {
    Placed p;
    int head = 0, feeder = 0;
    if (std::sscanf(line.c_str(), "placed head %d feeder %d board %lf %lf %lf", &head, &feeder, &p.x, &p.y, &p.angle) == 5)
      placed.push_back(p);
  }
  ASSERT_EQ(placed.size(), 4u) << sim.Output() << "\nLOG:\n" << Log().substr(logAt);
  double worstMm = 0, worstDeg = 0;
  const double targets[4][2] = {{5, -5}, {10, -5}, {15, -5}, {20, -5}};
  for (const auto& t : targets) {
    double best = 1e9;
    const Placed* at = nullptr;
    for (const auto& p : placed)
      if (std::hypot(p.x - t[0], p.y - t[1]) < best) {
        best = std::hypot(p.x - t[0], p.y - t[1]);
        at = &p;
      }
    ASSERT_LT(best, 1.0) << t[0];
    worstMm = std::max(worstMm, best);
    worstDeg = std::max(worstDeg, std::fabs(std::remainder(at->angle, 360.0)));
  }
  if (c.fly) {
    // The heads crossed the camera in fly passes (command 0x63).
    sim.Type("log");
    EXPECT_TRUE(PumpUntil([&] { return sim.Output().find(" 0x63:") != std::string::npos; }, 5s))
        << "no fly pass: " << Log().substr(logAt);
  }
  if (c.centred) {
    EXPECT_LE(worstMm, 0.05) << sim.Output();
    EXPECT_LE(worstDeg, 1.0) << sim.Output();
  } else {
    EXPECT_GT(worstMm, 0.15) << "without vision the pick errors stay";
    EXPECT_GT(worstDeg, 2.0);
  }
}

INSTANTIATE_TEST_SUITE_P(Cases, DemoRunOnSimProgram,
                         ::testing::Values(DemoRunCase{"AsPrepared", nullptr, true},
                                           DemoRunCase{"VisionOff", "No/Camera 1", false},
                                           DemoRunCase{"FlyVision", nullptr, true, true}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
