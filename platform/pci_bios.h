// The PCI BIOS through interrupt 1Ah (function B101h: present; B102h: find device), as the Windows 95
// installer calls it.
#pragma once

#include <cstdint>

namespace platform {

class PciBios {
 public:
  virtual ~PciBios() = default;
  // Registers after function B101h: present when carry is clear, AH = 0 and EDX = "PCI " (0x20494350);
  // BH.BL is then the interface version.
  struct CheckRegisters {
    bool carry = true;
    std::uint8_t ah = 0xFF;
    std::uint32_t edx = 0;
    std::uint16_t bx = 0;
  };
  virtual CheckRegisters InstallationCheck() = 0;
  // Function B102h with CX = device, DX = vendor, SI = index; returns AH.
  virtual std::uint8_t FindDevice(std::uint16_t vendor, std::uint16_t device, std::uint16_t index) = 0;
};

}  // namespace platform
