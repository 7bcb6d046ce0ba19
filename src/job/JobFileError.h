#pragma once
// A job file or one of its side files that cannot be read or written: the
// text names the file and what is wrong with it.
#include <stdexcept>
#include <string>

namespace smt::job {

class JobFileError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

}  // namespace smt::job
