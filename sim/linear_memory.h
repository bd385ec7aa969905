// The simulated PC's sparse 32-bit linear address space. Regions are owned by the simulation (the
// virtual device's blocks, its shared allocations, each process's global memory); any access outside a
// region is refused, so a stray address is caught as an error, never as undefined behaviour.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "platform/address_space.h"
#include "sim/faults.h"

namespace sim {

class LinearMemory {
 public:
  struct Region {
    platform::LinearAddress base = 0;
    std::vector<std::uint8_t> bytes;
    std::string owner;  // "vxd", "vxd.shared", "process:<id>", ...
  };

  // Reserves a zero-filled region of `size` bytes; 0 when the space is exhausted or size is 0. Regions
  // are placed apart with unmapped gaps, so running off the end of one never reaches another.
  platform::LinearAddress Allocate(std::uint32_t size, const std::string& owner);
  // Frees the region that starts at `base`; false when no region starts there.
  bool Free(platform::LinearAddress base);
  void FreeAllOwnedBy(const std::string& owner);

  std::span<std::uint8_t> Map(platform::LinearAddress address, std::uint32_t length);
  bool Contains(platform::LinearAddress address, std::uint32_t length) const;
  const Region* RegionAt(platform::LinearAddress address) const;
  std::size_t RegionCount() const { return regions_.size(); }
  std::uint64_t BytesOwnedBy(const std::string& owner) const;
  // Bytes of all regions now, and the most they reached since the last ResetPeak (for benchmarks).
  std::uint64_t BytesInUse() const { return inUse_; }
  std::uint64_t PeakBytes() const { return peak_; }
  void ResetPeak() { peak_ = inUse_; }

 private:
  const Region* Find(platform::LinearAddress address, std::uint32_t length) const;

  std::map<platform::LinearAddress, Region> regions_;
  std::uint64_t next_ = 0x00400000;
  std::uint64_t inUse_ = 0;
  std::uint64_t peak_ = 0;  // low 4 MB never mapped: null and small numbers are never valid
};

// The address space as one process sees it: the shared regions plus its own global memory.
class ProcessAddressSpace : public platform::AddressSpace {
 public:
  ProcessAddressSpace(LinearMemory& memory, Faults& faults, std::string owner)
      : memory_(memory), faults_(faults), owner_(std::move(owner)) {}

  std::span<std::uint8_t> Map(platform::LinearAddress address, std::uint32_t length) override {
    return memory_.Map(address, length);
  }
  bool Contains(platform::LinearAddress address, std::uint32_t length) override {
    return memory_.Contains(address, length);
  }
  platform::LinearAddress GlobalAlloc(std::uint32_t size) override;
  void GlobalFree(platform::LinearAddress address) override;
  std::uint32_t TotalPhysicalMemory() override { return totalPhys_; }
  void SetTotalPhysicalMemory(std::uint32_t bytes) { totalPhys_ = bytes; }

  std::uint64_t GlobalBytesInUse() const { return memory_.BytesOwnedBy(owner_); }

 private:
  LinearMemory& memory_;
  Faults& faults_;
  std::string owner_;
  std::uint32_t totalPhys_ = 64u * 1024 * 1024;
};

}  // namespace sim
