// Records of the per-load parse buffer that the card record builders read: the region record (172
// bytes) and the wave record (30 bytes), little-endian, fields at fixed offsets.
#pragma once

#include <array>
#include <cstdint>
#include <span>

#include "basedrv/dls/byte_order.h"

namespace dls {

inline constexpr std::uint32_t kArticulationCount = 21;
using Articulation = std::array<std::int32_t, kArticulationCount>;

namespace rgn {
inline constexpr std::uint32_t kSize = 172;
// "rgnh"
inline constexpr std::uint32_t kKeyLow = 0;
inline constexpr std::uint32_t kKeyHigh = 2;
inline constexpr std::uint32_t kVelLow = 4;
inline constexpr std::uint32_t kVelHigh = 6;
inline constexpr std::uint32_t kOptions = 8;
inline constexpr std::uint32_t kKeyGroup = 10;
// "wsmp"
inline constexpr std::uint32_t kWsmpSize = 12;
inline constexpr std::uint32_t kUnityNote = 16;
inline constexpr std::uint32_t kFineTune = 18;
inline constexpr std::uint32_t kAttenuation = 20;
inline constexpr std::uint32_t kWsmpOptions = 24;
inline constexpr std::uint32_t kLoopCount = 28;
// the one sample loop
inline constexpr std::uint32_t kLoopSize = 32;
inline constexpr std::uint32_t kLoopType = 36;
inline constexpr std::uint32_t kLoopStart = 40;
inline constexpr std::uint32_t kLoopLength = 44;
// "wlnk"
inline constexpr std::uint32_t kLinkOptions = 48;
inline constexpr std::uint32_t kPhaseGroup = 50;
inline constexpr std::uint32_t kChannel = 52;
inline constexpr std::uint32_t kTableIndex = 56;
inline constexpr std::uint32_t kArticulation = 60;
// "fmt "
inline constexpr std::uint32_t kFormatTag = 144;
inline constexpr std::uint32_t kChannels = 146;
inline constexpr std::uint32_t kSamplesPerSec = 148;
inline constexpr std::uint32_t kAvgBytesPerSec = 152;
inline constexpr std::uint32_t kBlockAlign = 156;
inline constexpr std::uint32_t kBitsPerSample = 158;
inline constexpr std::uint32_t kSampleDataOffset = 160;
inline constexpr std::uint32_t kSampleDataSize = 164;
inline constexpr std::uint32_t kWaveRecord = 168;
static_assert(kArticulation + 4 * kArticulationCount == kFormatTag);
static_assert(kWaveRecord + 4 == kSize);
}  // namespace rgn

namespace wave {
inline constexpr std::uint32_t kSize = 30;
inline constexpr std::uint32_t kConverted = 0;
inline constexpr std::uint32_t kSetUp = 4;
inline constexpr std::uint32_t kLoopStartBytes = 8;  // the data size when the wave is not looped
inline constexpr std::uint32_t kLoopLengthBytes = 12;
inline constexpr std::uint32_t kReserved = 16;
inline constexpr std::uint32_t kSizeShift = 20;
inline constexpr std::uint32_t kFirstSample = 22;
inline constexpr std::uint32_t kLoopStartSample = 24;
inline constexpr std::uint32_t kPoolOffset = 26;
static_assert(kPoolOffset + 4 == kSize);
}  // namespace wave

inline Articulation ReadArticulation(std::span<const std::uint8_t> bytes, std::uint32_t offset) {
  Articulation art{};
  for (std::uint32_t i = 0; i < kArticulationCount; ++i)
    art[i] = static_cast<std::int32_t>(GetLe32(bytes, offset + 4 * i));
  return art;
}

}  // namespace dls
