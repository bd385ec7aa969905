#include "sim/kernel_driver.h"

#include "platform/registry.h"
#include "sim/drive.h"
#include "sim/machine.h"
#include "sim/registry.h"

namespace sim {

namespace {
constexpr const char* kDeviceKey =
    "HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Services\\j6knldrv\\Parameters\\Device0";
}  // namespace

std::uint32_t KernelDriverBanks(Machine& machine) {
  const auto& config = machine.Config();
  std::uint32_t banks = 0;
  if (config.card.kind != CardKind::kNone && config.card.gmRom) banks |= 1;
  const struct {
    const char* file;
    std::uint32_t bit;
  } files[] = {{"j6gm1.bin", 2}, {"j6gm2.bin", 4}, {"j6gm4.bin", 8}};
  auto& drive = machine.Get<Drive>();
  for (const auto& f : files) {
    DrivePath path = drive.Resolve(config.systemDir + "\\" + f.file);
    if (path.error == 0 && path.exists && !path.isDirectory) banks |= f.bit;
  }
  return banks;
}

void KernelDriverStarts(Machine& machine) {
  const std::uint32_t banks = KernelDriverBanks(machine);
  // The driver's own write, not a program's: it asks no fault point.
  machine.Get<RegistryStore>()
      .CreatePath(kDeviceKey)
      ->SetValue("GmFile", platform::kRegDword,
                 {std::uint8_t(banks), std::uint8_t(banks >> 8), std::uint8_t(banks >> 16),
                  std::uint8_t(banks >> 24)});
}

}  // namespace sim
