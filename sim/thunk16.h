// The 16-bit side of the flat thunk on the simulated PC: what the partner library "j6thunk.dll" offers
// j6base. It keeps a selector table that turns 16:16 addresses into linear ones in the machine's linear
// memory, a stack on which a test pushes arguments as 16-bit code would, and calls a 32-bit entry point
// by its index in the target table of the thunk data that the 32-bit side connected with. As the
// platform::Thunk of the process that loaded j6base it also sees every mapping, prolog and epilog.
#pragma once

#include <cstdint>
#include <map>
#include <span>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/thunk.h"
#include "sim/linear_memory.h"

namespace sim {

// A 16:16 address or a call that the 16-bit side could not have made: a test or a driver at fault.
class Thunk16Error : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

class Thunk16 : public platform::Thunk {
 public:
  // What the partner's own thunk data says; the connection holds only where both sides agree.
  struct Partner {
    std::string library16 = "j6thunk.dll";
    std::string data16 = "thk_ThunkData16";
    std::string library32 = "j6base.dll";
    std::uint32_t checksum = 0x0003F7B4;
    std::uint32_t targets = 20;
  };

  // One platform call, in the order the 32-bit side made it.
  struct Event {
    enum Kind { kMap, kProlog, kEpilog, kUnmap } kind;
    std::vector<std::uint32_t> segmented;  // kMap: one value; kUnmap: the array released
    std::uint32_t linear = 0;              // kMap: the result
    std::uint16_t ax = 0, dx = 0;          // kUnmap: the caller's registers at that moment
  };

  struct Result {
    std::uint16_t ax = 0;
    std::uint16_t dx = 0;
    std::uint16_t argumentBytes = 0;  // what the entry point removed from the stack
  };

  static constexpr std::uint32_t kStackBytes = 0x1000;
  // The caller's registers before a call, so a register an entry point never set stands out.
  static constexpr std::uint16_t kUnsetRegister = 0xCCCC;

  explicit Thunk16(LinearMemory& memory) : Thunk16(memory, Partner{}) {}
  Thunk16(LinearMemory& memory, Partner partner);
  ~Thunk16() override;
  Thunk16(const Thunk16&) = delete;
  Thunk16& operator=(const Thunk16&) = delete;

  static constexpr std::uint32_t Far(std::uint16_t selector, std::uint16_t offset) {
    return std::uint32_t(selector) << 16 | offset;
  }

  // A new data segment of `size` bytes (1 to 65536), zero-filled, in linear memory; its selector.
  std::uint16_t AllocateSegment(std::uint32_t size);
  // A selector for memory that exists already (limit = size in bytes, at most 65536).
  void DefineSelector(std::uint16_t selector, platform::LinearAddress base, std::uint32_t size);
  // The linear address of a 16:16 address; throws for an unknown selector or an offset past the limit.
  platform::LinearAddress Linear(std::uint32_t segmented) const;
  // The caller's bytes at a 16:16 address, for a test to fill or read.
  std::span<std::uint8_t> Bytes(std::uint32_t segmented, std::uint32_t length);

  // The stack, as the 16-bit side pushes: the first argument first, so it lies highest.
  void Push16(std::uint16_t value);
  void Push32(std::uint32_t value);
  std::uint16_t Pop16();
  std::uint32_t StackPointer() const { return sp_; }

  // Calls the entry point at `index` of the connected target table with what lies on the stack, then
  // removes the bytes it says it takes. Throws when not connected, for an index past the table, or when
  // the entry point takes more than was pushed.
  Result Call(std::uint32_t index);

  bool Connected() const { return data32_ != nullptr; }
  const std::string& Refusal() const { return refusal_; }
  bool InsideCall() const { return depth_ > 0; }
  // 16:16 values mapped and not yet released.
  std::size_t LiveMappings() const;
  const std::vector<Event>& Log() const { return log_; }
  void ClearLog() { log_.clear(); }

  // platform::Thunk
  bool Connect32(void* thunkData32, const char* thunkData16Name, const char* library16, const char* library32,
                 std::uintptr_t instance, std::uint32_t reason) override;
  void Prolog() override;
  void Epilog() override;
  std::uint32_t MapSLFix(std::uint32_t segmentedPointer) override;
  void UnMapSLFixArray(std::uint32_t count, const std::uint32_t* segmentedPointers) override;

 private:
  struct Segment {
    platform::LinearAddress base = 0;
    std::uint32_t size = 0;
  };

  bool Refuse(std::string why);

  LinearMemory& memory_;
  Partner partner_;
  std::map<std::uint16_t, Segment> selectors_;
  std::vector<platform::LinearAddress> owned_;
  std::uint16_t nextSelector_ = 0x0117;
  std::vector<std::uint8_t> stack_;
  std::uint32_t sp_ = kStackBytes;
  const std::uint8_t* data32_ = nullptr;
  std::string refusal_;
  int depth_ = 0;
  std::map<std::uint32_t, int> live_;
  std::vector<Event> log_;
  platform::Thunk16Frame* frame_ = nullptr;
};

}  // namespace sim
