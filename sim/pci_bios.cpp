#include "sim/pci_bios.h"

#include "sim/machine.h"

namespace sim {

namespace {
constexpr std::uint8_t kSuccessful = 0x00;
constexpr std::uint8_t kDeviceNotFound = 0x86;
}  // namespace

platform::PciBios::CheckRegisters SimPciBios::InstallationCheck() {
  if (!present_) return {};
  return {false, 0x00, 0x20494350, 0x0210};
}

std::uint8_t SimPciBios::FindDevice(std::uint16_t vendor, std::uint16_t device, std::uint16_t index) {
  if (!present_) return kDeviceNotFound;
  std::vector<PciDevice> bus;
  if (machine_.Config().card.kind == CardKind::kPci) bus.push_back({kCardPciVendor, kCardPciDevice});
  bus.insert(bus.end(), machine_.Config().pciDevices.begin(), machine_.Config().pciDevices.end());
  std::uint16_t seen = 0;
  for (const auto& d : bus)
    if (d.vendor == vendor && d.device == device && seen++ == index) return kSuccessful;
  return kDeviceNotFound;
}

}  // namespace sim
