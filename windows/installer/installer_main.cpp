// INSTALLER.EXE: the installer over the real Windows, with the detection library bound at load time.
#include "install95/installer_app.h"
#include "platform/win32/detection.h"
#include "platform/win32/win32_os.h"
#include "platform/win32/windows_api.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  platform::Os os = platform::win32::MakeOs();
  platform::win32::BoundDetectionLibrary detection;
  os.detection = &detection;
  // The install mode looks at the whole command line, program path included.
  return install95::InstallerMain(os, GetCommandLineA());
}
