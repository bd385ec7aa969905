#include "sim/process.h"

#include "sim/drive.h"
#include "sim/machine.h"
#include "sim/port_bus.h"
#include "sim/registry.h"

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
  registry_ = std::make_unique<ProcessRegistry>(machine.Get<RegistryStore>(), &machine.GetFaults());
  os_.registry = registry_.get();
  files_ = std::make_unique<ProcessFiles>(machine, currentDir_, lastError_);
  os_.files = files_.get();
}

Process::~Process() {
  machine_.Memory().FreeAllOwnedBy("process:" + std::to_string(id_));
}

}  // namespace sim
