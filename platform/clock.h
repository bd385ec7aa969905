// The multimedia millisecond clock (timeGetTime). On the simulated PC it is virtual and advances on every
// read, so busy waits end without costing wall time.
#pragma once

#include <cstdint>

namespace platform {

class Clock {
 public:
  virtual ~Clock() = default;
  virtual std::uint32_t TimeGetTime() = 0;
};

}  // namespace platform
