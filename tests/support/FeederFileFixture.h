#pragma once
// A feeder file of three groups in 29 lines whose every cell holds what the
// feeder editor writes; line 5 is group A's first tray.
#include <string>
#include <vector>

namespace smt::test {

// A feeder row whose every cell holds what the feeder editor writes.
inline std::vector<std::string> GoodRow(const std::string& number) {
  return {number,   "Resistor", "0603",     "10k",    "10.0000", "-20.0000", "1.60",        "0.80",     "0.50",
          "90",     "1",        "35.0000",  "Yes/Camera 1",  "No/60/80", "集中飞达", "10",     "20",
          "5.0000", "1",        "10",       "15.0000", "20.0000", "-5.0000",  "No/复位速度", "0.5000", "01:贴片电阻",
          "1000",   "2",        "3",        "200"};
}

inline std::string Join(const std::vector<std::string>& cells) {
  std::string s;
  for (const auto& c : cells) s += c + "\t";
  return s;
}

// The feeder file of three groups in 29 lines; line 5 is group A's first
// tray, whose row pitch is `firstTrayPitch`.
inline std::vector<std::string> ThreeGroups(const std::string& firstTrayPitch = "1.0000") {
  auto tray = [](int rows, int cols, const std::string& pitch) {
    std::vector<std::string> t = {std::to_string(rows) + "\t" + std::to_string(cols) + "\t0\t0\t" + pitch + "\t2.0000\t"};
    for (int r = 0; r < rows; ++r) {
      std::string line;
      for (int c = 0; c < cols; ++c) line += "Yes/" + std::to_string(r * cols + c + 1) + "\t";
      t.push_back(line);
    }
    return t;
  };
  std::vector<std::string> l = {"3\tB\t", "A\t\t2\t", Join(GoodRow("W1")), Join(GoodRow("W2"))};
  for (const auto& t : {tray(1, 1, firstTrayPitch), tray(1, 1, "1.0000")}) l.insert(l.end(), t.begin(), t.end());
  l.insert(l.end(), {"B\t\t2\t", Join(GoodRow("W3")), Join(GoodRow("N1"))});
  for (const auto& t : {tray(1, 1, "0.0000"), tray(1, 1, "0.0000")}) l.insert(l.end(), t.begin(), t.end());
  l.insert(l.end(), {"C\tlast group\t4\t", Join(GoodRow("G1")), Join(GoodRow("G2")), Join(GoodRow("E1")),
                     Join(GoodRow("S1"))});
  for (const auto& t : {tray(1, 1, "3.5000"), tray(2, 2, "4.0000"), tray(1, 3, "5.0000"), tray(1, 1, "6.0000")})
    l.insert(l.end(), t.begin(), t.end());
  return l;
}

}  // namespace smt::test
