// One program running on a simulated PC: its own process id, current directory, last error and global
// memory, and the platform::Os through which the deliverable code it runs reaches the machine.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "platform/os.h"
#include "sim/linear_memory.h"
#include "sim/vxd.h"

namespace sim {

class Machine;
class SimProcesses;
class SimVersionInfo;
class SimDetection;
class ProcessRegistry;
class ProcessFiles;
class ProcessProfiles;
class ProcessRiff;

class Process {
 public:
  Process(Machine& machine, std::uint32_t id, std::string name, std::string currentDir);
  ~Process();
  Process(const Process&) = delete;
  Process& operator=(const Process&) = delete;

  Machine& GetMachine() { return machine_; }
  std::uint32_t Id() const { return id_; }
  const std::string& Name() const { return name_; }
  std::string& CurrentDirectory() { return currentDir_; }
  std::uint32_t& LastError() { return lastError_; }

  platform::Os& Os() { return os_; }
  ProcessAddressSpace& Memory() { return memory_; }
  ProcessDeviceIo& Devices() { return *devices_; }

 private:
  Machine& machine_;
  std::uint32_t id_;
  std::string name_;
  std::string currentDir_;
  std::uint32_t lastError_ = 0;
  ProcessAddressSpace memory_;
  std::unique_ptr<ProcessRegistry> registry_;
  std::unique_ptr<ProcessFiles> files_;
  std::unique_ptr<ProcessProfiles> profiles_;
  std::unique_ptr<ProcessRiff> riff_;
  platform::Os os_;
  std::unique_ptr<ProcessDeviceIo> devices_;
  std::unique_ptr<SimProcesses> processes_;
  std::unique_ptr<SimVersionInfo> versions_;
  std::unique_ptr<SimDetection> detection_;
};

}  // namespace sim
