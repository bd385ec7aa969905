// Conversion of DLS Level 1 articulation units (time cents, pitch cents, tenths of a per cent and
// centibels, each times 65,536) into the codes of the card's patch and sample records. Pure functions in
// double precision; out-of-range input is clamped or wraps as each function says.
#pragma once

#include <cstdint>

namespace dls {

// 0x80000000: the DLS value for zero time (and for "no gain" in ConvertRelGain).
inline constexpr std::int32_t kDlsZeroTime = INT32_MIN;

std::uint8_t CnvEnvTime(std::int32_t timeCents);
std::uint8_t CnvSustainLevel(std::int32_t tenthsPercent);
std::uint8_t CnvEnvAttScale(std::int32_t timeCents);     // 4-bit two's complement
std::uint8_t CnvPitchEnvScale(std::int32_t pitchCents);  // signed byte
std::uint8_t CnvVibLfoScale(std::int32_t pitchCents);    // 4 bits
std::uint8_t CnvVibModWheelScale(std::int32_t pitchCents);
std::uint8_t CnvTremModWheelScale(std::int32_t centibels);
std::uint8_t CnvVolVelMin(std::int32_t centibels);
std::uint8_t CnvLfoFreq(std::int32_t absPitchCents);
std::uint8_t ConvertPan(std::int32_t tenthsPercent);
// Linear amplitude, 32,767 = 0 dB. Gains whose amplitude passes the 16-bit field give 0xFFFF.
std::uint16_t ConvertRelGain(std::int32_t centibels);

// Sample rate moved by a fine tune in cents; a result beyond 32 bits gives 0xFFFFFFFF.
std::uint32_t CalcNewFreq(std::uint32_t rateHz, std::int16_t fineTuneCents);
// MIDI note of a frequency in 1/256 semitone (note 69 = 440 Hz). 0 Hz has no note; it gives the code of
// the lowest frequency there is, 1 Hz.
std::int32_t CnvFreq(std::uint32_t frequencyHz);

}  // namespace dls
