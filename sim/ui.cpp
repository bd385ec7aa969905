#include "sim/ui.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <istream>
#include <ostream>
#include <sstream>

namespace sim {

using platform::ControlKind;

namespace {

std::string Lower(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

std::string Trim(const std::string& s) {
  auto begin = s.find_first_not_of(" \t\r\n");
  if (begin == std::string::npos) return "";
  auto end = s.find_last_not_of(" \t\r\n");
  return s.substr(begin, end - begin + 1);
}

// A caption as a person reads it: without the '&' of the keyboard shortcut.
std::string Plain(const std::string& caption) {
  std::string out;
  for (char c : caption)
    if (c != '&') out += c;
  return out;
}

// Texts on one transcript line: line breaks and quotes shown as escapes.
std::string Quote(const std::string& text) {
  std::string out = "\"";
  for (char c : text) {
    if (c == '\n')
      out += "\\n";
    else if (c == '\r')
      out += "\\r";
    else if (c == '"')
      out += "\\\"";
    else
      out += c;
  }
  return out + "\"";
}

const char* KindName(ControlKind kind) {
  switch (kind) {
    case ControlKind::kStatic:
      return "text";
    case ControlKind::kEdit:
      return "edit";
    case ControlKind::kPushButton:
      return "button";
    case ControlKind::kDefPushButton:
      return "button";
    case ControlKind::kOwnerDrawButton:
      return "picture";
    case ControlKind::kCheckBox:
      return "checkbox";
    case ControlKind::kRadioButton:
      return "radio";
    case ControlKind::kGroupBox:
      return "group";
    case ControlKind::kProgressBar:
      return "progressbar";
    case ControlKind::kIcon:
      return "icon";
  }
  return "control";
}

bool Clickable(ControlKind kind) {
  return kind == ControlKind::kPushButton || kind == ControlKind::kDefPushButton ||
         kind == ControlKind::kOwnerDrawButton || kind == ControlKind::kCheckBox ||
         kind == ControlKind::kRadioButton;
}

bool Checkable(ControlKind kind) {
  return kind == ControlKind::kCheckBox || kind == ControlKind::kRadioButton;
}

struct Button {
  int id;
  const char* name;
};

std::vector<Button> MessageBoxButtons(std::uint32_t flags) {
  switch (flags & 0xF) {
    case platform::kMbOkCancel:
      return {{platform::kIdOk, "OK"}, {platform::kIdCancel, "Cancel"}};
    case 3:
      return {{platform::kIdYes, "Yes"}, {platform::kIdNo, "No"}, {platform::kIdCancel, "Cancel"}};
    case platform::kMbYesNo:
      return {{platform::kIdYes, "Yes"}, {platform::kIdNo, "No"}};
    default:
      return {{platform::kIdOk, "OK"}};
  }
}

const char* IconName(std::uint32_t flags) {
  switch (flags & 0xF0) {
    case platform::kMbIconStop:
      return "stop";
    case platform::kMbIconQuestion:
      return "question";
    case platform::kMbIconExclamation:
      return "exclamation";
    case platform::kMbIconInformation:
      return "information";
    default:
      return "no icon";
  }
}

}  // namespace

// ---------------------------------------------------------------------------------------------------------
// Steps

UiStep ParseUiStep(const std::string& rawLine) {
  std::string line = Trim(rawLine);
  UiStep step;
  if (!line.empty() && line[0] == '@') {
    auto space = line.find_first_of(" \t");
    std::string ids = line.substr(1, space == std::string::npos ? std::string::npos : space - 1);
    std::stringstream list(ids);
    std::string id;
    while (std::getline(list, id, ',')) {
      try {
        std::size_t used = 0;
        int value = std::stoi(id, &used, 0);
        if (used != id.size()) throw std::invalid_argument(id);
        step.dialogs.push_back(value);
      } catch (const std::exception&) {
        throw UiError("'" + id + "' is not a dialog number in '" + rawLine + "'");
      }
    }
    line = space == std::string::npos ? "" : Trim(line.substr(space));
  }
  auto space = line.find_first_of(" \t");
  std::string verb = Lower(line.substr(0, space));
  std::string arg = space == std::string::npos ? "" : Trim(line.substr(space));
  if (verb == "click" || verb == "check" || verb == "uncheck") {
    step.kind = verb == "click"   ? UiStep::Kind::kClick
                : verb == "check" ? UiStep::Kind::kCheck
                                  : UiStep::Kind::kUncheck;
    if (arg.empty()) throw UiError("'" + verb + "' needs a control in '" + rawLine + "'");
    step.target = arg;
  } else if (verb == "close") {
    step.kind = UiStep::Kind::kClose;
  } else if (verb == "answer") {
    step.kind = UiStep::Kind::kAnswer;
    auto ifPos = Lower(arg).find(" if ");
    if (ifPos != std::string::npos) {
      step.question = Trim(arg.substr(ifPos + 4));
      arg = Trim(arg.substr(0, ifPos));
    }
    std::string button = Lower(arg);
    if (button != "yes" && button != "no" && button != "ok" && button != "cancel")
      throw UiError("'answer' takes yes, no, ok or cancel in '" + rawLine + "'");
    step.target = button;
  } else if (verb == "open") {
    step.kind = UiStep::Kind::kOpen;
    if (arg.empty()) throw UiError("'open' needs a path in '" + rawLine + "'");
    step.target = arg;
  } else if (verb == "cancel-open") {
    step.kind = UiStep::Kind::kCancelOpen;
  } else {
    throw UiError("unknown step '" + verb + "' in '" + rawLine + "'");
  }
  return step;
}

std::vector<UiStep> ParseUiSteps(std::istream& in) {
  std::vector<UiStep> steps;
  std::string line;
  int number = 0;
  while (std::getline(in, line)) {
    ++number;
    std::string trimmed = Trim(line);
    if (trimmed.empty() || trimmed[0] == '#') continue;
    try {
      steps.push_back(ParseUiStep(trimmed));
    } catch (const UiError& e) {
      throw UiError("line " + std::to_string(number) + ": " + e.what());
    }
  }
  return steps;
}

std::string ToString(const UiStep& step) {
  std::string out;
  if (!step.dialogs.empty()) {
    out += "@";
    for (std::size_t i = 0; i < step.dialogs.size(); ++i)
      out += (i ? "," : "") + std::to_string(step.dialogs[i]);
    out += " ";
  }
  switch (step.kind) {
    case UiStep::Kind::kClick:
      return out + "click " + step.target;
    case UiStep::Kind::kCheck:
      return out + "check " + step.target;
    case UiStep::Kind::kUncheck:
      return out + "uncheck " + step.target;
    case UiStep::Kind::kClose:
      return out + "close";
    case UiStep::Kind::kAnswer:
      return out + "answer " + step.target + (step.question.empty() ? "" : " if " + step.question);
    case UiStep::Kind::kOpen:
      return out + "open " + step.target;
    case UiStep::Kind::kCancelOpen:
      return out + "cancel-open";
  }
  return out;
}

// ---------------------------------------------------------------------------------------------------------
// Dialogs

struct SimUi::Control {
  platform::ControlTemplate tmpl;
  bool visible = true;
  bool enabled = true;
  bool checked = false;
  std::string text;
  platform::BitmapHandle drawn = platform::kNoBitmap;

