#include "sim/vxd.h"

#include <algorithm>
#include <cctype>
#include <cstring>

#include "sim/card.h"
#include "sim/machine.h"

namespace sim {

namespace {

constexpr const char* kDriverKey = "System\\CurrentControlSet\\Services\\VxD\\ORVANTIS";

std::uint32_t U32(const std::uint8_t* p) {
  return std::uint32_t(p[0] | p[1] << 8 | p[2] << 16) | std::uint32_t(p[3]) << 24;
}
void Put16(std::uint8_t* p, std::uint16_t v) {
  p[0] = std::uint8_t(v);
  p[1] = std::uint8_t(v >> 8);
}
void Put32(std::uint8_t* p, std::uint32_t v) {
  Put16(p, std::uint16_t(v));
  Put16(p + 2, std::uint16_t(v >> 16));
}

bool SameName(const char* a, const char* b) {
  if (!a) return false;
  for (; *a && *b; ++a, ++b)
    if (std::toupper(static_cast<unsigned char>(*a)) != std::toupper(static_cast<unsigned char>(*b)))
      return false;
  return *a == *b;
}

}  // namespace

VirtualDevice::VirtualDevice(Machine& machine) : machine_(machine) {
  machine.Get<Card>();
  const CardConfig& card = machine.Config().card;
  identities_[card.hardwareKey] = card.deviceId;
}

bool VirtualDevice::Present() const {
  return machine_.Config().card.kind != CardKind::kNone;
}

std::uint32_t VirtualDevice::ReadSize(platform::Registry* registry, const char* subkey,
                                      std::uint32_t fallback) {
  if (!registry) return fallback;
  platform::HKey key = 0;
  const std::string path = std::string(kDriverKey) + "\\" + subkey;
  if (registry->OpenKey(platform::kHkeyLocalMachine, path.c_str(), &key) != platform::kErrorSuccess)
    return fallback;
  char text[32] = {};
  std::uint32_t type = 0;
  std::uint32_t size = sizeof text - 1;
  const std::uint32_t error =
      registry->QueryValue(key, nullptr, &type, reinterpret_cast<std::uint8_t*>(text), &size);
  registry->CloseKey(key);
  if (error != platform::kErrorSuccess) return fallback;
  std::uint64_t value = 0;
  bool digits = false;
  for (const char* p = text; *p >= '0' && *p <= '9'; ++p) {
    value = value * 10 + std::uint64_t(*p - '0');
    digits = true;
    if (value > kMaxConfiguredSize) return fallback;
  }
  return digits ? std::uint32_t(value) : fallback;
}

void VirtualDevice::Start(platform::Registry* registry) {
  if (started_) return;
  started_ = true;
  const CardConfig& card = machine_.Config().card;
  dlsRamSize_ = ReadSize(registry, "Config\\SysMemDlsRamSize", kDefaultDlsRamSize);
  gmBankSize_ = ReadSize(registry, "Config\\SysMemGMBankSize", kDefaultGmBankSize);
  LinearMemory& memory = machine_.Memory();
  commonBlock_ = memory.Allocate(kCommonBlockSize, "vxd");
  sampleMemorySize_ = gmBankSize_ + card.tableAreaSize + dlsRamSize_;
  sampleMemory_ = memory.Allocate(sampleMemorySize_, "vxd");
  for (int i = 0; i < 4; ++i) buffers_[i] = memory.Allocate(card.dmaBufferSize, "vxd");
}

std::vector<std::uint8_t> VirtualDevice::HardwareInfo() const {
  const CardConfig& card = machine_.Config().card;
  std::vector<std::uint8_t> block(kHwInfoSize, 0);
  std::uint8_t* b = block.data();
  Put32(b + 0x00, kHwInfoSize);
  Put16(b + 0x04, std::uint16_t((card.legacyMode ? 0 : 0x0200) | (card.fourthBuffer ? 0x0004 : 0)));
  Put16(b + 0x08, card.basePort);
  for (int i = 0; i < 4; ++i) Put16(b + 0x0C + 2 * i, card.ports[i]);
  b[0x15] = card.irq;
  b[0x16] = card.byte16;
  for (int i = 0; i < 3; ++i) {
    b[0x17 + i] = card.dma[i];
    Put16(b + 0x1A + 2 * i, card.dmaRegBases[i]);
  }
  Put16(b + 0x20, card.resetValue);
  for (int i = 0; i < 4; ++i) {
    std::uint8_t* entry = b + 0x26 + 18 * i;
    Put32(entry + 0, card.dmaBufferPhys[i]);
    Put32(entry + 4, buffers_[i]);
    Put32(entry + 8, buffers_[i] ? card.dmaBufferSize : 0);
    Put16(entry + 12, std::uint16_t(0x0107 + 8 * i));
  }
  Put16(b + 0x6E, card.selector6E);
  Put32(b + 0x70, card.gmRom ? 1 : 0);
  Put32(b + 0x74, dlsRamSize_);
  Put32(b + 0x78, gmBankSize_);
  Put32(b + 0x7C, card.tableAreaSize);
  Put32(b + 0x80, sampleMemory_);
  Put32(b + 0x84, sampleMemory_ ? card.sampleMemPhys : 0);
  return block;
}

std::vector<std::uint8_t> VirtualDevice::RomDrumPatchTable() {
  std::vector<std::uint8_t> table(512);
  for (int key = 0; key < 128; ++key) {
    std::uint8_t* e = table.data() + 4 * key;
    if (key >= 35 && key <= 81) {
      // The ROM's percussion patches follow the General MIDI key map; the hi-hats share key group 1.
      const std::uint16_t keyGroup = (key == 42 || key == 44 || key == 46) ? 1 : 0;
      const std::uint16_t word = std::uint16_t(keyGroup << 12 | (0x200 + key));
      e[0] = std::uint8_t(word >> 8);
      e[1] = std::uint8_t(word);
      e[2] = 0;
      e[3] = 0x80;
    } else {
      e[0] = 0x03, e[1] = 0xFF, e[2] = 0x00, e[3] = 0x80;
    }
  }
  return table;
}

std::vector<std::uint32_t> VirtualDevice::Codes() const {
  std::vector<std::uint32_t> codes;
  for (const auto& r : log_) codes.push_back(r.code);
  return codes;
}

bool VirtualDevice::Control(std::uint32_t process, std::uint32_t code, const void* in, std::uint32_t inSize,
                            void* out, std::uint32_t outSize, std::uint32_t* returned) {
  Request request;
  request.process = process;
  request.code = code;
  const auto* input = static_cast<const std::uint8_t*>(in);
  if (input) request.input.assign(input, input + inSize);
  std::uint32_t count = 0;
  const bool failed = machine_.GetFaults().ShouldFail(fault::kDeviceRequest) || refused_.count(code) != 0;
  request.ok = !failed && Serve(code, input, input ? inSize : 0, static_cast<std::uint8_t*>(out),
                                out ? outSize : 0, &count);
  if (returned) *returned = request.ok ? count : 0;
  log_.push_back(std::move(request));
  return log_.back().ok;
}

bool VirtualDevice::Serve(std::uint32_t code, const std::uint8_t* in, std::uint32_t inSize, std::uint8_t* out,
                          std::uint32_t outSize, std::uint32_t* returned) {
  auto needs = [&](std::uint32_t inBytes, std::uint32_t outBytes) {
    return inSize >= inBytes && outSize >= outBytes;
  };
  switch (code) {
    case 0x01:
      if (!needs(0, 8)) return false;
      std::memset(out, 0, 8);
      *returned = 8;
      return true;
    case 0x02: {
      if (!needs(4, kHwInfoSize)) return false;
      const std::uint32_t id = U32(in);
      if (std::none_of(identities_.begin(), identities_.end(), [&](const auto& e) { return e.second == id; }))
        return false;
      const auto block = HardwareInfo();
      std::memcpy(out, block.data(), kHwInfoSize);
      *returned = kHwInfoSize;
      return true;
    }
    case 0x03:
    case 0x04:
      if (!needs(8, 0)) return false;
      if (code == 0x03)
        resources_ |= U32(in);
      else
        resources_ &= ~U32(in);
      *returned = outSize >= 8 ? 8 : 0;
      return true;
    case 0x05:
      if (!needs(32, 0)) return false;
      if (in[0] == 1)
        hooked_ = true;
      else if (in[0] == 2)
        hooked_ = false;
      else if (in[0] != 3)
        return false;
      return true;
    case 0x06: {
      if (!needs(4, 8)) return false;
      auto it = identities_.find(U32(in));
      if (it == identities_.end()) return false;
      std::memset(out, 0, 8);
      Put32(out, it->second);
      *returned = 8;
      return true;
    }
    case 0x07:
      if (!needs(12, 0)) return false;
      callbacks_.push_back(Callback{U32(in), U32(in + 4), U32(in + 8)});
      return true;
    case 0x0A:
      if (!needs(12, 0)) return false;
      dlsRamAddrs_.push_back(DlsRamAddr{U32(in), U32(in + 4), U32(in + 8)});
      return true;
    case 0x0C:
      if (!needs(4, 4) || U32(in) != kCommonBlockSize || commonBlock_ == 0) return false;
      Put32(out, commonBlock_);
      *returned = 4;
      return true;
    case 0x0F: {
      if (!needs(12, 4)) return false;
      const std::uint32_t what = U32(in), address = U32(in + 4), size = U32(in + 8);
      if (what == 1) {
        std::uint32_t got = 0;
        if (!machine_.GetFaults().ShouldFail(fault::kSharedAlloc))
          got = machine_.Memory().Allocate(size, "vxd.shared");
        if (got) shared_[got] = size;
        Put32(out, got);
      } else if (what == 2) {
        const bool freed = shared_.erase(address) == 1 && machine_.Memory().Free(address);
        Put32(out, freed ? 1 : 0);
      } else {
        return false;
      }
      *returned = 4;
      return true;
    }
    case 0x10: {
      if (!needs(4, 0)) return false;
      auto span = machine_.Memory().Map(U32(in), 512);
      if (span.size() != 512) return false;
      const auto table = RomDrumPatchTable();
      std::copy(table.begin(), table.end(), span.begin());
      return true;
    }
    case 0x100:
      if (!needs(12, 4)) return false;
      pipes_.insert(nextPipe_);
      Put32(out, nextPipe_++);
      *returned = 4;
      return true;
    case 0x101:
      if (!needs(8, 0)) return false;
      return true;
  }
  return false;
}

platform::DeviceHandle ProcessDeviceIo::Open(const char* name) {
  if (!SameName(name, VirtualDevice::kName)) return platform::kInvalidDeviceHandle;
  VirtualDevice& device = machine_.Get<VirtualDevice>();
  if (!device.Present()) return platform::kInvalidDeviceHandle;
  // Opening the device is a request to it as well, and fails the same way.
  if (machine_.GetFaults().ShouldFail(fault::kDeviceRequest)) return platform::kInvalidDeviceHandle;
  device.Start(registry_ ? *registry_ : nullptr);
  const platform::DeviceHandle handle = next_++;
  handles_.insert(handle);
  return handle;
}

bool ProcessDeviceIo::Close(platform::DeviceHandle device) {
  return handles_.erase(device) == 1;
}

bool ProcessDeviceIo::Control(platform::DeviceHandle device, std::uint32_t code, const void* in,
                              std::uint32_t inSize, void* out, std::uint32_t outSize,
                              std::uint32_t* returned) {
  if (!handles_.count(device)) {
    if (returned) *returned = 0;
    return false;
  }
  return machine_.Get<VirtualDevice>().Control(process_, code, in, inSize, out, outSize, returned);
}

}  // namespace sim
