#include "wizard/progress_window.h"

#include <cmath>
#include <limits>

namespace wizard {

ProgressWindow::ProgressWindow(platform::UserInterface* ui, const platform::DialogTemplate& dialog,
                               platform::WindowHandle owner, std::string statusText, std::int32_t total,
                               std::int32_t lower, std::int32_t upper, std::int32_t step)
    : statusText_(std::move(statusText)),
      total_(total),
      lower_(lower < 0 ? 0 : lower),
      upper_(upper),
      step_(step),
      owner_(owner),
      ui_(ui),
      dialog_(dialog) {
  if (upper_ < lower_) std::swap(lower_, upper_);
  // A negative upper end swapped into the lower one would break 0 <= lower <= upper.
  if (lower_ < 0) lower_ = 0;
  if (upper_ < lower_) upper_ = lower_;
}

ProgressWindow::~ProgressWindow() {
  // A window left open by an early return must not outlive its owner page.
  if (window_) ui_->DestroyProgress(window_);
}

void ProgressWindow::show() {
  if (!ui_ || window_) return;
  window_ = ui_->CreateProgress(dialog_, owner_);
  if (!window_) return;
  // The bar's range travels as two 16-bit halves of one message parameter.
  window_->SetRange(static_cast<std::uint16_t>(lower_), static_cast<std::uint16_t>(upper_));
  window_->SetPosition(lower_);
  window_->SetStep(step_);
  window_->SetStatus(statusText_);
}

void ProgressWindow::advanceTo(std::int32_t x) {
  if (x < lower_) x = 0;  // 0, not lower: kept as the installers always did it
  if (x > upper_) x = upper_;
  if (position_ < x) position_ = x;
  refresh();
}

void ProgressWindow::stepBy(std::int32_t amount) {
  std::int64_t d;
  if (amount == 0 || total_ == 0) {
    // Without a total there is no proportion to take; the fixed step keeps the bar moving.
    d = step_;
  } else {
    double share = std::ceil(static_cast<double>(amount) / total_ * (static_cast<double>(upper_) - lower_));
    // Clamped before the conversion: a huge amount against a small total must not overflow.
    constexpr double kLimit = std::numeric_limits<std::int32_t>::max();
    d = static_cast<std::int64_t>(std::fmax(-kLimit, std::fmin(kLimit, share)));
  }
  std::int64_t next = static_cast<std::int64_t>(position_) + d;
  if (next < lower_) next = lower_;
  if (next > upper_) next = upper_;
  position_ = static_cast<std::int32_t>(next);
  refresh();
}

void ProgressWindow::finish() {
  position_ = upper_;
  refresh();
  if (window_) {
    ui_->DestroyProgress(window_);
    window_ = nullptr;
  }
}

void ProgressWindow::refresh() {
  if (!window_) return;
  window_->SetPosition(position_);
  window_->SetStatus(statusText_);
}

}  // namespace wizard
