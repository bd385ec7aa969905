// The PCI BIOS through interrupt 1Ah (function B101h: present; B102h: find device), as the Windows 95
// installer calls it.
#pragma once

#include <cstdint>

namespace platform {

class PciBios {
 public:
  virtual ~PciBios() = default;
  // Registers after function B101h: AH = 0 and EDX = "PCI " when present. Returns AX.
  virtual std::uint16_t InstallationCheck() = 0;
  // Function B102h with CX = device, DX = vendor, SI = index; returns AH.
  virtual std::uint8_t FindDevice(std::uint16_t vendor, std::uint16_t device, std::uint16_t index) = 0;
};

}  // namespace platform
