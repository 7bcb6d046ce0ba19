// Every text of the three language files, and the messages built from them
// that the program shows through its message service, in each language: no
// English or German text is empty or still Chinese, no message of the
// Chinese file is English, and the refusals, the lost link and the stopped
// run speak the window's language.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <set>
#include <sstream>

#include "support/TempDir.h"
#include "link/LinkTexts.h"
#include "platform/RefusalTexts.h"
#include "run/StrategySettings.h"

namespace {

namespace fs = std::filesystem;
using Texts = std::map<std::pair<std::string, std::string>, std::string>;

const char* const kLanguages[] = {"Chinese", "English", "German"};

bool HasChinese(const std::string& s) {
  // Ideographs and Chinese punctuation in UTF-8: lead bytes 0xE3 (U+3000..)
  // to 0xE9 (..U+9FFF), excluding the general punctuation block (0xE2).
  static const std::regex cjk("[\xE3-\xE9][\x80-\xBF][\x80-\xBF]");
  return std::regex_search(s, cjk);
}

// Every language fragment of the source tree, put together as the build does.
std::string Merged(const std::string& language) {
  std::vector<fs::path> parts;
  for (const auto& e : fs::directory_iterator(fs::path(SMT_SOURCE_DIR) / "resources" / "lang"))
    if (fs::exists(e.path() / (language + ".ini"))) parts.push_back(e.path() / (language + ".ini"));
  std::sort(parts.begin(), parts.end());
  std::string all;
  for (const auto& p : parts) {
    std::ifstream in(p, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    all += ss.str();
    if (!all.empty() && all.back() != '\n') all += '\n';
  }
  return all;
}

Texts Parse(const std::string& file) {
  Texts t;
  std::istringstream in(file);
  std::string line, section;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty() || line[0] == ';') continue;
    if (line[0] == '[') {
      section = line.substr(1, line.find(']') - 1);
      continue;
    }
    const auto eq = line.find('=');
    if (eq != std::string::npos) t[{section, line.substr(0, eq)}] = line.substr(eq + 1);
  }
  return t;
}

class MessageLanguageWalk : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const char* l : kLanguages) {
      files[l] = Parse(Merged(l));
      dir.Write(std::string(l) + ".ini", Merged(l));
    }
  }
  void TearDown() override { smt::platform::SetRefusalLanguage(".", "Chinese"); }

  smt::test::TempDir dir;
  std::map<std::string, Texts> files;
};

// Every key any language has is in English and German with a text of its
// own language; the Chinese file's messages are Chinese (its missing keys
// fall back to the built-in Chinese texts).
TEST_F(MessageLanguageWalk, EveryTextOfTheLanguageFilesIsInItsLanguage) {
  std::set<std::pair<std::string, std::string>> keys;
  for (const auto& [l, t] : files)
    for (const auto& [k, v] : t) keys.insert(k);
  ASSERT_GT(keys.size(), 1000u) << "the language files were not found";
  std::string faults;
  for (const auto& k : keys) {
    const std::string where = "[" + k.first + "] " + k.second;
    for (const char* l : {"English", "German"}) {
      const auto it = files[l].find(k);
      if (it == files[l].end()) faults += std::string(l) + ": " + where + " is missing\n";
      else if (it->second.find_first_not_of(' ') == std::string::npos) faults += std::string(l) + ": " + where + " is empty\n";
      else if (HasChinese(it->second)) faults += std::string(l) + ": " + where + " is Chinese: " + it->second + "\n";
    }
    const auto zh = files["Chinese"].find(k);
    if (zh != files["Chinese"].end() && k.second.find("Message") != std::string::npos && !HasChinese(zh->second))
      faults += "Chinese: " + where + " is not Chinese: " + zh->second + "\n";
  }
  EXPECT_EQ(faults, "");
}

// The messages the link, the run and the strategy build from their parts,
// in each language: whole sentences of that language, with their figures.
TEST_F(MessageLanguageWalk, BuiltMessagesSpeakTheWindowsLanguage) {
  const std::map<std::string, std::vector<std::string>> words = {
      {"Chinese", {"连接已断开", "已被关闭", "不能用于机器类型", "抛料位置"}},
      {"English", {"The link to the machine is lost: connect again.", "COM port /dev/ttyS0 was closed !",
                   "is not allowed on machine type 2", "Run stopped: 3 part(s) thrown at the throw position."}},
      {"German", {"Verbindung zur Maschine ist unterbrochen", "COM-Port /dev/ttyS0 wurde geschlossen !",
                  "ist auf Maschinentyp 2 nicht erlaubt", "Lauf angehalten: 3 Bauteil(e)"}}};
  for (const char* l : kLanguages) {
    SCOPED_TRACE(l);
    smt::platform::SetRefusalLanguage(dir.str(), l);
    smt::link::LinkTexts t;
    t.Load(dir.str(), l);
    const std::string lost = smt::platform::FillText(t.portClosed, {smt::platform::FillText(t.serialName, {"/dev/ttyS0"})}) +
                             "\r\n" + t.lostConnectAgain;
    // Run mode 10 belongs to the dispensing machine (type 4), not to type 2.
    const std::string refused = smt::run::MachineTypeRefusal(10, 0, 2);
    const std::string stopped = smt::platform::FillText(
        smt::platform::WindowText("SmtStrategyConfig", "SmtStrategy.c_StopThrown", "?"), {"3"});
    const std::string all = lost + "\n" + refused + "\n" + stopped;
    for (const std::string& w : words.at(l)) EXPECT_NE(all.find(w), std::string::npos) << w << " in\n" << all;
    if (std::string(l) != "Chinese") {
      EXPECT_FALSE(HasChinese(all)) << all;
    } else {
      EXPECT_EQ(all.find("Run mode"), std::string::npos) << "a Chinese window's refusal has no English line: " << all;
    }
    for (const std::string* s : {&t.portGone, &t.portFailed, &t.portNotWatched, &t.netPortClosed, &t.netFailed,
                                 &t.sendFailed, &t.sendLinkDown, &t.replyTimeoutCode})
      EXPECT_NE(s->find("%1"), std::string::npos) << *s;
  }
}

}  // namespace
