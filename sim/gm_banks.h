// Stand-ins for the General MIDI sample bank files "j6gm1.bin" ... "j6gm8.bin", which come with the card
// and are not ours. A stand-in carries what the engine reads of a bank (bytes 7-9: the 24-bit big-endian
// offset of a 128-entry drum patch table) and otherwise a plain, recognisable filler.
#pragma once

#include <cstdint>
#include <filesystem>
#include <vector>

namespace sim {

class Machine;

inline constexpr std::uint32_t kGmBankDrumTableOffset = 0x100;

// The image of the bank for `selector` (1, 2, 4 or 8); `size` 0 means the selector's size in MB.
std::vector<std::uint8_t> MakeGmBankImage(std::uint8_t selector, std::uint32_t size = 0);

// Writes j6gmN.bin for each selector into the machine's system directory; returns the host paths.
std::vector<std::filesystem::path> InstallGmBanks(Machine& machine,
                                                  const std::vector<std::uint8_t>& selectors = {1, 2, 4, 8},
                                                  std::uint32_t size = 0);

}  // namespace sim
