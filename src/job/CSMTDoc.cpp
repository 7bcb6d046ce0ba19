#include "job/CSMTDoc.h"

#include "core/LogFile.h"
#include "core/MachineState.h"
#include "job/JobFileError.h"
#include "platform/MessageService.h"
#include "platform/RefusalTexts.h"

using smt::platform::MsgAnswer;
using smt::platform::MsgButtons;
using smt::platform::MsgIcon;
using smt::platform::ShowMessage;

namespace {
// Why a job cannot be opened, in the operator's terms and the window's
// language; the developer's account of it goes to the log.
std::string OpenRefusal(const std::filesystem::path& path, const smt::job::JobFileError& e) {
  using smt::job::JobFileFault;
  using smt::platform::WindowText;
  std::string why;
  switch (e.fault()) {
    case JobFileFault::Unreadable:
      why = WindowText("SMTDocConfig", "SMTDoc.c_FileUnreadable", "文件无法读取（没有读取权限或磁盘错误）。");
      break;
    case JobFileFault::Empty: why = WindowText("SMTDocConfig", "SMTDoc.c_FileEmpty", "文件是空的。"); break;
    case JobFileFault::EndsEarly:
      why = WindowText("SMTDocConfig", "SMTDoc.c_FileEndsEarly", "文件不完整：它在结尾之前就中断了（可能被截断）。");
      break;
    case JobFileFault::CountTooLarge:
      why = WindowText("SMTDocConfig", "SMTDoc.c_FileCountTooLarge", "文件已损坏：其中记录的数量多于文件实际包含的内容。");
      break;
    case JobFileFault::ExtraBytes:
      why = WindowText("SMTDocConfig", "SMTDoc.c_FileExtraBytes", "文件已损坏：在最后一项之后还有多余的数据。");
      break;
    case JobFileFault::Other:
      why = WindowText("SMTDocConfig", "SMTDoc.c_FileNotAJob", "文件已损坏或不是工程文件。");
      break;
  }
  // The file at fault (a side file of the job, say) is the one its text names first.
  std::string file = path.string();
  if (const std::string t = e.what(); t.size() > 1 && t[0] == '"')
    if (const auto end = t.find('"', 1); end != std::string::npos) file = t.substr(1, end - 1);
  return smt::platform::FillText(WindowText("SMTDocConfig", "SMTDoc.c_OpenFailed", "打开工程文件失败 !\r\n\"%1\"：%2"),
                                 {file, why});
}
}  // namespace

int CSMTDoc::Type() const { return MachineType ? MachineType() : smt::CurrentMachine().machineType.load(); }

smt::job::JobFileBytes CSMTDoc::Encoded() { return job_.EncodeFiles(Type()); }

std::string CSMTDoc::SaveQuestion() {
  return smt::platform::WindowText("SMTViewConfig", "SMTView.c_SaveQuestion", "是否要保存工程文件 ?");
}

bool CSMTDoc::HasUnsavedChanges() {
  if (!HasPcbTable()) return false;
  // Nothing changed since the job was opened or saved: nothing to ask.
  return !(saved_ && Encoded() == *saved_);
}

bool CSMTDoc::AskAndSave() {
  if (!HasUnsavedChanges()) return true;
  MsgAnswer a = ShowMessage(SaveQuestion(), MsgButtons::YesNoCancel, MsgIcon::Question);
  if (a == MsgAnswer::Cancel) return false;
  if (a == MsgAnswer::Yes) return SaveProject();
  return true;
}

bool CSMTDoc::OnNewDocument() {
  if (!AskAndSave()) return false;
  job_.Clear();
  path_.clear();
  saved_.reset();
  if (SetStatusPath) SetStatusPath("");
  return true;
}

bool CSMTDoc::CanCloseFrame() { return AskAndSave(); }

bool CSMTDoc::OnOpenDocument(const std::filesystem::path& path) {
  bool unicode = true;
  smt::job::JobFileBytes read;
  try {
    const auto names = smt::job::JobFileNames::Of(path);
    smt::job::OpenedJobFiles opened = smt::job::OpenJobFiles(path, Type(), names);
    unicode = opened.unicode;
    read = std::move(opened.bytes);
    try {
      job_.ApplyTable(std::move(opened.table), opened.sides, Type(), names);
    } catch (const smt::job::JobFileError& e) {
      throw smt::job::JobFileError("\"" + path.string() + "\" is damaged or not a job file: " + e.what(), e.fault());
    }
  } catch (const smt::job::JobFileError& e) {
    CLogFile::Instance().Write(true, "Open project failed: %s", e.what());
    ShowMessage(OpenRefusal(path, e), MsgButtons::Ok, MsgIcon::Error);
    return false;
  }
  path_ = path;
  // The files as read are the job as opened; an older 8-bit file is
  // compared in the form a save gives it.
  saved_ = unicode ? std::move(read) : Encoded();
  if (SetStatusPath) SetStatusPath(path.string());
  if (JobFileUsed) JobFileUsed(path);
  return true;
}

bool CSMTDoc::OnSaveDocument(const std::filesystem::path& path) {
  if (SetStatusPath) SetStatusPath(path.string());
  smt::job::JobFileBytes content;
  try {
    content = job_.SaveFiles(path, Type());
  } catch (const smt::job::JobFileError& e) {
    CLogFile::Instance().Write(true, "Save project failed: %s", e.what());
    ShowMessage(smt::platform::FillText(smt::platform::WindowText("SMTDocConfig", "SMTDoc.c_SaveFailed",
                                                                  "保存工程文件失败 !\r\n\"%1\"：%2"),
                                        {path.string(), e.what()}),
                MsgButtons::Ok, MsgIcon::Error);
    if (SetStatusPath) SetStatusPath(path_.string());
    return false;
  }
  path_ = path;
  saved_ = std::move(content);
  if (JobFileUsed) JobFileUsed(path);
  return true;
}

bool CSMTDoc::SaveProject() { return SaveProject({}); }

bool CSMTDoc::SaveProject(const std::filesystem::path& asPath) {
  if (SaveFeederLines) SaveFeederLines();
  bool expected = true;
  if (!smt::CurrentMachine().saveProjectIdle.compare_exchange_strong(expected, false)) return false;
  struct Idle {
    ~Idle() { smt::CurrentMachine().saveProjectIdle = true; }
  } idle;
  if (SaveFigLists) SaveFigLists();
  if (SaveCameraAndAutoFeed) SaveCameraAndAutoFeed();
  if (!HasPcbTable()) return true;
  std::filesystem::path target = asPath.empty() ? path_ : asPath;
  if (target.empty()) {
    if (!AskSavePath) return false;
    auto chosen = AskSavePath();
    if (!chosen || chosen->empty()) return false;
    target = *chosen;
  }
  return OnSaveDocument(target);
}
