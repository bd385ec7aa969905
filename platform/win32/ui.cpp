#include <cstring>

#include "platform/win32/backend.h"
#include "platform/win32/windows_api.h"

namespace platform::win32 {
namespace {

// Window class atoms of the predefined dialog controls.
constexpr std::uint16_t kButtonAtom = 0x0080;
constexpr std::uint16_t kEditAtom = 0x0081;
constexpr std::uint16_t kStaticAtom = 0x0082;

class TemplateWriter {
 public:
  void Word(std::uint16_t value) { words_.push_back(value); }
  void Dword(std::uint32_t value) {
    Word(static_cast<std::uint16_t>(value & 0xFFFF));
    Word(static_cast<std::uint16_t>(value >> 16));
  }
  void Text(const std::string& utf8) {
    for (wchar_t c : Utf8ToUtf16(utf8)) Word(static_cast<std::uint16_t>(c));
    Word(0);
  }
  // Items start on a DWORD boundary, counted from the start of the template.
  void AlignDword() {
    if (words_.size() % 2) Word(0);
  }
  std::vector<std::uint16_t> Take() { return std::move(words_); }

 private:
  std::vector<std::uint16_t> words_;
};

DWORD DialogStyle(std::uint32_t style) {
  DWORD result = DS_SETFONT | WS_POPUP;
  if (style & kDialogCaption) result |= WS_CAPTION;
  if (style & kDialogSystemMenu) result |= WS_SYSMENU;
  if (style & kDialogFrame) result |= DS_MODALFRAME;
  if (style & kDialogCentered) result |= DS_CENTER;
  if (style & kDialogForeground) result |= DS_SETFOREGROUND;
  if (style & kDialogMinimizeBox) result |= WS_MINIMIZEBOX;
  return result;
}

DWORD ControlStyle(const ControlTemplate& control) {
  DWORD style = WS_CHILD;
  if (!(control.style & kControlHidden)) style |= WS_VISIBLE;
  if (control.style & kControlDisabled) style |= WS_DISABLED;
  if (control.style & kControlGroupStart) style |= WS_GROUP;
  if (control.style & kControlTabStop) style |= WS_TABSTOP;
  switch (control.kind) {
    case ControlKind::kStatic:
      style |= (control.style & kControlRightAligned) ? SS_RIGHT
               : (control.style & kControlCentered)   ? SS_CENTER
                                                      : SS_LEFT;
      break;
    case ControlKind::kEdit:
      style |= ES_AUTOHSCROLL;
      if (control.style & kControlRightAligned) style |= ES_RIGHT;
      if (!(control.style & kControlNoBorder)) style |= WS_BORDER;
      if (control.style & kControlReadOnly) style |= ES_READONLY;
      if (control.style & kControlMultiLine) style |= ES_MULTILINE | ES_AUTOVSCROLL;
      break;
    case ControlKind::kPushButton:
      style |= BS_PUSHBUTTON;
      break;
    case ControlKind::kDefPushButton:
      style |= BS_DEFPUSHBUTTON;
      break;
    case ControlKind::kOwnerDrawButton:
      style |= BS_OWNERDRAW;
      break;
    case ControlKind::kCheckBox:
      style |= BS_AUTOCHECKBOX;
      break;
    case ControlKind::kRadioButton:
      style |= BS_AUTORADIOBUTTON;
      break;
    case ControlKind::kGroupBox:
      style |= BS_GROUPBOX;
      break;
    case ControlKind::kProgressBar:
      if (!(control.style & kControlNoBorder)) style |= WS_BORDER;
      break;
    case ControlKind::kIcon:
      style |= SS_ICON;
      break;
  }
  if (control.style & kControlMultiLine && control.kind != ControlKind::kEdit) style |= BS_MULTILINE;
  return style;
}

void WriteControlClass(TemplateWriter& writer, ControlKind kind) {
  switch (kind) {
    case ControlKind::kEdit:
      writer.Word(0xFFFF), writer.Word(kEditAtom);
      break;
    case ControlKind::kStatic:
    case ControlKind::kIcon:
      writer.Word(0xFFFF), writer.Word(kStaticAtom);
      break;
    case ControlKind::kProgressBar:
      writer.Text("msctls_progress32");
      break;
    default:
      writer.Word(0xFFFF), writer.Word(kButtonAtom);
      break;
  }
}

// An icon control's text names its icon resource: "#<number>" or a number is an ordinal.
void WriteControlTitle(TemplateWriter& writer, const ControlTemplate& control) {
  if (control.kind == ControlKind::kIcon && !control.text.empty()) {
    const std::string digits = control.text[0] == '#' ? control.text.substr(1) : control.text;
    if (!digits.empty() && digits.size() <= 5 &&
        digits.find_first_not_of("0123456789") == std::string::npos) {
      writer.Word(0xFFFF), writer.Word(static_cast<std::uint16_t>(std::stoul(digits)));
      return;
    }
  }
  writer.Text(control.text);
}

std::string ToAnsi(const std::string& utf8) {
  const std::wstring wide = Utf8ToUtf16(utf8);
  if (wide.empty()) return {};
  const int size = WideCharToMultiByte(CP_ACP, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0,
                                       nullptr, nullptr);
  std::string ansi(static_cast<std::size_t>(size), '\0');
  WideCharToMultiByte(CP_ACP, 0, wide.data(), static_cast<int>(wide.size()), ansi.data(), size, nullptr,
                      nullptr);
  return ansi;
}

std::string FromAnsi(const std::string& ansi) {
  if (ansi.empty()) return {};
  const int size = MultiByteToWideChar(CP_ACP, 0, ansi.data(), static_cast<int>(ansi.size()), nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(size), L'\0');
  MultiByteToWideChar(CP_ACP, 0, ansi.data(), static_cast<int>(ansi.size()), wide.data(), size);
  return Utf16ToUtf8(wide);
}

HWND AsWindow(WindowHandle handle) {
  return reinterpret_cast<HWND>(handle);
}

class Win32Dialog final : public Dialog {
 public:
  Win32Dialog(HWND window, bool unicode) : window_(window), unicode_(unicode) {}
  WindowHandle Handle() const override { return reinterpret_cast<WindowHandle>(window_); }
  void CheckButton(int id, bool checked) override {
    CheckDlgButton(window_, id, checked ? BST_CHECKED : BST_UNCHECKED);
  }
  bool IsButtonChecked(int id) override { return IsDlgButtonChecked(window_, id) == BST_CHECKED; }
  void CheckRadioButton(int first, int last, int id) override {
    ::CheckRadioButton(window_, first, last, id);
  }
  void EnableControl(int id, bool enabled) override { EnableWindow(GetDlgItem(window_, id), enabled); }
  void ShowControl(int id, bool visible) override {
    ShowWindow(GetDlgItem(window_, id), visible ? SW_SHOW : SW_HIDE);
  }
  void SetText(int id, const std::string& text) override {
    if (unicode_)
      SetDlgItemTextW(window_, id, Utf8ToUtf16(text).c_str());
    else
      SetDlgItemTextA(window_, id, ToAnsi(text).c_str());
  }
  std::string GetText(int id) override {
    HWND control = GetDlgItem(window_, id);
    if (unicode_) {
      std::wstring text(static_cast<std::size_t>(GetWindowTextLengthW(control)) + 1, L'\0');
      text.resize(
          static_cast<std::size_t>(GetWindowTextW(control, text.data(), static_cast<int>(text.size()))));
      return Utf16ToUtf8(text);
    }
    std::string text(static_cast<std::size_t>(GetWindowTextLengthA(control)) + 1, '\0');
    text.resize(
        static_cast<std::size_t>(GetWindowTextA(control, text.data(), static_cast<int>(text.size()))));
    return FromAnsi(text);
  }
  void End(std::intptr_t result) override { EndDialog(window_, result); }

