// The 32-bit linear address space that the DLS engine's records point into. In the 32-bit Windows build
// a linear address is the pointer itself; on the simulated PC it is a sparse space whose regions are owned
// by the simulation, so a stray address is caught as an error.
#pragma once

#include <cstdint>
#include <span>

namespace platform {

using LinearAddress = std::uint32_t;

class AddressSpace {
 public:
  virtual ~AddressSpace() = default;

  // The bytes at [address, address + length), or an empty span when any of them lies outside a region.
  // A zero length at a valid address gives an empty span too; use Contains to tell the two apart.
  virtual std::span<std::uint8_t> Map(LinearAddress address, std::uint32_t length) = 0;
  virtual bool Contains(LinearAddress address, std::uint32_t length) = 0;

  // The calling process's global memory (GlobalAlloc with fixed, zero-initialised memory / GlobalFree).
  // 0 when the memory cannot be had.
  virtual LinearAddress GlobalAlloc(std::uint32_t size) = 0;
  virtual void GlobalFree(LinearAddress address) = 0;
  // GlobalMemoryStatus: total physical memory in bytes.
  virtual std::uint32_t TotalPhysicalMemory() = 0;
};

}  // namespace platform
