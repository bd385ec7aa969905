// The simulated PC's I/O port space. Devices (the card, the ISA Plug and Play card, the MIDI port)
// register handlers for their port ranges; every access is kept in a trace so tests can check exact
// sequences. A port nobody answers reads as all ones, as on a real ISA bus.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "platform/port_io.h"

namespace sim {

class Machine;

struct PortAccess {
  enum class Kind : std::uint8_t { kIn, kOut };
  Kind kind;
  std::uint8_t width;  // 1, 2 or 4 bytes
  std::uint16_t port;
  std::uint32_t value;
  bool operator==(const PortAccess&) const = default;
};

class PortHandler {
 public:
  virtual ~PortHandler() = default;
  // `width` is 1, 2 or 4.
  virtual std::uint32_t In(std::uint16_t port, int width) = 0;
  virtual void Out(std::uint16_t port, std::uint32_t value, int width) = 0;
};

class PortBus : public platform::PortIo {
 public:
  explicit PortBus(Machine&) {}
  PortBus() = default;

  // Ports [first, first + count) go to `handler` (not owned). Later registrations win over earlier ones.
  void Register(std::uint16_t first, std::uint16_t count, PortHandler* handler);
  void Unregister(PortHandler* handler);

  std::uint8_t In8(std::uint16_t port) override { return static_cast<std::uint8_t>(In(port, 1)); }
  std::uint16_t In16(std::uint16_t port) override { return static_cast<std::uint16_t>(In(port, 2)); }
  std::uint32_t In32(std::uint16_t port) override { return In(port, 4); }
  void Out8(std::uint16_t port, std::uint8_t value) override { Out(port, value, 1); }
  void Out16(std::uint16_t port, std::uint16_t value) override { Out(port, value, 2); }
  void Out32(std::uint16_t port, std::uint32_t value) override { Out(port, value, 4); }

  const std::vector<PortAccess>& Trace() const { return trace_; }
  void ClearTrace() { trace_.clear(); }
  // Keeping the trace costs memory on long transfers; benchmarks switch it off.
  void SetTracing(bool on) { tracing_ = on; }

 private:
  struct Range {
    std::uint16_t first;
    std::uint16_t count;
    PortHandler* handler;
  };
  PortHandler* Find(std::uint16_t port) const;
  std::uint32_t In(std::uint16_t port, int width);
  void Out(std::uint16_t port, std::uint32_t value, int width);

  std::vector<Range> ranges_;
  std::vector<PortAccess> trace_;
  bool tracing_ = true;
};

}  // namespace sim
