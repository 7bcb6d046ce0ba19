#include "platform/ReadRefusals.h"

#include <mutex>
#include <set>
#include <tuple>

#include "platform/GuiDispatcher.h"
#include "platform/Hooks.h"
#include "platform/MessageService.h"

namespace smt::platform {

namespace {
struct Refusals {
  std::mutex m;
  std::set<std::tuple<std::string, std::string, std::string>> told;
  std::vector<ReadRefusal> all;
  std::vector<std::string> pending;  // texts waiting for the box
} g_refusals;
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
    std::lock_guard lk(g_refusals.m);
    if (!g_refusals.told.insert({r.file, r.where, r.text}).second) return false;
    g_refusals.all.push_back(r);
    post = g_refusals.pending.empty();
    g_refusals.pending.push_back(text);
  }
  std::string line = text;
  for (auto& c : line)
    if (c == '\r' || c == '\n') c = ' ';
  HookLog("value refused: " + line);
  if (post) {
    PostToGui([] {
      std::vector<std::string> texts;
      {
        std::lock_guard lk(g_refusals.m);
        texts.swap(g_refusals.pending);
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
  std::lock_guard lk(g_refusals.m);
  return g_refusals.all;
}

uint64_t ReadRefusalCount() {
  std::lock_guard lk(g_refusals.m);
  return g_refusals.all.size();
}

void ForgetReadRefusals() {
  std::lock_guard lk(g_refusals.m);
  g_refusals.told.clear();
  g_refusals.all.clear();
  g_refusals.pending.clear();
}

}  // namespace smt::platform
