// The eight-head board's move-and-pick and move-and-place commands as the
// run machine encodes them from the run's records: every field at its place
// in the payload, in its width, little-endian, and no byte written that no
// field owns (a field that slid onto its neighbour shows as a wrong byte).
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <vector>

#include "LinkTestSupport.h"
#include "link/MotionGlobals.h"
#include "link/RunMachine.h"

using namespace smt::link;

namespace {

struct Field {
  const char* name;
  size_t at;
  int width;      // bytes
  int64_t value;  // as the payload must carry it
};

template <size_t N>
void ExpectLayout(const std::array<uint8_t, N>& bytes, const std::vector<Field>& fields, const char* what) {
  std::array<bool, N> owned{};
  for (const Field& f : fields) {
    SCOPED_TRACE(std::string(what) + ": " + f.name);
    ASSERT_LE(f.at + static_cast<size_t>(f.width), N);
    uint64_t v = 0;
    for (int i = 0; i < f.width; ++i) {
      EXPECT_FALSE(owned[f.at + i]) << "two fields on byte " << f.at + i;
      owned[f.at + i] = true;
      v |= static_cast<uint64_t>(bytes[f.at + i]) << (8 * i);
    }
    const uint64_t mask = f.width == 8 ? ~0ull : ((1ull << (8 * f.width)) - 1);
    EXPECT_EQ(v, static_cast<uint64_t>(f.value) & mask);
  }
  for (size_t i = 0; i < N; ++i)
    if (!owned[i]) {
      EXPECT_EQ(bytes[i], 0) << what << ": byte " << i << " belongs to no field";
    }
}

class RunMachineEncoding : public ::testing::Test {
 protected:
  void SetUp() override {
    smt::CurrentMachine().curX = 1500;
    smt::CurrentMachine().curY = -2500;
  }
  void TearDown() override {
    smt::CurrentMachine().curX = 0;
    smt::CurrentMachine().curY = 0;
  }
};

std::array<int32_t, 8> Turns() { return {11, -12, 13, -14, 15, -16, 17, -18}; }

}  // namespace

TEST_F(RunMachineEncoding, OneHeadsPickAndPlace) {
  HeadPickMove pick;
  pick.feeder = 35;  // bit 2 of its group of 32
  pick.feedKind = 11;
  pick.feedTime = 300;
  pick.feedCount = 2;
  pick.x = 9000;
  pick.y = -7000;
  pick.xSpeed = {5, 60};
  pick.turns = Turns();
  pick.turnSpeed = {7, 70};
  pick.head = 6;
  pick.depth = -4200;
  pick.zSpeed = {8, 80};
  pick.delay = 25;
  pick.vacuumDepth = 1200;
  std::vector<Field> f = {{"feeder", 0, 1, 35}, {"feed kind", 1, 1, 11},   {"feeder bit", 2, 4, 1 << 2},
                          {"feed time", 6, 2, 300}, {"spare", 8, 4, 0},   {"spare", 12, 2, 0},
                          {"feed count", 14, 1, 2}, {"from X", 15, 4, 1500}, {"dX", 19, 4, 9000 - 1500},
                          {"from Y", 23, 4, -2500}, {"dY", 27, 4, -7000 + 2500}, {"X start", 31, 4, 5},
                          {"X run", 35, 4, 60},     {"turn heads", 39, 1, 1}, {"A start", 72, 4, 7},
                          {"A run", 76, 4, 70},     {"head code", 80, 1, 0x25}, {"depth", 81, 4, -4200},
                          {"Z start", 85, 4, 8},    {"Z run", 89, 4, 80},     {"delay", 93, 2, 25},
                          {"vacuum depth", 95, 4, 1200}};
  for (size_t h = 0; h < 8; ++h) f.push_back({"turn", 40 + 4 * h, 4, Turns()[h]});
  ExpectLayout(EncodeHeadPickMove(smt::CurrentMachine(), pick), f, "pick");

  HeadPlaceMove place;
  place.x = -300;
  place.y = 400;
  place.xSpeed = {3, 30};
  place.turns = Turns();
  place.turnSpeed = {4, 40};
  place.head = 1;
  place.depth = -900;
  place.zSpeed = {6, 66};
  place.lift = 120;
  place.exhaust = 9;
  place.delay = 15;
  place.vacuum = 45;
  f = {{"from X", 0, 4, 1500}, {"dX", 4, 4, -300 - 1500}, {"from Y", 8, 4, -2500}, {"dY", 12, 4, 400 + 2500},
       {"X start", 16, 4, 3},  {"X run", 20, 4, 30},      {"turn heads", 24, 1, 1}, {"A start", 57, 4, 4},
       {"A run", 61, 4, 40},   {"head code", 65, 1, 0x20}, {"depth", 66, 4, -900},  {"Z start", 70, 4, 6},
       {"Z run", 74, 4, 66},   {"lift", 78, 4, 120},       {"exhaust", 82, 1, 9},   {"delay", 83, 2, 15},
       {"vacuum", 85, 1, 45}};
  for (size_t h = 0; h < 8; ++h) f.push_back({"turn", 25 + 4 * h, 4, Turns()[h]});
  ExpectLayout(EncodeHeadPlaceMove(smt::CurrentMachine(), place), f, "place");
}

