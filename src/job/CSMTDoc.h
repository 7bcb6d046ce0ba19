#pragma once
// The job document: new job, open, save, the save question before a new
// job or the window's close, and the path shown in the status bar. The job
// itself lives in a JobModel (owned by the part list panel); the document
// reaches the shell, the feeders and the cameras only through the hooks
// below, which the shell installs.
#include <atomic>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>

#include "core/Machine.h"
#include "job/JobFile.h"
#include "job/JobModel.h"
#include "platform/SystemText.h"

class CSMTDoc {
 public:
  explicit CSMTDoc(smt::job::JobModel& job) : job_(job) {}

  // --- hooks (all optional) ---
  // The feeder table becomes the lines of the feeder library file.
  std::function<void()> SaveFeederLines;
  // The eight library list files and their backup copies.
  std::function<void()> SaveFigLists;
  // The camera list and the automatic feeder settings.
  std::function<void()> SaveCameraAndAutoFeed;
  // The framework's Save As: returns the chosen path, nullopt when cancelled.
  std::function<std::optional<std::filesystem::path>()> AskSavePath;
  // Pane 1 of the status bar.
  std::function<void(const std::string&)> SetStatusPath;
  // A job file was opened or saved (the recent-file list).
  std::function<void(const std::filesystem::path&)> JobFileUsed;
  // The machine type (default: the current machine's machineType).
  std::function<int()> MachineType;

  // File New (and once at start-up). When the job holds changes not saved
  // asks the save question (SaveQuestion(): Yes, No, Cancel). Yes saves; Yes
  // and No then empty the job; Cancel, or a save that failed, keeps it and
  // returns false.
  bool OnNewDocument();
  // Before anything replaces the job (File Open, a recent file): when the
  // job holds changes not saved, asks the save question (Yes saves, No goes
  // on, Cancel keeps the job). Returns false when the job is to stay.
  bool AskToSaveChanges() { return AskAndSave(); }
  // File Open: reads the job file and its side files; only a sound set
  // replaces the job. A failure shows a message naming the file and leaves
  // the open job as it was. Returns success.
  bool OnOpenDocument(const std::filesystem::path& path);
  bool OpenProject(const std::filesystem::path& path) { return OnOpenDocument(path); }
  // Writes the job file and its side files to `path` (status bar first);
  // the path becomes the job's path. A failure shows a message naming the
  // file; the previous files stay intact.
  bool OnSaveDocument(const std::filesystem::path& path);
  // File Save: feeder lines, library files, camera and auto-feed settings,
  // then, when the job holds a PCB table, the job file to the job's path
  // (asking for one when it has none). Returns false when the job file was
  // due but not written (cancelled or failed) or a save was under way.
  bool SaveProject();
  bool SaveProject(const std::filesystem::path& path);  // Save As

  bool HasPcbTable() const { return job_.pcbs.HasTable(); }
  // Whether the close of the window (or anything that replaces the job)
  // should ask to save: the job holds a PCB table and differs from its files
  // as last opened or saved (a job never saved counts as changed).
  bool HasUnsavedChanges();
  // The close of the main window: asks when the job holds changes not saved.
  // Returns true when the window may close (Yes and saved, or No; or
  // nothing to ask), false on Cancel or a failed save.
  bool CanCloseFrame();

  const std::filesystem::path& PathName() const { return path_; }
  std::string StatusPathText() const { return path_.string(); }
  smt::job::JobModel& Job() { return job_; }

  // The save question in the window's language.
  static std::string SaveQuestion();

 private:
  int Type() const;
  bool AskAndSave();  // true: go on (saved or No); false: Cancel / failed
  smt::job::JobModel& job_;
  std::filesystem::path path_;
  // The files of the job as last opened or saved; empty for a new job.
  std::optional<smt::job::JobFileBytes> saved_;
  smt::job::JobFileBytes Encoded();
};

// Re-entry guard of the save step (1: no save under way).
