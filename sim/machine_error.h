#pragma once

#include <stdexcept>
#include <string>

namespace sim {

// A machine folder that cannot be read or written. The message names the file (and line) at fault.
class MachineError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

}  // namespace sim
