// The real Win32 backend: every platform interface over the Win32 call it names. A Windows program
// calls MakeOs() once and hands the result to the deliverable code.
#pragma once

#include <cstdint>

#include "platform/os.h"

namespace platform::win32 {

// The platform::Os of the running process. The objects behind it live as long as the process.
// Facilities the running Windows cannot offer are left null: services on Windows 95, the linear address
// space in the 64-bit build (pointers do not fit 32 bits), the flat thunk outside 32-bit Windows 95.
// The PCI BIOS and direct port I/O work only on 32-bit Windows 95; elsewhere they are stand-ins that
// report no PCI BIOS and read all ones. `detection` is left null: a program that binds "detect32.dll"
// sets it (see detection.h in this folder).
platform::Os MakeOs();

// The Windows family reported by GetVersion.
platform::WindowsFamily RunningFamily();

}  // namespace platform::win32
