#pragma once
// Qt's own texts in the window's language: the standard buttons of every
// dialog and message box (OK, Yes, No ...) and the labels of the file
// dialog come from section [CommonConfig] of the language file; Qt's own
// translations of its dialogs are loaded too when the system has them.
#include <string>

class QDialogButtonBox;
class QFileDialog;

namespace smt::platform {

// The window's language for Qt's texts; the shell calls it at start and at
// every language switch. The first call installs the watch that names the
// standard buttons of every window as it is shown.
void UseWindowLanguageForQt(const std::string& appDir, const std::string& language);
// Gives the box's standard buttons the window's words (a button whose text
// its dialog set itself keeps it).
void NameStandardButtons(QDialogButtonBox* box);
// The file dialog's labels and buttons in the window's language.
void NameFileDialog(QFileDialog* dialog);

}  // namespace smt::platform
