// The user interface of the simulated PC: the dialogs a program shows are kept as control states, and a
// user answers them, either scripted (a list of steps) or interactively on a terminal. Everything shown
// and done is written to a transcript.
//
// A scripted or interactive user can only do what a person could: click a visible, enabled control of
// the dialog on top, press Esc (close), answer a message box with one of its buttons. Anything else is a
// UiError, which ends the run.
#pragma once

#include <iosfwd>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/files.h"
#include "platform/ui.h"

namespace sim {

class UiError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// One step of a scripted user.
//   click TARGET     click a control (its id, or its caption without '&', case-insensitive)
//   check TARGET     click a check box or radio button only if it is not checked yet
//   uncheck TARGET   click a check box only if it is checked
//   close            press Esc on the dialog
//   answer BUTTON    answer a message box: yes, no, ok or cancel
//   open PATH        choose a file in the file-open dialog; "cancel-open" cancels it
// A step may be limited to certain dialogs (`dialogs`, by id) or, for answers, to message boxes whose
// caption or text contains `question` (case-insensitive). The user takes, for each window, the first
// remaining step that fits it; steps that fit no window are left over (see UnusedSteps).
struct UiStep {
  enum class Kind { kClick, kCheck, kUncheck, kClose, kAnswer, kOpen, kCancelOpen };
  Kind kind = Kind::kClick;
  std::string target;
  std::vector<int> dialogs;
  std::string question;
};

// Reads steps, one a line: "[@ID[,ID...]] VERB [ARG]", and for answers "answer BUTTON [if TEXT]".
// Blank lines and lines starting with '#' are skipped. Throws UiError naming the line at fault.
std::vector<UiStep> ParseUiSteps(std::istream& in);
UiStep ParseUiStep(const std::string& line);
std::string ToString(const UiStep& step);

class SimUi : public platform::UserInterface {
 public:
  // A scripted user.
  explicit SimUi(std::vector<UiStep> steps);
  // An interactive user: each window is shown on `out`, the answers read from `in`; progress windows are
  // drawn as terminal progress bars.
  SimUi(std::istream& in, std::ostream& out);
  ~SimUi() override;

  std::intptr_t ShowModal(const platform::DialogTemplate& dialog, platform::WindowHandle owner,
                          const platform::DialogProc& proc, std::intptr_t initParam) override;
  int MessageBox(platform::WindowHandle owner, const std::string& text, const std::string& caption,
                 std::uint32_t flags) override;
  bool OpenFileDialog(platform::WindowHandle owner, const std::string& title, const std::string& filter,
                      const std::string& initialDir, std::string* chosen) override;
  platform::ProgressWindowUi* CreateProgress(const platform::DialogTemplate& dialog,
                                             platform::WindowHandle owner) override;
  void DestroyProgress(platform::ProgressWindowUi* window) override;
  void SetPageLook(std::uint32_t backgroundColour, std::uint32_t textColour) override;
  platform::BitmapHandle LoadBitmapFile(const char* path) override;

  // The files LoadBitmapFile reads (the running program's view of the drive); without them no bitmap
  // loads. A file is a bitmap when it starts with "BM".
  void SetFiles(platform::FileSystem* files) { files_ = files; }

  // Every line of the transcript so far.
  const std::vector<std::string>& Transcript() const { return transcript_; }
  // The ids of the dialogs shown, in order.
  const std::vector<int>& DialogsShown() const { return dialogsShown_; }
  // Steps no window took.
  std::vector<UiStep> UnusedSteps() const;
  // Copies each transcript line to `out` as it is written (besides keeping it).
  void EchoTo(std::ostream* out) { echo_ = out; }

  struct Control;
  class SimDialog;
  class SimProgress;

 private:
  void Write(const std::string& line);
  // The next step that fits, taken out of the list; nullopt when none fits.
  // For message boxes only answers naming one of `buttons` fit.
  std::optional<UiStep> TakeStep(bool forMessageBox, int dialogId, const std::string& boxText,
                                 const std::vector<std::string>& buttons = {});
  void Act(SimDialog& dialog);
  void ActScripted(SimDialog& dialog);
  void ActInteractive(SimDialog& dialog);
  void Click(SimDialog& dialog, Control& control);
  void PressEscape(SimDialog& dialog);

  std::vector<UiStep> steps_;
  std::vector<bool> used_;
  std::istream* in_ = nullptr;
  std::ostream* out_ = nullptr;  // interactive terminal
  std::ostream* echo_ = nullptr;
  std::vector<std::string> transcript_;
  std::vector<int> dialogsShown_;
  std::vector<SimDialog*> stack_;
  std::vector<std::unique_ptr<SimProgress>> progress_;
  platform::FileSystem* files_ = nullptr;
  platform::WindowHandle nextHandle_ = 0x1000;
  platform::BitmapHandle nextBitmap_ = 0x5000;
};

}  // namespace sim
