// What the DLS engine reaches of its process: the linear address space, the shared pointer to the common
// data block, and the virtual device's services.
#pragma once

#include <cstdint>
#include <functional>
#include <span>

#include "basedrv/dls/common_block.h"
#include "platform/address_space.h"

namespace dls {

// One request to the virtual device (service code, input bytes, output bytes); true on success.
using VxdCall =
    std::function<bool(std::uint32_t service, std::span<const std::uint8_t> in, std::span<std::uint8_t> out)>;

struct DlsEnv {
  platform::AddressSpace* memory = nullptr;
  platform::LinearAddress glpDls = 0;
  VxdCall vxd;

  CommonBlock Common() const {
    if (!memory || glpDls == 0) return {};
    return CommonBlock(memory->Map(glpDls, cdb::kSize));
  }
  // The bytes at a linear address, or an empty span when any of them lies outside mapped memory.
  std::span<std::uint8_t> Map(platform::LinearAddress address, std::uint32_t length) const {
    if (!memory || address == 0) return {};
    return memory->Map(address, length);
  }
};

}  // namespace dls
