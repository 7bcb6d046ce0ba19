#pragma once
// The main view's twenty operator messages ("SMTView.c_Message_01".."20"),
// loaded once at start-up in the start-up language.
#include <array>
#include <string>

namespace smt::app {

struct ViewMessages {
  std::array<std::string, 21> text;  // 1..20 used
  std::string cameraName1 = "Camera 1";
  std::string cameraName2 = "Camera 2";

  const std::string& operator[](int k) const { return text.at(static_cast<size_t>(k)); }
};

// The built-in Chinese text of message k (1..20).
const char* DefaultViewMessage(int k);

ViewMessages LoadViewMessages(const std::string& appDir, const std::string& language);

}  // namespace smt::app
