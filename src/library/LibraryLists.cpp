#include "library/LibraryLists.h"

#include <ctime>
#include <system_error>
#include <utility>

#include "core/LogFile.h"
#include "core/Machine.h"
#include "job/DropDownLists.h"
#include "library/MarkRecord.h"
#include "library/NozzleRecord.h"
#include "library/PackRecord.h"
#include "platform/DamagedFileCopy.h"
#include "platform/FileSet.h"
#include "platform/ListFile.h"

namespace smt::library {

using platform::ListFileContent;

LibraryLists& LibraryLists::Of(smt::Machine& machine) { return machine.Part<LibraryLists>(); }

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

std::vector<std::string>* LibraryLists::TextRows(ListFileId id) {
  return const_cast<std::vector<std::string>*>(std::as_const(*this).TextRows(id));
}

const std::vector<std::string>* LibraryLists::TextRows(ListFileId id) const {
  switch (id) {
    case ListFileId::Feed: return &feedLines;
    case ListFileId::Strip: return &stripRows;
    case ListFileId::Speed: return &speedRows;
    case ListFileId::Camera: return nullptr;
    case ListFileId::Nozzle: return &nozzleRows;
    case ListFileId::Pack: return &packRows;
    case ListFileId::Mark: return &markRows;
    case ListFileId::DropDown: return &dropDownLists;
  }
  return nullptr;
}

std::vector<std::string> LibraryLists::RowTexts(ListFileId id) const {
  if (id == ListFileId::Camera) return vision::CameraRowTexts(cameraRows);
  const auto* rows = TextRows(id);
  return rows ? *rows : std::vector<std::string>{};
}

void LibraryLists::SetRowTexts(ListFileId id, std::vector<std::string> rows) {
  if (id == ListFileId::Camera) {
    cameraRows = vision::ReadCameraRows(rows, "config_camera.fig");
    return;
  }
  if (auto* held = TextRows(id)) *held = std::move(rows);
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

// The rows of a list that its row reader refuses (the feeder table's lines
// are read by the feeder list itself).
std::vector<platform::FileCellError> RowRefusals(ListFileId id, const std::vector<std::string>& rows) {
  switch (id) {
    case ListFileId::Pack: return library::CheckPackLines(rows);
    case ListFileId::Mark: return library::CheckMarkLines(rows);
    case ListFileId::Nozzle: return library::CheckNozzleLines(rows);
    case ListFileId::DropDown: return job::CheckDropDownLines(rows);
    default: return {};
  }
}

}  // namespace

std::vector<ListLoadProblem> LoadLibraryLists(const std::filesystem::path& appDir, LibraryLists& lists) {
  std::vector<ListLoadProblem> problems;
  // A save that was interrupted is completed or undone first.
  try {
    FinishLibraryListsSave(appDir);
  } catch (const std::exception& e) {
    CLogFile::Instance().Write(true, "library lists: an interrupted save could not be completed: %s", e.what());
  }
  for (const ListFileInfo& info : ListFiles()) {
    std::filesystem::path path = appDir / info.name;
    lists.SetRowTexts(info.id, {});
    lists.fromDamagedFile[static_cast<size_t>(info.id)] = false;
    if (info.hasLeading) lists.speedUsageLine.clear();
    std::error_code ec;
    if (!std::filesystem::exists(path, ec)) {
      problems.push_back({info.name, "the file is missing", "", 0, ""});
      continue;
    }
    try {
      ListFileContent c = platform::ReadListFile(path, info.hasLeading);
      const std::vector<platform::FileCellError> refused = RowRefusals(info.id, c.rows);
      lists.SetRowTexts(info.id, std::move(c.rows));
      if (info.hasLeading) lists.speedUsageLine = c.leading.value_or("");
      if (!refused.empty()) {
        lists.MarkDamaged(info.id);
        const std::string copy = platform::KeepDamagedCopy(path);
        for (const platform::FileCellError& e : refused) {
          CLogFile::Instance().Write(true, "list file %s, line %d not used: %s", info.name, e.line(), e.what());
          problems.push_back({info.name, e.what(), copy, e.line(), e.field()});
        }
      }
    } catch (const std::exception& e) {
      ListLoadProblem p{info.name, e.what(), "", 0, ""};
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

std::filesystem::path LibraryListsJournal(const std::filesystem::path& appDir) {
  return appDir / "config_lists.journal";
}

namespace {
// Every file of the set: the eight lists and their backups.
std::vector<std::filesystem::path> ListSetFiles(const std::filesystem::path& appDir) {
  std::vector<std::filesystem::path> files;
  for (const ListFileInfo& info : ListFiles()) files.push_back(appDir / info.name);
  for (const ListFileInfo& info : ListFiles()) files.push_back(appDir / "ConfigBackup" / info.name);
  return files;
}
}  // namespace

void FinishLibraryListsSave(const std::filesystem::path& appDir) {
  platform::FinishFileSet(LibraryListsJournal(appDir), ListSetFiles(appDir));
}

void SaveLibraryLists(const std::filesystem::path& appDir, const LibraryLists& lists) {
  std::filesystem::path backup = appDir / "ConfigBackup";
  std::error_code ec;
  std::filesystem::create_directories(backup, ec);
  // The eight lists and their backups change as one set: a save that is
  // interrupted leaves every old file or every new one.
  std::vector<platform::FileSetItem> files;
  for (const ListFileInfo& info : ListFiles()) {
    ListFileContent c;
    if (info.hasLeading) c.leading = lists.speedUsageLine;
    c.rows = lists.RowTexts(info.id);
    files.push_back({appDir / info.name, platform::EncodeListFile(c)});
  }
  files.reserve(2 * files.size());
  for (size_t i = 0; i < ListFiles().size(); ++i) {
    // The backup of a damaged file stays the last good copy.
    if (lists.FromDamagedFile(ListFiles()[i].id)) continue;
    std::vector<uint8_t> bytes = files[i].bytes;
    files.push_back({backup / ListFiles()[i].name, std::move(bytes)});
  }
  platform::WriteFileSet(LibraryListsJournal(appDir), files);
}

std::string DescribeListProblems(const std::vector<ListLoadProblem>& problems) {
  std::string text;
  auto section = [&](bool lines, const char* heading) {
    bool any = false;
    for (const auto& p : problems) {
      if ((p.line > 0) != lines) continue;
      if (!any) text += std::string(text.empty() ? "" : "\r\n\r\n") + heading;
      any = true;
      text += "\r\n" + (lines ? p.reason : p.file + ": " + p.reason);
      if (!p.keptAsidePath.empty()) text += " (kept as \"" + p.keptAsidePath + "\")";
    }
  };
  section(false,
          "以下库文件未能读入，相应列表为空：\r\nThese library files could not be loaded; their lists start empty:");
  section(true,
          "以下库文件的行未能读入，已原样保留，不使用：\r\nThese lines of the library files could not be read; they "
          "are kept as they are and not used:");
  return text;
}

}  // namespace smt::library
