// The image entry of J6AUDIO.CPL: hands the applet the real Windows, then runs its LibMain.
#include "applet/j6audio.h"
#include "platform/win32/win32_os.h"
#include "platform/win32/windows_api.h"

namespace {
platform::Os gOs;
}  // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
  if (reason == DLL_PROCESS_ATTACH) {
    gOs = platform::win32::MakeOs();
    j6audio::LoadModule(&gOs);
  }
  return j6audio::LibMain(reinterpret_cast<std::uintptr_t>(instance), reason, reserved);
}
