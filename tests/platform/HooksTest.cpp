#include "platform/Hooks.h"

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <memory>

#include "platform/HookInterface.h"
#include "platform/MessageService.h"
#include "platform/Port.h"

using namespace smt::platform;

namespace {

struct Services {
  Hook<int(int)> twice{"Services.twice"};
  Hook<void()> poke{"Services.poke"};
};

// A panel interface and two implementations.
class Panel {
 public:
  virtual ~Panel() = default;
  virtual int Show(int v) = 0;
};
class Doubling : public Panel {
 public:
  int Show(int v) override { return 2 * v; }
};
class Negating : public Panel {
 public:
  int Show(int v) override { return -v; }
};

class HooksTest : public ::testing::Test {
 protected:
  void SetUp() override {
    SetAbortOnUnwiredCall(false);
    SetHookLog([this](const std::string& l) { log.push_back(l); });
    HookRegistry::Instance().Clear();
  }
  void TearDown() override {
    SetHookLog(nullptr);
    HookRegistry::Instance().Clear();
  }
  std::vector<std::string> log;
  ScopedRecordingMessages messages;
};

}  // namespace

TEST_F(HooksTest, AnUnconnectedHookThrowsWithItsNameAndIsLogged) {
  Services s;
  EXPECT_FALSE(s.twice);
  try {
    s.twice(2);
    FAIL() << "no failure";
  } catch (const UnwiredHook& e) {
    EXPECT_EQ(e.hook(), "Services.twice");
  }
  ASSERT_EQ(log.size(), 1u);
  EXPECT_EQ(log[0], "Hook not connected: Services.twice");
  s.twice = [](int v) { return 2 * v; };
  EXPECT_EQ(s.twice(21), 42);
}

TEST_F(HooksTest, AssignmentKeepsTheHooksOwnNameAndResetEmptiesIt) {
  Services a, b;
  a.twice = [](int v) { return v; };
  b = a;
  EXPECT_TRUE(b.twice);
  EXPECT_STREQ(b.twice.name(), "Services.twice");
  b = Services{};
  EXPECT_FALSE(b.twice);
  a.twice = nullptr;
  EXPECT_FALSE(a.twice);
}

TEST_F(HooksTest, GuardActionEndsTheActionAndNamesTheHook) {
  Services s;
  bool after = false;
  EXPECT_FALSE(GuardAction("test action", [&] {
    s.poke();
    after = true;
  }));
  EXPECT_FALSE(after);
  ASSERT_EQ(messages.service.Texts().size(), 1u);
  EXPECT_NE(messages.service.Texts()[0].find("Services.poke"), std::string::npos);
  EXPECT_EQ(log.back(), "test action ended: hook not connected: Services.poke");
}

TEST_F(HooksTest, RegistryListsWhatTheMachineTypeNeedsAndRefusesTheActionsItBlocks) {
  Services s;
  HookRegistry::Instance().Declare({"Services.twice", Types({2, 3}), "", {"Start"}, [&] { return s.twice.connected(); }});
  HookRegistry::Instance().Declare({"Services.poke", kOptional, "tests only", {}, [&] { return s.poke.connected(); }});
  struct Case {
    int type;
    std::vector<std::string> missing;
  };
  for (const Case& c : {Case{0, {}}, Case{2, {"Services.twice"}}, Case{3, {"Services.twice"}}, Case{10, {}}}) {
    EXPECT_EQ(HookRegistry::Instance().Missing(c.type), c.missing) << c.type;
    EXPECT_EQ(RequireHooks("Start", c.type), c.missing.empty()) << c.type;
  }
  EXPECT_EQ(HookRegistry::Instance().Unconnected(), (std::vector<std::string>{"Services.twice", "Services.poke"}));
  ASSERT_EQ(messages.service.Texts().size(), 2u);
  EXPECT_NE(messages.service.Texts()[0].find("Start"), std::string::npos);
  EXPECT_NE(messages.service.Texts()[0].find("Services.twice"), std::string::npos);
  EXPECT_TRUE(RequireHooks("Other", 2));
  s.twice = [](int v) { return v; };
  EXPECT_TRUE(HookRegistry::Instance().Missing(2).empty());
  EXPECT_EQ(HookRegistry::Instance().Report(2, "test"), std::vector<std::string>{});
}

