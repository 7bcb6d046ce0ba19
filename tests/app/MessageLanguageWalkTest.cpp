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

#include <QAction>
#include <QDialogButtonBox>
#include <QMessageBox>
#include <QPushButton>

#include "ShellFixture.h"
#include "app/CommandIds.h"
#include "job/RunTally.h"
#include "settings/DialogSupport.h"
#include "support/TempDir.h"
#include "link/LinkTexts.h"
#include "platform/RefusalTexts.h"
#include "run/StrategySettings.h"
#include "link/MachineGuards.h"
#include "link/MotionCommands.h"
#include "run/FeederPickTarget.h"
#include "vision/TemplateOrigin.h"
#include "job/RunControl.h"
#include "platform/SystemText.h"

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

// Every source file of the program below the shell and the platform.
std::vector<fs::path> SourceFiles() {
  std::vector<fs::path> out;
  for (const auto& e : fs::recursive_directory_iterator(fs::path(SMT_SOURCE_DIR) / "src"))
    if (e.path().extension() == ".cpp" || e.path().extension() == ".h") out.push_back(e.path());
  std::sort(out.begin(), out.end());
  return out;
}

std::string ReadAll(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

// Every text the code reads by section and key (the window's texts and the
// common ones) is in the three files, each in its own language: nothing the
// code shows falls back to the built-in Chinese text in another window.
TEST_F(MessageLanguageWalk, EveryTextTheCodeReadsIsInTheThreeFiles) {
  static const std::regex windowText(R"re(WindowText\(\s*"(\w+)",\s*"([\w.]+)")re");
  static const std::regex commonText(R"re(CommonText\(\s*"([\w.]+)")re");
  // The program's built-in messages: SystemText kName{"Section", "Key", ...}.
  static const std::regex systemText(R"re(SystemText\s+\w+\{\s*"(\w+)",\s*"([\w.]+)")re");
  std::set<std::pair<std::string, std::string>> used;
  for (const fs::path& p : SourceFiles()) {
    const std::string src = ReadAll(p);
    for (std::sregex_iterator it(src.begin(), src.end(), windowText), end; it != end; ++it)
      used.insert({(*it)[1], (*it)[2]});
    for (std::sregex_iterator it(src.begin(), src.end(), commonText), end; it != end; ++it)
      used.insert({"CommonConfig", (*it)[1]});
    for (std::sregex_iterator it(src.begin(), src.end(), systemText), end; it != end; ++it)
      used.insert({(*it)[1], (*it)[2]});
  }
  ASSERT_GT(used.size(), 80u) << "the sources were not found";
  std::string faults;
  for (const auto& k : used) {
    const std::string where = "[" + k.first + "] " + k.second;
    for (const char* l : kLanguages) {
      const auto it = files[l].find(k);
      if (it == files[l].end()) {
        faults += std::string(l) + ": " + where + " is missing\n";
        continue;
      }
      if (it->second.find_first_not_of(' ') == std::string::npos) faults += std::string(l) + ": " + where + " is empty\n";
      if (std::string(l) != "Chinese" && HasChinese(it->second)) faults += std::string(l) + ": " + where + " is Chinese\n";
    }
  }
  EXPECT_EQ(faults, "");
}

// No message, information line or refusal is written into the code as a
// text: each comes from the language files.
TEST_F(MessageLanguageWalk, NoMessageIsWrittenIntoTheCode) {
  static const std::regex literal(R"re((ShowMessage|InfoLine2?|AppendInfoLine2?)\(\s*(std::string\()?"[^"]*[A-Za-z\x80-\xFF])re");
  std::string faults;
  for (const fs::path& p : SourceFiles()) {
    if (p.parent_path().filename() == "platform") continue;
    const std::string src = ReadAll(p);
    for (std::sregex_iterator it(src.begin(), src.end(), literal), end; it != end; ++it) {
      const auto line = 1 + std::count(src.begin(), src.begin() + it->position(), '\n');
      faults += fs::relative(p, SMT_SOURCE_DIR).string() + ":" + std::to_string(line) + ": " + it->str() + "\n";
    }
  }
  EXPECT_EQ(faults, "");
}

// No message is kept in the code as a named text either: a constant whose
// text reads as a message (Chinese, or closing with "!" or "?", or naming an
// error, a time-out or a thing not found) is a SystemText, which reads the
// window's language where it is shown.
TEST_F(MessageLanguageWalk, NoMessageIsANamedTextInTheCode) {
  static const std::regex named(
      R"re((?:constexpr|static inline|static const|inline const)\s+(?:const\s+)?char\s*(?:const\s*)?\*?\s*(?:const\s+)?(\w+)(?:\[\])?\s*=\s*"((?:[^"\\]|\\.)*)")re");
  static const std::regex message(R"re((!|！|\?)\s*$|\b([Ee]rror|No Find|no find|time out|is busy)\b)re");
  // Texts that are no message or are read by key: log lines, the
  // missing-setting marker, stored cell values (their shown names come from
  // the files), the import dialog's file-type filters.
  static const std::set<std::string> notShown = {
      "kVisualTimesOut", "kVisualError", "kMissingSetting", "kPlatform1", "kPlatform2", "kTxtFilter", "kPikFilter",
      "kCsvFilter", "kMntFilter", "kPosFilter", "kPkpFilter", "k318Filter", "kTxtQt", "kPikQt", "kCsvQt", "kMntQt",
      "kPosQt", "kPkpQt", "k318Qt", "kTooManyFields",
      // the window title and a punctuation mark
      "kTitleChinese", "kFullStop",
      // built-in defaults of texts read by their keys
      "kNoCameraText", "kMarkSizeText", "kNoFrameText", "kMarkFailedText", "kMarkToleranceText", "kRunNotAvailable",
      "kRepairVacuumQuestion", "kRepairVisionQuestion"};
  std::string faults;
  for (const fs::path& p : SourceFiles()) {
    const std::string src = ReadAll(p);
    for (std::sregex_iterator it(src.begin(), src.end(), named), end; it != end; ++it) {
      const std::string name = (*it)[1], text = (*it)[2];
      if (notShown.count(name) || !(HasChinese(text) || std::regex_search(text, message))) continue;
      const auto line = 1 + std::count(src.begin(), src.begin() + it->position(), '\n');
      faults += fs::relative(p, SMT_SOURCE_DIR).string() + ":" + std::to_string(line) + ": " + name + " = \"" + text + "\"\n";
    }
  }
  EXPECT_EQ(faults, "");
}

// The built-in messages in each language: each read from its file, in that
// language (not the built-in text of another language).
TEST_F(MessageLanguageWalk, BuiltInMessagesSpeakTheWindowsLanguage) {
  const smt::platform::SystemText samples[] = {smt::link::kNotConnected, smt::link::kNotReset, smt::link::kRunning,
                                               smt::link::kXPosError, smt::run::kFeedIndexNoFind,
                                               smt::vision::kTemplateFailed, smt::job::kSmtThreadBusy};
  for (const char* l : kLanguages) {
    SCOPED_TRACE(l);
    smt::platform::SetRefusalLanguage(dir.str(), l);
    for (const auto& t : samples) {
      const std::string shown = t;
      const std::pair<std::string, std::string> where{t.section, t.key};
      EXPECT_EQ(shown, files[l][where]) << t.key;
      EXPECT_EQ(HasChinese(shown), std::string(l) == "Chinese") << shown;
    }
  }
}

// The messages the real shell shows, as its message service sees them, in
// each window language: each in the window's language and not empty; and
// the standard buttons of a question speak it too.
class ShellMessageWalk : public ShellTest {
 protected:
  void SetUp() override {
    ShellTest::SetUp();
    ASSERT_EQ(PrepareAsScriptsRun(), "");
    for (const char* l : {"English", "German"}) {
      Texts t = Parse(Merged(l));
      for (auto& [k, v] : t) byLanguage[l].insert(v);
    }
  }

  // Why `text` is not a text of a `language` window ("" when it is).
  std::string Foreign(const std::string& language, const std::string& text) {
    if (text.find_first_not_of(" \r\n") == std::string::npos) return "empty";
    if (language == "Chinese") return HasChinese(text) ? "" : "not Chinese";
    if (HasChinese(text)) return "Chinese";
    // A whole text of the other language's file that this one does not share.
    const std::string other = language == "English" ? "German" : "English";
    for (const std::string& line : Lines(text))
      if (line.size() > 8 && byLanguage[other].count(line) && !byLanguage[language].count(line)) return other;
    return "";
  }

  static std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> out;
    std::string line;
    std::istringstream in(text);
    while (std::getline(in, line)) {
      if (!line.empty() && line.back() == '\r') line.pop_back();
      out.push_back(line);
    }
    return out;
  }

  std::map<std::string, std::set<std::string>> byLanguage;
};

TEST_F(ShellMessageWalk, EveryMessageSpeaksTheWindowsLanguage) {
  CMainFrame& f = Start();
  const std::pair<const char*, int> languages[] = {{"Chinese", smt::app::cmd::kLanguageChinese},
                                                   {"English", smt::app::cmd::kLanguageEnglish},
                                                   {"German", smt::app::cmd::kLanguageGerman}};
  const std::map<std::string, std::vector<std::string>> buttons = {
      {"Chinese", {"是", "否", "取消"}}, {"English", {"Yes", "No", "Cancel"}}, {"German", {"Ja", "Nein", "Abbrechen"}}};
  std::string faults;
  for (const auto& [language, command] : languages) {
    SCOPED_TRACE(language);
    f.Action(command)->trigger();
    messages.service.Clear();
    // A command this machine type does not have.
    smt::CurrentMachine().machineType = 2;
    f.Action(smt::app::cmd::kLampMachineSet)->trigger();
    // The guards of the settings dialogs: not connected, not homed, running.
    smt::Machine& m = smt::CurrentMachine();
    m.connected = false;
    smt::settings::CheckMachineReady(m);
    m.connected = true;
    m.resetDone = false;
    smt::settings::CheckMachineReady(m);
    m.resetDone = true;
    m.machineBusy = true;
    smt::settings::CheckMachineReady(m);
    m.machineBusy = false;
    m.connected = false;
    // The link's own guard, a built-in message of the code.
    smt::link::CheckMachineGuards(m);
    // The question at close, answered with Cancel.
    f.hasUnsavedChanges = [] { return true; };
    f.saveProject = [] { return true; };
    messages.service.QueueAnswer(smt::platform::MsgAnswer::Cancel);
    EXPECT_FALSE(f.OnClose());
    // The end line of a stopped run.
    smt::job::RunCounts c{4, 1, 1, 2, false, false, true};
    smt::platform::ShowMessage(smt::job::RunEndText(c, smt::job::RunEndWords::Load(dir.str(), language)));
    const std::vector<std::string> said = messages.service.Texts();
    EXPECT_EQ(said.size(), 7u);
    for (const std::string& t : said)
      if (const std::string why = Foreign(language, t); !why.empty())
        faults += std::string(language) + " window, " + why + ": " + t + "\n";
    // A question's standard buttons, as the window shows them.
    QMessageBox box(QMessageBox::Question, "SMT", "?", QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
    box.show();
    QStringList shown;
    for (QAbstractButton* b : box.buttons()) shown << b->text().remove('&');
    box.hide();
    for (const std::string& w : buttons.at(language))
      EXPECT_TRUE(shown.contains(QString::fromStdString(w))) << w << " among " << shown.join(", ").toStdString();
  }
  EXPECT_EQ(faults, "");
}

}  // namespace
