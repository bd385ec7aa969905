// Start and stop of the DLS engine, called by the hardware access layer: DlsInit by the first
// VEXA_Initialize of a card, DlsExit by its last VEXA_Exit.
#pragma once

#include <cstdint>

namespace j6base {

std::uint32_t DlsInit(std::uint32_t deviceId);
std::uint32_t DlsExit(std::uint32_t deviceId);

}  // namespace j6base
