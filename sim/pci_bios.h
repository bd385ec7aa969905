// The PCI BIOS of a simulated Windows 95 PC: present (interface 2.10), and it finds the card itself
// when machine.json says the card sits on the PCI bus, plus the further devices listed there.
#pragma once

#include "platform/pci_bios.h"

namespace sim {

class Machine;

constexpr std::uint16_t kCardPciVendor = 0x7A4E;
constexpr std::uint16_t kCardPciDevice = 0xE100;

class SimPciBios : public platform::PciBios {
 public:
  explicit SimPciBios(Machine& machine) : machine_(machine) {}

  CheckRegisters InstallationCheck() override;
  std::uint8_t FindDevice(std::uint16_t vendor, std::uint16_t device, std::uint16_t index) override;

  // A PC without a PCI BIOS answers the installation check with carry set.
  void SetPresent(bool present) { present_ = present; }

 private:
  Machine& machine_;
  bool present_ = true;
};

}  // namespace sim