  bool operator==(const Control& other) const {
    return visible == other.visible && enabled == other.enabled && checked == other.checked &&
           text == other.text;
  }
  std::string Describe() const {
    std::string line = KindName(tmpl.kind);
    if (tmpl.id != -1) line += " " + std::to_string(tmpl.id);
    if (Checkable(tmpl.kind)) line += checked ? " [x]" : " [ ]";
    if (tmpl.kind == ControlKind::kOwnerDrawButton)
      line += drawn != platform::kNoBitmap ? " (bitmap)" : " (blank)";
    else
      line += " " + Quote(text);
    if (tmpl.kind == ControlKind::kDefPushButton) line += " default";
    if (!visible) line += " hidden";
    if (!enabled) line += " disabled";
    return line;
  }
};

class SimUi::SimDialog : public platform::Dialog {
 public:
  SimDialog(SimUi& ui, const platform::DialogTemplate& tmpl, platform::WindowHandle handle,
            const platform::DialogProc& proc)
      : ui_(ui), tmpl_(tmpl), handle_(handle), proc_(proc) {
    for (const auto& c : tmpl.controls) {
      Control control;
      control.tmpl = c;
      control.visible = !(c.style & platform::kControlHidden);
      control.enabled = !(c.style & platform::kControlDisabled);
      control.text = c.text;
      controls_.push_back(control);
    }
  }

