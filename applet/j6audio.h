// j6audio: the Windows NT Control Panel applet that chooses the General MIDI sample bank of the wavetable
// synthesizer. The exported entry points keep their Win32 shapes; the types below stand in for the Windows
// ones so that no Windows header is needed on the host.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/os.h"

// Exports use the Win32 standard calling convention, which only the 32-bit x86 ABI tells apart.
#if defined(_WIN32) && defined(__i386__)
#define J6AUDIO_WINAPI __stdcall
#else
#define J6AUDIO_WINAPI
#endif

namespace j6audio {

using BOOL = std::int32_t;
using LONG = std::int32_t;
using UINT = std::uint32_t;
using DWORD = std::uint32_t;
using WPARAM = std::uintptr_t;
using LPARAM = std::intptr_t;
using HWND = std::uintptr_t;
using HINSTANCE = std::uintptr_t;
using HKEY = platform::HKey;
using WCHAR = char16_t;

// The fields the Control Panel reads keep the width they have in a Windows build of the same bitness; the
// host models the 32-bit layout, which is the one the shipped applet has.
#if defined(_WIN64)
using LONG_PTR = std::int64_t;
using HICON = std::uint64_t;
#else
using LONG_PTR = std::int32_t;
using HICON = std::uint32_t;
#endif

constexpr BOOL kTrue = 1;
constexpr BOOL kFalse = 0;

// Control Panel messages.
enum : UINT {
  CPL_INIT = 1,
  CPL_GETCOUNT = 2,
  CPL_INQUIRE = 3,
  CPL_SELECT = 4,
  CPL_DBLCLK = 5,
  CPL_STOP = 6,
  CPL_EXIT = 7,
  CPL_NEWINQUIRE = 8,
  CPL_STARTWPARMS = 10,
};

// Loader notification reasons of LibMain.
enum : DWORD {
  DLL_PROCESS_DETACH = 0,
  DLL_PROCESS_ATTACH = 1,
  DLL_THREAD_ATTACH = 2,
  DLL_THREAD_DETACH = 3,
};

struct CPLINFO {
  std::int32_t idIcon;
  std::int32_t idName;
  std::int32_t idInfo;
  LONG_PTR lData;
};

// The Unicode form.
struct NEWCPLINFOW {
  DWORD dwSize;
  DWORD dwFlags;
  DWORD dwHelpContext;
  LONG_PTR lData;
  HICON hIcon;
  WCHAR szName[32];
  WCHAR szInfo[64];
  WCHAR szHelpFile[128];
};

#if defined(_WIN64)
static_assert(sizeof(CPLINFO) == 24 && sizeof(NEWCPLINFOW) == 480);
#else
static_assert(sizeof(CPLINFO) == 16 && sizeof(NEWCPLINFOW) == 468);
static_assert(offsetof(NEWCPLINFOW, hIcon) == 16 && offsetof(NEWCPLINFOW, szName) == 20 &&
              offsetof(NEWCPLINFOW, szInfo) == 84 && offsetof(NEWCPLINFOW, szHelpFile) == 212);
#endif

// What the loader does before LibMain sees the process attach: a fresh image with all module state zero,
// reaching the machine of the loading process through `os`. A Windows build passes the real backend.
void LoadModule(platform::Os* os);

extern "C" {
BOOL J6AUDIO_WINAPI LibMain(HINSTANCE hinst, DWORD reason, void* reserved);
LONG J6AUDIO_WINAPI CPlApplet(HWND hwndCpl, UINT message, LPARAM lParam1, LPARAM lParam2);
BOOL J6AUDIO_WINAPI DlgProc(HWND hdlg, UINT message, WPARAM wParam, LPARAM lParam);
}

// Creates or opens the driver's Device0 parameters key into *key.
BOOL GetDeviceNode(HKEY* key);

}  // namespace j6audio
