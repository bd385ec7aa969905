// The modeless progress window the installers show over a page while an action runs: a status line and
// a bar that only moves forward.
#pragma once

#include <cstdint>
#include <string>

#include "platform/ui.h"

namespace wizard {

class ProgressWindow {
 public:
  // `dialog` is the program's progress dialog (its status line and bar); `ui` may be null, then only
  // the fields move.
  ProgressWindow(platform::UserInterface* ui, const platform::DialogTemplate& dialog,
                 platform::WindowHandle owner, std::string statusText, std::int32_t total, std::int32_t lower,
                 std::int32_t upper, std::int32_t step);
  ~ProgressWindow();
  ProgressWindow(const ProgressWindow&) = delete;
  ProgressWindow& operator=(const ProgressWindow&) = delete;

  void show();
  void advanceTo(std::int32_t x);
  void stepBy(std::int32_t amount);
  void finish();

  const std::string& statusText() const { return statusText_; }
  std::int32_t total() const { return total_; }
  std::int32_t position() const { return position_; }
  std::int32_t lower() const { return lower_; }
  std::int32_t upper() const { return upper_; }
  std::int32_t step() const { return step_; }
  bool shown() const { return window_ != nullptr; }

 private:
  void refresh();

  std::string statusText_;
  std::int32_t total_;
  std::int32_t position_ = 0;
  std::int32_t lower_;
  std::int32_t upper_;
  std::int32_t step_;
  platform::WindowHandle owner_;
  platform::UserInterface* ui_;
  const platform::DialogTemplate& dialog_;
  platform::ProgressWindowUi* window_ = nullptr;
};

}  // namespace wizard