  platform::WindowHandle Handle() const override { return handle_; }
  void CheckButton(int id, bool checked) override {
    if (Control* c = Find(id)) c->checked = checked;
  }
  bool IsButtonChecked(int id) override {
    Control* c = Find(id);
    return c && c->checked;
  }
  void CheckRadioButton(int first, int last, int id) override {
    for (auto& c : controls_)
      if (c.tmpl.id >= first && c.tmpl.id <= last) c.checked = c.tmpl.id == id;
  }
  void EnableControl(int id, bool enabled) override {
    if (Control* c = Find(id)) c->enabled = enabled;
  }
  void ShowControl(int id, bool visible) override {
    if (Control* c = Find(id)) c->visible = visible;
  }
  void SetText(int id, const std::string& text) override {
    if (Control* c = Find(id)) c->text = text;
  }
  std::string GetText(int id) override {
    Control* c = Find(id);
    return c ? c->text : std::string();
  }
  // The page disappears as soon as its end is requested, even while its procedure goes on.
  void End(std::intptr_t result) override {
    if (ended_) return;
    ended_ = true;
    result_ = result;
    ui_.Write("closed dialog " + std::to_string(tmpl_.id) + " (" + std::to_string(result) + ")");
  }
  bool DrawBitmapStretched(int id, platform::BitmapHandle bitmap) override {
    Control* c = Find(id);
    if (!c || bitmap == platform::kNoBitmap) return false;
    c->drawn = bitmap;
    return true;
  }

  Control* Find(int id) {
    for (auto& c : controls_)
      if (c.tmpl.id == id && id != -1) return &c;
    return nullptr;
  }
  // A control as a person names it: by number, or by its caption.
  Control* FindByName(const std::string& name) {
    try {
      std::size_t used = 0;
      int id = std::stoi(name, &used, 0);
      if (used == name.size()) return Find(id);
    } catch (const std::exception&) {
    }
    std::string wanted = Lower(Plain(Trim(name)));
    for (auto& c : controls_)
      if (Lower(Plain(Trim(c.text))) == wanted && Clickable(c.tmpl.kind)) return &c;
    for (auto& c : controls_)
      if (Lower(Plain(Trim(c.text))) == wanted) return &c;
    return nullptr;
  }
  // Radio buttons of one automatic group: from the group start before `control` to the next group start.
  void CheckInGroup(Control& control) {
    std::size_t index = static_cast<std::size_t>(&control - controls_.data());
    std::size_t first = index;
    while (first > 0 && !(controls_[first].tmpl.style & platform::kControlGroupStart)) --first;
    for (std::size_t i = first; i < controls_.size(); ++i) {
      if (i > first && (controls_[i].tmpl.style & platform::kControlGroupStart)) break;
      if (controls_[i].tmpl.kind == ControlKind::kRadioButton) controls_[i].checked = false;
    }
    control.checked = true;
  }

  std::intptr_t Send(std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam) {
    return proc_ ? proc_(*this, message, wParam, lParam) : 0;
  }

  std::string Title() const { return "dialog " + std::to_string(tmpl_.id) + " " + Quote(tmpl_.caption); }

  const platform::DialogTemplate& Template() const { return tmpl_; }
  std::vector<Control>& Controls() { return controls_; }
  bool Ended() const { return ended_; }
  std::intptr_t Result() const { return result_; }

 private:
  SimUi& ui_;
  platform::DialogTemplate tmpl_;
  platform::WindowHandle handle_;
  const platform::DialogProc& proc_;
  std::vector<Control> controls_;
  bool ended_ = false;
  std::intptr_t result_ = 0;
};

class SimUi::SimProgress : public platform::ProgressWindowUi {
 public:
  SimProgress(SimUi& ui, const platform::DialogTemplate& tmpl) : ui_(ui), tmpl_(tmpl) {}
  void SetRange(int lower, int upper) override {
    lower_ = lower;
    upper_ = upper;
    ui_.Write("  range " + std::to_string(lower) + ".." + std::to_string(upper));
    Draw();
  }
  void SetPosition(int position) override {
    if (position == position_ && drawnOnce_) return;
    position_ = position;
    drawnOnce_ = true;
    ui_.Write("  bar " + std::to_string(position));
    Draw();
  }
  void SetStep(int step) override { ui_.Write("  step " + std::to_string(step)); }
  void SetStatus(const std::string& text) override {
    if (text == status_ && statusSet_) return;
    status_ = text;
    statusSet_ = true;
    ui_.Write("  status " + Quote(text));
    Draw();
  }
  int Id() const { return tmpl_.id; }
  int Position() const { return position_; }
  void EndLine() {
    if (ui_.out_ && drawnOnce_) *ui_.out_ << "\n";
  }

