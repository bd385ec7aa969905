// The Windows NT kernel driver j6knldrv is not part of this package, but the Control Panel applet relies
// on one thing it does when it starts: it tells in "GmFile" of its Parameters\Device0 key which General
// MIDI banks it can load.
#pragma once

#include <cstdint>

namespace sim {

class Machine;

// Bit value 1: the card's ROM; 2, 4, 8: the 1, 2 and 4 MB bank files j6gm1.bin, j6gm2.bin and j6gm4.bin
// in the system folder.
std::uint32_t KernelDriverBanks(Machine& machine);

// What the driver does when its service starts: writes "GmFile".
void KernelDriverStarts(Machine& machine);

}  // namespace sim
