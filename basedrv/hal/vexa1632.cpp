// The 16-bit thunk entry points and the 32-bit thunk data.
#include "basedrv/hal/vexa1632.h"

#include <cstring>
#include <type_traits>

#include "basedrv/hal/hal.h"

namespace j6base {

ThunkData32 thk_ThunkData32 = {
    {'S', 'L', '0', '1'},
    kThunkChecksum,
    {0, 0},
    {'L', 'B', '0', '1'},
    {0, 0, 0},
    offsetof(ThunkData32, targets),
    {T_VEXA_CLOSEPIPE,
     T_VEXA_OPENPIPE,
     T_VEXA_SETDMABUFFERSIZE,
     T_VEXA_UNLOCKDEVICE,
     T_VEXA_LOCKDEVICE,
     T_VEXA_FREEDMACHANNEL,
     T_VEXA_ALLOCATEDMACHANNEL,
     T_VEXA_CLOSEDEVICE,
     T_VEXA_OPENDEVICE,
     T_VEXA_RESET,
     T_VEXA_SETSYSTEMATTRIB,
     T_VEXA_GETSYSTEMINFO,
     T_VEXA_ATTACHINTCALLBACK,
     T_VEXA_LOADUCODE,
     T_VEXA_WRITEMEMORYBLOCK,
     T_VEXA_READMEMORYBLOCK,
     T_VEXA_SETREGISTER,
     T_VEXA_GETREGISTER,
     T_VEXA_EXIT,
     T_VEXA_INITIALIZE},
};

ThunkCallees& Callees() {
  static ThunkCallees callees;
  return callees;
}

namespace {

// The most a 16:16 pointer can reach: one 64 KB segment.
constexpr std::uint32_t kSegmentBytes = 0x10000;

// The work of one entry point: reads the arguments first to last (the first lies highest on the 16-bit
// stack), maps pointers, calls between prolog and epilog, places the result and releases the mappings.
class Entry {
 public:
  Entry(platform::Thunk16Frame& frame, std::uint16_t argumentBytes)
      : frame_(frame), next_(argumentBytes), os_(CurrentOs()) {
    frame_.argumentBytes = argumentBytes;
  }

  std::uint32_t Dword() {
    next_ -= 4;
    return std::uint32_t(WordAt(next_)) | std::uint32_t(WordAt(next_ + 2)) << 16;
  }
  std::uint16_t Word() {
    next_ -= 2;
    return WordAt(next_);
  }

  // The linear address of a 16:16 pointer, remembered for the release after the call.
  std::uint32_t Map(std::uint32_t segmented) {
    Remember(segmented);
    platform::Thunk* thunk = Thunk();
    return thunk ? thunk->MapSLFix(segmented) : 0;
  }
  // A value for the release that was never mapped (the fields of an absent pipe record).
  void Remember(std::uint32_t segmented) {
    if (mapped_ < kMaxMapped) remembered_[mapped_++] = segmented;
  }

  // The memory behind a linear address, or null when the address is null or this process cannot reach
  // `length` bytes there (a stray address must not become a stray host pointer).
  std::uint8_t* Host(std::uint32_t linear, std::uint32_t length) {
    if (!linear || !os_ || !os_->memory) return nullptr;
    std::span<std::uint8_t> bytes = os_->memory->Map(linear, length ? length : 1);
    return bytes.empty() ? nullptr : bytes.data();
  }
  // As Host, for a NUL-terminated text of up to one segment.
  char* HostText(std::uint32_t linear) {
    if (!linear || !os_ || !os_->memory) return nullptr;
    for (std::uint32_t length = 1; length <= kSegmentBytes; ++length) {
      std::span<std::uint8_t> bytes = os_->memory->Map(linear + length - 1, 1);
      if (bytes.empty()) return nullptr;
      if (bytes[0] == 0) return reinterpret_cast<char*>(Host(linear, length));
    }
    return nullptr;
  }

