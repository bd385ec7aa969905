// A card and process for the DLS engine's start-up, without the hardware access layer: the device's
// hardware information block, its common block and sample memory in a simulated address space, a
// system directory holding bank files, and logs of every port write, wait and service request.
#pragma once

#include <algorithm>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "basedrv/dls/dll_dls.h"
#include "sim/faults.h"
#include "sim/linear_memory.h"
#include "tests/support/null_files.h"

namespace dls_test {

// Only what the bank loader uses; every other call fails.
class FakeFiles : public j6_testing::NullFiles {
 public:
  std::string systemDir = "C:\\WINDOWS\\SYSTEM";
  bool failSystemDir = false;
  std::map<std::string, std::vector<std::uint8_t>> files;
  std::uint32_t shortReadAt = 0xFFFFFFFF;  // the read call number that comes back short
  std::vector<std::uint32_t> reads;
  int openFiles = 0;

  std::uint32_t GetSystemDirectory(char* buffer, std::uint32_t size) override {
    if (failSystemDir) return 0;
    if (systemDir.size() + 1 > size) return static_cast<std::uint32_t>(systemDir.size() + 1);
    std::strcpy(buffer, systemDir.c_str());
    return static_cast<std::uint32_t>(systemDir.size());
  }

  platform::FileHandle OpenFile(const char* path, platform::OpenMode mode) override {
    if (mode != platform::OpenMode::kRead || !files.count(path)) return platform::kInvalidFileHandle;
    open_ = &files[path];
    pos_ = 0;
    ++openFiles;
    return 7;
  }
  bool ReadFile(platform::FileHandle, void* buffer, std::uint32_t size, std::uint32_t* read) override {
    reads.push_back(size);
    std::uint64_t left = open_->size() - pos_;
    std::uint32_t n = static_cast<std::uint32_t>(std::min<std::uint64_t>(size, left));
    if (reads.size() - 1 == shortReadAt) n = n / 2;
    std::memcpy(buffer, open_->data() + pos_, n);
    pos_ += n;
    *read = n;
    return true;
  }
  std::int64_t SeekFile(platform::FileHandle, std::int64_t offset, platform::SeekFrom from) override {
    pos_ = static_cast<std::uint64_t>(offset) + (from == platform::SeekFrom::kEnd ? open_->size() : 0);
    return static_cast<std::int64_t>(pos_);
  }
  std::uint64_t GetFileSize(platform::FileHandle) override { return open_->size(); }
  bool CloseFile(platform::FileHandle) override {
    --openFiles;
    return true;
  }

 private:
  std::vector<std::uint8_t>* open_ = nullptr;
  std::uint64_t pos_ = 0;
};

struct CardSetup {
  bool legacy = false;
  bool gmRom = true;
  std::uint32_t dlsRamSize = 0x10000;
  std::uint32_t gmBankSize = 0;
  std::uint32_t tableArea = 57796;
  bool sampleMemory = true;
  std::uint32_t reservedGmBytes =
      0xFFFFFFFF;  // what the device really reserves for the bank; default: gmBankSize
};

class FakeHost : public dls::DlsHost {
 public:
  static constexpr std::uint16_t kBasePort = 0x220, kCommandPort = 0x331, kMidiPort = 0x330;

  explicit FakeHost(const CardSetup& setup, bool commonBlock = true)
      : setup(setup), space(memory, faults, "process:1") {
    env.memory = &space;
    if (commonBlock) env.glpDls = memory.Allocate(dls::cdb::kSize, "vxd");
    std::uint32_t gm = setup.reservedGmBytes == 0xFFFFFFFF ? setup.gmBankSize : setup.reservedGmBytes;
    sampleMem = setup.sampleMemory ? memory.Allocate(gm + setup.tableArea + setup.dlsRamSize, "vxd") : 0;
    dls::PutLe32(hwInfo, dls::hwinfo::kWaveStatus, setup.gmRom ? 1 : 0);
    dls::PutLe32(hwInfo, dls::hwinfo::kDlsRamSize, setup.dlsRamSize);
    dls::PutLe32(hwInfo, dls::hwinfo::kGmBankSize, setup.gmBankSize);
    dls::PutLe32(hwInfo, dls::hwinfo::kTableAreaSize, setup.tableArea);
    dls::PutLe32(hwInfo, dls::hwinfo::kSampleMemLinear, sampleMem);
    dls::PutLe32(hwInfo, dls::hwinfo::kSampleMemPhys, setup.sampleMemory ? 0x01000000 : 0);
  }

  dls::DlsEnv Env() override { return env; }
  bool FindDevice(std::uint32_t deviceId, dls::DlsDevice* device) override {
    ++lookups;
    if (deviceId != kDeviceId) return false;
    device->hwInfo = hwInfo;
    device->legacy = setup.legacy;
    device->basePort = kBasePort;
    device->commandPort = kCommandPort;
    device->midiPort = kMidiPort;
    return true;
  }
  bool& InitAlready() override { return initAlready; }
  platform::FileSystem* Files() override { return &files; }
  void DelayMs(std::uint32_t ms) override { events.push_back("wait " + std::to_string(ms)); }
  void PortOut8(std::uint16_t port, std::uint8_t value) override {
    char text[32];
    std::snprintf(text, sizeof text, "out %03X %02X", port, value);
    events.push_back(text);
  }
  bool SetDlsRamAddr(std::uint32_t, std::uint32_t flag, std::uint32_t offset) override {
    char text[40];
    std::snprintf(text, sizeof text, "0x0A flag %u offset %08X", flag, offset);
    events.push_back(text);
    return true;
  }
  bool GetDrumPatchRom(platform::LinearAddress address) override {
    events.push_back("0x10");
    auto table = memory.Map(address, 512);
    for (std::size_t i = 0; i < table.size(); ++i) table[i] = static_cast<std::uint8_t>(0xA0 + i % 4);
    return true;
  }

  std::uint32_t WaveStatus() const { return dls::GetLe32(hwInfo, dls::hwinfo::kWaveStatus); }
  dls::CommonBlock Block() { return env.Common(); }

  static constexpr std::uint32_t kDeviceId = 0x4A36;
  CardSetup setup;
  sim::LinearMemory memory;
  sim::Faults faults;
  sim::ProcessAddressSpace space;
  dls::DlsEnv env;
  platform::LinearAddress sampleMem = 0;
  std::array<std::uint8_t, 136> hwInfo{};
  bool initAlready = false;
  FakeFiles files;
  std::vector<std::string> events;
  int lookups = 0;
};

}  // namespace dls_test
