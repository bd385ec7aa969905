// The ISA Plug and Play form of the card on the simulated port bus (registered when machine.json says
// the card is the ISA kind). It follows the card's own probe: wait-for-key through the configuration
// control register, its unlock key on port 0x679 after two zero writes to the address port, the
// read-data port set through register 0, then the serial identifier byte by byte through the status
// (5) and resource data (4) registers. Without the card the ports read as all ones.
#pragma once

#include <array>
#include <cstdint>

#include "sim/port_bus.h"

namespace sim {

class Machine;

constexpr std::uint16_t kPnpAddressPort = 0x279;
constexpr std::uint16_t kPnpWriteDataPort = 0xA79;
constexpr std::uint16_t kCardUnlockPort = 0x679;
constexpr std::uint16_t kCardReadDataPort = 0x273;

class IsaPnpCard : public PortHandler {
 public:
  // Registers itself on the machine's port bus when the machine has the ISA card.
  explicit IsaPnpCard(Machine& machine);
  // A card on a given bus, for tests.
  IsaPnpCard(PortBus& bus, std::uint32_t serial);

  std::uint32_t In(std::uint16_t port, int width) override;
  void Out(std::uint16_t port, std::uint32_t value, int width) override;

  // The nine identifier bytes: vendor QRL (0x46 0x4C), product 402A, serial, checksum.
  const std::array<std::uint8_t, 9>& Identifier() const { return id_; }
  // Status reads before each byte is ready (the probe polls); a card that never gets ready with
  // `never` true.
  void SetPollsBeforeReady(int polls, bool never = false) {
    pollsBeforeReady_ = polls;
    neverReady_ = never;
  }

 private:
  void Attach(PortBus& bus, std::uint32_t serial);
  void WaitForKey();

  std::array<std::uint8_t, 9> id_{};
  std::uint8_t address_ = 0;
  int zeroWrites_ = 0;
  int keyIndex_ = 0;
  bool unlocked_ = false;
  std::uint16_t readPort_ = 0;
  std::size_t nextByte_ = 0;
  int polls_ = 0;
  int pollsBeforeReady_ = 2;
  bool neverReady_ = false;
};

}  // namespace sim