  template <typename Function, typename... Args>
  auto Call(Function function, Args... args) {
    platform::Thunk* thunk = Thunk();
    if (thunk) thunk->Prolog();
    if constexpr (std::is_void_v<std::invoke_result_t<Function, Args...>>) {
      function(args...);
      if (thunk) thunk->Epilog();
    } else {
      auto result = function(args...);
      if (thunk) thunk->Epilog();
      return result;
    }
  }

  void ReturnDxAx(std::uint32_t result) {
    frame_.ax = std::uint16_t(result);
    frame_.dx = std::uint16_t(result >> 16);
    Release();
  }
  void ReturnAx(std::uint16_t result) {
    frame_.ax = result;
    Release();
  }
  void ReturnNothing() { Release(); }

 private:
  static constexpr std::uint32_t kMaxMapped = 3;

  // Bytes past what the caller pushed read as 0, never past its stack.
  std::uint16_t WordAt(std::size_t at) const {
    const auto& a = frame_.arguments;
    const std::uint8_t low = at < a.size() ? a[at] : 0;
    const std::uint8_t high = at + 1 < a.size() ? a[at + 1] : 0;
    return std::uint16_t(low | high << 8);
  }
  platform::Thunk* Thunk() const { return os_ ? os_->thunk : nullptr; }
  void Release() {
    platform::Thunk* thunk = Thunk();
    if (thunk && mapped_) thunk->UnMapSLFixArray(mapped_, remembered_);
    mapped_ = 0;
  }

