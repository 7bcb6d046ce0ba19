// The camera socket between the board simulator and the program's simulated
// cameras: replies out of form, servers that never answer or close, the
// world file's refusals, and the demo set-up and its world agreeing.
#include "SimProcessFixture.h"
#include "job/BoardGeometry.h"
#include "platform/GuiDispatcher.h"
#include "sim/CameraServer.h"
#include "sim/WorldFile.h"
#include "vision/CDialogCameraList.h"
#include "vision/CDialogSetView.h"
#include "vision/FrameSocket.h"
#include "vision/SimulatedScene.h"

#include <deque>
#include <mutex>

namespace {

using smt::vision::FrameRequest;
using smt::vision::FrameSocketClient;
using sim_process::Fake;
using sim_process::FakeServer;
using sim_process::Header;

struct ReplyCase {
  const char* name;
  Fake how;
  std::vector<uint8_t> reply;
  const char* problem;  // in the client's LastProblem and the log line
};

class FrameSocketReplies : public ::testing::TestWithParam<ReplyCase> {};

// Every broken or missing reply is "no frame" within the time-out, with a
// reason; the next request opens a new connection, or, after a time-out,
// waits on for the reply still owed.
TEST_P(FrameSocketReplies, AreNoFrameWithTheReason) {
  const ReplyCase& c = GetParam();
  smt::test::TempDir dir;
  const std::string path = (dir / "cams.sock").string();
  FakeServer server(path, c.how, c.reply);
  ASSERT_TRUE(server.ok());
  FrameSocketClient client(path, "Mark_Camera");
  for (int round = 0; round < 2; ++round) {
    const auto frame = client.Fetch({0, smt::vision::kFrameKindLive}, 300ms);
    EXPECT_FALSE(frame.has_value()) << round;
    EXPECT_NE(client.LastProblem().find(c.problem), std::string::npos) << client.LastProblem();
  }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, FrameSocketReplies,
    ::testing::Values(
        ReplyCase{"NeverAnswers", Fake::Silent, {}, "no reply within 300 ms"},
        ReplyCase{"ClosesAtOnce", Fake::CloseAtOnce, {}, "closed the connection"},
        ReplyCase{"NotAFrame", Fake::Raw, Header("XMCF", 0, 4, 4, 1, 16), "not a frame"},
        ReplyCase{"UnknownStatus", Fake::Raw, Header("SMCF", 2, 4, 4, 1, 16), "status 2"},
        ReplyCase{"NoFrameWithASize", Fake::Raw, Header("SMCF", 1, 4, 4, 1, 16), "gives a size"},
        ReplyCase{"ZeroWidth", Fake::Raw, Header("SMCF", 0, 0, 4, 1, 0), "out of 1..8192"},
        ReplyCase{"TooTall", Fake::Raw, Header("SMCF", 0, 4, 9000, 1, 36000), "out of 1..8192"},
        ReplyCase{"TwoChannels", Fake::Raw, Header("SMCF", 0, 4, 4, 2, 32), "2 channels"},
        ReplyCase{"LengthDoesNotFit", Fake::Raw, Header("SMCF", 0, 4, 4, 3, 16), "length 16, its size needs 48"},
        ReplyCase{"FrameCutShort", Fake::Raw, Header("SMCF", 0, 4, 4, 1, 16), "no frame within 300 ms"}),
    [](const auto& info) { return std::string(info.param.name); });

// A reply that comes after its ask ran out of time is not lost with the
// connection: a fly view is the next pulse's view in turn and answers the
// next ask, without a new request; a live picture is older than the next ask
// and a new one is asked for.
struct LateCase {
  const char* name;
  uint32_t kind;
  int firstFrame;  // the frame's number the ask after the late one gets
  int requests;    // requests the server had by then
};

class LateReply : public ::testing::TestWithParam<LateCase> {};

TEST_P(LateReply, IsTakenByTheNextAskOnTheSameConnection) {
  const LateCase& c = GetParam();
  smt::test::TempDir dir;
  const std::string path = (dir / "cams.sock").string();
  FakeServer server(path, Fake::Held);
  ASSERT_TRUE(server.ok());
  FrameSocketClient client(path, "Visual_Camera_1 fly");
  EXPECT_FALSE(client.Fetch({1, c.kind}, 100ms).has_value());
  EXPECT_NE(client.LastProblem().find("no reply within 100 ms"), std::string::npos) << client.LastProblem();
  server.Release();
  for (int n = c.firstFrame; n < c.firstFrame + 2; ++n) {
    const auto frame = client.Fetch({1, c.kind}, 10s);
    ASSERT_TRUE(frame.has_value()) << n << " " << client.LastProblem();
    ASSERT_EQ(frame->cols, 4);
    EXPECT_EQ(frame->at<cv::Vec3b>(0, 0)[0], n);
    EXPECT_EQ(frame->at<cv::Vec3b>(3, 3)[2], n);
    EXPECT_EQ(client.LastProblem(), "");
  }
  EXPECT_EQ(server.Requests(), c.requests + 1);
}

INSTANTIATE_TEST_SUITE_P(Kinds, LateReply,
                         ::testing::Values(LateCase{"FlyViewAnswersTheNextAsk", smt::vision::kFrameKindFly, 1, 1},
                                           LateCase{"LivePictureIsAskedAgain", smt::vision::kFrameKindLive, 2, 2}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(FrameSocket, NoServerIsNoFrameAndTheServersFramesComeThrough) {
  smt::test::TempDir dir;
  const std::string path = (dir / "cams.sock").string();
  FrameSocketClient client(path, "Visual_Camera_1");
  EXPECT_FALSE(client.Fetch({1, smt::vision::kFrameKindLive}, 100ms).has_value());
  EXPECT_NE(client.LastProblem().find("cannot connect"), std::string::npos) << client.LastProblem();

  // The simulator's server: a part held over vision camera 1 is in its frame.
  auto world = std::make_shared<smt::sim::SimWorld>();
  smt::sim::CameraSocketServer server(world, {});
  ASSERT_TRUE(server.Start(path)) << server.LastError();
  const auto frame = client.Fetch({1, smt::vision::kFrameKindLive}, 2000ms);
  ASSERT_TRUE(frame.has_value()) << client.LastProblem();
  EXPECT_EQ(frame->cols, 640);
  EXPECT_EQ(frame->rows, 480);
  EXPECT_EQ(frame->channels(), 3);
  EXPECT_EQ(client.LastProblem(), "");
  // Nothing flew: a fly view is "nothing to show", not a failure.
  const auto fly = client.Fetch({1, smt::vision::kFrameKindFly}, 2000ms);
  ASSERT_TRUE(fly.has_value());
  EXPECT_TRUE(fly->empty());
  // A request out of form closes the connection; the client's next one works.
  {
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un a{};
    a.sun_family = AF_UNIX;
    std::snprintf(a.sun_path, sizeof a.sun_path, "%s", path.c_str());
    ASSERT_EQ(::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a), 0);
    auto req = smt::vision::EncodeFrameRequest({7, 0});  // camera 7 does not exist
    ASSERT_EQ(::send(fd, req.data(), req.size(), MSG_NOSIGNAL), static_cast<ssize_t>(req.size()));
    uint8_t b;
    EXPECT_EQ(::recv(fd, &b, 1, 0), 0);  // closed without a reply
    ::close(fd);
  }
  EXPECT_EQ(server.Refused(), 1u);
  EXPECT_TRUE(client.Fetch({0, smt::vision::kFrameKindLive}, 2000ms).has_value());
  server.Stop();
  EXPECT_FALSE(fs::exists(path));
}

// A frame wait the caller gives up (the cameras closing) ends at its stop,
// whatever is left of the time-out, and blames no one: the server that was
// asked is not reported as failing.
TEST(FrameSocket, AStopEndsTheWaitWithoutAProblem) {
  smt::test::TempDir dir;
  const std::string path = (dir / "cams.sock").string();
  FakeServer server(path, Fake::Silent);
  ASSERT_TRUE(server.ok());
  FrameSocketClient client(path, "Mark_Camera");
  std::stop_source stop;
  std::optional<cv::Mat> frame = cv::Mat();
  std::atomic<bool> done{false};
  std::thread asker([&] {
    frame = client.Fetch({0, smt::vision::kFrameKindLive}, 60s, stop.get_token());
    done = true;
  });
  ASSERT_TRUE(PumpUntil([&] { return server.Requests() > 0; }));
  stop.request_stop();
  // Bounded by the test's own limit, far below the asker's time-out.
  EXPECT_TRUE(PumpUntil([&] { return done.load(); }, 20s));
  asker.join();
  EXPECT_FALSE(frame.has_value());
  EXPECT_EQ(client.LastProblem(), "");
}

// The simulator renders its frames on the same loaded PC as the program: a
// frame that comes well after the asker's own wait, though within what a
// vision step waits for a frame, is still the simulated camera's frame (a
// frame given up early is lost: the next ask drops it as older than itself).
TEST(SimulatedCameraOnSocket, AFrameThatComesLateIsStillTheCamerasFrame) {
  smt::test::TempDir dir;
  const std::string path = (dir / "cams.sock").string();
  FakeServer server(path, Fake::Held);
  ASSERT_TRUE(server.ok());
  setenv("SMT_SIMULATED_CAMERAS", "1", 1);
  setenv("SMT_SIM_CAMERA_SOCKET", path.c_str(), 1);
  const auto system = DefaultCameraSystem();
  unsetenv("SMT_SIMULATED_CAMERAS");
  unsetenv("SMT_SIM_CAMERA_SOCKET");
  const auto cameras = system->Enumerate(3);
  ASSERT_EQ(cameras.size(), 1u);
  const auto& camera = cameras.front();
  camera->Play();
  cv::Mat frame;
  std::atomic<int> got{-1};
  std::thread asker([&] { got = camera->GetNextFrame(frame, 1000ms) ? 1 : 0; });
  ASSERT_TRUE(PumpUntil([&] { return server.Requests() > 0; }));
  // Later than the asker's 1000 ms, within the vision step's frame wait.
  static_assert(kSimulatorFrameTimeout >= kVisionFrameWait);
  std::this_thread::sleep_for(1500ms);
  server.Release();
  EXPECT_TRUE(PumpUntil([&] { return got.load() >= 0; }, 20s));
  asker.join();
  ASSERT_EQ(got.load(), 1);
  ASSERT_EQ(frame.cols, 4);
  EXPECT_EQ(frame.at<cv::Vec3b>(0, 0)[0], 1);
  EXPECT_EQ(server.Requests(), 1);
}

// The simulator's fly camera as a queue of pulse views, each stamped with
// its pulse's time; the first reply can be held back until Release() (a
// simulator slow to render on a loaded PC).
class FlyQueueServer {
 public:
  explicit FlyQueueServer(const std::string& path) {
    fd_ = sim_process::ListenOnUnixSocket(path, ok_);
    thread_ = std::thread([this] { Loop(); });
  }
  ~FlyQueueServer() {
    stop_ = true;
    thread_.join();
    for (auto& c : clients_) ::close(c.fd);
    ::close(fd_);
  }
  bool ok() const { return ok_; }
  void Push(uint64_t shotAtNs, const cv::Mat& view) {
    std::lock_guard lk(m_);
    views_.push_back({shotAtNs, view});
  }
  void Hold() { released_ = false; }
  void Release() { released_ = true; }
  int Requests() const { return requests_.load(); }

 private:
  struct Client {
    int fd;
    std::vector<uint8_t> in;
    int waiting = 0;
  };
  void Answer(int fd) {
    std::pair<uint64_t, cv::Mat> v;
    {
      std::lock_guard lk(m_);
      if (!views_.empty()) {
        v = views_.front();
        views_.pop_front();
      }
    }
    auto h = smt::vision::FrameHeaderOf(v.second);
    if (!v.second.empty()) h.shotAtNs = v.first;
    const auto head = smt::vision::EncodeFrameReplyHeader(h);
    (void)!::send(fd, head.data(), head.size(), MSG_NOSIGNAL);
    if (!v.second.empty()) (void)!::send(fd, v.second.data, v.second.total() * v.second.elemSize(), MSG_NOSIGNAL);
  }
  void Loop() {
    while (!stop_) {
      pollfd p{fd_, POLLIN, 0};
      if (::poll(&p, 1, 5) > 0) {
        const int c = ::accept4(fd_, nullptr, nullptr, SOCK_CLOEXEC);
        if (c >= 0) clients_.push_back({c, {}, 0});
      }
      for (auto& c : clients_) {
        uint8_t buf[64];
        const ssize_t n = ::recv(c.fd, buf, sizeof buf, MSG_DONTWAIT);
        if (n > 0) c.in.insert(c.in.end(), buf, buf + n);
        while (c.in.size() >= smt::vision::kFrameRequestSize) {
          c.in.erase(c.in.begin(), c.in.begin() + smt::vision::kFrameRequestSize);
          ++c.waiting;
          ++requests_;
        }
        for (; c.waiting > 0 && released_.load(); --c.waiting) Answer(c.fd);
      }
    }
  }
  int fd_ = -1;
  bool ok_ = false;
  std::atomic<bool> stop_{false};
  std::atomic<bool> released_{true};
  std::atomic<int> requests_{0};
  std::mutex m_;
  std::deque<std::pair<uint64_t, cv::Mat>> views_;
  std::vector<Client> clients_;
  std::thread thread_;
};

// What the fly camera sees of a part held `offMm` off the nozzle's axis.
cv::Mat FlyView(cv::Point2d offMm) {
  smt::vision::SimulatedScene scene(640, 480, 20.0);
  scene.SetBackground(20);
  scene.AddCircle(scene.Axis() + offMm, 3.0, 230);
  return scene.Render();
}

// A fly pass takes the views of its own pulses only. Views of an earlier
// pass (aborted, or with a frame missed) are still in the simulator's queue
// when the next pass switches the fly camera to trigger mode, and the
// simulator is slow: a reply comes only after a 200 ms clearing at the mode
// change would have given up on it. The pass's frame must still show its own
// part, so its centring is that part's, not the earlier one's.
struct StaleCase {
  const char* name;
  int earlierViews;        // views left from the earlier pass
  cv::Point2d earlierMm;   // where the earlier pass's part sat
  cv::Point2d ownMm;       // where this pass's part sits
};

class FlyPassViews : public ::testing::TestWithParam<StaleCase> {};

TEST_P(FlyPassViews, AreNeverOlderThanThePassTrigger) {
  const StaleCase& c = GetParam();
  smt::test::TempDir dir;
  const std::string path = (dir / "cams.sock").string();
  FlyQueueServer server(path);
  ASSERT_TRUE(server.ok());
  setenv("SMT_SIMULATED_CAMERAS", "2", 1);
  setenv("SMT_SIM_CAMERA_SOCKET", path.c_str(), 1);
  const auto system = DefaultCameraSystem();
  unsetenv("SMT_SIMULATED_CAMERAS");
  unsetenv("SMT_SIM_CAMERA_SOCKET");
  const auto cameras = system->Enumerate(3);
  ASSERT_EQ(cameras.size(), 2u);
  const auto& fly = cameras[1];
  fly->Play();
  for (int k = 0; k < c.earlierViews; ++k) server.Push(smt::vision::FrameClockNowNs(), FlyView(c.earlierMm));
  server.Hold();
  ASSERT_TRUE(fly->SetTriggerMode(smt::vision::TriggerMode::Hardware));
  // The slow simulator answers only now; then this pass's pulse comes.
  server.Release();
  server.Push(smt::vision::FrameClockNowNs(), FlyView(c.ownMm));
  cv::Mat frame;
  ASSERT_TRUE(fly->GetNextFrame(frame, kVisionFrameWait));
  double dX = 0, dY = 0;
  ASSERT_TRUE(smt::vision::RecognizePart(frame, 100, false, 20.0, 20.0, dX, dY).found);
  EXPECT_NEAR(dX, -c.ownMm.x, 0.05);
  EXPECT_NEAR(dY, -c.ownMm.y, 0.05);
  // Every earlier view was asked for and dropped; none is left to shift the
  // next pulse's frame.
  EXPECT_EQ(server.Requests(), c.earlierViews + 1);
  EXPECT_FALSE(fly->GetNextFrame(frame, 300ms));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, FlyPassViews,
    ::testing::Values(StaleCase{"OneViewLeftAnsweredLate", 1, {0.8, -0.6}, {-0.3, 0.2}},
                      StaleCase{"ThreeViewsOfAnAbortedPass", 3, {-1.2, 0.9}, {0.4, 0.5}},
                      StaleCase{"EarlierPartOnTheAxisOwnFarOff", 2, {0.0, 0.0}, {1.5, -1.1}}),
    [](const auto& info) { return std::string(info.param.name); });

struct WorldCase {
  const char* name;
  const char* text;
  const char* why;
};

class WorldFileRefusals : public ::testing::TestWithParam<WorldCase> {};

TEST_P(WorldFileRefusals, NameTheLineAndTheFault) {
  std::string why;
  EXPECT_FALSE(smt::sim::ParseWorld(GetParam().text, why).has_value());
  EXPECT_NE(why.find(GetParam().why), std::string::npos) << why;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, WorldFileRefusals,
    ::testing::Values(WorldCase{"UnknownItem", "steps 100 100 10\nspindle 1 2 3\n", "line 2 (spindle): unknown item"},
                      WorldCase{"TooFewNumbers", "head 2 4000\n", "line 1 (head): takes 3 numbers, has 2"},
                      WorldCase{"TooManyNumbers", "mark 1 2 3\n", "takes 2 numbers, has 3"},
                      WorldCase{"NotANumber", "markcamera -60x 0\n", "\"-60x\" is not a number"},
                      WorldCase{"StepsNotWhole", "markcamera -60.5 0\n", "not a whole number"},
                      WorldCase{"StepsBeyond32Bits", "visioncamera 1 3000000000 0\n", "within 32 bits"},
                      WorldCase{"NozzleNine", "head 9 0 0\n", "nozzle must be 1..8"},
                      WorldCase{"CameraThree", "visioncamera 3 0 0\n", "camera must be 1 or 2"},
                      WorldCase{"NoScale", "steps 0 100 10\n", "steps per mm of X must be above 0"},
                      WorldCase{"TinyPicture", "picture 8 8 18 20 20\n", "frame size"},
                      WorldCase{"PartWithoutSize", "feeder 10 -20 0 0 0.8\n", "part length must be above 0"}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace

// The world smt-sim reads from the demo set-up is the machine the program
// loads from it: nozzle and camera offsets, the up-looking cameras, the
// feeders' pockets and the board with its marks.
TEST_F(DemoMachine, TheSimulatorsWorldIsTheMachineTheProgramLoads) {
  CMainFrame& f = Start();
  std::string why;
  const auto world = smt::sim::ReadWorldFile((dir / smt::app::kDemoWorldName).string(), why);
  ASSERT_TRUE(world.has_value()) << why;
  const auto& g = world->geometry;
  EXPECT_EQ(g.stepsPerMmX, smt::CurrentMachine().steps.xPulsePerMm);
  EXPECT_EQ(g.stepsPerMmY, smt::CurrentMachine().steps.yPulsePerMm);
  EXPECT_EQ(g.stepsPerDegA, smt::CurrentMachine().steps.aPulsePerDeg);
  EXPECT_EQ(g.markCameraX, smt::CurrentMachine().steps.cameraOffsetX);
  EXPECT_EQ(g.markCameraY, smt::CurrentMachine().steps.cameraOffsetY);
  EXPECT_EQ(g.headOffsetX[1], smt::job::NozzleOffsetX(smt::CurrentMachine(), 2));
  EXPECT_EQ(g.headOffsetY[1], smt::job::NozzleOffsetY(smt::CurrentMachine(), 2));
  const CDialogCameraList& cameras = *f.view()->m_pCameraList;
  EXPECT_EQ(g.visionCameraX[0], cameras.m_Camera_first.CameraPulse_X);
  EXPECT_EQ(g.visionCameraY[0], cameras.m_Camera_first.CameraPulse_Y);
  EXPECT_EQ(g.visionCameraX[1], cameras.m_Camera_second.CameraPulse_X);
  EXPECT_EQ(g.visionCameraY[1], cameras.m_Camera_second.CameraPulse_Y);
  EXPECT_EQ(world->picture.pixelsPerMm[1], cameras.m_Camera_first.VisualZoom);
  EXPECT_EQ(world->picture.pixelsPerMm[2], cameras.m_Camera_second.VisualZoom);

  const auto& table = f.view()->m_pFeedList->Table();
  ASSERT_EQ(static_cast<size_t>(table.CurrentRowCount()), world->feeders.size());
  for (size_t i = 0; i < world->feeders.size(); ++i) {
    const auto row = table.CurrentRow(static_cast<int>(i));
    ASSERT_TRUE(row.has_value());
    EXPECT_DOUBLE_EQ(row->Record().x, world->feeders[i].x) << i;
    EXPECT_DOUBLE_EQ(row->Record().y, world->feeders[i].y) << i;
    EXPECT_DOUBLE_EQ(row->Record().length, world->feeders[i].length) << i;
    EXPECT_DOUBLE_EQ(row->Record().width, world->feeders[i].width) << i;
  }

  ASSERT_TRUE(f.view()->document()->OnOpenDocument(dir / smt::app::kDemoJobName));
  const auto& rec = f.view()->m_pPartList->Job().pcbs.m_Records.at(0);
  EXPECT_EQ(world->board.originX, rec.m_dOriginX);
  EXPECT_EQ(world->board.originY, rec.m_dOriginY);
  ASSERT_EQ(world->board.marks.size(), 2u);
  EXPECT_EQ(world->board.marks[0][0], rec.m_dMark1X);
  EXPECT_EQ(world->board.marks[0][1], rec.m_dMark1Y);
  EXPECT_EQ(world->board.marks[1][0], rec.m_dMark2X);
  EXPECT_EQ(world->board.marks[1][1], rec.m_dMark2Y);
  EXPECT_EQ(world->board.markDiameter, rec.m_dMarkDiameter);
  EXPECT_EQ(world->picture.pixelsPerMm[0], rec.m_dVisualZoom);
}
