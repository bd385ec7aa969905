#include "setupnt/step_progress.h"

#include <algorithm>
#include <cmath>
#include <string>

#include "setupnt/templates.h"

namespace setupnt {

struct StepProgress::Impl {
  platform::UserInterface* ui = nullptr;
  platform::ProgressWindowUi* window = nullptr;
  std::string status;
  int total = 100, position = 0, lower = 0, upper = 100, step = 10;

  void Refresh() {
    if (!window) return;
    window->SetPosition(position);
    window->SetStatus(status);
  }
};

StepProgress::StepProgress(SetupState& state, const char* statusText) : impl_(std::make_unique<Impl>()) {
  impl_->ui = state.os.ui;
  impl_->status = statusText;
  if (impl_->ui) {
    impl_->window = impl_->ui->CreateProgress(ProgressWindowTemplate(), state.choicePage);
    if (impl_->window) {
      impl_->window->SetRange(impl_->lower, impl_->upper);
      impl_->window->SetPosition(impl_->lower);
      impl_->window->SetStep(impl_->step);
      impl_->window->SetStatus(impl_->status);
    }
  }
}

StepProgress::~StepProgress() {
  if (impl_->window) impl_->ui->DestroyProgress(impl_->window);
}

void StepProgress::stepBy(int amount) {
  auto& p = *impl_;
  int d = amount == 0 ? p.step
                      : static_cast<int>(std::ceil(static_cast<double>(amount) / p.total * (p.upper - p.lower)));
  p.position = std::clamp(p.position + d, p.lower, p.upper);
  p.Refresh();
}

void StepProgress::advanceTo(int x) {
  auto& p = *impl_;
  if (x < p.lower) x = 0;
  if (x > p.upper) x = p.upper;
  if (p.position < x) p.position = x;
  p.Refresh();
}

void StepProgress::finish() {
  auto& p = *impl_;
  p.position = p.upper;
  p.Refresh();
  if (p.window) p.ui->DestroyProgress(p.window);
  p.window = nullptr;
}

}  // namespace setupnt
