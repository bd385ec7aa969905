#include "sim/linear_memory.h"

namespace sim {

namespace {
constexpr std::uint64_t kGap = 0x10000;
constexpr std::uint64_t kTop = 0xFFFF0000;
}  // namespace

platform::LinearAddress LinearMemory::Allocate(std::uint32_t size, const std::string& owner) {
  if (size == 0) return 0;
  std::uint64_t base = next_;
  if (base + size + kGap > kTop) return 0;
  next_ = (base + size + kGap + 0xFFFF) & ~std::uint64_t{0xFFFF};
  Region region;
  region.base = static_cast<platform::LinearAddress>(base);
  region.bytes.assign(size, 0);
  region.owner = owner;
  regions_.emplace(region.base, std::move(region));
  inUse_ += size;
  if (inUse_ > peak_) peak_ = inUse_;
  return static_cast<platform::LinearAddress>(base);
}

bool LinearMemory::Free(platform::LinearAddress base) {
  auto it = regions_.find(base);
  if (it == regions_.end()) return false;
  inUse_ -= it->second.bytes.size();
  regions_.erase(it);
  return true;
}

void LinearMemory::FreeAllOwnedBy(const std::string& owner) {
  std::erase_if(regions_, [&](const auto& entry) {
    if (entry.second.owner != owner) return false;
    inUse_ -= entry.second.bytes.size();
    return true;
  });
}

const LinearMemory::Region* LinearMemory::Find(platform::LinearAddress address, std::uint32_t length) const {
  auto it = regions_.upper_bound(address);
  if (it == regions_.begin()) return nullptr;
  --it;
  const Region& region = it->second;
  std::uint64_t offset = std::uint64_t{address} - region.base;
  if (offset + length > region.bytes.size()) return nullptr;
  if (length == 0 && offset >= region.bytes.size()) return nullptr;
  return &region;
}

std::span<std::uint8_t> LinearMemory::Map(platform::LinearAddress address, std::uint32_t length) {
  const Region* region = Find(address, length);
  if (!region) return {};
  auto& bytes = const_cast<Region*>(region)->bytes;
  return std::span<std::uint8_t>(bytes.data() + (address - region->base), length);
}

bool LinearMemory::Contains(platform::LinearAddress address, std::uint32_t length) const {
  return Find(address, length) != nullptr;
}

const LinearMemory::Region* LinearMemory::RegionAt(platform::LinearAddress address) const {
  return Find(address, 0);
}

std::uint64_t LinearMemory::BytesOwnedBy(const std::string& owner) const {
  std::uint64_t total = 0;
  for (const auto& [base, region] : regions_)
    if (region.owner == owner) total += region.bytes.size();
  return total;
}

platform::LinearAddress ProcessAddressSpace::GlobalAlloc(std::uint32_t size) {
  if (faults_.ShouldFail(fault::kGlobalAlloc)) return 0;
  return memory_.Allocate(size, owner_);
}

void ProcessAddressSpace::GlobalFree(platform::LinearAddress address) {
  const auto* region = memory_.RegionAt(address);
  if (region && region->base == address && region->owner == owner_) memory_.Free(address);
}

}  // namespace sim
