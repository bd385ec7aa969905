// Byte order of the card's records (big-endian) and of the common data block (little-endian). Every
// access names its span and offset and is bounds-checked: a write that would leave the span writes
// nothing, a read that would leave it reads 0.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace dls {

void FarPut2Bytes(std::span<std::uint8_t> bytes, std::size_t offset, std::uint32_t value);
void FarPut3Bytes(std::span<std::uint8_t> bytes, std::size_t offset, std::uint32_t value);
void FarPut4Bytes(std::span<std::uint8_t> bytes, std::size_t offset, std::uint32_t value);
std::uint32_t FarGet2Bytes(std::span<const std::uint8_t> bytes, std::size_t offset);
std::uint32_t FarGet3Bytes(std::span<const std::uint8_t> bytes, std::size_t offset);
std::uint32_t FarGet4Bytes(std::span<const std::uint8_t> bytes, std::size_t offset);

std::uint8_t GetLe8(std::span<const std::uint8_t> bytes, std::size_t offset);
std::uint16_t GetLe16(std::span<const std::uint8_t> bytes, std::size_t offset);
std::uint32_t GetLe32(std::span<const std::uint8_t> bytes, std::size_t offset);
void PutLe8(std::span<std::uint8_t> bytes, std::size_t offset, std::uint8_t value);
void PutLe16(std::span<std::uint8_t> bytes, std::size_t offset, std::uint16_t value);
void PutLe32(std::span<std::uint8_t> bytes, std::size_t offset, std::uint32_t value);

}  // namespace dls
