#include "job/CSMTDoc.h"

#include "core/LogFile.h"
#include "core/MachineState.h"
#include "job/JobFileError.h"
#include "platform/MessageService.h"

using smt::platform::MsgAnswer;
using smt::platform::MsgButtons;
using smt::platform::MsgIcon;
using smt::platform::ShowMessage;

int CSMTDoc::Type() const { return MachineType ? MachineType() : smt::CurrentMachine().machineType.load(); }

bool CSMTDoc::AskAndSave() {
  if (!HasPcbTable()) return true;
  // Nothing changed since the job was opened or saved: nothing to ask.
  if (saved_ && job_.ToContent(Type()) == *saved_) return true;
  MsgAnswer a = ShowMessage(kSaveQuestion, MsgButtons::YesNoCancel, MsgIcon::Question);
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
  try {
    smt::job::JobFileContent c = smt::job::ReadJobFiles(path, Type());
    try {
      job_.ApplyContent(c, Type(), smt::job::JobFileNames::Of(path));
    } catch (const smt::job::JobFileError& e) {
      throw smt::job::JobFileError("\"" + path.string() + "\" is damaged or not a job file: " + e.what());
    }
  } catch (const smt::job::JobFileError& e) {
    CLogFile::Instance().Write(true, "Open project failed: %s", e.what());
    ShowMessage(std::string("打开工程文件失败 !\r\nThe project file cannot be opened:\r\n") + e.what(), MsgButtons::Ok,
                MsgIcon::Error);
    return false;
  }
  path_ = path;
  saved_ = job_.ToContent(Type());
  if (SetStatusPath) SetStatusPath(path.string());
  if (JobFileUsed) JobFileUsed(path);
  return true;
}

bool CSMTDoc::OnSaveDocument(const std::filesystem::path& path) {
  if (SetStatusPath) SetStatusPath(path.string());
  smt::job::JobFileContent content = job_.ToContent(Type());
  try {
    smt::job::WriteJobFiles(path, content, Type());
  } catch (const smt::job::JobFileError& e) {
    CLogFile::Instance().Write(true, "Save project failed: %s", e.what());
    ShowMessage(std::string("保存工程文件失败 !\r\nThe project file cannot be saved:\r\n") + e.what(), MsgButtons::Ok,
                MsgIcon::Error);
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
