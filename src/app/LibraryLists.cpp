#include "app/LibraryLists.h"

#include <ctime>
#include <system_error>
#include <utility>

#include "core/LogFile.h"
#include "platform/ListFile.h"

namespace smt::app {

using platform::ListFileContent;

const std::array<ListFileInfo, kListFileCount>& ListFiles() {
  static const std::array<ListFileInfo, kListFileCount> files = {{
      {ListFileId::Feed, "config_feed.fig", false},
      {ListFileId::Strip, "config_strip.fig", false},
      {ListFileId::Speed, "config_speed.fig", true},
      {ListFileId::Camera, "config_camera.fig", false},
      {ListFileId::Nozzle, "config_nozzle.fig", false},
      {ListFileId::Pack, "config_pack.fig", false},
      {ListFileId::Mark, "config_mark.fig", false},
      {ListFileId::DropDown, "config_dropdown.fig", false},
  }};
  return files;
}

std::vector<std::string>& LibraryLists::Rows(ListFileId id) {
  return const_cast<std::vector<std::string>&>(std::as_const(*this).Rows(id));
}

const std::vector<std::string>& LibraryLists::Rows(ListFileId id) const {
  switch (id) {
    case ListFileId::Feed: return feedLines;
    case ListFileId::Strip: return stripRows;
    case ListFileId::Speed: return speedRows;
    case ListFileId::Camera: return cameraRows;
    case ListFileId::Nozzle: return nozzleRows;
    case ListFileId::Pack: return packRows;
    case ListFileId::Mark: return markRows;
    case ListFileId::DropDown: return dropDownLists;
  }
  return feedLines;
}

namespace {

std::string TimeStamp() {
  std::time_t t = std::time(nullptr);
  std::tm tm{};
  localtime_r(&t, &tm);
  char buf[32];
  std::strftime(buf, sizeof buf, "%Y%m%d-%H%M%S", &tm);
  return buf;
}

}  // namespace

std::vector<ListLoadProblem> LoadLibraryLists(const std::filesystem::path& appDir, LibraryLists& lists) {
  std::vector<ListLoadProblem> problems;
  for (const ListFileInfo& info : ListFiles()) {
    std::filesystem::path path = appDir / info.name;
    lists.Rows(info.id).clear();
    lists.fromDamagedFile[static_cast<size_t>(info.id)] = false;
    if (info.hasLeading) lists.speedUsageLine.clear();
    std::error_code ec;
    if (!std::filesystem::exists(path, ec)) {
      problems.push_back({info.name, "the file is missing", ""});
      continue;
    }
    try {
      ListFileContent c = platform::ReadListFile(path, info.hasLeading);
      lists.Rows(info.id) = std::move(c.rows);
      if (info.hasLeading) lists.speedUsageLine = c.leading.value_or("");
    } catch (const std::exception& e) {
      ListLoadProblem p{info.name, e.what(), ""};
      lists.MarkDamaged(info.id);
      std::filesystem::path aside = path;
      aside += ".damaged-" + TimeStamp();
      std::filesystem::rename(path, aside, ec);
      if (!ec) p.keptAsidePath = aside.string();
      CLogFile::Instance().Write(true, "list file %s not loaded: %s", info.name, e.what());
      problems.push_back(std::move(p));
    }
  }
  return problems;
}

void SaveLibraryLists(const std::filesystem::path& appDir, const LibraryLists& lists) {
  std::filesystem::path backup = appDir / "ConfigBackup";
  std::error_code ec;
  std::filesystem::create_directories(backup, ec);
  for (const ListFileInfo& info : ListFiles()) {
    ListFileContent c;
    if (info.hasLeading) c.leading = lists.speedUsageLine;
    c.rows = lists.Rows(info.id);
    std::vector<uint8_t> bytes = platform::EncodeListFile(c);
    // Main first, then the backup: a failure in between leaves the backup
    // of the previous save intact.
    platform::WriteFileAtomically(appDir / info.name, bytes);
    // The backup of a damaged file stays the last good copy.
    if (!lists.FromDamagedFile(info.id)) platform::WriteFileAtomically(backup / info.name, bytes);
  }
}

std::string DescribeListProblems(const std::vector<ListLoadProblem>& problems) {
  std::string text = "以下库文件未能读入，相应列表为空：\r\nThese library files could not be loaded; their lists start empty:";
  for (const auto& p : problems) {
    text += "\r\n" + p.file + ": " + p.reason;
    if (!p.keptAsidePath.empty()) text += " (kept as \"" + p.keptAsidePath + "\")";
  }
  return text;
}

}  // namespace smt::app