// A port used while nothing is connected fails as an unconnected hook does
// (named, logged, the action ended); once connected, the connected object
// answers, and the last connection wins, whether owned or not.
TEST_F(HooksTest, APortNamesItselfWhenUnconnectedAndUsesWhatIsConnected) {
  Port<Panel> port("Panel.port");
  EXPECT_FALSE(port.connected());
  EXPECT_EQ(port.get(), nullptr);
  bool after = false;
  EXPECT_FALSE(GuardAction("show", [&] {
    port->Show(1);
    after = true;
  }));
  EXPECT_FALSE(after);
  ASSERT_EQ(messages.service.Texts().size(), 1u);
  EXPECT_EQ(messages.service.Texts()[0], UnwiredMessage("Panel.port"));
  EXPECT_EQ(log.front(), "Hook not connected: Panel.port");

  Doubling doubling;
  port.Connect(&doubling);
  EXPECT_TRUE(port.connected());
  EXPECT_EQ(port->Show(21), 42);
  auto negating = std::make_shared<Negating>();
  port.Own(negating);
  std::weak_ptr<Negating> kept = negating;
  negating.reset();
  ASSERT_FALSE(kept.expired());  // the port keeps what it owns
  EXPECT_EQ(port->Show(21), -21);
  port.Disconnect();
  EXPECT_FALSE(port.connected());
  EXPECT_THROW(port->Show(1), UnwiredHook);
}

namespace {

// An interface at a boundary and an implementation that counts.
class Shown {
 public:
  virtual ~Shown() = default;
  virtual int Show(int v) = 0;
};

class CountingShown : public Shown {
 public:
  explicit CountingShown(std::atomic<int>* alive = nullptr) : alive_(alive) {
    if (alive_) ++*alive_;
  }
  ~CountingShown() override {
    if (alive_) --*alive_;
  }
  int Show(int v) override {
    ++calls;
    if (during) during();
    return v + 1;
  }
  int calls = 0;
  std::function<void()> during;

 private:
  std::atomic<int>* alive_;
};

struct Boundaries {
  HookInterface<Shown> shown{"Boundaries.shown"};
};

}  // namespace

TEST_F(HooksTest, AnUnconnectedInterfaceRefusesTheCallWithItsNameLikeAHook) {
  Boundaries b;
  EXPECT_FALSE(b.shown);
  EXPECT_EQ(b.shown.Get(), nullptr);
  try {
    b.shown->Show(1);
    FAIL() << "no failure";
  } catch (const UnwiredHook& e) {
    EXPECT_EQ(e.hook(), "Boundaries.shown");
  }
  ASSERT_EQ(log.size(), 1u);
  EXPECT_EQ(log[0], "Hook not connected: Boundaries.shown");
  EXPECT_FALSE(GuardAction("click", [&] { b.shown->Show(2); }));
  ASSERT_EQ(messages.service.Texts().size(), 1u);
  EXPECT_EQ(messages.service.Texts()[0], UnwiredMessage("Boundaries.shown"));

  auto impl = std::make_shared<CountingShown>();
  b.shown.Connect(impl);
  EXPECT_TRUE(b.shown.connected());
  EXPECT_EQ(b.shown->Show(41), 42);
  EXPECT_EQ(impl->calls, 1);
}

TEST_F(HooksTest, AnInterfaceKeepsItsNameWhenAssignedAndNullDisconnectsIt) {
  Boundaries a, b;
  auto impl = std::make_shared<CountingShown>();
  a.shown.Connect(impl);
  b = a;
  EXPECT_STREQ(b.shown.name(), "Boundaries.shown");
  EXPECT_EQ(b.shown.Get(), impl);
  Boundaries copy(a);
  EXPECT_EQ(copy.shown.Get(), impl);
  b.shown = nullptr;
  EXPECT_FALSE(b.shown);
  EXPECT_TRUE(a.shown);  // the others keep theirs
  a = Boundaries{};
  EXPECT_FALSE(a.shown);
  EXPECT_STREQ(a.shown.name(), "Boundaries.shown");
}

TEST_F(HooksTest, AnInterfaceReplacedDuringACallLivesUntilTheCallReturns) {
  std::atomic<int> alive{0};
  Boundaries b;
  {
    auto first = std::make_shared<CountingShown>(&alive);
    // The shell connects another object while the first is in a call.
    first->during = [&] {
      b.shown.Connect(std::make_shared<CountingShown>(&alive));
      EXPECT_EQ(alive.load(), 2);  // the first is still there
    };
    b.shown.Connect(first);
  }
  EXPECT_EQ(b.shown->Show(1), 2);
  EXPECT_EQ(alive.load(), 1);  // only the new one is left
  b.shown.Disconnect();
  EXPECT_EQ(alive.load(), 0);
}
