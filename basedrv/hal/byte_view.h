// Little-endian access to fixed byte layouts (the hardware information block, the DMA channel record,
// the DLS common data block). Offsets past the end read as 0 and are not written, so a short span can
// never be overrun.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace j6base {

class LeBytes {
 public:
  explicit LeBytes(std::span<std::uint8_t> bytes) : bytes_(bytes) {}

  std::uint8_t U8(std::size_t at) const { return at < bytes_.size() ? bytes_[at] : 0; }
  std::uint16_t U16(std::size_t at) const { return std::uint16_t(U8(at) | U8(at + 1) << 8); }
  std::uint32_t U32(std::size_t at) const {
    return std::uint32_t(U16(at)) | std::uint32_t(U16(at + 2)) << 16;
  }

  void Set8(std::size_t at, std::uint8_t v) {
    if (at < bytes_.size()) bytes_[at] = v;
  }
  void Set16(std::size_t at, std::uint16_t v) {
    Set8(at, std::uint8_t(v));
    Set8(at + 1, std::uint8_t(v >> 8));
  }
  void Set32(std::size_t at, std::uint32_t v) {
    Set16(at, std::uint16_t(v));
    Set16(at + 2, std::uint16_t(v >> 16));
  }

  std::span<std::uint8_t> Bytes() const { return bytes_; }

 private:
  std::span<std::uint8_t> bytes_;
};

}  // namespace j6base
