// j6sim card: the card as j6base sees it after VEXA_Initialize.
#include <cstdio>
#include <ostream>
#include <sstream>
#include <string>

#include "basedrv/dls/dll_dls.h"
#include "basedrv/dls/frame/hal_dls_host.h"
#include "basedrv/hal/hal.h"
#include "basedrv/j6base.h"
#include "sim/machine.h"
#include "sim/process.h"
#include "tools/j6sim/commands.h"

namespace j6sim {

namespace {

std::string Hex(std::uint32_t value, int digits) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%0*X", digits, value);
  return text;
}

void PrintDescriptor(j6base::DeviceInstance& card, int i, std::ostream& out) {
  j6base::DmaDescriptor& d = card.dma[i];
  j6base::LeBytes rec = d.Record();
  out << "  descriptor " << i << ": channel " << int(d.channel) << ", buffer " << Hex(rec.U32(0x08), 8)
      << " (" << rec.U16(0x0C) << " bytes), 16:16 " << Hex(rec.U32(0x00), 8) << ", start "
      << Hex(rec.U32(0x04), 8) << ", page " << Hex(rec.U16(0x0E), 2) << "\n";
  out << "    ports:";
  if (card.legacyMode) {
    out << " base " << Hex(rec.U8(0x14), 2) << ", count " << Hex(rec.U8(0x15), 2) << ", page "
        << Hex(rec.U8(0x16), 2) << ", mask " << Hex(rec.U8(0x17), 2) << ", mode " << Hex(rec.U8(0x18), 2)
        << ", clear " << Hex(rec.U8(0x19), 2);
    if (d.channel > 7) out << " (no such channel on the PC's DMA controllers)";
  } else {
    for (int k = 0; k < 9; ++k) out << (k ? ", " : " ") << Hex(rec.U16(0x10 + 2 * k), 4);
  }
  out << "\n";
}

}  // namespace

Command& AddCardCommand(CLI::App& app) {
  auto dir = std::make_shared<std::string>();
  Command& command =
      NewCommand(app, "card",
                 "Load j6base on a machine, initialise its card and print what the library sees: "
                 "hardware information, ports, interrupt line, DMA channel descriptors, legacy mode.");
  command.app->add_option("DIR", *dir, "Machine folder")->required();
  command.action = [dir](std::ostream& out) {
    auto machine = sim::Machine::Load(*dir);
    auto process = machine->StartProcess("j6sim.exe");
    j6base::SharedSection shared;
    j6base::ProcessContext context(shared, process->Os());
    j6base::LoadedLibrary library(context);
    j6base::ScopedProcess scope(context);
    if (context.hJ6CVXD == platform::kInvalidDeviceHandle) {
      out << "The virtual device \\\\.\\J6CVXD.VXD cannot be opened: the machine has no card.\n";
      return 1;
    }
    std::uint32_t id = 0;
    const std::uint32_t status = VEXA_Initialize(machine->Config().card.hardwareKey, &id);
    if (status != VEXA_OK) {
      out << "VEXA_Initialize failed with status " << status << ".\n";
      return 1;
    }
    j6base::DeviceInstance& card = *j6base::DeviceIDToHardwareInstance(id);
    j6base::LeBytes hw = card.HwInfo();
    auto info16 = [&](std::uint32_t index) {
      std::uint16_t v = 0;
      VEXA_GetSystemInfo(id, index, &v);
      return v;
    };
    auto info32 = [&](std::uint32_t index) {
      std::uint32_t v = 0;
      VEXA_GetSystemInfo(id, index, &v);
      return v;
    };
    out << "Device identifier:   " << Hex(id, 8) << "\n";
    out << "Mode:                " << (card.legacyMode ? "legacy" : "native") << " (hardware flags "
        << Hex(hw.U16(0x04), 4) << ")\n";
    out << "Base port:           " << Hex(info16(0), 4) << " (indexed registers at " << Hex(info16(1), 4)
        << ")\n";
    out << "Ports:               " << Hex(info16(2), 4) << ", " << Hex(info16(3), 4) << ", MIDI interface "
        << Hex(info16(4), 4) << ", " << Hex(info16(5), 4) << "\n";
    out << "Interrupt line:      " << (card.irq ? std::to_string(card.irq) : "none") << "\n";
    out << "Byte 0x16:           " << Hex(card.byte16, 2) << "\n";
    out << "General MIDI ROM:    " << (info32(13) ? "yes" : "no") << "\n";
    out << "Wavetable status:    " << Hex(hw.U32(0x70), 8) << "\n";
    out << "Sample memory:       " << Hex(hw.U32(0x80), 8) << " (physical " << Hex(hw.U32(0x84), 8)
        << "): DLS RAM " << hw.U32(0x74) << ", GM bank " << hw.U32(0x78) << ", table area " << hw.U32(0x7C)
        << " bytes\n";
    std::uint32_t fourth[5] = {};
    VEXA_GetSystemInfo(id, 12, fourth);
    out << "Fourth buffer:       ";
    if (fourth[0])
      out << Hex(fourth[3], 8) << " (" << fourth[4] << " bytes, physical " << Hex(fourth[2], 8) << ")\n";
    else
      out << "none\n";
    out << "DLS common block:    " << (shared.glpDls ? Hex(shared.glpDls, 8) : std::string("none")) << "\n";
    char engine[512] = {};
    dls::FormatDlsEngineState(dls::GetDlsEngineState(j6base::CurrentDlsEnv(), card.hwInfo), engine,
                              sizeof engine);
    out << "DLS engine:\n";
    std::istringstream lines(engine);
    for (std::string line; std::getline(lines, line);) out << "  " << line << "\n";
    out << "DMA channels:\n";
    for (int i = 0; i < 3; ++i) PrintDescriptor(card, i, out);
    VEXA_Exit(id);
    return 0;
  };
  return command;
}

}  // namespace j6sim
