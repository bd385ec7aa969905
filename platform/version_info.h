// Version resources of files (GetFileVersionInfoSizeA, GetFileVersionInfoA, VerQueryValueA).
#pragma once

#include <cstdint>
#include <span>

namespace platform {

class VersionInfo {
 public:
  virtual ~VersionInfo() = default;

  // GetFileVersionInfoSizeA: 0 when the file has no version resource.
  virtual std::uint32_t GetSize(const char* path) = 0;
  // GetFileVersionInfoA into `block` (of the size above).
  virtual bool Get(const char* path, std::span<std::uint8_t> block) = 0;
  // VerQueryValueA on a block that Get filled: `value` points into the block, `length` as Windows gives it.
  virtual bool Query(std::span<std::uint8_t> block, const char* subBlock, const void** value,
                     std::uint32_t* length) = 0;
};

}  // namespace platform
