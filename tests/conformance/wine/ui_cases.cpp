// Cases for the dialogs built in memory: the template becomes real controls of the right class, text
// and state, and the dialog procedure adapter forwards WM_INITDIALOG and WM_COMMAND. They need a display
// (Xvfb under the test script); no person has to click anything.
#include "platform/win32/windows_api.h"
// After the Windows headers, whose A/W macros windows_api.h removes.
#include "platform/win32/backend.h"
#include "runner.h"

namespace conformance {
namespace {

using namespace platform;

constexpr int kText = 10, kCheck = 11, kRadioA = 12, kRadioB = 13, kEdit = 14, kBar = 15, kHidden = 16,
              kDisabled = 17;

DialogTemplate TestPage() {
  DialogTemplate page;
  page.id = 100;
  page.caption = "J6 dialog test";
  page.width = 220, page.height = 120;
  page.style = kDialogCaption | kDialogSystemMenu | kDialogCentered;
  page.controls = {
      {kText, ControlKind::kStatic, "Hello", 5, 5, 100, 10, 0},
      {kCheck, ControlKind::kCheckBox, "Check", 5, 20, 100, 10, kControlTabStop | kControlGroupStart},
      {kRadioA, ControlKind::kRadioButton, "A", 5, 35, 40, 10, kControlGroupStart},
      {kRadioB, ControlKind::kRadioButton, "B", 50, 35, 40, 10, 0},
      {kEdit, ControlKind::kEdit, "abc", 5, 50, 100, 12, kControlTabStop},
      {kBar, ControlKind::kProgressBar, "", 5, 66, 150, 10, 0},
      {kHidden, ControlKind::kStatic, "hidden", 5, 80, 50, 10, kControlHidden},
      {kDisabled, ControlKind::kPushButton, "Off", 60, 80, 50, 14, kControlDisabled},
      {kIdOk, ControlKind::kDefPushButton, "OK", 160, 100, 50, 14, kControlTabStop},
  };
  return page;
}

// The control's own visibility; IsWindowVisible would also ask the dialog, which is not shown yet.
bool Visible(HWND dialog, int id) {
  return (GetWindowLongA(GetDlgItem(dialog, id), GWL_STYLE) & WS_VISIBLE) != 0;
}

std::string ClassOf(HWND window) {
  char name[64] = {};
  GetClassNameA(window, name, sizeof name);
  return name;
}

void DialogFromTemplate(Environment& env, Expect& expect) {
  int commands = 0;
  std::intptr_t seenParam = 0;
  const DialogProc proc = [&](Dialog& dialog, std::uint32_t message, std::uintptr_t wParam,
                              std::intptr_t lParam) -> std::intptr_t {
    HWND window = reinterpret_cast<HWND>(dialog.Handle());
    if (message == kWmInitDialog) {
      seenParam = lParam;
      expect.Eq(ClassOf(GetDlgItem(window, kText)), std::string("Static"), "static class");
      expect.Eq(ClassOf(GetDlgItem(window, kCheck)), std::string("Button"), "check box class");
      expect.Eq(ClassOf(GetDlgItem(window, kEdit)), std::string("Edit"), "edit class");
      expect.Eq(ClassOf(GetDlgItem(window, kBar)), std::string("msctls_progress32"), "progress bar class");
      expect.True(!Visible(window, kHidden), "hidden control starts hidden");
      expect.True(Visible(window, kText), "other controls start visible");
      expect.True(!IsWindowEnabled(GetDlgItem(window, kDisabled)), "disabled control starts disabled");
      expect.Eq(dialog.GetText(kText), std::string("Hello"), "text from the template");
      expect.Eq(dialog.GetText(kEdit), std::string("abc"), "edit text from the template");
      dialog.SetText(kText,
                     "Gr\xC3\xBC\xC3\x9F"
                     "e \xE2\x82\xAC");
      expect.Eq(dialog.GetText(kText),
                std::string("Gr\xC3\xBC\xC3\x9F"
                            "e \xE2\x82\xAC"),
                "UTF-8 round trip");
      dialog.CheckRadioButton(kRadioA, kRadioB, kRadioB);
      expect.True(dialog.IsButtonChecked(kRadioB) && !dialog.IsButtonChecked(kRadioA), "radio B chosen");
      dialog.ShowControl(kHidden, true);
      expect.True(Visible(window, kHidden), "shown on request");
      dialog.EnableControl(kDisabled, true);
      expect.True(IsWindowEnabled(GetDlgItem(window, kDisabled)) != FALSE, "enabled on request");
      // A click, as a person would make it: the automatic check box changes before WM_COMMAND arrives.
      PostMessageA(GetDlgItem(window, kCheck), BM_CLICK, 0, 0);
      return TRUE;
    }
    if (message == kWmCommand && CommandId(wParam) == kCheck && CommandNotification(wParam) == kBnClicked) {
      ++commands;
      expect.True(dialog.IsButtonChecked(kCheck), "check box set by the click");
      dialog.CheckButton(kCheck, false);
      expect.True(!dialog.IsButtonChecked(kCheck), "check box cleared");
      dialog.End(42);
      return TRUE;
    }
    return FALSE;
  };
  expect.Eq(env.os.ui->ShowModal(TestPage(), 0, proc, 7), std::intptr_t{42}, "result passed to End");
  expect.Eq(seenParam, std::intptr_t{7}, "init parameter handed to WM_INITDIALOG");
  expect.Eq(commands, 1, "WM_COMMAND forwarded once");
}

void ProgressWindowFromTemplate(Environment& env, Expect& expect) {
  DialogTemplate page;
  page.caption = "J6 progress test";
  page.width = 200, page.height = 50;
  page.controls = {{20, ControlKind::kStatic, "", 5, 5, 190, 10, 0},
                   {21, ControlKind::kProgressBar, "", 5, 20, 190, 10, 0}};
  ProgressWindowUi* progress = env.os.ui->CreateProgress(page, 0);
  expect.True(progress != nullptr, "progress window made");
  if (!progress) return;
  HWND window = FindWindowA(nullptr, "J6 progress test");
  expect.True(window != nullptr, "progress window on screen");
  progress->SetRange(0, 200);
  progress->SetPosition(150);
  progress->SetStatus("Copying files");
  if (window) {
    HWND bar = GetDlgItem(window, 21);
    expect.Eq(static_cast<int>(SendMessageA(bar, PBM_GETPOS, 0, 0)), 150, "bar position");
    expect.Eq(static_cast<int>(SendMessageA(bar, PBM_GETRANGE, FALSE, 0)), 200, "bar upper limit");
    char text[32] = {};
    GetDlgItemTextA(window, 20, text, sizeof text);
    expect.Eq(std::string(text), std::string("Copying files"), "status in the first text control");
  }
  env.os.ui->DestroyProgress(progress);
  expect.True(!FindWindowA(nullptr, "J6 progress test"), "progress window gone");
}

}  // namespace

std::vector<BackendCase> UiCases() {
  return {
      {"ui: dialog built from a template, procedure adapter", DialogFromTemplate},
      {"ui: progress window", ProgressWindowFromTemplate},
  };
}

}  // namespace conformance
