#include "core/LogFile.h"

#include <cstdarg>
#include <ctime>
#include <system_error>
#include <vector>

CLogFile& CLogFile::Instance() {
  static CLogFile log(std::filesystem::current_path(), Today());
  return log;
}

std::string CLogFile::Today() {
  std::time_t t = std::time(nullptr);
  std::tm tm{};
  localtime_r(&t, &tm);
  char buf[32];
  std::snprintf(buf, sizeof buf, "%04d-%02d-%02d", tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday);
  return buf;
}

CLogFile::CLogFile(std::filesystem::path directory, std::string date)
    : dir_(std::move(directory)), date_(std::move(date)) {
  std::lock_guard lock(m_);
  OpenIfNeeded();
}

CLogFile::~CLogFile() { Close(); }

std::filesystem::path CLogFile::FilePath() const { return dir_ / LogFileName(date_); }

void CLogFile::OpenIfNeeded() {
  if (file_ || closed_) return;
  // Append: an earlier run of the same day keeps its lines.
  file_ = std::fopen(FilePath().c_str(), "ab");
}

void CLogFile::Write(bool newline, const char* format, ...) {
  if (!m_bEnable.load()) return;
  va_list ap;
  va_start(ap, format);
  va_list ap2;
  va_copy(ap2, ap);
  int n = std::vsnprintf(nullptr, 0, format, ap);
  va_end(ap);
  std::string text;
  if (n > 0) {
    std::vector<char> buf(static_cast<size_t>(n) + 1);
    std::vsnprintf(buf.data(), buf.size(), format, ap2);
    text.assign(buf.data(), static_cast<size_t>(n));
  }
  va_end(ap2);
  if (newline) text += "\n";
  std::lock_guard lock(m_);
  std::fwrite(text.data(), 1, text.size(), stdout);
  std::fflush(stdout);
  OpenIfNeeded();
  if (file_) {
    std::fwrite(text.data(), 1, text.size(), file_);
    std::fflush(file_);
  }
}

void CLogFile::SetDirectory(std::filesystem::path directory) {
  std::lock_guard lock(m_);
  if (directory == dir_) return;
  if (file_) {
    std::fclose(file_);
    file_ = nullptr;
  }
  // An empty file left by the first opening is not kept.
  std::error_code ec;
  if (std::filesystem::exists(FilePath(), ec) && std::filesystem::file_size(FilePath(), ec) == 0)
    std::filesystem::remove(FilePath(), ec);
  dir_ = std::move(directory);
  closed_ = false;
}

void CLogFile::Close() {
  std::lock_guard lock(m_);
  if (closed_) return;
  closed_ = true;
  if (file_) {
    std::fclose(file_);
    file_ = nullptr;
  }
  if (!m_bEnable.load()) {
    std::error_code ec;
    if (std::filesystem::exists(FilePath(), ec) && std::filesystem::file_size(FilePath(), ec) == 0) {
      std::filesystem::remove(FilePath(), ec);
    }
  }
}
