#pragma once
// The bytes of a job's files as they are (or are to be) on disk: the job
// file and each side file the machine type uses. A save writes them; the
// document keeps the set last opened or saved, and a job whose files would
// encode to the same bytes has nothing to save.
#include <algorithm>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <vector>

#include "platform/FileIo.h"

namespace smt::job {

// One file's bytes and whatever holds them (a buffer read whole, or the
// bytes an encoder produced); copies share them.
class FileBytes {
 public:
  FileBytes() = default;
  explicit FileBytes(platform::FileBuffer b) {
    auto owner = std::make_shared<platform::FileBuffer>(std::move(b));
    span_ = owner->bytes();
    owner_ = std::move(owner);
  }
  explicit FileBytes(std::vector<uint8_t> v) {
    auto owner = std::make_shared<std::vector<uint8_t>>(std::move(v));
    span_ = {owner->data(), owner->size()};
    owner_ = std::move(owner);
  }
  FileBytes(std::shared_ptr<const uint8_t[]> data, size_t size) : owner_(data), span_(data.get(), size) {}
  std::span<const uint8_t> bytes() const { return span_; }
  size_t size() const { return span_.size(); }
  bool operator==(const FileBytes& o) const { return std::ranges::equal(span_, o.span_); }

 private:
  std::shared_ptr<const void> owner_;
  std::span<const uint8_t> span_;
};

struct JobFileBytes {
  FileBytes job;
  // Side files: present when the file is there (read) or is to be written;
  // an absent dispensing or drill file is removed by a save.
  std::optional<FileBytes> dispense, drill, lamp;
  bool operator==(const JobFileBytes&) const = default;
};

}  // namespace smt::job
