#include "sim/card.h"

#include "sim/machine.h"

namespace sim {

namespace {
constexpr std::uint16_t kMemAddress = 0, kMemData = 1, kMemControl = 3;
constexpr std::uint16_t kReadRequest = 0x0002, kWriteRequest = 0x0004, kEnable = 0x0020;
constexpr std::uint8_t kMidiAck = 0xFE;
}  // namespace

Card::Card(Machine& machine) : config_(machine.Config().card) {
  Attach(machine.Get<PortBus>());
}

Card::Card(PortBus& bus, const CardConfig& config) : config_(config) {
  Attach(bus);
}

void Card::Attach(PortBus& bus) {
  for (auto& memory : memories_) memory.assign(kMemorySize, 0);
  present_ = config_.kind != CardKind::kNone;
  if (!present_) return;
  bus.Register(config_.basePort, std::uint16_t(direct_.size()), this);
  bus.Register(std::uint16_t(config_.ports[2] - 1), 2, this);
}

int Card::SelectedMemory(std::uint16_t control) const {
  if (!(control & kEnable)) return -1;
  switch (control & 0x0380) {
    case 0x0200:
      return 0;
    case 0x0100:
      return 1;
    case 0x0080:
      return 2;
  }
  return -1;
}

std::uint16_t Card::Wide(std::uint16_t index) const {
  return index < wide_.size() ? wide_[index] : 0;
}

void Card::WriteWide(std::uint16_t index, std::uint16_t value) {
  if (index >= wide_.size()) return;
  wide_[index] = value;
  if (index != kMemControl) return;
  const int memory = SelectedMemory(value);
  if (memory < 0 || !(value & (kReadRequest | kWriteRequest))) return;
  auto& bytes = memories_[memory];
  const std::uint16_t address = wide_[kMemAddress];
  const std::uint16_t next = std::uint16_t(address + 1);
  if (value & kWriteRequest) {
    bytes[address] = std::uint8_t(wide_[kMemData]);
    bytes[next] = std::uint8_t(wide_[kMemData] >> 8);
  } else {
    wide_[kMemData] = std::uint16_t(bytes[address] | bytes[next] << 8);
  }
  busyLeft_ = config_.busyPolls;
  if (busyLeft_ == 0) wide_[kMemControl] &= std::uint16_t(~(kReadRequest | kWriteRequest));
}

std::uint16_t Card::ReadWide(std::uint16_t index, bool lowByte) {
  if (index >= wide_.size()) return 0xFFFF;
  const std::uint16_t value = wide_[index];
  // A poll of the control register is one read of its low byte, where the busy bits are.
  if (index == kMemControl && lowByte && busyLeft_ > 0) {
    if (busyLeft_ != kNeverClears) --busyLeft_;
    if (busyLeft_ == 0) wide_[kMemControl] &= std::uint16_t(~(kReadRequest | kWriteRequest));
  }
  return value;
}

std::uint32_t Card::In(std::uint16_t port, int) {
  const std::uint16_t midi = config_.ports[2];
  if (port == midi)
    return midiInput_.empty() ? 0x80 : 0x00;  // bit 7 set: nothing to read; bit 6 clear: ready
  if (port == std::uint16_t(midi - 1)) {
    if (midiInput_.empty()) return 0xFF;
    std::uint8_t b = midiInput_.front();
    midiInput_.pop_front();
    return b;
  }
  const std::uint16_t offset = std::uint16_t(port - config_.basePort);
  switch (offset) {
    case 4:
      return indexLatch_;
    case 5: {
      const std::uint8_t reg = (indexLatch_ & 0xBF) == 0x12 ? 0x12 : indexLatch_;
      const std::uint8_t value = indexed_[reg];
      if (reg == 0x13) indexed_[reg] = 0;
      return value;
    }
    case 8:
      return std::uint8_t(wideIndex_);
    case 9:
      return std::uint8_t(wideIndex_ >> 8);
    case 10:
      return std::uint8_t(ReadWide(wideIndex_, true));
    case 11:
      return std::uint8_t(ReadWide(wideIndex_, false) >> 8);
  }
  return direct_[offset % direct_.size()];
}

void Card::Out(std::uint16_t port, std::uint32_t value, int) {
  const std::uint8_t byte = std::uint8_t(value);
  const std::uint16_t midi = config_.ports[2];
  if (port == midi) {
    midiCommands_.push_back(byte);
    if (byte == 0xFF || byte == 0x3F) midiInput_.push_back(kMidiAck);
    return;
  }
  if (port == std::uint16_t(midi - 1)) {
    midiData_.push_back(byte);
    return;
  }
  const std::uint16_t offset = std::uint16_t(port - config_.basePort);
  switch (offset) {
    case 4:
      if (byte == 0x52) {
        burstCount_ = 0;
      } else if (burstCount_ >= 0) {
        if (byte == 0x12 && burstCount_ == kBurstLength)
          indexed_[0x12] = burstValue_;
        else
          ++brokenBursts_;
        burstCount_ = -1;
      }
      indexLatch_ = byte;
      return;
    case 5:
      if (indexLatch_ == 0x52) {
        burstValue_ = byte;
        ++burstCount_;
      } else {
        indexed_[indexLatch_] = byte;
      }
      return;
    case 8:
      wideIndex_ = std::uint16_t((wideIndex_ & 0xFF00) | byte);
      return;
    case 9:
      wideIndex_ = std::uint16_t((wideIndex_ & 0x00FF) | byte << 8);
      return;
    case 10:
      wideLowLatch_ = byte;
      return;
    case 11:
      WriteWide(wideIndex_, std::uint16_t(wideLowLatch_ | byte << 8));
      return;
  }
  direct_[offset % direct_.size()] = byte;
}

}  // namespace sim
