// The applet's per-process state, reachable by the host that loads it and by tests.
#pragma once

#include "applet/j6audio.h"

namespace j6audio {

struct ModuleState {
  HINSTANCE hinst = 0;
  std::int32_t s_iInitCount = 0;
  HKEY gkDeviceNode = 0;
  DWORD dwOrgGmBank = 0;
  DWORD dwNewGmBank = 0;

  // Not in a Windows image's data: the machine the module reaches, and the dialog on the screen, through
  // which the exported DlgProc reaches its window.
  platform::Os* os = nullptr;
  platform::Dialog* dialog = nullptr;
};

ModuleState& Module();

constexpr DWORD kNoBank = 0xFFFFFFFF;

}  // namespace j6audio
