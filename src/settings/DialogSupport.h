#pragma once
// Small helpers shared by the settings dialogs: number fields that check
// their text and range, the framework-like range message, and the machine
// guards of operations that move the machine.
#include <QLineEdit>
#include <QString>
#include <optional>
#include <string>

namespace smt {
class Machine;
}

namespace smt::settings {

// Shows a number in general format with up to 15 significant digits (2.5, not 2.5000).
QString NumberText(double v);
// Reads an edit as a number in [min, max] (no range when min > max). On
// failure shows the range message, focuses the edit and returns nullopt.
std::optional<double> TakeNumber(QLineEdit* edit, double min, double max, bool integer);
// The guards of `machine` in their order: connected, homed, not running.
// Shows the first failing message and returns false.
bool CheckMachineReady(const smt::Machine& machine);

}  // namespace smt::settings
