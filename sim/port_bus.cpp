#include "sim/port_bus.h"

#include <algorithm>

namespace sim {

void PortBus::Register(std::uint16_t first, std::uint16_t count, PortHandler* handler) {
  ranges_.push_back(Range{first, count, handler});
}

void PortBus::Unregister(PortHandler* handler) {
  std::erase_if(ranges_, [&](const Range& r) { return r.handler == handler; });
}

PortHandler* PortBus::Find(std::uint16_t port) const {
  for (auto it = ranges_.rbegin(); it != ranges_.rend(); ++it)
    if (port >= it->first && std::uint32_t{port} < std::uint32_t{it->first} + it->count) return it->handler;
  return nullptr;
}

std::uint32_t PortBus::In(std::uint16_t port, int width) {
  PortHandler* handler = Find(port);
  std::uint32_t mask = width == 4 ? 0xFFFFFFFFu : (1u << (8 * width)) - 1;
  std::uint32_t value = handler ? handler->In(port, width) & mask : mask;
  if (tracing_) trace_.push_back(PortAccess{PortAccess::Kind::kIn, std::uint8_t(width), port, value});
  return value;
}

void PortBus::Out(std::uint16_t port, std::uint32_t value, int width) {
  if (tracing_) trace_.push_back(PortAccess{PortAccess::Kind::kOut, std::uint8_t(width), port, value});
  if (PortHandler* handler = Find(port)) handler->Out(port, value, width);
}

}  // namespace sim
