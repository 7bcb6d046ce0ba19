#pragma once
// The daily log: one process-wide writer of "Logfile YYYY-MM-DD.txt" in the
// program directory. Lines go to standard output and, while logging is
// switched on, to the file. Whole lines never interleave between threads.
#include <atomic>
#include <cstdio>
#include <filesystem>
#include <mutex>
#include <string>

class CLogFile {
 public:
  static CLogFile& Instance();

  // printf-style; `newline` appends "\n". Writes nothing while disabled.
  void Write(bool newline, const char* format, ...) __attribute__((format(printf, 3, 4)));

  std::atomic<bool> m_bEnable{false};

  // The file of this run ("<dir>/Logfile YYYY-MM-DD.txt").
  std::filesystem::path FilePath() const;

  // At exit: closes the file and, with logging off, removes it when empty.
  void Close();

  // The program directory is known once the application starts: from then on
  // the lines go to the file there (reopened on the next line).
  void SetDirectory(std::filesystem::path directory);

  // Tests: a writer on its own directory and date.
  CLogFile(std::filesystem::path directory, std::string date);
  ~CLogFile();

  static std::string LogFileName(const std::string& date) { return "Logfile " + date + ".txt"; }
  static std::string Today();

 private:
  void OpenIfNeeded();  // caller holds m_

  std::filesystem::path dir_;
  std::string date_;
  std::mutex m_;
  std::FILE* file_ = nullptr;
  bool closed_ = false;
};