  bool DrawBitmapStretched(int id, BitmapHandle bitmap) override {
    if (!drawItem_ || static_cast<int>(drawItem_->CtlID) != id || bitmap == kNoBitmap) return false;
    auto* handle = reinterpret_cast<HBITMAP>(bitmap);
    BITMAP info{};
    if (!GetObjectA(handle, sizeof info, &info)) return false;
    HDC target = drawItem_->hDC;
    HDC memory = CreateCompatibleDC(target);
    if (!memory) return false;
    SetMapMode(memory, GetMapMode(target));
    HGDIOBJ previous = SelectObject(memory, handle);
    const RECT& area = drawItem_->rcItem;
    const bool ok = StretchBlt(target, area.left, area.top, area.right - area.left, area.bottom - area.top,
                               memory, 0, 0, info.bmWidth, info.bmHeight, SRCCOPY);
    SelectObject(memory, previous);
    DeleteDC(memory);
    return ok;
  }

  // The item being drawn while a WM_DRAWITEM is forwarded; null otherwise.
  void SetDrawItem(const DRAWITEMSTRUCT* item) { drawItem_ = item; }

 private:
  HWND window_;
  bool unicode_;
  const DRAWITEMSTRUCT* drawItem_ = nullptr;
};

// What the dialog procedure adapter needs; handed over in WM_INITDIALOG and kept in DWLP_USER.
struct ModalContext {
  const DialogProc* proc;
  std::intptr_t initParam;
  bool unicode;
  const Win32UserInterface::Look* look;
  std::unique_ptr<Win32Dialog> dialog;
};

// The program's page look, where the page itself has not answered WM_CTLCOLOR...
INT_PTR PaintWithLook(const Win32UserInterface::Look& look, UINT message, WPARAM wParam) {
  if (!look.set || (message != WM_CTLCOLORDLG && message != WM_CTLCOLORSTATIC && message != WM_CTLCOLORBTN))
    return FALSE;
  HDC dc = reinterpret_cast<HDC>(wParam);
  SetTextColor(dc, look.text);
  SetBkColor(dc, look.background);
  return static_cast<INT_PTR>(look.brush);
}

INT_PTR CALLBACK ModalDialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_INITDIALOG) {
    auto* context = reinterpret_cast<ModalContext*>(lParam);
    SetWindowLongPtrW(window, DWLP_USER, lParam);
    context->dialog = std::make_unique<Win32Dialog>(window, context->unicode);
    return (*context->proc)(*context->dialog, message, wParam, context->initParam);
  }
  auto* context = reinterpret_cast<ModalContext*>(GetWindowLongPtrW(window, DWLP_USER));
  // Messages before WM_INITDIALOG (WM_SETFONT and the like) go to the default handling.
  if (!context || !context->dialog) return FALSE;
  if (message == WM_DRAWITEM) context->dialog->SetDrawItem(reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
  const INT_PTR result = (*context->proc)(*context->dialog, message, wParam, lParam);
  context->dialog->SetDrawItem(nullptr);
  if (!result && context->look) return PaintWithLook(*context->look, message, wParam);
  return result;
}

void EnsureCommonControls() {
  static const bool done = [] {
    InitCommonControls();
    return true;
  }();
  (void)done;
}

void PumpMessages() {
  MSG message;
  while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }
}

