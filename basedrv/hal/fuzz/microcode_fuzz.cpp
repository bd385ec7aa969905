// libFuzzer target: any bytes as a microcode file. The loader must end, stay inside its buffers and leave
// nothing allocated, whatever the file holds.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "../tests/memory_files.h"
#include "basedrv/hal/hal.h"
#include "sim/card.h"
#include "sim/clock.h"
#include "sim/linear_memory.h"
#include "sim/port_bus.h"

namespace {

struct Pc {
  Pc() : card(bus, sim::CardConfig{}), space(memory, faults, "fuzz"), context(shared, os) {
    bus.SetTracing(false);
    os.ports = &bus;
    os.memory = &space;
    os.files = &files;
    os.clock = &clock;
    j6base::DeviceInstance& r = shared.gVexaHWInst[0];
    const std::uint16_t base = sim::CardConfig{}.basePort;
    r.deviceId = 1;
    r.refCount = 1;
    r.basePort = base;
    r.indexPort = std::uint16_t(base + 4);
    r.dataPort = std::uint16_t(base + 5);
    r.wideIndexLowPort = std::uint16_t(base + 8);
    r.wideIndexHighPort = std::uint16_t(base + 9);
    r.wideDataLowPort = std::uint16_t(base + 10);
    r.wideDataHighPort = std::uint16_t(base + 11);
  }
  sim::PortBus bus;
  sim::Card card;
  sim::LinearMemory memory;
  sim::Faults faults;
  sim::ProcessAddressSpace space;
  sim::VirtualClock clock;
  haltest::MemoryFiles files;
  platform::Os os;
  j6base::SharedSection shared;
  j6base::ProcessContext context;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static Pc pc;
  j6base::ScopedProcess calling(pc.context);
  pc.files.files["u"] = std::string(reinterpret_cast<const char*>(data), size);
  const std::uint32_t status = VEXA_LoadUCode(1, "u", 1 + std::uint32_t(size & 1));
  if (status > 1 || pc.files.OpenFiles() != 0 || pc.space.GlobalBytesInUse() != 0) std::abort();
  return 0;
}