 private:
  // On the terminal: one line redrawn in place.
  void Draw() {
    if (!ui_.out_) return;
    int span = upper_ - lower_;
    int percent = span > 0 ? (std::clamp(position_, lower_, upper_) - lower_) * 100 / span : 0;
    int filled = percent * 30 / 100;
    *ui_.out_ << "\r[" << std::string(filled, '#') << std::string(30 - filled, '.') << "] " << percent << "% "
              << status_ << std::flush;
  }

  SimUi& ui_;
  platform::DialogTemplate tmpl_;
  int lower_ = 0, upper_ = 100, position_ = 0;
  bool drawnOnce_ = false, statusSet_ = false;
  std::string status_;
};

// ---------------------------------------------------------------------------------------------------------
// SimUi

SimUi::SimUi(std::vector<UiStep> steps) : steps_(std::move(steps)), used_(steps_.size(), false) {}

SimUi::SimUi(std::istream& in, std::ostream& out) : in_(&in), out_(&out) {}

SimUi::~SimUi() = default;

void SimUi::Write(const std::string& line) {
  transcript_.push_back(line);
  if (echo_) *echo_ << line << "\n";
  // Progress lines are drawn as a bar on the terminal instead.
  if (out_ && line.rfind("  bar ", 0) != 0 && line.rfind("  status ", 0) != 0 &&
      line.rfind("  range ", 0) != 0 && line.rfind("  step ", 0) != 0)
    *out_ << line << "\n";
}

std::vector<UiStep> SimUi::UnusedSteps() const {
  std::vector<UiStep> out;
  for (std::size_t i = 0; i < steps_.size(); ++i)
    if (!used_[i]) out.push_back(steps_[i]);
  return out;
}

std::optional<UiStep> SimUi::TakeStep(bool forMessageBox, int dialogId, const std::string& boxText,
                                      const std::vector<std::string>& buttons) {
  for (std::size_t i = 0; i < steps_.size(); ++i) {
    if (used_[i]) continue;
    const UiStep& step = steps_[i];
    bool answers = step.kind == UiStep::Kind::kAnswer;
    bool files = step.kind == UiStep::Kind::kOpen || step.kind == UiStep::Kind::kCancelOpen;
    if (forMessageBox != answers || files) continue;
    if (!step.dialogs.empty() &&
        std::find(step.dialogs.begin(), step.dialogs.end(), dialogId) == step.dialogs.end())
      continue;
    if (!step.question.empty() && Lower(boxText).find(Lower(step.question)) == std::string::npos) continue;
    if (forMessageBox && std::find(buttons.begin(), buttons.end(), step.target) == buttons.end()) continue;
    used_[i] = true;
    return step;
  }
  return std::nullopt;
}

std::intptr_t SimUi::ShowModal(const platform::DialogTemplate& tmpl, platform::WindowHandle owner,
                               const platform::DialogProc& proc, std::intptr_t initParam) {
  (void)owner;
  auto dialog = std::make_unique<SimDialog>(*this, tmpl, nextHandle_++, proc);
  stack_.push_back(dialog.get());
  struct Pop {
    std::vector<SimDialog*>& stack;
    ~Pop() { stack.pop_back(); }
  } pop{stack_};

  dialogsShown_.push_back(tmpl.id);
  Write(dialog->Title());
  dialog->Send(platform::kWmInitDialog, 0, initParam);
  if (!dialog->Ended()) {
    // Windows paints the owner-drawn items as soon as the dialog shows.
    for (auto& c : dialog->Controls())
      if (c.tmpl.kind == ControlKind::kOwnerDrawButton && c.visible)
        dialog->Send(platform::kWmDrawItem, static_cast<std::uintptr_t>(c.tmpl.id), 0);
    for (auto& c : dialog->Controls()) Write("  " + c.Describe());
  }

  for (int turns = 0; !dialog->Ended(); ++turns) {
    if (turns > 10000) throw UiError(dialog->Title() + " never closed");
    Act(*dialog);
  }
  return dialog->Result();
}

void SimUi::Act(SimDialog& dialog) {
  if (in_)
    ActInteractive(dialog);
  else
    ActScripted(dialog);
}

void SimUi::ActScripted(SimDialog& dialog) {
  auto step = TakeStep(false, dialog.Template().id, "");
  if (!step) throw UiError("the script has no step for " + dialog.Title());
  if (step->kind == UiStep::Kind::kClose) {
    PressEscape(dialog);
    return;
  }
  Control* control = dialog.FindByName(step->target);
  if (!control)
    throw UiError("'" + ToString(*step) + "': " + dialog.Title() + " has no control " + Quote(step->target));
  if (step->kind == UiStep::Kind::kCheck || step->kind == UiStep::Kind::kUncheck) {
    if (!Checkable(control->tmpl.kind))
      throw UiError("'" + ToString(*step) + "': " + control->Describe() + " is not a check box");
    bool wanted = step->kind == UiStep::Kind::kCheck;
    if (control->checked == wanted) return;  // nothing to click
  }
  Click(dialog, *control);
}

void SimUi::ActInteractive(SimDialog& dialog) {
  for (;;) {
    *out_ << "Click which control of dialog " << dialog.Template().id
          << " (number or caption; 'esc' closes)? " << std::flush;
    std::string line;
    if (!std::getline(*in_, line)) throw UiError("input ended while " + dialog.Title() + " was open");
    line = Trim(line);
    if (line.empty()) continue;
    if (Lower(line) == "esc" || Lower(line) == "close") {
      PressEscape(dialog);
      return;
    }
    Control* control = dialog.FindByName(line);
    if (!control) {
      *out_ << "There is no control " << Quote(line) << " on this dialog.\n";
      continue;
    }
    if (!Clickable(control->tmpl.kind) || !control->visible || !control->enabled) {
      *out_ << "That cannot be clicked: " << control->Describe() << "\n";
      continue;
    }
    Click(dialog, *control);
    return;
  }
}

void SimUi::Click(SimDialog& dialog, Control& control) {
  if (!Clickable(control.tmpl.kind))
    throw UiError("cannot click " + control.Describe() + " of " + dialog.Title());
  if (!control.visible || !control.enabled)
    throw UiError("cannot click " + control.Describe() + " of " + dialog.Title() + ": a person could not");
  Write("  > click " + (control.tmpl.id != -1 ? std::to_string(control.tmpl.id) + " " : "") +
        Quote(Plain(control.text)));
  int id = control.tmpl.id;
  std::vector<Control> before = dialog.Controls();
  if (control.tmpl.kind == ControlKind::kCheckBox) control.checked = !control.checked;
  if (control.tmpl.kind == ControlKind::kRadioButton) dialog.CheckInGroup(control);
  dialog.Send(platform::kWmCommand, static_cast<std::uintptr_t>(id & 0xFFFF) | (platform::kBnClicked << 16),
              static_cast<std::intptr_t>(dialog.Handle()));
  if (dialog.Ended()) return;
  auto& after = dialog.Controls();
  for (std::size_t i = 0; i < after.size() && i < before.size(); ++i)
    if (!(after[i] == before[i])) Write("    " + after[i].Describe());
}

void SimUi::PressEscape(SimDialog& dialog) {
  Write("  > close");
  dialog.Send(platform::kWmCommand, platform::kIdCancel, static_cast<std::intptr_t>(dialog.Handle()));
}

int SimUi::MessageBox(platform::WindowHandle owner, const std::string& text, const std::string& caption,
                      std::uint32_t flags) {
  int ownerId = 0;
  for (SimDialog* d : stack_)
    if (d->Handle() == owner) ownerId = d->Template().id;
  auto buttons = MessageBoxButtons(flags);
  std::string names;
  for (const auto& b : buttons) names += (names.empty() ? "" : "/") + std::string(b.name);
  Write("message box " + Quote(caption) + " [" + names + ", " + IconName(flags) +
        ((flags & platform::kMbSystemModal) ? ", system-modal" : "") + "] over dialog " +
        std::to_string(ownerId) + ": " + Quote(text));

  auto pick = [&](const std::string& name) -> const Button* {
    for (const auto& b : buttons)
      if (Lower(b.name) == Lower(Trim(name))) return &b;
    return nullptr;
  };
  const Button* chosen = nullptr;
  if (in_) {
    while (!chosen) {
      *out_ << "Answer (" << names << ")? " << std::flush;
      std::string line;
      if (!std::getline(*in_, line))
        throw UiError("input ended while message box " + Quote(caption) + " was open");
      chosen = pick(line);
    }
  } else {
    std::vector<std::string> lowerNames;
    for (const auto& b : buttons) lowerNames.push_back(Lower(b.name));
    auto step = TakeStep(true, ownerId, caption + "\n" + text, lowerNames);
    if (step) {
      chosen = pick(step->target);
    } else if (buttons.size() == 1) {
      chosen = &buttons[0];  // the only thing a person can do
    } else {
      throw UiError("the script has no answer for message box " + Quote(caption) + ": " + Quote(text));
    }
  }
  Write("  > answer " + std::string(chosen->name));
  return chosen->id;
}

bool SimUi::OpenFileDialog(platform::WindowHandle owner, const std::string& title, const std::string& filter,
                           const std::string& initialDir, std::string* chosen) {
  (void)owner;
  std::string shownFilter;
  for (char c : filter) shownFilter += c == '\0' ? '|' : c;
  Write("file dialog " + Quote(title) + " filter " + Quote(shownFilter) + " in " + Quote(initialDir));
  std::optional<UiStep> step;
  if (in_) {
    *out_ << "File to open (empty line cancels)? " << std::flush;
    std::string line;
    if (!std::getline(*in_, line)) throw UiError("input ended while the file dialog was open");
    line = Trim(line);
    step = UiStep{line.empty() ? UiStep::Kind::kCancelOpen : UiStep::Kind::kOpen, line, {}, {}};
  } else {
    for (std::size_t i = 0; i < steps_.size() && !step; ++i)
      if (!used_[i] &&
          (steps_[i].kind == UiStep::Kind::kOpen || steps_[i].kind == UiStep::Kind::kCancelOpen)) {
        used_[i] = true;
        step = steps_[i];
      }
    if (!step) throw UiError("the script has no step for file dialog " + Quote(title));
  }
  if (step->kind == UiStep::Kind::kCancelOpen) {
    Write("  > cancel");
    return false;
  }
  Write("  > open " + Quote(step->target));
  if (chosen) *chosen = step->target;
  return true;
}

platform::ProgressWindowUi* SimUi::CreateProgress(const platform::DialogTemplate& tmpl,
                                                  platform::WindowHandle owner) {
  int ownerId = 0;
  for (SimDialog* d : stack_)
    if (d->Handle() == owner) ownerId = d->Template().id;
  Write("progress window " + std::to_string(tmpl.id) + " over dialog " + std::to_string(ownerId));
  progress_.push_back(std::make_unique<SimProgress>(*this, tmpl));
  return progress_.back().get();
}

void SimUi::DestroyProgress(platform::ProgressWindowUi* window) {
  for (auto it = progress_.begin(); it != progress_.end(); ++it)
    if (it->get() == window) {
      (*it)->EndLine();
      Write("closed progress window " + std::to_string((*it)->Id()) + " at " +
            std::to_string((*it)->Position()));
      progress_.erase(it);
      return;
    }
}

void SimUi::SetPageLook(std::uint32_t backgroundColour, std::uint32_t textColour) {
  char line[96];
  std::snprintf(line, sizeof line, "look: 3-D controls, background %06X, text %06X", backgroundColour,
                textColour);
  Write(line);
}

platform::BitmapHandle SimUi::LoadBitmapFile(const char* path) {
  if (!files_ || !path) return platform::kNoBitmap;
  platform::FileHandle file = files_->OpenFile(path, platform::OpenMode::kRead);
  if (file == platform::kInvalidFileHandle) return platform::kNoBitmap;
  char magic[2] = {};
  std::uint32_t read = 0;
  bool ok = files_->ReadFile(file, magic, 2, &read) && read == 2 && magic[0] == 'B' && magic[1] == 'M';
  files_->CloseFile(file);
  return ok ? nextBitmap_++ : platform::kNoBitmap;
}

}  // namespace sim
