// The stand-in for the outside detection library on the simulated PC.
//   16: bit 0x100 when the Windows driver set is installed. Installed means what the installer itself
//       writes and removes: the Windows INF folder holds J6AUDIO.INF (the installation copies it there,
//       the removal deletes it), or the registry holds the virtual device's settings key
//       HKLM\System\CurrentControlSet\Services\VxD\ORVANTIS (Windows writes it when it sets the driver
//       up from the INF file; the removal deletes it). Bit 0 is always set (the library loaded).
//    2: 17 when the machine has no card, 0 otherwise.
//    anything else (1 included): 0.
#pragma once

#include "platform/os.h"

namespace sim {

class Machine;

class SimDetection : public platform::DetectionLibrary {
 public:
  SimDetection(Machine& machine, platform::Os& os) : machine_(machine), os_(os) {}
  std::int32_t Detect(std::int32_t what) override;

  // Whether the Windows driver set counts as installed (see above).
  bool DriverSetInstalled();

 private:
  Machine& machine_;
  platform::Os& os_;
};

}  // namespace sim
