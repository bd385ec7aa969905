// Version resources of files on the simulated PC, read by a small PE parser: GetFileVersionInfoSizeA,
// GetFileVersionInfoA and VerQueryValueA as Windows answers them.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "platform/os.h"
#include "platform/version_info.h"

namespace sim {

// The RT_VERSION resource (id 1; language neutral, then US English, then the first) of a PE image;
// nullopt when the image is not a PE file or has none. Every offset is checked against the image.
std::optional<std::vector<std::uint8_t>> FindVersionResource(std::span<const std::uint8_t> image);

// VerQueryValueA over a block laid out as GetFileVersionInfoA leaves it: the resource, then a
// conversion area of the same size where text values are returned as ANSI.
bool QueryVersionValue(std::span<std::uint8_t> block, const char* subBlock, const void** value,
                       std::uint32_t* length);

class SimVersionInfo : public platform::VersionInfo {
 public:
  // Reads files through `os.files` at the time of each call.
  explicit SimVersionInfo(platform::Os& os) : os_(os) {}

  std::uint32_t GetSize(const char* path) override;
  bool Get(const char* path, std::span<std::uint8_t> block) override;
  bool Query(std::span<std::uint8_t> block, const char* subBlock, const void** value,
             std::uint32_t* length) override;

 private:
  std::optional<std::vector<std::uint8_t>> Read(const char* path);
  platform::Os& os_;
};

}  // namespace sim
