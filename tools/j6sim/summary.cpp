#include "tools/j6sim/summary.h"

#include <filesystem>
#include <ostream>

namespace j6sim {

void PrintSummary(sim::Machine& machine, std::ostream& out) {
  const auto& config = machine.Config();
  out << "Machine folder:   " << machine.Dir().string() << "\n";
  out << "Windows:          " << (machine.IsNt() ? "Windows NT" : "Windows 95") << "\n";
  out << "Windows dir:      " << config.windowsDir << "\n";
  out << "System dir:       " << config.systemDir << "\n";
  out << "Drive C free:     " << config.freeBytes << " bytes\n";
  out << "Card:             ";
  switch (config.card.kind) {
    case sim::CardKind::kPci: out << "PCI"; break;
    case sim::CardKind::kIsa: out << "ISA Plug and Play"; break;
    case sim::CardKind::kNone: out << "none"; break;
  }
  if (config.card.kind != sim::CardKind::kNone) {
    out << (config.card.legacyMode ? ", legacy mode" : ", native mode")
        << (config.card.gmRom ? ", General MIDI ROM" : ", no General MIDI ROM") << ", IRQ " << int(config.card.irq)
        << ", DMA " << int(config.card.dma[0]) << "/" << int(config.card.dma[1]) << "/" << int(config.card.dma[2])
        << ", table area " << config.card.tableAreaSize << " bytes";
  }
  out << "\n";
  for (const auto& d : config.pciDevices) {
    char line[64];
    std::snprintf(line, sizeof line, "PCI device:       %04X:%04X\n", d.vendor, d.device);
    out << line;
  }
}

void RebootMachine(sim::Machine& machine, std::ostream& out) {
  out << "Restarted " << machine.Dir().string() << "\n";
}

}  // namespace j6sim
