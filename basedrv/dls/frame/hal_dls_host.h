// The DLS engine bound to the hardware access layer: the calling process's address space, files and
// ports, the shared pointer glpDls, the device table and the virtual device's services.
#pragma once

#include "basedrv/dls/dll_dls.h"
#include "basedrv/dls/dls_api.h"
#include "basedrv/hal/hal.h"

namespace j6base {

class HalDlsHost : public dls::DlsHost {
 public:
  dls::DlsEnv Env() override;
  bool FindDevice(std::uint32_t deviceId, dls::DlsDevice* device) override;
  bool& InitAlready() override;
  platform::FileSystem* Files() override;
  void DelayMs(std::uint32_t ms) override;
  void PortOut8(std::uint16_t port, std::uint8_t value) override;
  bool SetDlsRamAddr(std::uint32_t deviceId, std::uint32_t flag, std::uint32_t offset) override;
  bool GetDrumPatchRom(platform::LinearAddress address) override;

 private:
  bool noProcess_ = true;  // with no calling process the engine counts as started and does nothing
};

// What the engine reaches from the calling process (no memory and no common block when none is selected).
dls::DlsEnv CurrentDlsEnv();
// The DLS exports' view of the calling process.
dls::DlsApiHost CurrentDlsApiHost();
// Where DLSLoadFile notes the place and reason of a refused file (none when null).
void SetDlsReadPlace(dls::ReadPlace* place);

}  // namespace j6base
