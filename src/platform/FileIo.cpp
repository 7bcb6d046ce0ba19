#include "platform/FileIo.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fstream>

namespace smt::platform {

std::vector<uint8_t> ReadWholeFile(const std::filesystem::path& path) {
  // One read of the whole file (its size from the open handle).
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) throw FileError("cannot open \"" + path.string() + "\": " + std::strerror(errno));
  struct stat st {};
  if (::fstat(fd, &st) != 0) {
    const int e = errno;
    ::close(fd);
    throw FileError("cannot read \"" + path.string() + "\": " + std::strerror(e));
  }
  std::vector<uint8_t> bytes(static_cast<size_t>(st.st_size > 0 ? st.st_size : 0));
  size_t done = 0;
  for (;;) {
    if (done == bytes.size()) {
      // The buffer is full: look for more with a small read first, so a file
      // of exactly its stated size is read with one allocation of that size.
      // Only a file that grew (or a size of 0, as pipes report) grows it.
      uint8_t probe[4096];
      const ssize_t m = ::read(fd, probe, sizeof probe);
      if (m < 0) {
        if (errno == EINTR) continue;
        const int e = errno;
        ::close(fd);
        throw FileError("cannot read \"" + path.string() + "\": " + std::strerror(e));
      }
      if (m == 0) break;
      bytes.insert(bytes.end(), probe, probe + m);
      done += static_cast<size_t>(m);
      if (m == static_cast<ssize_t>(sizeof probe)) bytes.resize(done + std::max<size_t>(65536, done / 2));
      continue;
    }
    const ssize_t n = ::read(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      const int e = errno;
      ::close(fd);
      throw FileError("cannot read \"" + path.string() + "\": " + std::strerror(e));
    }
    if (n == 0) break;
    done += static_cast<size_t>(n);
  }
  ::close(fd);
  bytes.resize(done);
  return bytes;
}

FileBuffer ReadFileBuffer(const std::filesystem::path& path) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) throw FileError("cannot open \"" + path.string() + "\": " + std::strerror(errno));
  auto fail = [&](int e) {
    ::close(fd);
    throw FileError("cannot read \"" + path.string() + "\": " + std::strerror(e));
  };
  struct stat st {};
  if (::fstat(fd, &st) != 0) fail(errno);
  size_t capacity = static_cast<size_t>(st.st_size > 0 ? st.st_size : 0);
  // One block of the file's size (a large one mapped on its own, see
  // LargeBlock.h).
  ByteBlock data = NewByteBlock(capacity);
  size_t done = 0;
  for (;;) {
    if (done == capacity) {
      // Full at the stated size: a small read tells whether the file grew
      // (or is a pipe that reports no size); only then does the buffer grow.
      uint8_t probe[4096];
      const ssize_t m = ::read(fd, probe, sizeof probe);
      if (m < 0) {
        if (errno == EINTR) continue;
        fail(errno);
      }
      if (m == 0) break;
      const size_t grown = done + std::max<size_t>({65536, done / 2, static_cast<size_t>(m)});
      ByteBlock bigger = NewByteBlock(grown);
      if (done > 0) std::memcpy(bigger.get(), data.get(), done);
      std::memcpy(bigger.get() + done, probe, static_cast<size_t>(m));
      data = std::move(bigger);
      capacity = grown;
      done += static_cast<size_t>(m);
      continue;
    }
    const ssize_t n = ::read(fd, data.get() + done, capacity - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      fail(errno);
    }
    if (n == 0) break;
    done += static_cast<size_t>(n);
  }
  ::close(fd);
  FileBuffer b;
  b.data_ = std::move(data);
  b.size_ = done;
  return b;
}

