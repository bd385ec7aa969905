// The entry of J6BASE.DLL: the process's machine and context, then the library's own attach and detach.
#include "basedrv/hal/hal.h"
#include "platform/win32/win32_os.h"
#include "platform/win32/windows_api.h"

// One copy for the whole system: every process that loads the library shares this section. It must be
// initialised by the image itself; a constructor would reset it in each process that loads the library.
__attribute__((section(".shared"), shared)) constinit j6base::SharedSection gShared{};

namespace {
// Ordinary data: each process has its own.
platform::Os gOs;
}  // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
  if (reason == DLL_PROCESS_ATTACH) {
    gOs = platform::win32::MakeOs();
    static j6base::ProcessContext process(gShared, gOs);
    j6base::SetLoadedProcess(&process);
  }
  return j6base::LibMain(reinterpret_cast<std::uintptr_t>(instance), reason, reserved) ? TRUE : FALSE;
}
