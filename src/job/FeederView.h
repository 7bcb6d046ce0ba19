#pragma once
// What the part list reads of the feeders: the rows of the feeder list
// panel (30 cells, with the images of its camera and flying-centring
// columns) and the rows of the current feeder group. The feeder subsystem
// installs the source; until then there are no feeders.
#include <functional>
#include <string>
#include <vector>

namespace smt {
class Machine;
}

namespace smt::job {

struct FeederRowView {
  std::vector<std::string> cells;  // 30 cells: 0 number, 2 package, 3 value, 8 height, 10 head, 12 camera, 13 flying
  int cameraImage = 0;             // column 12: 1 = a camera is used
  int flyImage = 0;                // column 13: 2 = "Yes", 4 = "No"
  double height = 0;               // the part's height, mm, as the feeder's record holds it (0: not read)
  const std::string& Cell(int k) const {
    static const std::string empty;
    return k >= 0 && k < static_cast<int>(cells.size()) ? cells[static_cast<size_t>(k)] : empty;
  }
  // The cells the part list takes, by name.
  const std::string& Number() const { return Cell(0); }
  const std::string& Package() const { return Cell(2); }
  const std::string& Value() const { return Cell(3); }
  const std::string& Head() const { return Cell(10); }
  const std::string& Camera() const { return Cell(12); }
  const std::string& Fly() const { return Cell(13); }
};

struct FeederSource {
  // Rows of the feeder list panel in shown order.
  std::function<std::vector<FeederRowView>()> listRows;
  // Rows of the current group of the feeder table (cells only).
  std::function<std::vector<FeederRowView>()> groupRows;
  // Opens the feeder editor on feeder `number` (the part editor's
  // "打开料架>>"); false when the current group has no such feeder.
  std::function<bool(const std::string& number)> openFeederEditor;
};

// The feeder source of a machine.
FeederSource& FeederSourceOf(smt::Machine& machine);

// The rows through the source of `machine` (none when nothing is installed).
std::vector<FeederRowView> FeederListRows(smt::Machine& machine);
std::vector<FeederRowView> FeederGroupRows(smt::Machine& machine);
// The same of the machine in use, for the list work not yet handed its machine.
std::vector<FeederRowView> FeederListRows();
std::vector<FeederRowView> FeederGroupRows();

// The feeder number of a chooser text "W3-100nF" (all of it without "-").
inline std::string FeederNumberOf(const std::string& text) { return text.substr(0, text.find('-')); }

}  // namespace smt::job