void SyncDirectory(const std::filesystem::path& dir) {
  const std::filesystem::path d = dir.empty() ? std::filesystem::path(".") : dir;
  const int fd = ::open(d.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  ::fsync(fd);
  ::close(fd);
}

int RemoveStaleTemporaries(const std::filesystem::path& path) {
  return RemoveStaleTemporaries(std::vector<std::filesystem::path>{path});
}

int RemoveStaleTemporaries(const std::vector<std::filesystem::path>& paths) {
  if (paths.empty()) return 0;
  std::vector<std::string> prefixes;
  for (const auto& p : paths) prefixes.push_back(p.filename().string() + ".tmp");
  const std::filesystem::path parent = paths.front().parent_path();
  const std::filesystem::path dir = parent.empty() ? std::filesystem::path(".") : parent;
  std::error_code ec;
  int removed = 0;
  // One pass over the directory for all the files.
  std::filesystem::directory_iterator it(dir, ec), end;
  for (; !ec && it != end; it.increment(ec)) {
    const std::string name = it->path().filename().string();
    for (const auto& prefix : prefixes) {
      if (name.size() <= prefix.size() || name.compare(0, prefix.size(), prefix) != 0) continue;
      const std::string digits = name.substr(prefix.size());
      if (digits.find_first_not_of("0123456789") != std::string::npos || digits.size() > 9) continue;
      const long pid = std::stol(digits);
      // A temporary of a process that is still running may be in use.
      if (pid == ::getpid() || (pid > 0 && (::kill(static_cast<pid_t>(pid), 0) == 0 || errno != ESRCH))) continue;
      std::error_code rm;
      if (std::filesystem::remove(it->path(), rm)) ++removed;
      break;
    }
  }
  return removed;
}

std::filesystem::path TemporaryPathOf(const std::filesystem::path& path) {
  std::filesystem::path tmp = path;
  tmp += ".tmp" + std::to_string(::getpid());
  return tmp;
}

void WriteFileSynced(const std::filesystem::path& path, const std::vector<uint8_t>& bytes) {
  WriteFileSynced(path, std::span<const uint8_t>(bytes));
}

void WriteFileSynced(const std::filesystem::path& path, std::span<const uint8_t> bytes) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) throw FileError("cannot create \"" + path.string() + "\": " + std::strerror(errno));
  size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      const int e = errno;
      ::close(fd);
      ::unlink(path.c_str());
      throw FileError("cannot write \"" + path.string() + "\": " + std::strerror(e));
    }
    done += static_cast<size_t>(n);
  }
  if (::fsync(fd) != 0 || ::close(fd) != 0) {
    const int e = errno;
    ::unlink(path.c_str());
    throw FileError("cannot write \"" + path.string() + "\": " + std::strerror(e));
  }
}

namespace {

void WriteRaw(const std::filesystem::path& path, const char* data, size_t size) {
  // Temporaries left by interrupted saves of this file go first.
  RemoveStaleTemporaries(path);
  std::filesystem::path tmp = path;
  tmp += ".tmp" + std::to_string(::getpid());
  int fd = ::open(tmp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) throw FileError("cannot create \"" + tmp.string() + "\": " + std::strerror(errno));
  size_t done = 0;
  while (done < size) {
    ssize_t n = ::write(fd, data + done, size - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      int e = errno;
      ::close(fd);
      ::unlink(tmp.c_str());
      throw FileError("cannot write \"" + path.string() + "\": " + std::strerror(e));
    }
    done += static_cast<size_t>(n);
  }
  if (::fsync(fd) != 0 || ::close(fd) != 0) {
    int e = errno;
    ::unlink(tmp.c_str());
    throw FileError("cannot write \"" + path.string() + "\": " + std::strerror(e));
  }
  if (::rename(tmp.c_str(), path.c_str()) != 0) {
    int e = errno;
    ::unlink(tmp.c_str());
    throw FileError("cannot replace \"" + path.string() + "\": " + std::strerror(e));
  }
}

}  // namespace

void WriteFileAtomically(const std::filesystem::path& path, const std::vector<uint8_t>& bytes) {
  WriteRaw(path, reinterpret_cast<const char*>(bytes.data()), bytes.size());
}

void WriteFileAtomically(const std::filesystem::path& path, const std::string& bytes) {
  WriteRaw(path, bytes.data(), bytes.size());
}

void WriteFileAtomically(const std::filesystem::path& path, std::span<const uint8_t> bytes) {
  WriteRaw(path, reinterpret_cast<const char*>(bytes.data()), bytes.size());
}

}  // namespace smt::platform