INT_PTR CALLBACK ProgressDialogProc(HWND, UINT message, WPARAM, LPARAM) {
  return message == WM_INITDIALOG;
}

class Win32ProgressWindow final : public ProgressWindowUi {
 public:
  Win32ProgressWindow(HWND window, int barId, int statusId, bool unicode)
      : window_(window), bar_(GetDlgItem(window, barId)), statusId_(statusId), unicode_(unicode) {}
  ~Win32ProgressWindow() override { DestroyWindow(window_); }
  void SetRange(int lower, int upper) override {
    // PBM_SETRANGE: the 16-bit range the first common controls know.
    SendMessageA(bar_, PBM_SETRANGE, 0, MAKELPARAM(lower, upper));
    PumpMessages();
  }
  void SetPosition(int position) override {
    SendMessageA(bar_, PBM_SETPOS, static_cast<WPARAM>(position), 0);
    PumpMessages();
  }
  void SetStep(int step) override { SendMessageA(bar_, PBM_SETSTEP, static_cast<WPARAM>(step), 0); }
  void SetStatus(const std::string& text) override {
    if (statusId_ < 0) return;
    Win32Dialog(window_, unicode_).SetText(statusId_, text);
    PumpMessages();
  }

 private:
  HWND window_;
  HWND bar_;
  int statusId_;
  bool unicode_;
};

}  // namespace

