#include "link/JogPanelLayout.h"

#include <cstddef>

namespace smt::link {
namespace {

using namespace jogid;

// Visibility by machine type 0..10, one string per group ('S' shown).
struct VisibilityRow {
  const char* types;
  std::vector<int> ids;
};

const std::vector<VisibilityRow>& VisibilityRows() {
  static const std::vector<VisibilityRow> rows = {
      {"SSSSSSSSSSS", {kFeedXPlus, kFeedXMinus, kFeedYPlus, kFeedYMinus, kFeedDirection, kSMinus, kSPlus, kZPlus[0],
                       kZMinus[0], kAPlus[0], kAMinus[0], kPump[0], kHeadBox[0], kSendCount, kAckCount}},
      {"SSSSSSSSSHS", {kZPlus[1], kZMinus[1]}},
      {"HHSSSSSSSHS", {kAPlus[1], kAMinus[1]}},
      {"HSSSSSSSSSS", {kPump[1], kHeadBox[1]}},
      {"HHHSSHSSSHH", {kZPlus[2], kZMinus[2], kZPlus[3], kZMinus[3], kAPlus[2], kAMinus[2], kAPlus[3], kAMinus[3],
                       kPump[2], kPump[3], kHeadBox[2], kHeadBox[3]}},
      {"HHHHHHSHHHH", {kZPlus[4], kZMinus[4]}},
      {"HHHHSHSSSHH", {kPump[4], kHeadBox[4]}},
      {"HHHHSHHSSHH", {kPump[5], kHeadBox[5]}},
      {"HHHHHHHSSHH", {kPump[6], kPump[7], kHeadBox[6], kHeadBox[7]}},
      {"HHHHSHHSSHH", {kHeadGroup}},
      {"HHHHHHHHHHH", {kZPlus[5], kZMinus[5], kZPlus[6], kZMinus[6], kZPlus[7], kZMinus[7], kAPlus[4], kAMinus[4],
                       kAPlus[5], kAMinus[5], kAPlus[6], kAMinus[6], kAPlus[7], kAMinus[7]}},
  };
  return rows;
}

void Put(std::map<int, ControlPlace>& l, int id, ControlRect r) {
  ControlPlace& p = l[id];
  p.moved = true;
  p.rect = r;
}

// Z pads and A buttons of heads 1..n at the given columns.
void PlaceHeads(std::map<int, ControlPlace>& l, const std::vector<int>& zx, ControlRect zSize, int zPlusY,
                int zMinusY, const std::vector<int>& ax, ControlRect aSize, int aPlusY, int aMinusY) {
  for (std::size_t i = 0; i < zx.size(); ++i) {
    Put(l, kZPlus[i], {zx[i], zPlusY, zSize.w, zSize.h});
    Put(l, kZMinus[i], {zx[i], zMinusY, zSize.w, zSize.h});
  }
  for (std::size_t i = 0; i < ax.size(); ++i) {
    Put(l, kAPlus[i], {ax[i], aPlusY, aSize.w, aSize.h});
    Put(l, kAMinus[i], {ax[i], aMinusY, aSize.w, aSize.h});
  }
}

// The XY pad between the head columns. Everything else of the panel (home
// and connect buttons, feeder pad, pumps, positions, counters, information
// boxes) is arranged by the panel's layouts, which size it to its texts.
void PlaceCommon(std::map<int, ControlPlace>& l) {
  Put(l, kYPlus, {107, 72, 44, 40});
  Put(l, kXMinus, {97, 115, 30, 40});
  Put(l, kXPlus, {131, 115, 30, 40});
  Put(l, kYMinus, {107, 158, 44, 40});
}

}  // namespace

std::map<int, ControlPlace> JogPanelLayout(int type, bool conveyor) {
  std::map<int, ControlPlace> l;
  if (type >= 0 && type <= 10) {
    PlaceCommon(l);
    switch (type) {
      case 0: case 1: case 2: case 5: case 9: case 10:
        PlaceHeads(l, {25, 196}, {0, 0, 35, 60}, 9, 206, {14, 184}, {0, 0, 59, 32}, 78, 165);
        break;
      case 3:
        PlaceHeads(l, {7, 57, 165, 215}, {0, 0, 35, 60}, 9, 206, {0, 50, 160, 210}, {0, 0, 48, 30}, 80, 166);
        break;
      case 4: case 6:
        PlaceHeads(l, {0, 64, 158, 222}, {0, 0, 35, 60}, 9, 206, {0, 50, 160, 210}, {0, 0, 48, 30}, 80, 166);
        // The narrow Z5 and Z6 pads between the first and second, and the
        // third and fourth head columns.
        Put(l, kZPlus[4], {35, 14, 29, 50});
        Put(l, kZMinus[4], {35, 211, 29, 50});
        Put(l, kZPlus[5], {193, 14, 29, 50});
        Put(l, kZMinus[5], {193, 211, 29, 50});
        break;
      case 7: case 8:
        PlaceHeads(l, {7, 57, 165, 215}, {0, 0, 35, 60}, 9, 206, {0, 50, 160, 210}, {0, 0, 48, 30}, 80, 166);
        // The second bank takes the places of the first.
        for (int i = 0; i < 4; ++i) {
          Put(l, kZPlus[i + 4], l[kZPlus[i]].rect);
          Put(l, kZMinus[i + 4], l[kZMinus[i]].rect);
          Put(l, kAPlus[i + 4], l[kAPlus[i]].rect);
          Put(l, kAMinus[i + 4], l[kAMinus[i]].rect);
        }
        break;
      default: break;
    }
    for (const VisibilityRow& row : VisibilityRows())
      for (int id : row.ids) l[id].visible = row.types[type] == 'S';
    for (int id : {kReset, kXPlus, kXMinus, kYPlus, kYMinus, kConnect, kCoordinates, kPosX, kPosY, kPosZ, kPosA,
                   kStepDisplay, kShowInformation})
      l[id].visible = true;
  }
  l[kInfo2].visible = type == 7 || type == 8 || conveyor;
  return l;
}

std::vector<int> HeadBankControls(int bank) {
  std::vector<int> ids;
  const int first = bank == 2 ? 4 : 0;
  for (int i = first; i < first + 4; ++i) {
    ids.push_back(kZPlus[i]);
    ids.push_back(kZMinus[i]);
    ids.push_back(kAPlus[i]);
    ids.push_back(kAMinus[i]);
  }
  return ids;
}

std::map<int, bool> JogEnableStates(int type, bool enable, bool autoTransport) {
  std::map<int, bool> s;
  auto set = [&](std::initializer_list<int> ids, bool v) {
    for (int id : ids) s[id] = v;
  };
  auto zs = [&](int from, int to, bool v) {
    for (int i = from; i <= to; ++i) set({kZPlus[i - 1], kZMinus[i - 1]}, v);
  };
  auto as = [&](int from, int to, bool v) {
    for (int i = from; i <= to; ++i) set({kAPlus[i - 1], kAMinus[i - 1]}, v);
  };
  auto pumps = [&](int from, int to, bool v) {
    for (int i = from; i <= to; ++i) s[kPump[i - 1]] = v;
  };
  const std::initializer_list<int> pad = {kFeedXPlus, kFeedXMinus, kFeedYPlus, kFeedYMinus};
  set({kReset, kXPlus, kXMinus, kYPlus, kYMinus, kFeedDirection, kPump[0]}, enable);
  zs(1, 2, enable);
  as(1, 1, enable);
  switch (type) {
    case 0:
      // Drag feeding: no feeder pad to drive.
      set(pad, false);
      set({kFeedDirection, kHeadGroup, kSPlus, kSMinus}, false);
      break;
    case 1: case 5:
      pumps(2, 2, enable);
      as(2, 2, enable);
      set(pad, enable);
      set({kHeadGroup, kSPlus, kSMinus}, false);
      break;
    case 2: case 10:
      pumps(2, 2, enable);
      as(2, 2, enable);
      set(pad, enable);
      set({kSPlus, kSMinus}, enable);
      s[kHeadGroup] = false;
      break;
    case 3:
      pumps(2, 4, enable);
      zs(3, 4, enable);
      as(2, 4, enable);
      set(pad, enable);
      set({kHeadGroup, kSPlus, kSMinus}, false);
      break;
    case 4:
      pumps(2, 6, enable);
      zs(3, 6, enable);
      as(2, 4, enable);
      s[kHeadGroup] = enable;
      set(pad, false);
      set({kFeedDirection, kSPlus, kSMinus}, false);
      break;
    case 6:
      pumps(2, 5, enable);
      zs(3, 5, enable);
      as(2, 4, enable);
      set(pad, false);
      set({kFeedDirection, kHeadGroup, kSPlus, kSMinus}, false);
      break;
    case 7: case 8:
      pumps(2, 8, enable);
      zs(3, 8, enable);
      as(2, 8, enable);
      s[kHeadGroup] = enable;
      set(pad, false);
      set({kFeedDirection, kSPlus, kSMinus}, false);
      break;
    case 9:
      pumps(2, 2, enable);
      set(pad, false);
      set({kFeedDirection, kHeadGroup, kSPlus, kSMinus}, false);
      break;
    default: break;
  }
  if (autoTransport) {
    set(pad, false);
    set({kFeedDirection, kSPlus, kSMinus}, false);
  }
  return s;
}

const std::vector<int>& JogPanelControlIds() {
  static const std::vector<int> ids = [] {
    std::vector<int> v = {kReset, kXPlus, kXMinus, kYPlus, kYMinus, kFeedXPlus, kFeedXMinus, kFeedYPlus,
                          kFeedYMinus, kFeedDirection, kSMinus, kSPlus, kHeadGroup};
    for (int i = 0; i < 8; ++i) {
      v.push_back(kZPlus[i]);
      v.push_back(kZMinus[i]);
      v.push_back(kAPlus[i]);
      v.push_back(kAMinus[i]);
    }
    return v;
  }();
  return ids;
}

}  // namespace smt::link