  platform::Thunk16Frame& frame_;
  std::size_t next_;
  platform::Os* os_;
  std::uint32_t remembered_[kMaxMapped] = {};
  std::uint32_t mapped_ = 0;
};

std::uint32_t SignExtend(std::uint16_t value) {
  return std::uint32_t(std::int32_t(std::int16_t(value)));
}

template <typename T>
T* As(std::uint8_t* bytes) {
  return reinterpret_cast<T*>(bytes);
}

constexpr std::uint32_t kPipeRecordSize = 12;
constexpr std::uint32_t kSystemInfoMaxSize = 20;  // information index 12 writes five values

// The 16-bit side's arguments of the three calls that take the device identifier, a handle and a
// 32-bit value.
template <auto Member>
void DeviceHandleValue(platform::Thunk16Frame& frame) {
  Entry e(frame, 12);
  const std::uint32_t deviceId = e.Dword();
  const std::uint32_t handle = e.Dword();
  const std::uint32_t value = e.Dword();
  e.ReturnDxAx(e.Call(Callees().*Member, deviceId, handle, value));
}

template <auto Member>
void DeviceHandle(platform::Thunk16Frame& frame) {
  Entry e(frame, 8);
  const std::uint32_t deviceId = e.Dword();
  const std::uint32_t handle = e.Dword();
  e.ReturnDxAx(e.Call(Callees().*Member, deviceId, handle));
}

template <auto Member>
void DeviceOnly(platform::Thunk16Frame& frame) {
  Entry e(frame, 4);
  const std::uint32_t deviceId = e.Dword();
  e.ReturnDxAx(e.Call(Callees().*Member, deviceId));
}

template <auto Member, typename Buffer>
void MemoryBlock(platform::Thunk16Frame& frame) {
  Entry e(frame, 14);
  const std::uint32_t deviceId = e.Dword();
  const std::uint32_t memory = e.Word();
  const std::uint16_t address = e.Word();
  const std::uint32_t linear = e.Map(e.Dword());
  const std::uint16_t count = e.Word();
  Buffer* buffer = As<Buffer>(e.Host(linear, std::uint32_t(count) * 2));
  e.Call(Callees().*Member, deviceId, memory, address, buffer, count);
  e.ReturnNothing();
}

// A 16-bit device type or information index and a pointer, the shape of three calls.
template <auto Member, typename Pointer>
void DeviceIndexPointer(platform::Thunk16Frame& frame, std::uint32_t (*extend)(std::uint16_t),
                        std::uint32_t pointee) {
  Entry e(frame, 10);
  const std::uint32_t deviceId = e.Dword();
  const std::uint32_t index = extend(e.Word());
  Pointer* pointer = As<Pointer>(e.Host(e.Map(e.Dword()), pointee));
  e.ReturnDxAx(e.Call(Callees().*Member, deviceId, index, pointer));
}

std::uint32_t ZeroExtend(std::uint16_t value) {
  return value;
}

}  // namespace

void T_VEXA_CLOSEPIPE(platform::Thunk16Frame& frame) {
  Entry e(frame, 12);
  const std::uint32_t deviceId = e.Dword();
  const std::uint32_t unused = e.Dword();
  const auto* pipe = As<const std::uint32_t>(e.Host(e.Map(e.Dword()), kPipeRecordSize));
  e.ReturnDxAx(e.Call(Callees().closePipe, deviceId, unused, pipe));
}

void T_VEXA_OPENPIPE(platform::Thunk16Frame& frame) {
  Entry e(frame, 12);
  const std::uint32_t deviceId = e.Dword();
  const std::uint32_t unused = e.Dword();
  const std::uint8_t* record16 = e.Host(e.Map(e.Dword()), kPipeRecordSize);
  // The 32-bit side gets its own copy with the two 16:16 pointers of the record mapped.
  std::uint32_t record32[3] = {};
  const std::uint32_t* pipe = nullptr;
  if (record16) {
    auto field = [&](int i) {
      const std::uint8_t* p = record16 + 4 * i;
      return std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16 |
             std::uint32_t(p[3]) << 24;
    };
    record32[0] = field(0);
    record32[1] = e.Map(field(1));
    record32[2] = e.Map(field(2));
    pipe = record32;
  } else {
    e.Remember(0);
    e.Remember(0);
  }
  e.ReturnDxAx(e.Call(Callees().openPipe, deviceId, unused, pipe));
}

void T_VEXA_SETDMABUFFERSIZE(platform::Thunk16Frame& frame) {
  Entry e(frame, 16);
  const std::uint32_t deviceId = e.Dword();
  const std::uint32_t handle = e.Dword();
  const std::uint32_t wanted = e.Dword();
  auto* granted = As<std::uint32_t>(e.Host(e.Map(e.Dword()), 4));
  e.ReturnDxAx(e.Call(Callees().setDmaBufferSize, deviceId, handle, wanted, granted));
}

void T_VEXA_UNLOCKDEVICE(platform::Thunk16Frame& frame) {
  DeviceHandleValue<&ThunkCallees::unlockDevice>(frame);
}

void T_VEXA_LOCKDEVICE(platform::Thunk16Frame& frame) {
  DeviceHandleValue<&ThunkCallees::lockDevice>(frame);
}

void T_VEXA_FREEDMACHANNEL(platform::Thunk16Frame& frame) {
  DeviceHandle<&ThunkCallees::freeDmaChannel>(frame);
}

void T_VEXA_ALLOCATEDMACHANNEL(platform::Thunk16Frame& frame) {
  Entry e(frame, 12);
  const std::uint32_t deviceId = e.Dword();
  const std::uint32_t handle = e.Dword();
  std::uint8_t* record = e.Host(e.Map(e.Dword()), VEXA_DMA_RECORD_SIZE);
  e.ReturnDxAx(e.Call(Callees().allocateDmaChannel, deviceId, handle, record));
}

void T_VEXA_CLOSEDEVICE(platform::Thunk16Frame& frame) {
  DeviceHandle<&ThunkCallees::closeDevice>(frame);
}

void T_VEXA_OPENDEVICE(platform::Thunk16Frame& frame) {
  DeviceIndexPointer<&ThunkCallees::openDevice, std::uint32_t>(frame, SignExtend, 4);
}

void T_VEXA_RESET(platform::Thunk16Frame& frame) {
  DeviceOnly<&ThunkCallees::reset>(frame);
}

void T_VEXA_SETSYSTEMATTRIB(platform::Thunk16Frame& frame) {
  DeviceIndexPointer<&ThunkCallees::setSystemAttrib, const std::uint32_t>(frame, ZeroExtend, 4);
}

void T_VEXA_GETSYSTEMINFO(platform::Thunk16Frame& frame) {
  Entry e(frame, 10);
  const std::uint32_t deviceId = e.Dword();
  const std::uint32_t index = e.Word();
  const std::uint32_t linear = e.Map(e.Dword());
  void* result = e.Host(linear, kSystemInfoMaxSize);
  // Most answers take 1 to 4 bytes, so a caller's buffer may end closer to its segment's end than the
  // longest answer needs. Such a buffer is served through a copy, which can never run past it.
  std::uint8_t scratch[kSystemInfoMaxSize] = {};
  std::uint32_t reachable = 0;
  if (!result && linear) {
    while (reachable < kSystemInfoMaxSize && e.Host(linear + reachable, 1)) ++reachable;
    if (reachable) {
      std::memcpy(scratch, e.Host(linear, reachable), reachable);
      result = scratch;
    }
  }
  const std::uint32_t status = e.Call(Callees().getSystemInfo, deviceId, index, result);
  if (result == scratch) std::memcpy(e.Host(linear, reachable), scratch, reachable);
  e.ReturnDxAx(status);
}

void T_VEXA_ATTACHINTCALLBACK(platform::Thunk16Frame& frame) {
  Entry e(frame, 10);
  const std::uint32_t deviceId = e.Dword();
  const std::uint32_t attach = e.Word();
  const std::uint32_t callback = e.Dword();
  e.ReturnDxAx(e.Call(Callees().attachIntCallback, deviceId, attach, callback));
}

void T_VEXA_LOADUCODE(platform::Thunk16Frame& frame) {
  Entry e(frame, 10);
  const std::uint32_t deviceId = e.Dword();
  const char* path = e.HostText(e.Map(e.Dword()));
  const std::uint32_t target = e.Word();
  e.ReturnDxAx(e.Call(Callees().loadUCode, deviceId, path, target));
}

void T_VEXA_WRITEMEMORYBLOCK(platform::Thunk16Frame& frame) {
  MemoryBlock<&ThunkCallees::writeMemoryBlock, const std::uint16_t>(frame);
}

void T_VEXA_READMEMORYBLOCK(platform::Thunk16Frame& frame) {
  MemoryBlock<&ThunkCallees::readMemoryBlock, std::uint16_t>(frame);
}

void T_VEXA_SETREGISTER(platform::Thunk16Frame& frame) {
  Entry e(frame, 10);
  const std::uint32_t deviceId = e.Dword();
  const std::uint32_t group = e.Word();
  // Index and value arrive in the low half; the callee reads nothing else.
  const std::uint32_t index = e.Word();
  const std::uint32_t value = e.Word();
  e.Call(Callees().setRegister, deviceId, group, index, value);
  e.ReturnNothing();
}

void T_VEXA_GETREGISTER(platform::Thunk16Frame& frame) {
  Entry e(frame, 8);
  const std::uint32_t deviceId = e.Dword();
  const std::uint32_t group = e.Word();
  const std::uint32_t index = e.Word();
  e.ReturnAx(e.Call(Callees().getRegister, deviceId, group, index));
}

void T_VEXA_EXIT(platform::Thunk16Frame& frame) {
  DeviceOnly<&ThunkCallees::exit>(frame);
}

void T_VEXA_INITIALIZE(platform::Thunk16Frame& frame) {
  Entry e(frame, 8);
  const std::uint32_t hardwareKey = e.Dword();
  auto* deviceId = As<std::uint32_t>(e.Host(e.Map(e.Dword()), 4));
  e.ReturnDxAx(e.Call(Callees().initialize, hardwareKey, deviceId));
}

}  // namespace j6base
