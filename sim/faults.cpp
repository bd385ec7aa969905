#include "sim/faults.h"

namespace sim {

void Faults::Arm(const std::string& point, std::uint32_t skip, std::uint32_t count) {
  rules_[point] = Rule{skip, count};
}

bool Faults::ShouldFail(const std::string& point) {
  ++hits_[point];
  auto it = rules_.find(point);
  if (it == rules_.end()) return false;
  Rule& rule = it->second;
  if (rule.skip > 0) {
    --rule.skip;
    return false;
  }
  if (rule.count == 0) return false;
  --rule.count;
  return true;
}

std::uint64_t Faults::Hits(const std::string& point) const {
  auto it = hits_.find(point);
  return it == hits_.end() ? 0 : it->second;
}

}  // namespace sim
