#include "platform/FileIo.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <fstream>

namespace smt::platform {

std::vector<uint8_t> ReadWholeFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw FileError("cannot open \"" + path.string() + "\": " + std::strerror(errno));
  std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (in.bad()) throw FileError("cannot read \"" + path.string() + "\"");
  return bytes;
}

namespace {

void WriteRaw(const std::filesystem::path& path, const char* data, size_t size) {
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

}  // namespace smt::platform
