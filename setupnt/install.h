// The installation steps: version check, copy through the setup file queue, registration of the drivers.
#pragma once

#include <cstdint>

#include "setupnt/setup_state.h"

namespace setupnt {

// False when the installed kernel driver is at least as new as the one on the disk.
bool IsUpdateNeeded(SetupState& state);
void CopyDriverFiles(SetupState& state);
void RegisterDrivers(SetupState& state);

// 0 or the system error code.
std::uint32_t CreateDriverService(platform::Os& os, const char* name, const char* group);
std::uint32_t StartDriverService(platform::Os& os, const char* name);

void CreateDeviceKey(platform::Os& os);
void WriteJoystickParameters(platform::Os& os);
void SetMidiMapperInstrument(platform::Os& os);

}  // namespace setupnt
