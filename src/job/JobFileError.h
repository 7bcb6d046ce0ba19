#pragma once
// A job file or one of its side files that cannot be read or written: the
// text names the file and what is wrong with it.
#include <stdexcept>
#include <string>

namespace smt::job {

// What is wrong, as the operator is told it (the text is for the log).
enum class JobFileFault { Other, Unreadable, Empty, EndsEarly, CountTooLarge, ExtraBytes };

class JobFileError : public std::runtime_error {
 public:
  explicit JobFileError(const std::string& what, JobFileFault fault = JobFileFault::Other)
      : std::runtime_error(what), fault_(fault) {}
  JobFileFault fault() const { return fault_; }

 private:
  JobFileFault fault_;
};

// A cell of a job file or side file that is not what its field needs: the
// file, the line (1-based) and the field it sits in.
class JobCellError : public JobFileError {
 public:
  JobCellError(const std::string& what, std::string file, int line, std::string field)
      : JobFileError(what), file_(std::move(file)), line_(line), field_(std::move(field)) {}
  const std::string& file() const { return file_; }
  int line() const { return line_; }
  const std::string& field() const { return field_; }

 private:
  std::string file_;
  int line_;
  std::string field_;
};

}  // namespace smt::job
