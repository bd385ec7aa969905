// SETUP.EXE: the Windows NT setup program over the real Win32 backend.
#include "platform/win32/windows_api.h"

#include "platform/win32/win32_os.h"
#include "setupnt/setup_app.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  platform::Os os = platform::win32::MakeOs();
  return setupnt::SetupMain(os, GetCommandLineA());
}