// A cycle in one command: the slots in use, the heads' mask, the common
// speeds; slots not in use leave their bytes empty.
TEST_F(RunMachineEncoding, AWholeCyclesPicksAndPlaces) {
  HeadsPickMove pick;
  pick.count = 2;
  pick.slots[0] = {3, 17, 250, 1000, -2000, -800, 20};
  pick.slots[1] = {8, 40, 260, 1100, -2100, -810, 21};
  pick.xSpeed = {2, 22};
  pick.turns = Turns();
  pick.turnSpeed = {3, 33};
  pick.zSpeed = {4, 44};
  std::vector<Field> f = {{"heads", 0, 1, (1 << 5) | (1 << 0)}, {"from X", 49, 4, 1500}, {"from Y", 53, 4, -2500},
                          {"X start", 121, 4, 2}, {"X run", 125, 4, 22}, {"turn heads", 129, 1, 1},
                          {"A start", 162, 4, 3}, {"A run", 166, 4, 33}, {"Z start", 210, 4, 4}, {"Z run", 214, 4, 44}};
  for (size_t h = 0; h < 8; ++h) f.push_back({"turn", 130 + 4 * h, 4, Turns()[h]});
  for (size_t s = 0; s < 2; ++s) {
    const auto& slot = pick.slots[s];
    f.push_back({"kind", 1 + s, 1, 10});
    f.push_back({"feeder", 9 + s, 1, slot.feeder});
    f.push_back({"feed time", 17 + 2 * s, 2, slot.feedTime});
    f.push_back({"feed time again", 33 + 2 * s, 2, slot.feedTime});
    f.push_back({"X", 57 + 4 * s, 4, slot.x});
    f.push_back({"Y", 89 + 4 * s, 4, slot.y});
    f.push_back({"slot head code", 170 + s, 1, 0x20 + static_cast<int64_t>(s)});
    f.push_back({"depth", 178 + 4 * s, 4, slot.depth});
    f.push_back({"delay", 218 + 2 * s, 2, slot.delay});
  }
  ExpectLayout(EncodeHeadsPickMove(smt::CurrentMachine(), pick), f, "cycle pick");

  HeadsPlaceMove place;
  place.slots[0] = {true, 2, 500, 600, -700, 30, 5, 12, 40};
  place.slots[3] = {true, 7, 510, 610, -710, 31, 6, 13, 41};
  place.fromX = 777;
  place.fromY = -888;
  place.xSpeed = {1, 11};
  place.turns = Turns();
  place.turnSpeed = {2, 22};
  place.zSpeed = {3, 33};
  f = {{"slots", 0, 1, (1 << 7) | (1 << 4)}, {"from X", 1, 4, 777}, {"from Y", 5, 4, -888},
       {"X start", 73, 4, 1},  {"X run", 77, 4, 11},  {"turn heads", 81, 1, 1}, {"A start", 114, 4, 2},
       {"A run", 118, 4, 22},  {"Z start", 162, 4, 3}, {"Z run", 166, 4, 33}};
  for (size_t h = 0; h < 8; ++h) f.push_back({"turn", 82 + 4 * h, 4, Turns()[h]});
  for (size_t s : {0u, 3u}) {
    const auto& slot = place.slots[s];
    f.push_back({"X", 9 + 4 * s, 4, slot.x});
    f.push_back({"Y", 41 + 4 * s, 4, slot.y});
    f.push_back({"head code", 122 + s, 1, 0x20 + slot.head - 1});
    f.push_back({"depth", 130 + 4 * s, 4, slot.depth});
    f.push_back({"lift", 170 + 4 * s, 4, slot.lift});
    f.push_back({"exhaust", 202 + s, 1, slot.exhaust});
    f.push_back({"delay", 210 + 2 * s, 2, slot.delay});
    f.push_back({"vacuum", 226 + s, 1, slot.vacuum});
  }
  ExpectLayout(EncodeHeadsPlaceMove(smt::CurrentMachine(), place), f, "cycle place");
  // Nothing staged: an empty command.
  const auto none = EncodeHeadsPlaceMove(smt::CurrentMachine(), {});
  for (uint8_t b : none) EXPECT_EQ(b, 0);
}
