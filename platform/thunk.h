// The Windows 95 flat thunk calls that the 32-bit side of the thunk uses (ThunkConnect32,
// K32Thk1632Prolog, K32Thk1632Epilog, MapSLFix, UnMapSLFixArray).
#pragma once

#include <cstdint>

namespace platform {

class Thunk {
 public:
  virtual ~Thunk() = default;
  virtual bool Connect32(void* thunkData32, const char* thunkData16Name, const char* library16,
                         const char* library32, std::uintptr_t instance, std::uint32_t reason) = 0;
  virtual void Prolog() = 0;
  virtual void Epilog() = 0;
  // 16:16 pointer to a linear address; 0 passes 0.
  virtual std::uint32_t MapSLFix(std::uint32_t segmentedPointer) = 0;
  virtual void UnMapSLFixArray(std::uint32_t count, const std::uint32_t* segmentedPointers) = 0;
};

}  // namespace platform
