// Direct port input and output, as Windows 95 allows it from user mode.
#pragma once

#include <cstdint>

namespace platform {

class PortIo {
 public:
  virtual ~PortIo() = default;
  virtual std::uint8_t In8(std::uint16_t port) = 0;
  virtual std::uint16_t In16(std::uint16_t port) = 0;
  virtual std::uint32_t In32(std::uint16_t port) = 0;
  virtual void Out8(std::uint16_t port, std::uint8_t value) = 0;
  virtual void Out16(std::uint16_t port, std::uint16_t value) = 0;
  virtual void Out32(std::uint16_t port, std::uint32_t value) = 0;
};

}  // namespace platform
