// Drives the Windows programs end to end with scripted clicks, the way a user would, and checks what they
// leave behind in the registry and on disk:
//   e2e_driver.exe SCENARIO SHOTS_DIR [ARGS...]
//     setup-install DISK      SETUP.EXE in DISK: welcome, install, no restart
//     setup-uptodate DISK     SETUP.EXE in DISK over the same version: the question answered "No"
//     setup-remove DISK       SETUP.EXE in DISK again: welcome, remove, no restart
//     setup-quiet DISK        SETUP.EXE /I in DISK: choice page only, install, RunOnce marker
//     installer-nocard DISK   INSTALLER.EXE in DISK on a machine without card or driver
//     installer-remove DISK   INSTALLER.EXE in DISK with the virtual device installed: remove it
//     applet CPL              the Control Panel (control.exe) with the applet CPL: choose the 4 MB bank
// Every page is found by its caption and controls, checked against the template the program builds it
// from, saved as a PNG of the screen in SHOTS_DIR, then clicked on. One line per check, then
// "N passed, N failed"; exit status 1 when any failed. Every wait has a time limit.
#include <cstdio>
#include <cstring>
#include <cwchar>
#include <cwctype>
#include <functional>
#include <string>
#include <vector>

#include "applet/resources.h"
#include "install95/resources.h"
#include "png_writer.h"
#include "setupnt/templates.h"

// After our headers: it defines macros (ExitWindows) that clash with their names.
#include <windows.h>

namespace {

using platform::ControlKind;
using platform::DialogTemplate;

int passed = 0;
int failed = 0;
std::wstring shotsDir;
int shotNumber = 0;

std::string Narrow(const std::wstring& text) {
  std::string out;
  for (wchar_t c : text) {
    if (c == L'\n')
      out += "\\n";
    else
      out.push_back(c < 0x80 ? static_cast<char>(c) : '?');
  }
  return out;
}

std::wstring Wide(const std::string& utf8) {
  if (utf8.empty()) return {};
  const int size = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
  std::wstring out(static_cast<std::size_t>(size), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), out.data(), size);
  return out;
}

bool Check(bool ok, const std::string& what, const std::string& detail = "") {
  if (ok) {
    ++passed;
    std::printf("ok %s\n", what.c_str());
  } else {
    ++failed;
    std::printf("FAILED %s%s%s\n", what.c_str(), detail.empty() ? "" : ": ", detail.c_str());
  }
  std::fflush(stdout);
  return ok;
}

std::wstring TextOf(HWND window) {
  wchar_t text[1024] = {};
  GetWindowTextW(window, text, 1024);
  return text;
}

std::wstring ClassOf(HWND window) {
  wchar_t name[256] = {};
  GetClassNameW(window, name, 256);
  return name;
}

// ---- the running program ----

struct Program {
  PROCESS_INFORMATION info{};
  bool running = false;

  bool Start(const std::wstring& commandLine, const std::wstring& folder) {
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    std::wstring line = commandLine;
    running = CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr,
                             folder.empty() ? nullptr : folder.c_str(), &startup, &info) != 0;
    return Check(running, "start " + Narrow(commandLine), "error " + std::to_string(GetLastError()));
  }
  bool Exited() const { return !running || WaitForSingleObject(info.hProcess, 0) == WAIT_OBJECT_0; }
  // Waits for the end; a program still running after `seconds` is ended and counts as a failure.
  void WaitForEnd(const char* what, DWORD seconds) {
    if (!running) return;
    const bool ended = WaitForSingleObject(info.hProcess, seconds * 1000) == WAIT_OBJECT_0;
    Check(ended, std::string(what) + " ends", "still running after " + std::to_string(seconds) + " s");
    if (!ended) {
      TerminateProcess(info.hProcess, 1);
      WaitForSingleObject(info.hProcess, 5000);
    }
    CloseHandle(info.hProcess);
    CloseHandle(info.hThread);
    running = false;
  }
  ~Program() {
    if (running) WaitForEnd("the program", 1);
  }
};

// ---- pages ----

