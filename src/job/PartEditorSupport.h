#pragma once
#include <map>
#include <string>
#include <utility>
#include <vector>
// What the part editors need of the rest of the program: the jog panel's
// press-and-hold jog, speed gear and release, its platform choice, and the
// origin of the board shown in the PCB editor. The shell installs them;
// the editors work without them (the jog pad then does nothing).
#include <functional>
#include <QString>
#include <optional>
#include <string>

class QLineEdit;
class QLayout;
class QWidget;

namespace smt {
class Machine;
}

namespace smt::job {

struct PartEditorHooks {
  std::function<void(int axis, int direction)> jog;  // axis 0 X, 1 Y, 9, 12; direction 1 plus, 0 minus
  std::function<void()> nextSpeedGear;
  std::function<void()> releaseJog;
  std::function<int()> platformSelect;  // the jog panel's m_nPlatformSelect (1 or 2)
  std::function<std::pair<double, double>()> pcbOrigin;  // the PCB editor's origin fields
};
// The hooks of a machine.
PartEditorHooks& PartEditorHooksOf(smt::Machine& machine);

// The PCB editor's origin and the jog panel's platform as `machine`'s
// hooks give them ((0, 0) and platform 1 when they are not installed).
std::pair<double, double> EditorOrigin(smt::Machine& machine);
int PlatformSelect(smt::Machine& machine);

// Reads a number box: false (with the range message, focus on the box)
// when the text is not a number within [lo, hi].
bool ReadDouble(QLineEdit* box, double lo, double hi, double& out);
bool ReadInt(QLineEdit* box, int lo, int hi, int& out);
QString NumberText(double v);

// The three-button jog pad (X+, X-, Y+, Y-, Set) of an editor, driving
// `machine` through its hooks; `lampAxes` lets the second platform be
// driven on machine type 4.
QWidget* MakeJogPad(QWidget* parent, smt::Machine& machine, bool lampAxes);

// The take-position row of the point editors: X, Y, Z from the machine and
// the Mark camera's X, Y (controls 1238, 1239, 1242, 1240, 1241).
struct TakeActions {
  std::function<void()> x, y, z, cameraX, cameraY;
};
QLayout* MakeTakeButtons(QWidget* parent, const TakeActions& actions);

// An editor's texts: with a program directory, the section of the language
// file over the built-in texts; then the title and every labelled control.
using EditorTextTable = std::vector<std::pair<std::string, std::string>>;
void LoadEditorTexts(QWidget* dialog, const std::string& appDir, const std::string& language, const char* section,
                     const EditorTextTable& defaults, const std::string& titleKey,
                     std::map<std::string, std::string>& texts, const std::map<std::string, QWidget*>& targets);

}  // namespace smt::job
