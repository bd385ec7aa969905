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
