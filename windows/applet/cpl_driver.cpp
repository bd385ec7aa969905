// Loads a Control Panel applet the way the Control Panel does and checks its answers:
//   cpl_driver.exe J6AUDIO.CPL
// One line per check, then "N passed, N failed"; exit status 1 when any failed.
#include <windows.h>
// clang-format off: cpl.h needs the types of windows.h first.
#include <cpl.h>
// clang-format on

#include <cstdio>
#include <cwchar>
#include <string>

namespace {

int passed = 0;
int failed = 0;

void Check(bool ok, const char* what, const std::string& detail = "") {
  if (ok) {
    ++passed;
    std::printf("ok %s\n", what);
  } else {
    ++failed;
    std::printf("FAILED %s%s%s\n", what, detail.empty() ? "" : ": ", detail.c_str());
  }
}

std::string Narrow(const wchar_t* text) {
  std::string out;
  for (; *text; ++text) out.push_back(*text < 0x80 ? static_cast<char>(*text) : '?');
  return out;
}

constexpr wchar_t kName[] = L"J6 Audio";
constexpr wchar_t kInfo[] = L"Changes your J6 wavetable synthesizer settings.";

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: cpl_driver APPLET.CPL\n");
    return 2;
  }
  HMODULE module = LoadLibraryW(argv[1]);
  Check(module != nullptr, "the applet loads", "error " + std::to_string(GetLastError()));
  if (!module) {
    std::printf("%d passed, %d failed\n", passed, failed);
    return 1;
  }

  // The Control Panel finds CPlApplet by name; ordinals 1 to 3 are the same functions.
  struct Export {
    const char* name;
    WORD ordinal;
  };
  constexpr Export kExports[] = {{"CPlApplet", 1}, {"DlgProc", 2}, {"LibMain", 3}};
  for (const Export& e : kExports) {
    FARPROC byName = GetProcAddress(module, e.name);
    FARPROC byOrdinal = GetProcAddress(module, MAKEINTRESOURCEA(e.ordinal));
    Check(byName && byName == byOrdinal, (std::string(e.name) + " by name is its ordinal").c_str());
  }
  // Through the generic function type, which converts to any other without a warning.
  auto applet =
      reinterpret_cast<APPLET_PROC>(reinterpret_cast<void (*)()>(GetProcAddress(module, "CPlApplet")));
  if (!applet) {
    std::printf("%d passed, %d failed\n", passed, failed);
    return 1;
  }

  HWND owner = GetDesktopWindow();
  Check(applet(owner, CPL_INIT, 0, 0) != 0, "CPL_INIT lets the applet load");
  const LONG count = applet(owner, CPL_GETCOUNT, 0, 0);
  Check(count == 1, "CPL_GETCOUNT is 1", "got " + std::to_string(count));

  CPLINFO info = {};
  Check(applet(owner, CPL_INQUIRE, 0, reinterpret_cast<LPARAM>(&info)) != 0, "CPL_INQUIRE answers");
  Check(info.idIcon == 101 && info.idName == 1 && info.idInfo == 2,
        "CPL_INQUIRE names icon 101, strings 1 and 2",
        "got " + std::to_string(info.idIcon) + ", " + std::to_string(info.idName) + ", " +
            std::to_string(info.idInfo));

  NEWCPLINFOW newInfo = {};
  Check(applet(owner, CPL_NEWINQUIRE, 0, reinterpret_cast<LPARAM>(&newInfo)) != 0, "CPL_NEWINQUIRE answers");
  Check(newInfo.dwSize == sizeof newInfo, "CPL_NEWINQUIRE fills the record's size",
        "got " + std::to_string(newInfo.dwSize));
  Check(newInfo.hIcon != nullptr, "CPL_NEWINQUIRE hands out icon 101");
  Check(std::wcscmp(newInfo.szName, kName) == 0, "CPL_NEWINQUIRE name", Narrow(newInfo.szName));
  Check(std::wcscmp(newInfo.szInfo, kInfo) == 0, "CPL_NEWINQUIRE description", Narrow(newInfo.szInfo));

  // The resources themselves, as the Control Panel reads them after CPL_INQUIRE.
  wchar_t text[128] = {};
  LoadStringW(module, 1, text, 128);
  Check(std::wcscmp(text, kName) == 0, "string 1", Narrow(text));
  LoadStringW(module, 2, text, 128);
  Check(std::wcscmp(text, kInfo) == 0, "string 2", Narrow(text));
  Check(LoadIconW(module, MAKEINTRESOURCEW(101)) != nullptr, "icon 101");

  Check(applet(owner, CPL_STOP, 0, 0) == 0, "CPL_STOP");
  Check(applet(owner, CPL_EXIT, 0, 0) != 0, "CPL_EXIT");
  Check(FreeLibrary(module) != 0, "the applet unloads");

  std::printf("%d passed, %d failed\n", passed, failed);
  return failed ? 1 : 0;
}
