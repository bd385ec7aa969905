// The card's virtual device driver "J6CVXD.VXD" on the simulated PC: the services the base driver
// library asks of it, a log of every request, and refusal on request.
//
// At its start (the first open on the machine) it reserves, in the machine's linear memory, the DLS
// common data block (21,564 bytes), the sample memory block (GM bank + table area + DLS RAM, sized from
// the driver's registry settings, defaults when absent) and the four DMA buffers.
//
// Fault points: "device.request" is asked for every open and every request (a hit fails it);
// "shared.alloc" for every shared allocation of service 0x0F. Refuse(code) makes one service fail until
// Allow(code).
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "platform/device_io.h"
#include "platform/registry.h"

namespace sim {

class Machine;
class Card;

class VirtualDevice {
 public:
  static constexpr const char* kName = "\\\\.\\J6CVXD.VXD";
  static constexpr std::uint32_t kCommonBlockSize = 21564;
  static constexpr std::uint32_t kHwInfoSize = 136;
  static constexpr std::uint32_t kDefaultDlsRamSize = 0x200000;   // 2 MiB
  static constexpr std::uint32_t kDefaultGmBankSize = 0;          // the ROM
  static constexpr std::uint32_t kMaxConfiguredSize = 0x1000000;  // 16 MiB

  struct Request {
    std::uint32_t process = 0;
    std::uint32_t code = 0;
    std::vector<std::uint8_t> input;
    bool ok = false;
  };
  struct Callback {
    std::uint32_t deviceId = 0;
    std::uint32_t value = 0;
    std::uint32_t address = 0;
  };
  struct DlsRamAddr {
    std::uint32_t basePort = 0;
    std::uint32_t address = 0;
    std::uint32_t flag = 0;
  };

  explicit VirtualDevice(Machine& machine);

  // Whether the device can be opened: the machine has the card.
  bool Present() const;
  // Reserves the blocks, reading the sizes through `registry` (may be null: defaults). Runs once.
  void Start(platform::Registry* registry);
  bool Started() const { return started_; }

  // One request, as DeviceIoControl delivers it. `process` names the caller in the log.
  bool Control(std::uint32_t process, std::uint32_t code, const void* in, std::uint32_t inSize, void* out,
               std::uint32_t outSize, std::uint32_t* returned);

  void Refuse(std::uint32_t code) { refused_.insert(code); }
  void Allow(std::uint32_t code) { refused_.erase(code); }
  // Another identifier for the same card under another hardware key (several cards in one table).
  void AddIdentity(std::uint32_t hardwareKey, std::uint32_t deviceId) { identities_[hardwareKey] = deviceId; }

  const std::vector<Request>& Log() const { return log_; }
  void ClearLog() { log_.clear(); }
  std::vector<std::uint32_t> Codes() const;

  // What the device holds.
  std::vector<std::uint8_t> HardwareInfo() const;
  std::uint32_t CommonBlock() const { return commonBlock_; }
  std::uint32_t SampleMemory() const { return sampleMemory_; }
  std::uint32_t SampleMemorySize() const { return sampleMemorySize_; }
  std::uint32_t DlsRamSize() const { return dlsRamSize_; }
  std::uint32_t GmBankSize() const { return gmBankSize_; }
  bool InterruptHooked() const { return hooked_; }
  const std::vector<Callback>& Callbacks() const { return callbacks_; }
  const std::vector<DlsRamAddr>& DlsRamAddrs() const { return dlsRamAddrs_; }
  std::uint32_t HeldResources() const { return resources_; }
  const std::set<std::uint32_t>& OpenPipes() const { return pipes_; }
  std::uint32_t SharedAllocations() const { return std::uint32_t(shared_.size()); }
  // The card's ROM drum patch table that service 0x10 writes: 128 entries of 4 bytes.
  static std::vector<std::uint8_t> RomDrumPatchTable();

 private:
  bool Serve(std::uint32_t code, const std::uint8_t* in, std::uint32_t inSize, std::uint8_t* out,
             std::uint32_t outSize, std::uint32_t* returned);
  std::uint32_t ReadSize(platform::Registry* registry, const char* subkey, std::uint32_t fallback);

  Machine& machine_;
  bool started_ = false;
  std::uint32_t commonBlock_ = 0;
  std::uint32_t sampleMemory_ = 0;
  std::uint32_t sampleMemorySize_ = 0;
  std::uint32_t dlsRamSize_ = 0;
  std::uint32_t gmBankSize_ = 0;
  std::uint32_t buffers_[4] = {};
  std::map<std::uint32_t, std::uint32_t> identities_;
  std::set<std::uint32_t> refused_;
  std::vector<Request> log_;
  bool hooked_ = false;
  std::vector<Callback> callbacks_;
  std::vector<DlsRamAddr> dlsRamAddrs_;
  std::uint32_t resources_ = 0;
  std::set<std::uint32_t> pipes_;
  std::uint32_t nextPipe_ = 0x100;
  std::map<std::uint32_t, std::uint32_t> shared_;  // address -> size
};

// The virtual device as one process reaches it: CreateFileA by name, DeviceIoControl, CloseHandle.
class ProcessDeviceIo : public platform::DeviceIo {
 public:
  ProcessDeviceIo(Machine& machine, std::uint32_t process, platform::Registry** registry)
      : machine_(machine), process_(process), registry_(registry) {}

  platform::DeviceHandle Open(const char* name) override;
  bool Close(platform::DeviceHandle device) override;
  bool Control(platform::DeviceHandle device, std::uint32_t code, const void* in, std::uint32_t inSize,
               void* out, std::uint32_t outSize, std::uint32_t* returned) override;
  std::size_t OpenHandles() const { return handles_.size(); }

 private:
  Machine& machine_;
  std::uint32_t process_;
  platform::Registry** registry_;  // the process's registry as it is wired at the time of the open
  std::set<platform::DeviceHandle> handles_;
  platform::DeviceHandle next_ = 0x4C0;
};

}  // namespace sim
