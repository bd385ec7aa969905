// Register access and on-board memory transfers: plain port input and output on the ports of the
// device instance record.
#include "basedrv/hal/hal.h"

namespace j6base {

namespace {

constexpr std::uint16_t kMemAddress = 0;
constexpr std::uint16_t kMemData = 1;
constexpr std::uint16_t kMemControl = 3;
constexpr std::uint16_t kMemEnable = 0x0020;
constexpr std::uint16_t kReadBusy = 0x0002;
constexpr std::uint16_t kWriteBusy = 0x0004;

std::uint16_t SelectValue(std::uint32_t memory) {
  switch (memory) {
    case 0:
      return 0x0200 | kMemEnable;
    case 1:
      return 0x0100 | kMemEnable;
    case 2:
      return 0x0080 | kMemEnable;
  }
  return 0;
}

// Polls the memory control register until `bit` clears; false when the card never clears it.
bool WaitNotBusy(std::uint32_t deviceId, std::uint16_t bit) {
  for (std::uint32_t poll = 0; poll < kMaxBusyPolls; ++poll)
    if (!(VEXA_GetRegister(deviceId, VEXA_REG_WIDE, kMemControl) & bit)) return true;
  return false;
}

enum class Direction { kRead, kWrite };

// The words to write come from `out` (16-bit words) or `outBytes` (little-endian byte pairs).
void TransferBlock(std::uint32_t deviceId, std::uint32_t memory, std::uint16_t address, std::uint16_t* in,
                   const std::uint16_t* out, const std::uint8_t* outBytes, std::uint16_t count,
                   Direction direction) {
  if (!DeviceIDToHardwareInstance(deviceId)) return;
  const std::uint16_t select = SelectValue(memory);
  if (!select) return;
  if (count != 0 && !(direction == Direction::kRead ? in != nullptr : (out || outBytes))) return;

  const std::uint16_t ctl = VEXA_GetRegister(deviceId, VEXA_REG_WIDE, kMemControl) | select;
  VEXA_SetRegister(deviceId, VEXA_REG_WIDE, kMemControl, ctl);
  for (std::uint16_t i = 0; i < count; ++i) {
    VEXA_SetRegister(deviceId, VEXA_REG_WIDE, kMemAddress, address);
    if (direction == Direction::kRead) {
      VEXA_SetRegister(deviceId, VEXA_REG_WIDE, kMemControl, ctl | kReadBusy);
      if (!WaitNotBusy(deviceId, kReadBusy)) break;
      address = std::uint16_t(address + 2);
      in[i] = VEXA_GetRegister(deviceId, VEXA_REG_WIDE, kMemData);
    } else {
      const std::uint16_t word = out ? out[i] : std::uint16_t(outBytes[2 * i] | outBytes[2 * i + 1] << 8);
      VEXA_SetRegister(deviceId, VEXA_REG_WIDE, kMemData, word);
      VEXA_SetRegister(deviceId, VEXA_REG_WIDE, kMemControl, ctl | kWriteBusy);
      if (!WaitNotBusy(deviceId, kWriteBusy)) break;
      address = std::uint16_t(address + 2);
    }
  }
  VEXA_SetRegister(deviceId, VEXA_REG_WIDE, kMemControl, ctl & ~select);
}

}  // namespace

void WriteMemoryBytes(std::uint32_t deviceId, std::uint32_t memory, std::uint16_t address,
                      const std::uint8_t* bytes, std::uint16_t words) {
  TransferBlock(deviceId, memory, address, nullptr, nullptr, bytes, words, Direction::kWrite);
}

}  // namespace j6base

using namespace j6base;

extern "C" {

uint16_t J6API VEXA_GetRegister(uint32_t deviceId, uint32_t group, uint32_t index) {
  DeviceInstance* instance = DeviceIDToHardwareInstance(deviceId);
  platform::Os* os = CurrentOs();
  if (!instance || !os || !os->ports) return 1;
  platform::PortIo& io = *os->ports;
  switch (group) {
    case VEXA_REG_DIRECT:
      return io.In8(std::uint16_t(instance->basePort + index));
    case VEXA_REG_INDEXED: {
      io.Out8(instance->indexPort, std::uint8_t(index));
      const std::uint8_t value = io.In8(instance->dataPort);
      if (std::uint8_t(index) == 0x13) io.Out8(instance->indexPort, 0);
      return value;
    }
    case VEXA_REG_WIDE: {
      io.Out8(instance->wideIndexLowPort, std::uint8_t(index));
      io.Out8(instance->wideIndexHighPort, std::uint8_t(index >> 8));
      const std::uint8_t high = io.In8(instance->wideDataHighPort);
      const std::uint8_t low = io.In8(instance->wideDataLowPort);
      return std::uint16_t(high << 8 | low);
    }
  }
  // No register group: 0xFFFF, what an unanswered port reads as.
  return 0xFFFF;
}

void J6API VEXA_SetRegister(uint32_t deviceId, uint32_t group, uint32_t index, uint32_t value) {
  DeviceInstance* instance = DeviceIDToHardwareInstance(deviceId);
  platform::Os* os = CurrentOs();
  if (!instance || !os || !os->ports) return;
  platform::PortIo& io = *os->ports;
  switch (group) {
    case VEXA_REG_DIRECT:
      io.Out8(std::uint16_t(instance->basePort + index), std::uint8_t(value));
      break;
    case VEXA_REG_INDEXED: {
      const std::uint8_t reg = std::uint8_t(index);
      io.Out8(instance->indexPort, reg == 0x12 ? std::uint8_t(reg | 0x40) : reg);
      io.Out8(instance->dataPort, std::uint8_t(value));
      if (reg == 0x13) io.Out8(instance->indexPort, 0);
      if (reg == 0x12) {
        for (int i = 0; i < 16; ++i) io.Out8(instance->dataPort, std::uint8_t(value));
        io.Out8(instance->indexPort, 0x12);
      }
      break;
    }
    case VEXA_REG_WIDE:
      io.Out8(instance->wideIndexLowPort, std::uint8_t(index));
      io.Out8(instance->wideIndexHighPort, std::uint8_t(index >> 8));
      io.Out8(instance->wideDataLowPort, std::uint8_t(value));
      io.Out8(instance->wideDataHighPort, std::uint8_t(value >> 8));
      break;
  }
}

void J6API VEXA_ReadMemoryBlock(uint32_t deviceId, uint32_t memory, uint16_t address, uint16_t* buffer,
                                uint16_t count) {
  TransferBlock(deviceId, memory, address, buffer, nullptr, nullptr, count, Direction::kRead);
}

void J6API VEXA_WriteMemoryBlock(uint32_t deviceId, uint32_t memory, uint16_t address, const uint16_t* buffer,
                                 uint16_t count) {
  TransferBlock(deviceId, memory, address, nullptr, buffer, nullptr, count, Direction::kWrite);
}

}  // extern "C"
