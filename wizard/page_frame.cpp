#include "wizard/page_frame.h"

#include <cctype>
#include <cstdio>
#include <limits>

namespace wizard {

platform::ControlTemplate LogoPanelControl() {
  return {kLogoControlId,           platform::ControlKind::kOwnerDrawButton, "", 7, 10, 73, 52,
          platform::kControlTabStop};
}

platform::BitmapHandle PreparePages(platform::Os& os) {
  if (!os.ui) return platform::kNoBitmap;
  os.ui->SetPageLook(kWhite, kBlack);
  return os.ui->LoadBitmapFile(".\\logo.bmp");
}

std::intptr_t DrawLogoPanel(platform::Dialog& dialog, std::uint32_t message, std::uintptr_t wParam,
                            platform::BitmapHandle logo) {
  if (message == platform::kWmDrawItem && static_cast<int>(wParam) == kLogoControlId &&
      logo != platform::kNoBitmap)
    dialog.DrawBitmapStretched(kLogoControlId, logo);  // a failed copy leaves the panel as it was
  return 0;
}

bool CheckDiskSpace(platform::Os& os, std::int32_t* requiredBytes, std::int32_t* availableBytes,
                    std::string* driveRoot) {
  char dir[platform::kMaxPath] = {};
  std::uint32_t required = 0;  // sums the low 32 bits and wraps, as the 32-bit program did
  std::uint32_t length = os.files->GetCurrentDirectory(sizeof dir, dir);
  if (length > 0 && length < sizeof dir) {
    std::string pattern = std::string(dir) + (dir[length - 1] == '\\' ? "" : "\\") + "*.*";
    platform::FindData found;
    platform::FindHandle find = os.files->FindFirstFile(pattern.c_str(), &found);
    if (find != platform::kInvalidFindHandle) {
      do {
        std::string upper = found.name;
        for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        if (upper.find(".EXE") == std::string::npos && upper.find("DETECT") == std::string::npos)
          required += static_cast<std::uint32_t>(found.size);
      } while (os.files->FindNextFile(find, &found));
      os.files->FindClose(find);
    }
  }
  *requiredBytes = static_cast<std::int32_t>(required);

  char windows[platform::kMaxPath] = {};
  std::string root;
  std::uint32_t windowsLength = os.files->GetWindowsDirectory(windows, sizeof windows);
  if (windowsLength > 0 && windowsLength < sizeof windows) {
    root = windows;
    auto slash = root.find('\\');
    if (slash != std::string::npos) root.resize(slash + 1);
  }
  if (driveRoot) *driveRoot = root;

  std::uint32_t sectorsPerCluster = 0, bytesPerSector = 0, freeClusters = 0, totalClusters = 0;
  if (os.files->GetDiskFreeSpace(root.c_str(), &sectorsPerCluster, &bytesPerSector, &freeClusters,
                                 &totalClusters)) {
    // Computed wide and capped: 2 GB itself does not fit the signed 32-bit field.
    std::uint64_t bytes = std::uint64_t{freeClusters} * sectorsPerCluster * bytesPerSector;
    constexpr std::uint64_t kMax = std::numeric_limits<std::int32_t>::max();
    *availableBytes = static_cast<std::int32_t>(bytes > kMax ? kMax : bytes);
  } else {
    // Unknown free space does not stop an installation.
    *availableBytes = std::numeric_limits<std::int32_t>::max();
  }
  return !(*requiredBytes > *availableBytes);
}

void DiskSpacePage(platform::Os& os, const platform::DialogTemplate& page, const DiskSpaceFields& fields,
                   platform::BitmapHandle logo, std::int32_t availableBytes, std::int32_t requiredBytes,
                   const std::string& driveRoot) {
  if (!os.ui) return;
  platform::DialogProc proc = [&](platform::Dialog& dialog, std::uint32_t message, std::uintptr_t wParam,
                                  std::intptr_t) -> std::intptr_t {
    char number[16];
    switch (message) {
      case platform::kWmInitDialog:
        std::snprintf(number, sizeof number, "%d", static_cast<int>(availableBytes));
        dialog.SetText(fields.availableBytes, number);
        std::snprintf(number, sizeof number, "%d", static_cast<int>(requiredBytes));
        dialog.SetText(fields.requiredBytes, number);
        dialog.SetText(fields.availableRoot, driveRoot);
        dialog.SetText(fields.requiredRoot, driveRoot);
        return 1;
      case platform::kWmCommand:
        if (platform::CommandId(wParam) == platform::kIdOk ||
            platform::CommandId(wParam) == platform::kIdCancel) {
          dialog.End(platform::CommandId(wParam));
          return 1;
        }
        return 0;
      default:
        return DrawLogoPanel(dialog, message, wParam, logo);
    }
  };
  os.ui->ShowModal(page, 0, proc, 0);
}

void RequestRestart(platform::Os& os) {
  if (os.processes) os.processes->ExitWindows(platform::kEwxReboot);
}

void WriteRunOnceMarker(platform::Os& os) {
  platform::HKey key = 0;
  if (os.registry->OpenKey(platform::kHkeyLocalMachine,
                           "Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce",
                           &key) != platform::kErrorSuccess)
    return;
  static const std::uint8_t kSpace[2] = {' ', 0};
  os.registry->SetValue(key, "OVSetupProfile", platform::kRegSz, kSpace, sizeof kSpace);
  os.registry->CloseKey(key);
}

void EnableTrayVolume(platform::Os& os) {
  platform::HKey key = 0;
  if (os.registry->OpenKey(platform::kHkeyCurrentUser,
                           "Software\\Microsoft\\Windows\\CurrentVersion\\Applets\\SysTray",
                           &key) != platform::kErrorSuccess)
    return;
  std::uint8_t data[4] = {};
  std::uint32_t type = 0, size = sizeof data;
  if (os.registry->QueryValue(key, "Services", &type, data, &size) == platform::kErrorSuccess && size > 0) {
    data[0] |= 0x4;  // little-endian: bit 0x4 of the value lives in its first byte
    os.registry->SetValue(key, "Services", type, data, size);
  }
  os.registry->CloseKey(key);
}

std::string WavetableAppletCommand(const std::string& windowsDir, const std::string& systemDir) {
  return windowsDir + "\\RunDll32.EXE " + systemDir + "\\Shell32.dll," + "Control_RunDLL " + systemDir +
         "\\J6Audio.cpl";
}

void StartWavetableApplet(platform::Os& os, platform::WindowHandle owner) {
  char windows[platform::kMaxPath] = {};
  char system[platform::kMaxPath] = {};
  std::uint32_t length = os.files->GetWindowsDirectory(windows, sizeof windows);
  if (length == 0 || length >= sizeof windows) {
    windows[0] = 0;
    if (os.ui)
      os.ui->MessageBox(owner, "Error: Could not determine the Windows directory.", "GetWindowsDirectory",
                        platform::kMbIconStop);
  }
  length = os.files->GetSystemDirectory(system, sizeof system);
  if (length == 0 || length >= sizeof system) {
    system[0] = 0;
    if (os.ui)
      os.ui->MessageBox(owner, "Error: Could not determine the Windows System directory.",
                        "GetSystemDirectory", platform::kMbIconStop);
  }
  std::string command = WavetableAppletCommand(windows, system);
  platform::ProcessHandle process =
      os.processes
          ? os.processes->Start(command.c_str(), platform::kCreateNewConsole | platform::kNormalPriorityClass)
          : platform::kNoProcess;
  if (process == platform::kNoProcess) {
    char text[64];
    std::snprintf(text, sizeof text, "CreateProcess() failed. Error Code = %d",
                  static_cast<int>(os.files->LastError()));
    if (os.ui) os.ui->MessageBox(owner, text, "CreateProcess: Error", platform::kMbIconStop);
    return;
  }
  os.processes->Wait(process);
  os.processes->CloseHandle(process);
}

}  // namespace wizard
