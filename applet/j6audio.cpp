#include "applet/j6audio.h"

#include "applet/module_state.h"
#include "applet/resources.h"

namespace j6audio {

namespace {

ModuleState g_module;

// The GmFile bit of each radio button, in the order of the group.
struct BankButton {
  int id;
  DWORD fileBit;
};
constexpr BankButton kBankButtons[] = {
    {kRadioRom, 0x1},
    {kRadio1Mb, 0x2},
    {kRadio2Mb, 0x4},
    {kRadio4Mb, 0x8},
};

bool IsBankValue(DWORD value) {
  return value == 0 || value == 1 || value == 2 || value == 4;
}

// lstrcpynW: at most `capacity` - 1 characters and always a terminator.
void CopyText(WCHAR* to, std::size_t capacity, std::u16string_view from) {
  std::size_t n = 0;
  for (; n + 1 < capacity && n < from.size(); ++n) to[n] = from[n];
  to[n] = 0;
}

void CloseDeviceNode() {
  // A key that never opened is 0; closing it would hand the registry a handle it never gave out.
  if (g_module.gkDeviceNode != 0 && g_module.os && g_module.os->registry)
    g_module.os->registry->CloseKey(g_module.gkDeviceNode);
  g_module.gkDeviceNode = 0;
}

BOOL OnInitDialog(platform::Dialog& dialog) {
  if (!GetDeviceNode(&g_module.gkDeviceNode)) return kFalse;
  platform::Registry& registry = *g_module.os->registry;

  // Cleared first so that a value shorter than 4 bytes does not pick up what an earlier read left.
  g_module.dwOrgGmBank = 0;
  std::uint32_t size = sizeof g_module.dwOrgGmBank;
  auto* buffer = reinterpret_cast<std::uint8_t*>(&g_module.dwOrgGmBank);
  bool haveMask =
      registry.QueryValue(g_module.gkDeviceNode, "GmFile", nullptr, buffer, &size) == platform::kErrorSuccess;
  for (const auto& button : kBankButtons)
    if (!haveMask || !(g_module.dwOrgGmBank & button.fileBit)) dialog.EnableControl(button.id, false);

  g_module.dwOrgGmBank = 0;
  size = sizeof g_module.dwOrgGmBank;
  std::uint32_t type = platform::kRegNone;
  if (registry.QueryValue(g_module.gkDeviceNode, "GmBank", &type, buffer, &size) == platform::kErrorSuccess &&
      type == platform::kRegDword && IsBankValue(g_module.dwOrgGmBank)) {
    dialog.CheckRadioButton(kRadioFirst, kRadioLast, kRadioFirst + static_cast<int>(g_module.dwOrgGmBank));
    g_module.dwNewGmBank = g_module.dwOrgGmBank;
  } else {
    g_module.dwOrgGmBank = kNoBank;
    g_module.dwNewGmBank = kNoBank;
  }
  return kTrue;
}

BOOL OnCommand(platform::Dialog& dialog, int id) {
  switch (id) {
    case kRadioRom:
    case kRadio1Mb:
    case kRadio2Mb:
    case kRadio4Mb:
      g_module.dwNewGmBank = static_cast<DWORD>(id - kRadioFirst);
      return kTrue;
    case platform::kIdOk:
      // Without the key there is nowhere to write: the dialog then has no effect.
      if (g_module.dwNewGmBank != g_module.dwOrgGmBank && g_module.gkDeviceNode != 0) {
        const std::uint8_t bytes[4] = {static_cast<std::uint8_t>(g_module.dwNewGmBank),
                                       static_cast<std::uint8_t>(g_module.dwNewGmBank >> 8),
                                       static_cast<std::uint8_t>(g_module.dwNewGmBank >> 16),
                                       static_cast<std::uint8_t>(g_module.dwNewGmBank >> 24)};
        g_module.os->registry->SetValue(g_module.gkDeviceNode, "GmBank", platform::kRegDword, bytes, 4);
      }
      CloseDeviceNode();
      dialog.End(0);
      return kTrue;
    case platform::kIdCancel:
      CloseDeviceNode();
      dialog.End(0);
      return kTrue;
    default:
      return kFalse;
  }
}

void ShowSettings(HWND owner) {
  if (!g_module.os || !g_module.os->ui) return;
  // However the dialog ends, the next showing must find neither a stale dialog nor an open key.
  struct AfterDialog {
    ~AfterDialog() {
      g_module.dialog = nullptr;
      CloseDeviceNode();
    }
  } after;
  g_module.os->ui->ShowModal(
      AdvancedDialog(), owner,
      [](platform::Dialog& dialog, std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam) {
        g_module.dialog = &dialog;
        return static_cast<std::intptr_t>(DlgProc(dialog.Handle(), message, wParam, lParam));
      },
      0);
}

}  // namespace

ModuleState& Module() {
  return g_module;
}

void LoadModule(platform::Os* os) {
  g_module = ModuleState{};
  g_module.os = os;
}

BOOL GetDeviceNode(HKEY* key) {
  if (!key) return kFalse;
  *key = 0;
  if (!g_module.os || !g_module.os->registry) return kFalse;

  constexpr const char* kParts[] = {
      "SYSTEM\\CurrentControlSet\\Services\\", "j6knldrv", "\\", "Parameters", "\\", "Device0"};
  char path[128] = {};
  std::size_t length = 0;
  for (const char* part : kParts)
    for (const char* c = part; *c && length + 1 < sizeof path; ++c) path[length++] = *c;

  HKEY opened = 0;
  if (g_module.os->registry->CreateKey(platform::kHkeyLocalMachine, path, &opened) != platform::kErrorSuccess)
    return kFalse;
  *key = opened;
  return kTrue;
}

extern "C" {

BOOL J6AUDIO_WINAPI LibMain(HINSTANCE hinst, DWORD reason, void* /*reserved*/) {
  if (reason == DLL_PROCESS_ATTACH) {
    g_module.hinst = hinst;
    if (g_module.os && g_module.os->processes) g_module.os->processes->DisableThreadLibraryCalls(hinst);
  }
  return kTrue;
}

LONG J6AUDIO_WINAPI CPlApplet(HWND hwndCpl, UINT message, LPARAM lParam1, LPARAM lParam2) {
  switch (message) {
    case CPL_INIT:
      ++g_module.s_iInitCount;
      return 1;
    case CPL_GETCOUNT:
      return 1;
    case CPL_INQUIRE: {
      auto* info = reinterpret_cast<CPLINFO*>(lParam2);
      if (!info) return 0;
      if (lParam1 == 0) {
        info->idIcon = kIconApplet;
        info->idName = kStringName;
        info->idInfo = kStringInfo;
      }
      info->lData = 0;
      return 1;
    }
    case CPL_DBLCLK:
    case CPL_STARTWPARMS:
      if (lParam1 == 0) ShowSettings(hwndCpl);
      return 1;
    case CPL_EXIT:
      --g_module.s_iInitCount;
      return 1;
    case CPL_NEWINQUIRE: {
      auto* info = reinterpret_cast<NEWCPLINFOW*>(lParam2);
      if (!info) return 0;
      if (lParam1 == 0) {
        info->hIcon = static_cast<HICON>(
            g_module.os && g_module.os->ui ? g_module.os->ui->LoadIcon(g_module.hinst, kIconApplet) : 0);
        CopyText(info->szName, std::size(info->szName), LoadText(kStringName));
        CopyText(info->szInfo, std::size(info->szInfo), LoadText(kStringInfo));
        info->dwHelpContext = 0;
      }
      info->dwSize = sizeof(NEWCPLINFOW);
      info->lData = 0;
      info->szHelpFile[0] = 0;
      return 1;
    }
    default:
      return 0;
  }
}

BOOL J6AUDIO_WINAPI DlgProc(HWND hdlg, UINT message, WPARAM wParam, LPARAM /*lParam*/) {
  platform::Dialog* dialog = g_module.dialog;
  if (!dialog || dialog->Handle() != hdlg) return kFalse;
  switch (message) {
    case platform::kWmInitDialog:
      return OnInitDialog(*dialog);
    case platform::kWmCommand:
      return OnCommand(*dialog, static_cast<int>(wParam & 0xFFFF));
    default:
      return kFalse;
  }
}

}  // extern "C"

}  // namespace j6audio
