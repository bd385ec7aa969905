#include "basedrv/dls/byte_order.h"

namespace dls {

namespace {

bool Fits(std::size_t size, std::size_t offset, std::size_t width) {
  return offset <= size && width <= size - offset;
}

void PutBig(std::span<std::uint8_t> bytes, std::size_t offset, std::uint32_t value, std::size_t width) {
  if (!Fits(bytes.size(), offset, width)) return;
  for (std::size_t i = 0; i < width; ++i)
    bytes[offset + i] = static_cast<std::uint8_t>(value >> (8 * (width - 1 - i)));
}

std::uint32_t GetBig(std::span<const std::uint8_t> bytes, std::size_t offset, std::size_t width) {
  if (!Fits(bytes.size(), offset, width)) return 0;
  std::uint32_t value = 0;
  for (std::size_t i = 0; i < width; ++i) value = (value << 8) | bytes[offset + i];
  return value;
}

void PutLittle(std::span<std::uint8_t> bytes, std::size_t offset, std::uint32_t value, std::size_t width) {
  if (!Fits(bytes.size(), offset, width)) return;
  for (std::size_t i = 0; i < width; ++i) bytes[offset + i] = static_cast<std::uint8_t>(value >> (8 * i));
}

std::uint32_t GetLittle(std::span<const std::uint8_t> bytes, std::size_t offset, std::size_t width) {
  if (!Fits(bytes.size(), offset, width)) return 0;
  std::uint32_t value = 0;
  for (std::size_t i = width; i-- > 0;) value = (value << 8) | bytes[offset + i];
  return value;
}

}  // namespace

void FarPut2Bytes(std::span<std::uint8_t> bytes, std::size_t offset, std::uint32_t value) {
  PutBig(bytes, offset, value, 2);
}
void FarPut3Bytes(std::span<std::uint8_t> bytes, std::size_t offset, std::uint32_t value) {
  PutBig(bytes, offset, value, 3);
}
void FarPut4Bytes(std::span<std::uint8_t> bytes, std::size_t offset, std::uint32_t value) {
  PutBig(bytes, offset, value, 4);
}
std::uint32_t FarGet2Bytes(std::span<const std::uint8_t> bytes, std::size_t offset) {
  return GetBig(bytes, offset, 2);
}
std::uint32_t FarGet3Bytes(std::span<const std::uint8_t> bytes, std::size_t offset) {
  return GetBig(bytes, offset, 3);
}
std::uint32_t FarGet4Bytes(std::span<const std::uint8_t> bytes, std::size_t offset) {
  return GetBig(bytes, offset, 4);
}

std::uint8_t GetLe8(std::span<const std::uint8_t> bytes, std::size_t offset) {
  return static_cast<std::uint8_t>(GetLittle(bytes, offset, 1));
}
std::uint16_t GetLe16(std::span<const std::uint8_t> bytes, std::size_t offset) {
  return static_cast<std::uint16_t>(GetLittle(bytes, offset, 2));
}
std::uint32_t GetLe32(std::span<const std::uint8_t> bytes, std::size_t offset) {
  return GetLittle(bytes, offset, 4);
}
void PutLe8(std::span<std::uint8_t> bytes, std::size_t offset, std::uint8_t value) {
  PutLittle(bytes, offset, value, 1);
}
void PutLe16(std::span<std::uint8_t> bytes, std::size_t offset, std::uint16_t value) {
  PutLittle(bytes, offset, value, 2);
}
void PutLe32(std::span<std::uint8_t> bytes, std::size_t offset, std::uint32_t value) {
  PutLittle(bytes, offset, value, 4);
}

}  // namespace dls
