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

smt::job::JobFileBytes CSMTDoc::Encoded() { return job_.EncodeFiles(Type()); }

bool CSMTDoc::AskAndSave() {
  if (!HasPcbTable()) return true;
  // Nothing changed since the job was opened or saved: nothing to ask.
  if (saved_ && Encoded() == *saved_) return true;
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
      throw smt::job::JobFileError("\"" + path.string() + "\" is damaged or not a job file: " + e.what());
    }
  } catch (const smt::job::JobFileError& e) {
    CLogFile::Instance().Write(true, "Open project failed: %s", e.what());
    ShowMessage(std::string("打开工程文件失败 !\r\nThe project file cannot be opened:\r\n") + e.what(), MsgButtons::Ok,
                MsgIcon::Error);
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
