#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <vector>

#include "basedrv/dls/byte_order.h"
#include "basedrv/dls/convert.h"

namespace {

using dls::kDlsZeroTime;

struct ByteCase {
  const char* name;
  std::uint8_t (*fn)(std::int32_t);
  std::int32_t input;
  int expected;
};

constexpr std::int32_t kMax = INT32_MAX;
constexpr std::int32_t kMinPlus1 = INT32_MIN + 1;
constexpr std::int32_t kOctaveTc = 78643200;  // one octave of time or pitch cents, times 65,536

const std::vector<ByteCase>& ByteCases() {
  static const std::vector<ByteCase> cases = {
      // Envelope times: ~m x 2^e ms with m 8..15 once e >= 1.
      {"env_time_zero_time", dls::CnvEnvTime, kDlsZeroTime, 0x00},
      {"env_time_one_second", dls::CnvEnvTime, 0, 0x6F},
      {"env_time_7_8ms_below_16_keeps_exponent_0", dls::CnvEnvTime, -7 * kOctaveTc, 0x07},
      {"env_time_15_6ms", dls::CnvEnvTime, -6 * kOctaveTc, 0x0F},
      {"env_time_31_2ms_first_shifted", dls::CnvEnvTime, -5 * kOctaveTc, 0x1F},
      {"env_time_65_535s", dls::CnvEnvTime, 474548303, 0xCF},
      {"env_time_longest_clamped", dls::CnvEnvTime, kMax, 0xCF},
      {"env_time_shortest", dls::CnvEnvTime, kMinPlus1, 0x00},
      // Sustain: 0 at 100 %, 255 at 0 %.
      {"sustain_100pct", dls::CnvSustainLevel, 65536000, 0},
      {"sustain_0pct", dls::CnvSustainLevel, 0, 255},
      {"sustain_50pct", dls::CnvSustainLevel, 32768000, 127},
      {"sustain_80pct_on_truncation_boundary", dls::CnvSustainLevel, 52428800, 51},
      {"sustain_above_100pct_clamped", dls::CnvSustainLevel, kMax, 0},
      {"sustain_negative_clamped", dls::CnvSustainLevel, -65536000, 255},
      // Velocity/key to envelope scale: 4-bit two's complement in steps of 750 time cents.
      {"att_scale_zero_time", dls::CnvEnvAttScale, kDlsZeroTime, 0},
      {"att_scale_plus_one", dls::CnvEnvAttScale, 393216000, 7},
      {"att_scale_far_above", dls::CnvEnvAttScale, kMax, 7},
      {"att_scale_minus_one", dls::CnvEnvAttScale, -393216000, 8},
      {"att_scale_far_below", dls::CnvEnvAttScale, kMinPlus1, 8},
      {"att_scale_minus_half", dls::CnvEnvAttScale, -196608000, 12},
      {"att_scale_plus_half", dls::CnvEnvAttScale, 196608000, 4},
      {"att_scale_small_truncates_to_0", dls::CnvEnvAttScale, -49151999, 0},
      // EG2 to pitch: signed byte in steps of 9.375 cents.
      {"pitch_env_100_cents", dls::CnvPitchEnvScale, 100 * 65536, 10},
      {"pitch_env_minus_100_cents", dls::CnvPitchEnvScale, -100 * 65536, 0xF6},
      {"pitch_env_exactly_127", dls::CnvPitchEnvScale, 78028800, 127},
      {"pitch_env_clamped_high", dls::CnvPitchEnvScale, kMax, 127},
      {"pitch_env_exactly_minus_128", dls::CnvPitchEnvScale, -78643200, 0x80},
      {"pitch_env_clamped_low", dls::CnvPitchEnvScale, kMinPlus1, 0x80},
      // Vibrato depths: the LFO one takes magnitudes and caps from 16, the wheel one drops negatives.
      {"vib_lfo_zero", dls::CnvVibLfoScale, 0, 0},
      {"vib_lfo_quarter_octave", dls::CnvVibLfoScale, kOctaveTc / 4, 8},
      {"vib_lfo_octave_caps_at_16", dls::CnvVibLfoScale, kOctaveTc, 15},
      {"vib_lfo_negative_magnitude", dls::CnvVibLfoScale, -kOctaveTc / 4, 8},
      {"vib_lfo_most_negative", dls::CnvVibLfoScale, INT32_MIN, 15},
      {"vib_wheel_negative_is_0", dls::CnvVibModWheelScale, -kOctaveTc / 4, 0},
      {"vib_wheel_quarter_octave", dls::CnvVibModWheelScale, kOctaveTc / 4, 8},
      {"vib_wheel_octave_capped", dls::CnvVibModWheelScale, kOctaveTc, 15},
      // Tremolo depth: steps of 7.5 cB, 15 from 120 cB.
      {"trem_60cb", dls::CnvTremModWheelScale, 60 * 65536, 8},
      {"trem_119cb", dls::CnvTremModWheelScale, 119 * 65536, 15},
      {"trem_120cb", dls::CnvTremModWheelScale, 120 * 65536, 15},
      {"trem_negative_magnitude", dls::CnvTremModWheelScale, -60 * 65536, 8},
      {"trem_most_negative", dls::CnvTremModWheelScale, INT32_MIN, 15},
      // Velocity to attenuation range: steps of 3.75 cB, 255 from 956.25 cB.
      {"vel_min_minus_96db", dls::CnvVolVelMin, -62914560, 255},
      {"vel_min_15cb", dls::CnvVolVelMin, -15 * 65536, 4},
      {"vel_min_positive_magnitude", dls::CnvVolVelMin, 15 * 65536, 4},
      {"vel_min_most_negative", dls::CnvVolVelMin, INT32_MIN, 255},
      // LFO frequency: only the low 8 bits of the truncated value are kept.
      {"lfo_5hz", dls::CnvLfoFreq, -55791972, 206},
      {"lfo_lowest_wraps_from_minus_766", dls::CnvLfoFreq, INT32_MIN, 2},
      {"lfo_highest_wraps_from_1230", dls::CnvLfoFreq, kMax, 206},
      // Pan: 128 centre.
      {"pan_centre", dls::ConvertPan, 0, 128},
      {"pan_half_right", dls::ConvertPan, 16384000, 192},
      {"pan_full_right", dls::ConvertPan, 32768000, 255},
      {"pan_full_left", dls::ConvertPan, -32768000, 0},
      {"pan_beyond_right", dls::ConvertPan, kMax, 255},
      {"pan_beyond_left", dls::ConvertPan, INT32_MIN, 0},
  };
  return cases;
}

class ByteConverters : public ::testing::TestWithParam<ByteCase> {};

TEST_P(ByteConverters, give_the_expected_code) {
  const ByteCase& c = GetParam();
  EXPECT_EQ(c.fn(c.input), c.expected) << c.name << " input " << c.input;
}

INSTANTIATE_TEST_SUITE_P(Table, ByteConverters, ::testing::ValuesIn(ByteCases()),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(ConvertRelGain, gives_linear_amplitude_clamped_to_the_16_bit_field) {
  struct Case {
    std::int32_t centibels;
    std::uint16_t expected;
  };
  const Case cases[] = {
      {0, 32767},                 // 0 dB
      {-3932160, 16422},          // -6 dB
      {3932160, 65378},           // +6 dB still fits
      {3960000, 0xFFFF},          // just past the field
      {48 * 10 * 65536, 0xFFFF},  // +48 dB
      {kMax, 0xFFFF},             // the pow() result is huge here
      {-62914560, 0},             // -96 dB
      {kDlsZeroTime, 0},
  };
  for (const auto& c : cases) EXPECT_EQ(dls::ConvertRelGain(c.centibels), c.expected) << c.centibels;
}

TEST(CalcNewFreq, moves_the_rate_by_the_fine_tune_and_clamps_to_32_bits) {
  struct Case {
    std::uint32_t rate;
    std::int16_t fineTune;
    std::uint32_t expected;
  };
  const Case cases[] = {
      {22050, 0, 22050},
      {44100, 1200, 88200},
      {44100, -1200, 22050},
      {0, 500, 0},
      {0xFFFFFFFF, -1200, 0x7FFFFFFF},  // 2,147,483,647.5 truncates
      {0xFFFFFFFF, 0, 0xFFFFFFFF},
      {0x80000000, 1200, 0xFFFFFFFF},  // one octave above 2^31 is past 32 bits
      {0xFFFFFFFF, INT16_MAX, 0xFFFFFFFF},
  };
  for (const auto& c : cases) EXPECT_EQ(dls::CalcNewFreq(c.rate, c.fineTune), c.expected) << c.rate;
}

TEST(CnvFreq, gives_the_note_in_256ths_of_a_semitone) {
  struct Case {
    std::uint32_t hz;
    std::int32_t expected;
  };
  const Case cases[] = {
      {440, 17664},        {55, 8448}, {22050, 35012},
      {44100, 38084},      {1, -9312}, {0, -9312},  // no note for 0 Hz: the lowest frequency's code
      {0xFFFFFFFF, 88992},
  };
  for (const auto& c : cases) EXPECT_EQ(dls::CnvFreq(c.hz), c.expected) << c.hz;
}

TEST(ByteOrder, writes_and_reads_big_endian_fields) {
  std::array<std::uint8_t, 9> bytes{};
  dls::FarPut2Bytes(bytes, 0, 0xABCD1234);
  dls::FarPut3Bytes(bytes, 2, 0xFF123456);
  dls::FarPut4Bytes(bytes, 5, 0x89ABCDEF);
  EXPECT_EQ(bytes, (std::array<std::uint8_t, 9>{0x12, 0x34, 0x12, 0x34, 0x56, 0x89, 0xAB, 0xCD, 0xEF}));
  EXPECT_EQ(dls::FarGet3Bytes(bytes, 2), 0x123456u);
  EXPECT_EQ(dls::FarGet4Bytes(bytes, 5), 0x89ABCDEFu);
}

TEST(ByteOrder, access_past_the_span_touches_nothing) {
  std::array<std::uint8_t, 4> bytes{1, 2, 3, 4};
  dls::FarPut4Bytes(bytes, 1, 0xFFFFFFFF);
  dls::FarPut2Bytes(std::span<std::uint8_t>(bytes), SIZE_MAX, 0xFFFF);
  dls::PutLe32(bytes, 2, 0xFFFFFFFF);
  EXPECT_EQ(bytes, (std::array<std::uint8_t, 4>{1, 2, 3, 4}));
  EXPECT_EQ(dls::FarGet3Bytes(bytes, 2), 0u);
  EXPECT_EQ(dls::GetLe32(bytes, 1), 0u);
}

}  // namespace