std::wstring Utf8ToUtf16(const std::string& text) {
  std::wstring out;
  for (std::size_t i = 0; i < text.size();) {
    const auto lead = static_cast<unsigned char>(text[i]);
    const int extra = lead < 0x80             ? 0
                      : (lead & 0xE0) == 0xC0 ? 1
                      : (lead & 0xF0) == 0xE0 ? 2
                      : (lead & 0xF8) == 0xF0 ? 3
                                              : -1;
    std::uint32_t code = extra == 0   ? lead
                         : extra == 1 ? lead & 0x1F
                         : extra == 2 ? lead & 0x0F
                                      : lead & 0x07;
    bool valid = extra >= 0 && i + static_cast<std::size_t>(extra) < text.size() + (extra ? 0 : 1);
    for (int k = 1; valid && k <= extra; ++k) {
      const auto next = static_cast<unsigned char>(text[i + static_cast<std::size_t>(k)]);
      if ((next & 0xC0) != 0x80) valid = false;
      code = code << 6 | (next & 0x3F);
    }
    // Overlong forms and surrogates are as malformed as stray bytes.
    constexpr std::uint32_t kMinimum[] = {0, 0x80, 0x800, 0x10000};
    if (valid && (code < kMinimum[extra] || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)))
      valid = false;
    if (!valid) {
      out.push_back(L'\xFFFD');
      ++i;
      continue;
    }
    i += static_cast<std::size_t>(extra) + 1;
    if (code >= 0x10000) {
      code -= 0x10000;
      out.push_back(static_cast<wchar_t>(0xD800 | (code >> 10)));
      out.push_back(static_cast<wchar_t>(0xDC00 | (code & 0x3FF)));
    } else {
      out.push_back(static_cast<wchar_t>(code));
    }
  }
  return out;
}

