#include "sim/process.h"

#include "sim/card.h"
#include "sim/detection.h"
#include "sim/isa_pnp.h"
#include "sim/drive.h"
#include "sim/machine.h"
#include "sim/pci_bios.h"
#include "sim/port_bus.h"
#include "sim/processes.h"
#include "sim/version_info.h"
#include "sim/profiles.h"
#include "sim/registry.h"
#include "sim/riff.h"
#include "sim/version_info.h"

namespace sim {

Process::Process(Machine& machine, std::uint32_t id, std::string name, std::string currentDir)
    : machine_(machine),
      id_(id),
      name_(std::move(name)),
      currentDir_(std::move(currentDir)),
      memory_(machine.Memory(), machine.GetFaults(), "process:" + std::to_string(id)) {
  os_.family = machine.Config().os;
  os_.clock = &machine.Clock();
  os_.memory = &memory_;
  os_.ports = &machine.Get<PortBus>();
  processes_ = std::make_unique<SimProcesses>(*this);
  os_.processes = processes_.get();
  versions_ = std::make_unique<SimVersionInfo>(os_);
  os_.versions = versions_.get();
  detection_ = std::make_unique<SimDetection>(machine, os_);
  os_.detection = detection_.get();
  if (!machine.IsNt()) {
    // Only Windows 95 lets a program reach the PCI BIOS and the Plug and Play ports directly.
    os_.pciBios = &machine.Get<SimPciBios>();
    machine.Get<IsaPnpCard>();
  }
  // The user interface belongs to whoever runs the program: the runner sets os_.ui.
  registry_ = std::make_unique<ProcessRegistry>(machine.Get<RegistryStore>(), &machine.GetFaults());
  os_.registry = registry_.get();
  machine.Get<Card>();
  devices_ = std::make_unique<ProcessDeviceIo>(machine, id, &os_.registry);
  os_.devices = devices_.get();
  files_ = std::make_unique<ProcessFiles>(machine, currentDir_, lastError_);
  os_.files = files_.get();
  profiles_ = std::make_unique<ProcessProfiles>(*files_, machine.Config().os);
  os_.profiles = profiles_.get();
  riff_ = std::make_unique<ProcessRiff>(*files_);
  os_.riff = riff_.get();
}

Process::~Process() {
  machine_.Memory().FreeAllOwnedBy("process:" + std::to_string(id_));
}

}  // namespace sim
