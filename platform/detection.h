// The outside detection library "detect32.dll": its export number 2 takes one 32-bit integer and
// returns one.
#pragma once

#include <cstdint>

namespace platform {

class DetectionLibrary {
 public:
  virtual ~DetectionLibrary() = default;
  virtual std::int32_t Detect(std::int32_t what) = 0;
};

}  // namespace platform
