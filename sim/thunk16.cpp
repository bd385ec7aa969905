#include "sim/thunk16.h"

#include <cstdio>
#include <cstring>

namespace sim {

namespace {

constexpr std::uint32_t kMaxSegment = 0x10000;
constexpr std::uint32_t kProcessDetach = 0;
constexpr std::uint32_t kProcessAttach = 1;
const std::string kOwner = "thunk16";

std::uint32_t Le32(const std::uint8_t* p) {
  return std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16 |
         std::uint32_t(p[3]) << 24;
}

std::string Hex(std::uint32_t value) {
  char text[16];
  std::snprintf(text, sizeof text, "%04X:%04X", value >> 16, value & 0xFFFF);
  return text;
}

}  // namespace

Thunk16::Thunk16(LinearMemory& memory, Partner partner)
    : memory_(memory), partner_(std::move(partner)), stack_(kStackBytes, 0) {}

Thunk16::~Thunk16() {
  for (platform::LinearAddress base : owned_) memory_.Free(base);
}

std::uint16_t Thunk16::AllocateSegment(std::uint32_t size) {
  if (size == 0 || size > kMaxSegment) throw Thunk16Error("a segment holds 1 to 65536 bytes");
  const platform::LinearAddress base = memory_.Allocate(size, kOwner);
  if (!base) throw Thunk16Error("linear memory is exhausted");
  owned_.push_back(base);
  const std::uint16_t selector = nextSelector_;
  nextSelector_ = std::uint16_t(nextSelector_ + 8);
  selectors_[selector] = Segment{base, size};
  return selector;
}

void Thunk16::DefineSelector(std::uint16_t selector, platform::LinearAddress base, std::uint32_t size) {
  if (selector == 0 || size == 0 || size > kMaxSegment) throw Thunk16Error("not a valid selector definition");
  selectors_[selector] = Segment{base, size};
}

platform::LinearAddress Thunk16::Linear(std::uint32_t segmented) const {
  auto it = selectors_.find(std::uint16_t(segmented >> 16));
  if (it == selectors_.end()) throw Thunk16Error("no selector for " + Hex(segmented));
  const std::uint32_t offset = segmented & 0xFFFF;
  if (offset >= it->second.size) throw Thunk16Error(Hex(segmented) + " lies past its segment's limit");
  return it->second.base + offset;
}

std::span<std::uint8_t> Thunk16::Bytes(std::uint32_t segmented, std::uint32_t length) {
  const auto& segment = selectors_.find(std::uint16_t(segmented >> 16));
  if (segment == selectors_.end() || (segmented & 0xFFFF) + std::uint64_t{length} > segment->second.size)
    throw Thunk16Error(Hex(segmented) + " does not hold " + std::to_string(length) + " bytes");
  std::span<std::uint8_t> bytes = memory_.Map(Linear(segmented), length);
  if (bytes.size() != length) throw Thunk16Error("the memory behind " + Hex(segmented) + " is gone");
  return bytes;
}

void Thunk16::Push16(std::uint16_t value) {
  if (sp_ < 2) throw Thunk16Error("the 16-bit stack is full");
  sp_ -= 2;
  stack_[sp_] = std::uint8_t(value);
  stack_[sp_ + 1] = std::uint8_t(value >> 8);
}

std::uint16_t Thunk16::Pop16() {
  if (sp_ + 2 > kStackBytes) throw Thunk16Error("the 16-bit stack is empty");
  const std::uint16_t value = std::uint16_t(stack_[sp_] | stack_[sp_ + 1] << 8);
  sp_ += 2;
  return value;
}

void Thunk16::Push32(std::uint32_t value) {
  // 16-bit code pushes the high word first, which leaves the value in little-endian order.
  Push16(std::uint16_t(value >> 16));
  Push16(std::uint16_t(value));
}

Thunk16::Result Thunk16::Call(std::uint32_t index) {
  if (!data32_) throw Thunk16Error("the thunk is not connected");
  if (index >= partner_.targets) throw Thunk16Error("no entry point " + std::to_string(index));
  const std::uint32_t table = Le32(data32_ + platform::thunkdata::kTargetTable);
  platform::Thunk16Target target = nullptr;
  std::memcpy(&target, data32_ + table + index * sizeof target, sizeof target);
  if (!target) throw Thunk16Error("entry point " + std::to_string(index) + " is null");

  platform::Thunk16Frame frame;
  frame.arguments = std::span<const std::uint8_t>(stack_).subspan(sp_);
  frame.ax = kUnsetRegister;
  frame.dx = kUnsetRegister;
  frame_ = &frame;
  try {
    target(frame);
  } catch (...) {
    frame_ = nullptr;
    throw;
  }
  frame_ = nullptr;
  if (frame.argumentBytes > kStackBytes - sp_)
    throw Thunk16Error("entry point " + std::to_string(index) + " removed more bytes than were pushed");
  sp_ += frame.argumentBytes;
  return Result{frame.ax, frame.dx, frame.argumentBytes};
}

std::size_t Thunk16::LiveMappings() const {
  std::size_t live = 0;
  for (const auto& [segmented, count] : live_) live += std::size_t(count);
  return live;
}

bool Thunk16::Refuse(std::string why) {
  refusal_ = std::move(why);
  return false;
}

bool Thunk16::Connect32(void* thunkData32, const char* thunkData16Name, const char* library16,
                        const char* library32, std::uintptr_t, std::uint32_t reason) {
  if (reason == kProcessDetach) {
    data32_ = nullptr;
    return true;
  }
  if (reason != kProcessAttach) return true;
  if (!thunkData32) return Refuse("no 32-bit thunk data");
  if (!thunkData16Name || partner_.data16 != thunkData16Name)
    return Refuse("no 16-bit thunk data of that name");
  if (!library16 || partner_.library16 != library16) return Refuse("no 16-bit library of that name");
  if (!library32 || partner_.library32 != library32) return Refuse("the 16-bit side expects another library");
  const auto* data = static_cast<const std::uint8_t*>(thunkData32);
  if (std::memcmp(data + platform::thunkdata::kSignature, "SL01", 4) != 0)
    return Refuse("not the thunk data of a 16-to-32 thunk");
  if (Le32(data + platform::thunkdata::kChecksum) != partner_.checksum)
    return Refuse("the checksums of the two sides differ");
  if (std::memcmp(data + platform::thunkdata::kLateBinding, "LB01", 4) != 0)
    return Refuse("no late-binding signature");
  for (std::size_t at : {8u, 12u, 20u, 24u, 28u})
    if (Le32(data + at) != 0) return Refuse("a reserved field is not zero");
  if (Le32(data + platform::thunkdata::kTargetTable) < platform::thunkdata::kHeaderSize)
    return Refuse("the target table overlaps the header");
  data32_ = data;
  refusal_.clear();
  return true;
}

void Thunk16::Prolog() {
  ++depth_;
  log_.push_back(Event{Event::kProlog, {}, 0, 0, 0});
}

void Thunk16::Epilog() {
  if (depth_ == 0) throw Thunk16Error("epilog without a prolog");
  --depth_;
  log_.push_back(Event{Event::kEpilog, {}, 0, 0, 0});
}

std::uint32_t Thunk16::MapSLFix(std::uint32_t segmentedPointer) {
  const platform::LinearAddress linear = segmentedPointer ? Linear(segmentedPointer) : 0;
  if (segmentedPointer) ++live_[segmentedPointer];
  log_.push_back(Event{Event::kMap, {segmentedPointer}, linear, 0, 0});
  return linear;
}

void Thunk16::UnMapSLFixArray(std::uint32_t count, const std::uint32_t* segmentedPointers) {
  Event event{Event::kUnmap, {}, 0, 0, 0};
  if (count && segmentedPointers) event.segmented.assign(segmentedPointers, segmentedPointers + count);
  if (frame_) {
    event.ax = frame_->ax;
    event.dx = frame_->dx;
  }
  log_.push_back(event);
  for (std::uint32_t segmented : event.segmented) {
    if (!segmented) continue;
    auto it = live_.find(segmented);
    if (it == live_.end()) throw Thunk16Error(Hex(segmented) + " released without being mapped");
    if (--it->second == 0) live_.erase(it);
  }
}

}  // namespace sim
