// The simulated sound card: its register ports, the three on-board memories behind the memory
// registers, and the MIDI interface. It answers on the machine's PortBus from the moment it is made.
//
// Registers, counted from the base port B:
//   B + 0 .. B + 0x1F  direct registers (one byte each), except the ports below
//   B + 4 / B + 5      indexed registers: index, then data. Index 0x12 with bit 6 (0x52) opens a burst:
//                      register 0x12 takes the burst's byte only once 17 data bytes have come and the
//                      index is set back to 0x12. Reading register 0x13 clears it (its bits are events).
//   B + 8 / B + 9      wide register index, low and high byte
//   B + 10 / B + 11    wide register data, low and high byte; writing the high byte stores the word
// Wide registers 0 (memory address), 1 (memory data) and 3 (memory control): writing 3 with the read
// (0x0002) or write (0x0004) request bit moves one word between register 1 and the selected memory at
// the address in register 0; the request bit then reads as set for `busyPolls` reads of register 3.
// The MIDI interface: command/status port P (hardware information offset 0x10) and data port P - 1.
#pragma once

#include <array>
#include <cstdint>
#include <deque>
#include <vector>

#include "sim/machine_config.h"
#include "sim/port_bus.h"

namespace sim {

class Machine;

class Card : public PortHandler {
 public:
  static constexpr std::uint32_t kMemorySize = 0x10000;
  static constexpr std::uint32_t kNeverClears = 0xFFFFFFFF;
  static constexpr int kBurstLength = 17;

  explicit Card(Machine& machine);
  // A card on a bus of its own, for tests of the card alone.
  Card(PortBus& bus, const CardConfig& config);

  std::uint32_t In(std::uint16_t port, int width) override;
  void Out(std::uint16_t port, std::uint32_t value, int width) override;

  bool Present() const { return present_; }
  const CardConfig& Config() const { return config_; }

  std::uint8_t Direct(std::uint16_t offset) const { return direct_[offset % direct_.size()]; }
  std::uint8_t Indexed(std::uint8_t index) const { return indexed_[index]; }
  void SetIndexed(std::uint8_t index, std::uint8_t value) { indexed_[index] = value; }
  std::uint8_t IndexLatch() const { return indexLatch_; }
  std::uint16_t Wide(std::uint16_t index) const;
  // Bursts of register 0x12 that did not have exactly 17 bytes when the index was set back.
  int BrokenBursts() const { return brokenBursts_; }
  std::vector<std::uint8_t>& Memory(int number) { return memories_[number]; }
  void SetBusyPolls(std::uint32_t polls) { config_.busyPolls = polls; }
  // Bytes sent to the MIDI interface: commands on the command port, data on the data port.
  const std::vector<std::uint8_t>& MidiCommands() const { return midiCommands_; }
  const std::vector<std::uint8_t>& MidiData() const { return midiData_; }

 private:
  void Attach(PortBus& bus);
  void WriteWide(std::uint16_t index, std::uint16_t value);
  std::uint16_t ReadWide(std::uint16_t index, bool lowByte);
  int SelectedMemory(std::uint16_t control) const;

  CardConfig config_;
  bool present_ = false;
  std::array<std::uint8_t, 0x20> direct_{};
  std::array<std::uint8_t, 256> indexed_{};
  std::uint8_t indexLatch_ = 0;
  int burstCount_ = -1;  // -1: no burst open
  std::uint8_t burstValue_ = 0;
  int brokenBursts_ = 0;
  std::uint16_t wideIndex_ = 0;
  std::uint8_t wideLowLatch_ = 0;
  std::array<std::uint16_t, 8> wide_{};
  std::uint32_t busyLeft_ = 0;
  std::array<std::vector<std::uint8_t>, 3> memories_;
  std::vector<std::uint8_t> midiCommands_;
  std::vector<std::uint8_t> midiData_;
  std::deque<std::uint8_t> midiInput_;
};

}  // namespace sim
