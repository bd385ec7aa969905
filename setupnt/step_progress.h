// The progress window each work step shows over the ChoicePage: total 100, range 0 to 100, step 10.
#pragma once

#include <memory>

#include "setupnt/setup_state.h"

namespace setupnt {

class StepProgress {
 public:
  StepProgress(SetupState& state, const char* statusText);
  ~StepProgress();
  StepProgress(const StepProgress&) = delete;
  StepProgress& operator=(const StepProgress&) = delete;

  void stepBy(int amount);
  void advanceTo(int position);
  void finish();

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace setupnt
