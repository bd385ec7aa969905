// machine.json: what kind of PC a machine folder simulates.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/os.h"

namespace sim {

enum class CardKind { kPci, kIsa, kNone };

struct CardConfig {
  CardKind kind = CardKind::kPci;
  bool legacyMode = false;          // bit 9 of the hardware flags clear
  bool gmRom = true;                // the card has a General MIDI ROM (status bit 0)
  std::uint8_t irq = 5;             // interrupt line, 0 = none
  std::uint8_t dma[3] = {1, 5, 0};  // DMA channels of descriptors 0, 1, 2
  std::uint16_t basePort = 0xE000;
  std::uint32_t tableAreaSize = 0x10000;  // table area of the sample memory, bytes
  std::uint32_t hardwareKey = 1;          // the key the virtual device maps to this card
  std::uint32_t deviceId = 0x4A360001;    // the identifier the virtual device hands out for it
  // Ports reported by the hardware information block at offsets 0x0C, 0x0E, 0x10 (the MIDI interface's
  // command and status port; its data port is one below) and 0x12.
  std::uint16_t ports[4] = {0x0388, 0xE010, 0x0331, 0x0201};
  std::uint8_t byte16 = 0;                                  // hardware information byte 0x16
  std::uint16_t resetValue = 0x3C;                          // what the reset writes to indexed register 9
  std::uint16_t dmaRegBases[3] = {0xE040, 0xE050, 0xE060};  // the card's own DMA register blocks
  std::uint32_t dmaBufferPhys[4] = {0x00120000, 0x00130000, 0x00140000, 0x00150000};
  std::uint32_t dmaBufferSize = 0x8000;
  bool fourthBuffer = false;  // hardware flag bit 2: a fourth buffer is described
  std::uint16_t selector6E = 0x0147;
  std::uint32_t sampleMemPhys = 0x01000000;  // physical address of the sample memory block
  std::uint32_t busyPolls =
      1;  // polls that still read busy after a memory request; 0xFFFFFFFF = never clears
};

struct PciDevice {
  std::uint16_t vendor = 0;
  std::uint16_t device = 0;
};

struct MachineConfig {
  platform::WindowsFamily os = platform::WindowsFamily::k95;
  std::string windowsDir = "C:\\WINDOWS";
  std::string systemDir = "C:\\WINDOWS\\SYSTEM";
  CardConfig card;
  std::vector<PciDevice> pciDevices;  // further devices on the PCI bus (the card itself is added by kind)
  std::uint64_t freeBytes = 500ull * 1024 * 1024;  // free space of drive C

  // Defaults for a new machine of the given Windows.
  static MachineConfig Defaults(platform::WindowsFamily os);
};

// Reads and writes machine.json. Reading throws MachineError with "file:line: reason".
MachineConfig ReadMachineConfig(const std::filesystem::path& file);
void WriteMachineConfig(const std::filesystem::path& file, const MachineConfig& config);

std::string ToString(CardKind kind);
std::string ToString(platform::WindowsFamily os);

}  // namespace sim
