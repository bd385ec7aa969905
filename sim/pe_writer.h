// A minimal PE writer for tests and stand-in files: a 32-bit image with one resource section holding a
// version resource (VS_VERSION_INFO with the US-English, Windows-multilingual string table 040904E4).
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace sim {

using VersionStrings = std::vector<std::pair<std::string, std::string>>;  // name, value (ASCII)

// The version resource block alone, as it sits in the resource section.
std::vector<std::uint8_t> MakeVersionResource(const VersionStrings& strings,
                                              const std::string& table = "040904E4");
// A PE file whose only resource is `versionResource` (RT_VERSION, id 1, language 0x0409); an empty
// block gives a PE file without resources.
std::vector<std::uint8_t> MakePeFile(const std::vector<std::uint8_t>& versionResource);
// Both in one: a PE file whose ProductVersion (and FileVersion) is `productVersion`.
std::vector<std::uint8_t> MakeVersionedPe(const std::string& productVersion);

}  // namespace sim