struct Child {
  HWND window;
  int id;
  std::wstring className;
  std::wstring text;
};

std::vector<Child> ChildrenOf(HWND dialog) {
  std::vector<Child> children;
  for (HWND child = GetWindow(dialog, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
    children.push_back(
        {child, static_cast<int>(static_cast<short>(GetDlgCtrlID(child))), ClassOf(child), TextOf(child)});
  return children;
}

// The visible dialog of any process whose caption is `caption` and which passes `accept`.
HWND FindDialog(const std::wstring& caption, const std::function<bool(HWND)>& accept) {
  struct Search {
    const std::wstring* caption;
    const std::function<bool(HWND)>* accept;
    HWND found;
  } search{&caption, &accept, nullptr};
  EnumWindows(
      [](HWND window, LPARAM param) -> BOOL {
        auto* s = reinterpret_cast<Search*>(param);
        if (!IsWindowVisible(window) || ClassOf(window) != L"#32770" || TextOf(window) != *s->caption)
          return TRUE;
        if (!(*s->accept)(window)) return TRUE;
        s->found = window;
        return FALSE;
      },
      reinterpret_cast<LPARAM>(&search));
  return search.found;
}

// A control with this id and text tells the pages of one caption apart.
HWND WaitForPage(const char* name, const std::wstring& caption, int id, const std::wstring& text,
                 const Program* program, DWORD seconds) {
  const DWORD end = GetTickCount() + seconds * 1000;
  for (;;) {
    HWND page = FindDialog(caption, [&](HWND dialog) {
      HWND control = GetDlgItem(dialog, id);
      return control && TextOf(control) == text;
    });
    if (page) {
      Check(true, std::string("page ") + name + " appears");
      // Let it paint before anyone looks at it.
      Sleep(400);
      return page;
    }
    if (program && program->Exited()) {
      Check(false, std::string("page ") + name + " appears", "the program ended first");
      return nullptr;
    }
    if (static_cast<LONG>(GetTickCount() - end) >= 0) {
      Check(false, std::string("page ") + name + " appears", "not within " + std::to_string(seconds) + " s");
      return nullptr;
    }
    Sleep(100);
  }
}

const wchar_t* ClassFor(ControlKind kind) {
  switch (kind) {
    case ControlKind::kStatic:
    case ControlKind::kIcon:
      return L"Static";
    case ControlKind::kEdit:
      return L"Edit";
    case ControlKind::kProgressBar:
      return L"msctls_progress32";
    default:
      return L"Button";
  }
}

bool SameClass(const std::wstring& a, const wchar_t* b) {
  return CompareStringW(LOCALE_INVARIANT, NORM_IGNORECASE, a.c_str(), -1, b, -1) == CSTR_EQUAL;
}

// Every control of the template is on the page with its id, its kind and (where the template fixes it)
// its text, and the page has nothing else.
void CheckPage(const char* name, HWND page, const DialogTemplate& dialog) {
  const std::string prefix = std::string("page ") + name + ": ";
  Check(TextOf(page) == Wide(dialog.caption), prefix + "caption", Narrow(TextOf(page)));
  std::vector<Child> children = ChildrenOf(page);
  Check(children.size() == dialog.controls.size(), prefix + "number of controls",
        std::to_string(children.size()) + " on the page, " + std::to_string(dialog.controls.size()) +
            " in the template");
  std::vector<bool> used(children.size(), false);
  for (const auto& control : dialog.controls) {
    // Edits are filled at run time and an icon's text names a resource: only their kind is fixed.
    const bool fixedText = control.kind != ControlKind::kEdit && control.kind != ControlKind::kIcon &&
                           control.kind != ControlKind::kProgressBar;
    const std::wstring text = Wide(control.text);
    bool found = false;
    for (std::size_t i = 0; i < children.size() && !found; ++i) {
      const Child& child = children[i];
      if (used[i] || child.id != control.id || !SameClass(child.className, ClassFor(control.kind))) continue;
      if (control.id == -1 && fixedText && child.text != text) continue;
      used[i] = found = true;
      if (fixedText)
        Check(child.text == text,
              prefix + "control " + std::to_string(control.id) + " \"" + Narrow(text) + "\"",
              "shows \"" + Narrow(child.text) + "\"");
    }
    if (!found)
      Check(false, prefix + "control " + std::to_string(control.id) + " \"" + Narrow(text) + "\"", "missing");
  }
}

// The whole screen as a PNG in the shots folder.
void Screenshot(const char* name) {
  // The page repaints after a click on its own time.
  Sleep(300);
  const int width = GetSystemMetrics(SM_CXSCREEN), height = GetSystemMetrics(SM_CYSCREEN);
  HDC screen = GetDC(nullptr);
  HDC memory = CreateCompatibleDC(screen);
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;  // top row first
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  bool ok = false;
  std::wstring file;
  if (bitmap && bits) {
    HGDIOBJ old = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, width, height, screen, 0, 0, SRCCOPY);
    GdiFlush();
    SelectObject(memory, old);
    std::vector<std::uint8_t> rgb(static_cast<std::size_t>(width) * height * 3);
    const auto* bgrx = static_cast<const std::uint8_t*>(bits);
    for (std::size_t p = 0; p < static_cast<std::size_t>(width) * height; ++p) {
      rgb[p * 3] = bgrx[p * 4 + 2];
      rgb[p * 3 + 1] = bgrx[p * 4 + 1];
      rgb[p * 3 + 2] = bgrx[p * 4];
    }
    wchar_t number[8];
    std::swprintf(number, 8, L"%02d-", ++shotNumber);
    file = shotsDir + L"\\" + number + Wide(name) + L".png";
    const std::vector<std::uint8_t> png = e2e::EncodePng(width, height, rgb);
    HANDLE out = CreateFileW(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD written = 0;
    ok = out != INVALID_HANDLE_VALUE &&
         WriteFile(out, png.data(), static_cast<DWORD>(png.size()), &written, nullptr) &&
         written == png.size();
    if (out != INVALID_HANDLE_VALUE) CloseHandle(out);
  }
  if (bitmap) DeleteObject(bitmap);
  DeleteDC(memory);
  ReleaseDC(nullptr, screen);
  Check(ok, std::string("screenshot ") + name, Narrow(file));
}

bool IsChecked(HWND page, int id) {
  return SendMessageW(GetDlgItem(page, id), BM_GETCHECK, 0, 0) == BST_CHECKED;
}

// A check box or radio button: clicked and answered before this returns.
void Tick(HWND page, int id) {
  HWND control = GetDlgItem(page, id);
  if (!Check(control != nullptr, "control " + std::to_string(id) + " to click")) return;
  SendMessageW(control, BM_CLICK, 0, 0);
}

// A push button: its handler may open the next page and run for long, so the click is only posted.
void Press(HWND page, int id) {
  HWND control = GetDlgItem(page, id);
  if (!Check(control != nullptr, "button " + std::to_string(id) + " to press")) return;
  PostMessageW(control, BM_CLICK, 0, 0);
}

void WaitGone(const char* name, HWND page, DWORD seconds) {
  const DWORD end = GetTickCount() + seconds * 1000;
  while (IsWindow(page) && IsWindowVisible(page) && static_cast<LONG>(GetTickCount() - end) < 0) Sleep(100);
  Check(!IsWindow(page) || !IsWindowVisible(page), std::string("page ") + name + " closes");
}

// ---- the registry and the files ----

bool ReadValue(HKEY root, const std::wstring& path, const wchar_t* name, DWORD* type,
               std::vector<BYTE>* data) {
  HKEY key = nullptr;
  if (RegOpenKeyExW(root, path.c_str(), 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) return false;
  DWORD size = 0;
  bool ok = RegQueryValueExW(key, name, nullptr, type, nullptr, &size) == ERROR_SUCCESS;
  if (ok) {
    data->assign(size, 0);
    ok = RegQueryValueExW(key, name, nullptr, type, data->data(), &size) == ERROR_SUCCESS;
  }
  RegCloseKey(key);
  return ok;
}

bool KeyExists(HKEY root, const std::wstring& path) {
  HKEY key = nullptr;
  if (RegOpenKeyExW(root, path.c_str(), 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) return false;
  RegCloseKey(key);
  return true;
}

void CheckDword(HKEY root, const std::wstring& path, const wchar_t* name, DWORD expected) {
  DWORD type = 0;
  std::vector<BYTE> data;
  const bool found = ReadValue(root, path, name, &type, &data);
  DWORD value = 0;
  if (found && data.size() == 4) std::memcpy(&value, data.data(), 4);
  Check(found && type == REG_DWORD && data.size() == 4 && value == expected,
        Narrow(path) + "\\" + Narrow(name) + " = " + std::to_string(expected),
        found ? "type " + std::to_string(type) + ", value " + std::to_string(value) : "missing");
}

std::wstring StringValue(HKEY root, const std::wstring& path, const wchar_t* name) {
  DWORD type = 0;
  std::vector<BYTE> data;
  if (!ReadValue(root, path, name, &type, &data) || (type != REG_SZ && type != REG_EXPAND_SZ))
    return L"<missing>";
  data.resize(data.size() + sizeof(wchar_t), 0);
  return reinterpret_cast<const wchar_t*>(data.data());
}

void CheckString(HKEY root, const std::wstring& path, const wchar_t* name, const std::wstring& expected) {
  const std::wstring value = StringValue(root, path, name);
  std::string shown = "shows ";
  shown += Narrow(value);
  Check(value == expected, Narrow(path) + "\\" + Narrow(name) + " = " + Narrow(expected), shown);
}

void CheckNoValue(HKEY root, const std::wstring& path, const wchar_t* name) {
  DWORD type = 0;
  std::vector<BYTE> data;
  Check(!ReadValue(root, path, name, &type, &data), "no value " + Narrow(path) + "\\" + Narrow(name));
}

bool FileExists(const std::wstring& path) {
  return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::wstring SystemDir() {
  wchar_t dir[MAX_PATH] = {};
  GetSystemDirectoryW(dir, MAX_PATH);
  return dir;
}

std::wstring PendingRenames() {
  DWORD type = 0;
  std::vector<BYTE> data;
  if (!ReadValue(HKEY_LOCAL_MACHINE, L"System\\CurrentControlSet\\Control\\Session Manager",
                 L"PendingFileRenameOperations", &type, &data))
    return {};
  std::wstring text(reinterpret_cast<const wchar_t*>(data.data()), data.size() / sizeof(wchar_t));
  for (wchar_t& c : text) c = c ? static_cast<wchar_t>(towupper(c)) : L'|';
  return text;
}

// Gone now, or waiting for the next start to delete it (a loaded driver cannot go at once).
void CheckRemoved(const std::wstring& path) {
  std::wstring upper = path;
  for (wchar_t& c : upper) c = static_cast<wchar_t>(towupper(c));
  Check(!FileExists(path) || PendingRenames().find(upper) != std::wstring::npos, Narrow(path) + " removed");
}

// ---- scenarios ----

const std::wstring kServices = L"SYSTEM\\CurrentControlSet\\Services\\";
const std::wstring kRunOnce = L"Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce";

// The runs of SETUP.EXE: a first installation, an installation over the same version (the up-to-date
// question, answered "No"), a removal, and an installation with /I (no welcome and no closing page).
enum class SetupMode { kInstall, kUpToDate, kRemove, kQuiet };

std::string Tag(SetupMode mode, const char* page) {
  static const char* const kTags[] = {"setup-install-", "setup-uptodate-", "setup-remove-", "setup-quiet-"};
  return kTags[static_cast<int>(mode)] + std::string(page);
}

void SetupPages(Program& setup, const std::wstring& caption, SetupMode mode) {
  if (mode != SetupMode::kQuiet) {
    HWND welcome = WaitForPage("setup welcome", caption, platform::kIdOk, L"Next >", &setup, 60);
    if (!welcome) return;
    CheckPage("setup welcome", welcome, setupnt::WelcomePageTemplate());
    Screenshot(Tag(mode, "welcome").c_str());
    Press(welcome, platform::kIdOk);
  }

  HWND choice = WaitForPage("setup choice", caption, setupnt::kIdInstallRadio,
                            L"Install/Update Windows NT drivers", &setup, 60);
  if (!choice) return;
  CheckPage("setup choice", choice, setupnt::ChoicePageTemplate());
  Check(IsChecked(choice, setupnt::kIdInstallRadio) && !IsChecked(choice, setupnt::kIdRemoveRadio),
        "setup choice starts on install/update");
  if (mode == SetupMode::kRemove) {
    Tick(choice, setupnt::kIdRemoveRadio);
    Check(IsChecked(choice, setupnt::kIdRemoveRadio) && !IsChecked(choice, setupnt::kIdInstallRadio),
          "setup choice: remove chosen");
  }
  Screenshot(Tag(mode, "choice").c_str());
  Press(choice, platform::kIdOk);

  if (mode == SetupMode::kUpToDate) {
    // The installed kernel driver has the disk's version: a message box over the choice page asks.
    const std::wstring question = Wide(setupnt::LoadSetupString(setupnt::kStrUpToDateQuestion));
    HWND box =
        WaitForPage("up-to-date question", Wide(setupnt::LoadSetupString(setupnt::kStrUpToDateCaption)), IDNO,
                    L"&No", &setup, 60);
    if (!box) return;
    bool shown = false;
    for (const Child& child : ChildrenOf(box)) shown = shown || child.text == question;
    Check(shown, "up-to-date question text");
    Check(GetDlgItem(box, IDYES) != nullptr, "up-to-date question has Yes");
    Screenshot(Tag(mode, "question").c_str());
    Press(box, IDNO);
    HWND finish = WaitForPage("setup finish", caption, platform::kIdOk, L"Finish", &setup, 60);
    if (!finish) return;
    CheckPage("setup finish", finish, setupnt::FinishPageTemplate());
    Screenshot(Tag(mode, "finish").c_str());
    Press(finish, platform::kIdOk);
    WaitGone("setup finish", finish, 30);
    return;
  }
  if (mode == SetupMode::kQuiet) return;

  // The work runs inside the OK handler; the restart offer follows it.
  HWND reboot = WaitForPage("setup reboot", caption, setupnt::kIdRebootYesRadio,
                            L"&Yes, please reboot the system.", &setup, 180);
  if (!reboot) return;
  CheckPage("setup reboot", reboot, setupnt::RebootPageTemplate());
  Check(IsChecked(reboot, setupnt::kIdRebootYesRadio), "setup reboot offer starts on yes");
  // No restart: it would end the Wine session under the test.
  Tick(reboot, setupnt::kIdRebootNoRadio);
  Check(IsChecked(reboot, setupnt::kIdRebootNoRadio) && !IsChecked(reboot, setupnt::kIdRebootYesRadio),
        "setup reboot offer: later chosen");
  Screenshot(Tag(mode, "reboot").c_str());
  Press(reboot, platform::kIdOk);
  WaitGone("setup reboot", reboot, 30);
}

int SetupRun(const std::wstring& disk, SetupMode mode) {
  const std::wstring caption = Wide(setupnt::kPageCaption);
  Program setup;
  const std::wstring switches = mode == SetupMode::kQuiet ? L" /I" : L"";
  if (!setup.Start(L"\"" + disk + L"\\SETUP.EXE\"" + switches, disk)) return 1;
  SetupPages(setup, caption, mode);
  // A quiet installation ends by itself once its work is done.
  setup.WaitForEnd("SETUP.EXE", mode == SetupMode::kQuiet ? 180 : 60);
  const bool remove = mode == SetupMode::kRemove;

  const std::wstring system = SystemDir();
  const std::wstring driver = kServices + L"j6knldrv", joystick = kServices + L"j6knljs";
  if (!remove) {
    for (const wchar_t* name : {L"j6usrdrv.dll", L"j6fmdrv.dll", L"j6usrjs.dll", L"j6audio.cpl", L"j6gm1.bin",
                                L"j6gm2.bin", L"j6gm4.bin"})
      Check(FileExists(system + L"\\" + name), "installed " + Narrow(name));
    for (const wchar_t* name : {L"j6knldrv.sys", L"j6knljs.sys"})
      Check(FileExists(system + L"\\drivers\\" + name), "installed drivers\\" + Narrow(name));
    for (const auto& [key, group] : {std::pair{driver, L"Base"}, std::pair{joystick, L"Extended Base"}}) {
      CheckDword(HKEY_LOCAL_MACHINE, key, L"Type", 1);
      CheckDword(HKEY_LOCAL_MACHINE, key, L"ErrorControl", 1);
      CheckString(HKEY_LOCAL_MACHINE, key, L"Group", group);
      const std::wstring name = key.substr(kServices.size());
      CheckString(HKEY_LOCAL_MACHINE, key, L"ImagePath",
                  L"\\SystemRoot\\System32\\Drivers\\" + name + L".sys");
      // Demand start, or system start once a start was tried: Wine cannot load our drivers, and the
      // setup keeps demand start only when the start failed for want of the file.
      DWORD type = 0;
      std::vector<BYTE> data;
      DWORD start = 99;
      if (ReadValue(HKEY_LOCAL_MACHINE, key, L"Start", &type, &data) && data.size() == 4)
        std::memcpy(&start, data.data(), 4);
      Check(start == 1 || start == 3, Narrow(key) + "\\Start is system or demand", std::to_string(start));
    }
    Check(KeyExists(HKEY_LOCAL_MACHINE, driver + L"\\Parameters\\Device0"),
          "j6knldrv Parameters\\Device0 key");
    for (const auto& [name, value] :
         {std::pair{L"DeviceAddress", 0u}, std::pair{L"Two Joysticks", 0u}, std::pair{L"Has Throttle", 0u},
          std::pair{L"Has Rudder", 0u}, std::pair{L"NumberOfAxes", 2u}})
      CheckDword(HKEY_LOCAL_MACHINE, joystick + L"\\Parameters", name, value);
    CheckString(HKEY_CURRENT_USER, L"Software\\Microsoft\\Windows\\CurrentVersion\\Multimedia\\MIDIMap",
                L"CurrentInstrument", L"j6usrdrv.dll<0000>");
    // The registry file is imported by regedit in a process of its own: give it a moment.
    const std::wstring drivers32 = L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Drivers32";
    for (int i = 0; i < 100 && StringValue(HKEY_LOCAL_MACHINE, drivers32, L"wave1") == L"<missing>"; ++i)
      Sleep(100);
    CheckString(HKEY_LOCAL_MACHINE, drivers32, L"wave1", L"j6usrdrv.dll");
  } else {
    CheckDword(HKEY_LOCAL_MACHINE, driver, L"Start", 4);
    CheckDword(HKEY_LOCAL_MACHINE, joystick, L"Start", 4);
    for (const wchar_t* name : {L"j6usrdrv.dll", L"j6fmdrv.dll", L"j6usrjs.dll", L"j6audio.cpl", L"j6gm1.bin",
                                L"j6gm2.bin", L"j6gm4.bin"})
      CheckRemoved(system + L"\\" + name);
    for (const wchar_t* name : {L"j6knldrv.sys", L"j6knljs.sys"})
      CheckRemoved(system + L"\\drivers\\" + name);
    CheckNoValue(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Drivers32", L"wave1");
  }
  if (mode == SetupMode::kQuiet) {
    // After /I the next start carries on: the RunOnce marker holds one space.
    CheckString(HKEY_LOCAL_MACHINE, kRunOnce, L"OVSetupProfile", L" ");
  } else {
    // Without /I nothing is left for the next start.
    CheckNoValue(HKEY_LOCAL_MACHINE, kRunOnce, L"OVSetupProfile");
  }
  return 0;
}

HWND InstallerPage(Program& installer, int dialogId, const char* name, int id, DWORD seconds) {
  const DialogTemplate& dialog = install95::Dialog(dialogId);
  std::wstring text;
  for (const auto& control : dialog.controls)
    if (control.id == id) text = Wide(control.text);
  HWND page = WaitForPage(name, Wide(dialog.caption), id, text, &installer, seconds);
  if (page) CheckPage(name, page, dialog);
  return page;
}

int InstallerRun(const std::wstring& disk, bool driverInstalled) {
  const std::wstring system = SystemDir();
  const std::wstring vxdKey = L"System\\CurrentControlSet\\Services\\VxD\\ORVANTIS";
  if (driverInstalled) {
    // What an installed driver set leaves: the virtual device in the system folder and its settings key.
    Check(CopyFileW((disk + L"\\J6CVXD.VXD").c_str(), (system + L"\\J6CVXD.VXD").c_str(), FALSE) != 0,
          "J6CVXD.VXD placed in the system folder");
    HKEY key = nullptr;
    Check(RegCreateKeyExW(HKEY_LOCAL_MACHINE, vxdKey.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                          nullptr) == ERROR_SUCCESS,
          "virtual device settings key made");
    if (key) RegCloseKey(key);
  }
  Program installer;
  if (!installer.Start(L"\"" + disk + L"\\INSTALLER.EXE\"", disk)) return 1;
  HWND welcome = InstallerPage(installer, install95::kWelcomePage, "installer welcome", platform::kIdOk, 60);
  if (welcome) {
    Screenshot(driverInstalled ? "installer-remove-welcome" : "installer-welcome");
    Press(welcome, platform::kIdOk);
  }
  if (welcome && !driverInstalled) {
    // Neither card nor software: no PCI BIOS and no ISA card answer under a 64-bit NT.
    HWND noCard = InstallerPage(installer, install95::kNoCardPage, "installer no card", platform::kIdOk, 60);
    if (noCard) {
      Screenshot("installer-no-card");
      Press(noCard, platform::kIdOk);
      WaitGone("installer no card", noCard, 30);
    }
  } else if (welcome) {
    HWND choice = InstallerPage(installer, install95::kChoicePageNoCard, "installer choice 145",
                                install95::kOptionsGroup, 60);
    if (choice) {
      // Driver but no card: only the two removals are offered.
      for (int id : {install95::kRemoveWindowsBox, install95::kRemoveDosBox})
        Check(IsWindowVisible(GetDlgItem(choice, id)), "check box " + std::to_string(id) + " offered");
      for (int id : {install95::kInstallWindowsBox, install95::kInstallDosBox})
        Check(!IsWindowVisible(GetDlgItem(choice, id)), "check box " + std::to_string(id) + " hidden");
      Tick(choice, install95::kRemoveWindowsBox);
      Check(IsChecked(choice, install95::kRemoveWindowsBox), "\"Remove Windows drivers\" ticked");
      Screenshot("installer-choice-remove");
      Press(choice, platform::kIdOk);
      HWND finish = InstallerPage(installer, install95::kFinishPageReboot, "installer finish 141",
                                  install95::kRebootYes, 120);
      if (finish) {
        Check(IsChecked(finish, install95::kRebootYes), "installer restart offer starts on yes");
        Tick(finish, install95::kRebootNo);
        Check(IsChecked(finish, install95::kRebootNo), "installer restart offer: later chosen");
        Screenshot("installer-finish");
        Press(finish, platform::kIdOk);
        WaitGone("installer finish 141", finish, 30);
      }
    }
  }
  installer.WaitForEnd("INSTALLER.EXE", 60);
  if (driverInstalled) {
    Check(!FileExists(system + L"\\J6CVXD.VXD"), "J6CVXD.VXD removed from the system folder");
    Check(!KeyExists(HKEY_LOCAL_MACHINE, vxdKey), "virtual device settings key removed");
  } else {
    Check(!FileExists(system + L"\\J6CVXD.VXD"), "nothing installed without a card");
  }
  CheckNoValue(HKEY_LOCAL_MACHINE, kRunOnce, L"OVSetupProfile");
  return 0;
}

int AppletRun(const std::wstring& cpl) {
  const std::wstring device = kServices + L"j6knldrv\\Parameters\\Device0";
  HKEY key = nullptr;
  RegCreateKeyExW(HKEY_LOCAL_MACHINE, device.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr);
  // ROM, 1 MB and 4 MB may be chosen; 1 MB is the bank now.
  const DWORD mask = 0x1 | 0x2 | 0x8, bank = 1;
  const bool prepared =
      key &&
      RegSetValueExW(key, L"GmFile", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&mask), 4) ==
          ERROR_SUCCESS &&
      RegSetValueExW(key, L"GmBank", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&bank), 4) == ERROR_SUCCESS;
  if (key) RegCloseKey(key);
  Check(prepared, "bank settings of the kernel driver prepared");

  const DialogTemplate& dialog = j6audio::AdvancedDialog();
  for (int round = 0; round < 2; ++round) {
    const bool keep = round == 0;
    Program control;
    if (!control.Start(L"control.exe \"" + cpl + L"\"", L"")) return 1;
    HWND page = WaitForPage("applet", Wide(dialog.caption), j6audio::kRadio4Mb, L"4 MB PC RAM", &control, 60);
    if (page) {
      CheckPage("applet", page, dialog);
      Check(IsChecked(page, j6audio::kRadio1Mb), "applet shows the 1 MB bank chosen");
      Check(IsWindowEnabled(GetDlgItem(page, j6audio::kRadioRom)) &&
                IsWindowEnabled(GetDlgItem(page, j6audio::kRadio1Mb)) &&
                !IsWindowEnabled(GetDlgItem(page, j6audio::kRadio2Mb)) &&
                IsWindowEnabled(GetDlgItem(page, j6audio::kRadio4Mb)),
            "applet offers only the banks GmFile allows");
      Tick(page, j6audio::kRadio4Mb);
      Check(IsChecked(page, j6audio::kRadio4Mb), "applet: 4 MB chosen");
      Screenshot(keep ? "applet-cancel" : "applet-ok");
      // First Cancel, which writes nothing, then OK.
      Press(page, keep ? platform::kIdCancel : platform::kIdOk);
      WaitGone("applet", page, 30);
    }
    control.WaitForEnd("control.exe", 60);
    CheckDword(HKEY_LOCAL_MACHINE, device, L"GmBank", keep ? 1 : 4);
  }
  return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc == 2 && (std::wcscmp(argv[1], L"--help") == 0 || std::wcscmp(argv[1], L"-h") == 0)) {
    std::printf(
        "usage: e2e_driver SCENARIO SHOTS_DIR ARG\n"
        "  setup-install DISK | setup-remove DISK | installer-nocard DISK | installer-remove DISK | applet "
        "CPL\n"
        "Drives the program with scripted clicks, checks every page, saves a PNG of each in SHOTS_DIR and\n"
        "checks the registry and files afterwards. Prints one line per check and \"N passed, N failed\".\n");
    return 0;
  }
  if (argc != 4) {
    std::fprintf(stderr, "usage: e2e_driver SCENARIO SHOTS_DIR ARG (--help for more)\n");
    return 2;
  }
  const std::wstring scenario = argv[1];
  shotsDir = argv[2];
  CreateDirectoryW(shotsDir.c_str(), nullptr);
  const std::wstring arg = argv[3];
  if (scenario == L"setup-install")
    SetupRun(arg, SetupMode::kInstall);
  else if (scenario == L"setup-uptodate")
    SetupRun(arg, SetupMode::kUpToDate);
  else if (scenario == L"setup-remove")
    SetupRun(arg, SetupMode::kRemove);
  else if (scenario == L"setup-quiet")
    SetupRun(arg, SetupMode::kQuiet);
  else if (scenario == L"installer-nocard")
    InstallerRun(arg, false);
  else if (scenario == L"installer-remove")
    InstallerRun(arg, true);
  else if (scenario == L"applet")
    AppletRun(arg);
  else {
    std::fprintf(stderr, "e2e_driver: unknown scenario (--help lists them)\n");
    return 2;
  }
  std::printf("%d passed, %d failed\n", passed, failed);
  return failed ? 1 : 0;
}
