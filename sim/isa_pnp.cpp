#include "sim/isa_pnp.h"

#include "sim/machine.h"

namespace sim {

namespace {
constexpr std::uint8_t kUnlockKey[4] = {0x3C, 0x91, 0x5E, 0xA7};
constexpr std::uint8_t kSetReadPort = 0x00;
constexpr std::uint8_t kConfigControl = 0x02;
constexpr std::uint8_t kResourceData = 0x04;
constexpr std::uint8_t kStatus = 0x05;
}  // namespace

IsaPnpCard::IsaPnpCard(Machine& machine) {
  if (machine.Config().card.kind == CardKind::kIsa)
    Attach(machine.Get<PortBus>(), machine.Config().card.hardwareKey);
}

IsaPnpCard::IsaPnpCard(PortBus& bus, std::uint32_t serial) {
  Attach(bus, serial);
}

void IsaPnpCard::Attach(PortBus& bus, std::uint32_t serial) {
  // QRL in compressed EISA form, product 402A, the serial number, and the Plug and Play checksum.
  id_ = {0x46,
         0x4C,
         0x40,
         0x2A,
         static_cast<std::uint8_t>(serial),
         static_cast<std::uint8_t>(serial >> 8),
         static_cast<std::uint8_t>(serial >> 16),
         static_cast<std::uint8_t>(serial >> 24),
         0};
  std::uint8_t lfsr = 0x6A;
  for (int i = 0; i < 8; ++i)
    for (int bit = 0; bit < 8; ++bit) {
      std::uint8_t in = (id_[i] >> bit) & 1;
      std::uint8_t feedback = ((lfsr >> 0) ^ (lfsr >> 1) ^ in) & 1;
      lfsr = static_cast<std::uint8_t>((lfsr >> 1) | (feedback << 7));
    }
  id_[8] = lfsr;
  bus.Register(kPnpAddressPort, 1, this);
  bus.Register(kPnpWriteDataPort, 1, this);
  bus.Register(kCardUnlockPort, 1, this);
  bus.Register(kCardReadDataPort, 1, this);
}

void IsaPnpCard::WaitForKey() {
  unlocked_ = false;
  zeroWrites_ = 0;
  keyIndex_ = 0;
  readPort_ = 0;
  nextByte_ = 0;
  polls_ = 0;
}

void IsaPnpCard::Out(std::uint16_t port, std::uint32_t value, int) {
  auto byte = static_cast<std::uint8_t>(value);
  switch (port) {
    case kPnpAddressPort:
      address_ = byte;
      if (!unlocked_) {
        zeroWrites_ = byte == 0 ? zeroWrites_ + 1 : 0;
        keyIndex_ = 0;
      }
      break;
    case kCardUnlockPort:
      if (unlocked_) break;
      if (zeroWrites_ >= 2 && byte == kUnlockKey[keyIndex_]) {
        if (++keyIndex_ == 4) unlocked_ = true;
      } else {
        zeroWrites_ = 0;
        keyIndex_ = 0;
      }
      break;
    case kPnpWriteDataPort:
      if (address_ == kConfigControl && (byte & 0x02)) {
        WaitForKey();
      } else if (unlocked_ && address_ == kSetReadPort) {
        readPort_ = static_cast<std::uint16_t>((byte << 2) | 3);
      }
      break;
    default:
      break;
  }
}

std::uint32_t IsaPnpCard::In(std::uint16_t port, int) {
  if (port != kCardReadDataPort || !unlocked_ || readPort_ != kCardReadDataPort) return 0xFF;
  if (address_ == kStatus) {
    if (neverReady_ || nextByte_ >= id_.size()) return 0x00;
    return ++polls_ > pollsBeforeReady_ ? 0x01 : 0x00;
  }
  if (address_ == kResourceData) {
    if (nextByte_ >= id_.size() || polls_ <= pollsBeforeReady_) return 0x00;
    polls_ = 0;
    return id_[nextByte_++];
  }
  return 0x00;
}

}  // namespace sim
