#include "platform/ReadRefusals.h"

#include <mutex>
#include <set>
#include <tuple>

#include "platform/GuiDispatcher.h"
#include "platform/Hooks.h"
#include "platform/MessageService.h"

namespace smt::platform {

namespace {
std::mutex g_m;
std::set<std::tuple<std::string, std::string, std::string>> g_told;
std::vector<ReadRefusal> g_all;
std::vector<std::string> g_pending;  // texts waiting for the box
}  // namespace

std::string DescribeReadRefusal(const ReadRefusal& r) {
  std::string zh = "文件 \"" + r.file + "\" " + r.where + ": \"" + r.text + "\" 不可用";
  std::string en = "File \"" + r.file + "\", " + r.where + ": \"" + r.text + "\" is not " + r.need;
  if (!r.used.empty()) {
    zh += ", 使用 " + r.used;
    en += "; " + r.used + " is used (the file is left as it is)";
  }
  return zh + "\r\n" + en + ".";
}

bool ReportReadRefusal(const ReadRefusal& r) {
  const std::string text = DescribeReadRefusal(r);
  bool post = false;
  {
    std::lock_guard lk(g_m);
    if (!g_told.insert({r.file, r.where, r.text}).second) return false;
    g_all.push_back(r);
    post = g_pending.empty();
    g_pending.push_back(text);
  }
  std::string line = text;
  for (auto& c : line)
    if (c == '\r' || c == '\n') c = ' ';
  HookLog("value refused: " + line);
  if (post) {
    PostToGui([] {
      std::vector<std::string> texts;
      {
        std::lock_guard lk(g_m);
        texts.swap(g_pending);
      }
      if (texts.empty()) return;
      std::string all = "以下设置值不可用，已使用默认值：\r\nThese values could not be read; the program uses the values named:";
      for (const auto& t : texts) all += "\r\n\r\n" + t;
      ShowMessage(all);
    });
  }
  return true;
}

std::vector<ReadRefusal> ReadRefusalsSoFar() {
  std::lock_guard lk(g_m);
  return g_all;
}

uint64_t ReadRefusalCount() {
  std::lock_guard lk(g_m);
  return g_all.size();
}

void ForgetReadRefusals() {
  std::lock_guard lk(g_m);
  g_told.clear();
  g_all.clear();
  g_pending.clear();
}

}  // namespace smt::platform
