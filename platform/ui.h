// The user interface the installers and the applet use: dialogs built from templates (one source of
// truth for both backends), driven by a dialog procedure that receives the Win32 dialog messages; message
// boxes; the file-open dialog; modeless progress windows; bitmaps loaded from files for owner-drawn buttons.
//
// Check boxes and radio buttons are the automatic kinds: a click changes their state before the dialog
// procedure hears of it (WM_COMMAND with BN_CLICKED). Texts are UTF-8; the Win32 backend converts them
// for the wide calls where a program needs Unicode.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace platform {

enum class ControlKind {
  kStatic,
  kEdit,
  kPushButton,
  kDefPushButton,
  kOwnerDrawButton,
  kCheckBox,
  kRadioButton,
  kGroupBox,
  kProgressBar,
  kIcon,
};

// Control style bits beyond the kind.
enum : std::uint32_t {
  kControlHidden = 0x1,
  kControlDisabled = 0x2,
  kControlGroupStart = 0x4,
  kControlTabStop = 0x8,
  kControlReadOnly = 0x10,
  kControlRightAligned = 0x20,
  kControlNoBorder = 0x40,
  kControlCentered = 0x80,
  kControlMultiLine = 0x100,
};

struct ControlTemplate {
  int id = -1;
  ControlKind kind = ControlKind::kStatic;
  std::string text;                         // UTF-8
  int x = 0, y = 0, width = 0, height = 0;  // dialog units
  std::uint32_t style = 0;
};

// Dialog style bits.
enum : std::uint32_t {
  kDialogCaption = 0x1,
  kDialogSystemMenu = 0x2,
  kDialogPopup = 0x4,
  kDialogFrame = 0x8,
  kDialogCentered = 0x10,
  kDialogForeground = 0x20,
  kDialogMinimizeBox = 0x40,
  kDialogVisible = 0x80,
};

struct DialogTemplate {
  int id = 0;
  std::string caption;  // UTF-8
  int x = 0, y = 0, width = 0, height = 0;
  std::string font = "MS Sans Serif";
  int fontPoints = 8;
  std::uint32_t style = kDialogCaption | kDialogSystemMenu;
  std::vector<ControlTemplate> controls;

  const ControlTemplate* Control(int controlId) const {
    for (const auto& c : controls)
      if (c.id == controlId) return &c;
    return nullptr;
  }
};

// Dialog messages, with the Win32 numbers. WM_COMMAND: wParam holds the control id (low word) and the
// notification (high word). WM_DRAWITEM: wParam holds the control id of the owner-drawn item.
enum : std::uint32_t {
  kWmInitDialog = 0x0110,
  kWmCommand = 0x0111,
  kWmDrawItem = 0x002B,
  kWmSysCommand = 0x0112,
  kWmClose = 0x0010,
};

constexpr int kIdOk = 1;
constexpr int kIdCancel = 2;
constexpr int kIdYes = 6;
constexpr int kIdNo = 7;

// Message box flags, with the Win32 numbers.
enum : std::uint32_t {
  kMbOk = 0x0,
  kMbOkCancel = 0x1,
  kMbYesNo = 0x4,
  kMbIconStop = 0x10,
  kMbIconQuestion = 0x20,
  kMbIconExclamation = 0x30,
  kMbIconInformation = 0x40,
  kMbSystemModal = 0x1000,
};

// BN_CLICKED, the notification in the high word of WM_COMMAND's wParam.
constexpr std::uint32_t kBnClicked = 0;
// The control id in the low word of WM_COMMAND's wParam.
constexpr int CommandId(std::uintptr_t wParam) {
  return static_cast<int>(wParam & 0xFFFF);
}
constexpr std::uint32_t CommandNotification(std::uintptr_t wParam) {
  return static_cast<std::uint32_t>((wParam >> 16) & 0xFFFF);
}

// A bitmap loaded from a file (LoadImageA with LR_LOADFROMFILE); 0 is none.
using BitmapHandle = std::uintptr_t;
constexpr BitmapHandle kNoBitmap = 0;

using WindowHandle = std::uintptr_t;

// A dialog that is on the screen: what a dialog procedure may do to it.
class Dialog {
 public:
  virtual ~Dialog() = default;
  virtual WindowHandle Handle() const = 0;
  virtual void CheckButton(int id, bool checked) = 0;
  virtual bool IsButtonChecked(int id) = 0;
  // CheckRadioButton: marks `id` and clears the others of first..last.
  virtual void CheckRadioButton(int first, int last, int id) = 0;
  virtual void EnableControl(int id, bool enabled) = 0;
  virtual void ShowControl(int id, bool visible) = 0;
  virtual void SetText(int id, const std::string& text) = 0;
  virtual std::string GetText(int id) = 0;
  virtual void End(std::intptr_t result) = 0;
  // The answer to WM_DRAWITEM for an owner-drawn button: the whole bitmap stretch-copied onto the item
  // rectangle through a compatible memory device context with the item's mapping mode. False when the
  // copy failed.
  virtual bool DrawBitmapStretched(int id, BitmapHandle bitmap) {
    (void)id;
    (void)bitmap;
    return false;
  }
};

// Returns TRUE (nonzero) when the message was handled, as a Win32 dialog procedure does.
using DialogProc = std::function<std::intptr_t(Dialog& dialog, std::uint32_t message, std::uintptr_t wParam,
                                               std::intptr_t lParam)>;

class ProgressWindowUi {
 public:
  virtual ~ProgressWindowUi() = default;
  virtual void SetRange(int lower, int upper) = 0;
  virtual void SetPosition(int position) = 0;
  virtual void SetStep(int step) = 0;
  virtual void SetStatus(const std::string& text) = 0;
};

class UserInterface {
 public:
  virtual ~UserInterface() = default;

  // Shows the dialog modally and returns the value passed to Dialog::End.
  virtual std::intptr_t ShowModal(const DialogTemplate& dialog, WindowHandle owner, const DialogProc& proc,
                                  std::intptr_t initParam) = 0;
  // MessageBoxA: returns kIdOk, kIdCancel, kIdYes or kIdNo.
  virtual int MessageBox(WindowHandle owner, const std::string& text, const std::string& caption,
                         std::uint32_t flags) = 0;
  // GetOpenFileNameA: false when the user cancels.
  virtual bool OpenFileDialog(WindowHandle owner, const std::string& title, const std::string& filter,
                              const std::string& initialDir, std::string* chosen) = 0;
  // A modeless progress window over `owner`; destroyed by DestroyProgress.
  virtual ProgressWindowUi* CreateProgress(const DialogTemplate& dialog, WindowHandle owner) = 0;
  virtual void DestroyProgress(ProgressWindowUi* window) = 0;

  // The application-wide look of the installers' pages: three-dimensional controls, and every dialog
  // drawn with the given background and text colours (0x00BBGGRR, as COLORREF).
  virtual void SetPageLook(std::uint32_t backgroundColour, std::uint32_t textColour) {
    (void)backgroundColour;
    (void)textColour;
  }
  // LoadImageA(IMAGE_BITMAP, LR_LOADFROMFILE) at the bitmap's own size; kNoBitmap when it cannot be loaded.
  // The bitmap lives until the program ends.
  virtual BitmapHandle LoadBitmapFile(const char* path) {
    (void)path;
    return kNoBitmap;
  }
  // LoadIconW: the handle of icon `iconId` among the resources of `module`, 0 when there is none. Backends
  // that show no icons may keep this answer.
  virtual std::uintptr_t LoadIcon(std::uintptr_t module, int iconId) {
    (void)module;
    (void)iconId;
    return 0;
  }
};

}  // namespace platform
