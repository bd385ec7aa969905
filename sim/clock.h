// The virtual millisecond clock: every read advances it by one tick, so a busy wait on it always ends
// and a 300 ms reset costs no wall time.
#pragma once

#include <cstdint>

#include "platform/clock.h"

namespace sim {

class VirtualClock : public platform::Clock {
 public:
  explicit VirtualClock(std::uint32_t startMs = 0x10000, std::uint32_t tickMs = 1)
      : now_(startMs), tick_(tickMs) {}

  std::uint32_t TimeGetTime() override {
    std::uint32_t t = now_;
    now_ += tick_;
    ++reads_;
    return t;
  }
  void Advance(std::uint32_t ms) { now_ += ms; }
  std::uint32_t Now() const { return now_; }
  std::uint64_t Reads() const { return reads_; }
  void Set(std::uint32_t ms) { now_ = ms; }

 private:
  std::uint32_t now_;
  std::uint32_t tick_;
  std::uint64_t reads_ = 0;
};

}  // namespace sim
