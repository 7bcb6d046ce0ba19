#pragma once
// A message the program itself builds in (a guard's refusal, a run fault, a
// motion refusal): its place in the language files and its built-in text.
// Wherever it is turned into a string it reads the window's language, so a
// constant declared once speaks the language the window has at the time it
// is shown; the built-in text stands when the file or key is missing.
#include <string>

#include "platform/RefusalTexts.h"

namespace smt::platform {

struct SystemText {
  const char* section;
  const char* key;
  const char* builtIn;

  // The text in the window's language.
  std::string Text() const { return WindowText(section, key, builtIn); }
  operator std::string() const { return Text(); }

  friend bool operator==(const std::string& shown, const SystemText& t) { return shown == t.Text(); }
  friend bool operator==(const SystemText& t, const std::string& shown) { return shown == t.Text(); }
};

// Its text followed by more (a figure, a field name).
inline std::string operator+(const SystemText& t, const std::string& more) { return t.Text() + more; }
inline std::string operator+(const std::string& before, const SystemText& t) { return before + t.Text(); }

}  // namespace smt::platform