std::string Utf16ToUtf8(const std::wstring& text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    std::uint32_t code = static_cast<std::uint16_t>(text[i]);
    if (code >= 0xD800 && code <= 0xDBFF && i + 1 < text.size() &&
        (static_cast<std::uint16_t>(text[i + 1]) & 0xFC00) == 0xDC00) {
      code = 0x10000 + ((code - 0xD800) << 10) + (static_cast<std::uint16_t>(text[++i]) - 0xDC00);
    } else if (code >= 0xD800 && code <= 0xDFFF) {
      code = 0xFFFD;
    }
    if (code < 0x80) {
      out.push_back(static_cast<char>(code));
    } else if (code < 0x800) {
      out.push_back(static_cast<char>(0xC0 | code >> 6));
      out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
    } else if (code < 0x10000) {
      out.push_back(static_cast<char>(0xE0 | code >> 12));
      out.push_back(static_cast<char>(0x80 | (code >> 6 & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
    } else {
      out.push_back(static_cast<char>(0xF0 | code >> 18));
      out.push_back(static_cast<char>(0x80 | (code >> 12 & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (code >> 6 & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
    }
  }
  return out;
}

std::vector<std::uint16_t> BuildDialogTemplate(const DialogTemplate& dialog, bool threeD) {
  TemplateWriter writer;
  writer.Dword(DialogStyle(dialog.style) | (threeD ? DS_3DLOOK : 0));
  writer.Dword(0);  // extended style
  writer.Word(static_cast<std::uint16_t>(dialog.controls.size()));
  writer.Word(static_cast<std::uint16_t>(dialog.x)), writer.Word(static_cast<std::uint16_t>(dialog.y));
  writer.Word(static_cast<std::uint16_t>(dialog.width)),
      writer.Word(static_cast<std::uint16_t>(dialog.height));
  writer.Word(0);  // no menu
  writer.Word(0);  // the dialog class
  writer.Text(dialog.caption);
  writer.Word(static_cast<std::uint16_t>(dialog.fontPoints));
  writer.Text(dialog.font);
  for (const ControlTemplate& control : dialog.controls) {
    writer.AlignDword();
    writer.Dword(ControlStyle(control));
    writer.Dword(0);  // extended style
    writer.Word(static_cast<std::uint16_t>(control.x)), writer.Word(static_cast<std::uint16_t>(control.y));
    writer.Word(static_cast<std::uint16_t>(control.width)),
        writer.Word(static_cast<std::uint16_t>(control.height));
    writer.Word(static_cast<std::uint16_t>(control.id));
    WriteControlClass(writer, control.kind);
    WriteControlTitle(writer, control);
    writer.Word(0);  // no creation data
  }
  return writer.Take();
}

Win32UserInterface::Win32UserInterface(WindowsFamily family) : unicode_(family == WindowsFamily::kNt) {}

std::intptr_t Win32UserInterface::ShowModal(const DialogTemplate& dialog, WindowHandle owner,
                                            const DialogProc& proc, std::intptr_t initParam) {
  EnsureCommonControls();
  const std::vector<std::uint16_t> memory = BuildDialogTemplate(dialog, look_.set);
  ModalContext context{&proc, initParam, unicode_, &look_, nullptr};
  const auto* templ = reinterpret_cast<const DLGTEMPLATE*>(memory.data());
  const auto param = reinterpret_cast<LPARAM>(&context);
  if (unicode_)
    return DialogBoxIndirectParamW(GetModuleHandleW(nullptr), templ, AsWindow(owner), ModalDialogProc, param);
  return DialogBoxIndirectParamA(GetModuleHandleA(nullptr), templ, AsWindow(owner), ModalDialogProc, param);
}

int Win32UserInterface::MessageBox(WindowHandle owner, const std::string& text, const std::string& caption,
                                   std::uint32_t flags) {
  if (unicode_)
    return MessageBoxW(AsWindow(owner), Utf8ToUtf16(text).c_str(), Utf8ToUtf16(caption).c_str(), flags);
  return MessageBoxA(AsWindow(owner), ToAnsi(text).c_str(), ToAnsi(caption).c_str(), flags);
}

bool Win32UserInterface::OpenFileDialog(WindowHandle owner, const std::string& title,
                                        const std::string& filter, const std::string& initialDir,
                                        std::string* chosen) {
  // The filter may separate its parts with '|' or with NULs; the call wants NULs and a double NUL at the end.
  std::string filterList = ToAnsi(filter);
  for (char& c : filterList)
    if (c == '|') c = '\0';
  filterList.append(2, '\0');
  const std::string titleText = ToAnsi(title), dir = ToAnsi(initialDir);
  char file[MAX_PATH] = {};
  OPENFILENAMEA dialog{};
  dialog.lStructSize = sizeof dialog;
  dialog.hwndOwner = AsWindow(owner);
  dialog.lpstrFilter = filterList.c_str();
  dialog.lpstrFile = file;
  dialog.nMaxFile = sizeof file;
  dialog.lpstrTitle = titleText.empty() ? nullptr : titleText.c_str();
  dialog.lpstrInitialDir = dir.empty() ? nullptr : dir.c_str();
  dialog.Flags = OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY;
  if (!GetOpenFileNameA(&dialog)) return false;
  if (chosen) *chosen = FromAnsi(file);
  return true;
}

ProgressWindowUi* Win32UserInterface::CreateProgress(const DialogTemplate& dialog, WindowHandle owner) {
  EnsureCommonControls();
  // The bar is the template's progress control; status texts go to its first plain text control.
  int barId = -1, statusId = -1;
  for (const ControlTemplate& control : dialog.controls) {
    if (control.kind == ControlKind::kProgressBar && barId < 0) barId = control.id;
    if (control.kind == ControlKind::kStatic && statusId < 0) statusId = control.id;
  }
  const std::vector<std::uint16_t> memory = BuildDialogTemplate(dialog, look_.set);
  const auto* templ = reinterpret_cast<const DLGTEMPLATE*>(memory.data());
  HWND window = unicode_ ? CreateDialogIndirectParamW(GetModuleHandleW(nullptr), templ, AsWindow(owner),
                                                      ProgressDialogProc, 0)
                         : CreateDialogIndirectParamA(GetModuleHandleA(nullptr), templ, AsWindow(owner),
                                                      ProgressDialogProc, 0);
  if (!window) return nullptr;
  ShowWindow(window, SW_SHOW);
  PumpMessages();
  return new Win32ProgressWindow(window, barId, statusId, unicode_);
}

void Win32UserInterface::DestroyProgress(ProgressWindowUi* window) {
  delete window;
}

void Win32UserInterface::SetPageLook(std::uint32_t backgroundColour, std::uint32_t textColour) {
  if (look_.brush) DeleteObject(reinterpret_cast<HBRUSH>(look_.brush));
  look_.set = true;
  look_.background = backgroundColour;
  look_.text = textColour;
  look_.brush = reinterpret_cast<std::uintptr_t>(CreateSolidBrush(backgroundColour));
}

BitmapHandle Win32UserInterface::LoadBitmapFile(const char* path) {
  if (!path) return kNoBitmap;
  return reinterpret_cast<BitmapHandle>(LoadImageA(nullptr, path, IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE));
}

}  // namespace platform::win32
