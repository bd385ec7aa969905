// What every page of the installers shares: the look, the logo panel, the free-space check and its page,
// the restart, the RunOnce marker, the tray volume switch and the start of the wavetable applet.
#pragma once

#include <cstdint>
#include <string>

#include "platform/os.h"

namespace wizard {

constexpr int kLogoControlId = 1028;
constexpr std::uint32_t kWhite = 0xFFFFFF;
constexpr std::uint32_t kBlack = 0x000000;

// The logo panel of a page: an owner-drawn button with a tab stop at the left.
platform::ControlTemplate LogoPanelControl();

// At start, before the first page: three-dimensional controls, white pages with black text, and the
// logo ".\logo.bmp" (kNoBitmap when it cannot be loaded; the panels then stay blank).
platform::BitmapHandle PreparePages(platform::Os& os);

// The logo panel's part of a page's dialog procedure: on WM_DRAWITEM for the logo control it draws the
// bitmap stretched over the item. Always returns 0 so the default handling goes on.
std::intptr_t DrawLogoPanel(platform::Dialog& dialog, std::uint32_t message, std::uintptr_t wParam,
                            platform::BitmapHandle logo);

// The free-space check: the sizes of the current directory's entries other than programs and the
// detection library against the free space of the Windows drive. Fills both numbers and the drive root;
// true when the installation fits. When the free space cannot be had, it counts as enough.
bool CheckDiskSpace(platform::Os& os, std::int32_t* requiredBytes, std::int32_t* availableBytes,
                    std::string* driveRoot);

// The page that reports a shortage; its template carries the read-only fields named here.
struct DiskSpaceFields {
  int availableRoot;
  int availableBytes;
  int requiredRoot;
  int requiredBytes;
};
void DiskSpacePage(platform::Os& os, const platform::DialogTemplate& page, const DiskSpaceFields& fields,
                   platform::BitmapHandle logo, std::int32_t availableBytes, std::int32_t requiredBytes,
                   const std::string& driveRoot);

// ExitWindowsEx(EWX_REBOOT); the result is not examined.
void RequestRestart(platform::Os& os);
void WriteRunOnceMarker(platform::Os& os);
void EnableTrayVolume(platform::Os& os);
// Runs the Windows 95 Control Panel applet of the driver set through RunDll32 and waits for it; message
// boxes (owned by `owner`) tell what went wrong.
void StartWavetableApplet(platform::Os& os, platform::WindowHandle owner);
// The command line StartWavetableApplet starts, built from the two directories.
std::string WavetableAppletCommand(const std::string& windowsDir, const std::string& systemDir);

}  // namespace wizard
