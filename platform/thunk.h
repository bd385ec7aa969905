// The Windows 95 flat thunk calls that the 32-bit side of the thunk uses (ThunkConnect32,
// K32Thk1632Prolog, K32Thk1632Epilog, MapSLFix, UnMapSLFixArray), and the shape of one call that the
// 16-bit side makes into a 32-bit entry point.
#pragma once

#include <cstdint>
#include <span>

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

// One call from the 16-bit side. `arguments` are the bytes on the caller's stack from the last argument
// pushed (lowest address) upwards; the entry point leaves its result in `ax`/`dx` and says in
// `argumentBytes` how many of those bytes it removes on return.
struct Thunk16Frame {
  std::span<const std::uint8_t> arguments;
  std::uint16_t ax = 0;
  std::uint16_t dx = 0;
  std::uint16_t argumentBytes = 0;
};

// What the target table of the 32-bit thunk data holds, one per entry point.
using Thunk16Target = void (*)(Thunk16Frame& frame);

// Layout of the 32-bit thunk data of a 16-to-32 thunk: the header, then (at the offset that the header
// gives, counted from its start) the target table.
namespace thunkdata {
constexpr std::size_t kSignature = 0;     // "SL01"
constexpr std::size_t kChecksum = 4;      // must equal the 16-bit side's
constexpr std::size_t kLateBinding = 16;  // "LB01"
constexpr std::size_t kTargetTable = 32;  // offset of the target table
constexpr std::size_t kHeaderSize = 36;
}  // namespace thunkdata

}  // namespace platform
