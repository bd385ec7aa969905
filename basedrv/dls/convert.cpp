#include "basedrv/dls/convert.h"

#include <cmath>
#include <limits>

namespace dls {

namespace {

// Truncation toward zero of a value already known to lie inside the int range.
int Truncate(double v) {
  return static_cast<int>(v);
}

// Truncation toward zero into 32 bits for values whose range the caller has not bounded.
std::int64_t TruncateWide(double v) {
  if (std::isnan(v)) return 0;
  if (v >= 9.0e18) return std::numeric_limits<std::int64_t>::max();
  if (v <= -9.0e18) return std::numeric_limits<std::int64_t>::min();
  return static_cast<std::int64_t>(v);
}

}  // namespace

std::uint8_t CnvEnvTime(std::int32_t x) {
  if (x == kDlsZeroTime) return 0;
  double t = 1000.0 * std::pow(2.0, x / 78643200.0);
  if (t > 65535.0) t = 65535.0;
  unsigned m = static_cast<unsigned>(Truncate(t));
  int e = m == 0 ? 0 : static_cast<int>(std::floor(std::log2(t)));
  if (e > 3) {
    e -= 3;
    m >>= e;
  } else {
    e = 0;
  }
  if (e > 15) e = 15;
  return static_cast<std::uint8_t>((e << 4) | m);
}

std::uint8_t CnvSustainLevel(std::int32_t x) {
  double v = 255.0 - 2.55 * x / 655360.0;
  if (v >= 255.0) return 255;
  if (v <= 0.0) return 0;
  return static_cast<std::uint8_t>(Truncate(v));
}

std::uint8_t CnvEnvAttScale(std::int32_t x) {
  if (x == kDlsZeroTime) return 0;
  double v = x / 393216000.0;
  if (v <= -1.0) return 8;
  if (v >= 1.0) return 7;
  return static_cast<std::uint8_t>(Truncate(8.0 * v) & 0x0F);
}

std::uint8_t CnvPitchEnvScale(std::int32_t x) {
  double v = x / 65536.0 * 8.0 / 75.0;
  if (v > 127.0) return 127;
  if (v < -128.0) return static_cast<std::uint8_t>(-128);
  return static_cast<std::uint8_t>(Truncate(v));
}

std::uint8_t CnvVibLfoScale(std::int32_t x) {
  double v = 16.0 * std::sqrt(std::fabs(x / 78643200.0));
  if (v >= 16.0) return 15;
  return static_cast<std::uint8_t>(Truncate(v));
}

std::uint8_t CnvVibModWheelScale(std::int32_t x) {
  if (x < 0) return 0;
  double v = 16.0 * std::sqrt(x / 78643200.0);
  if (v > 15.0) return 15;
  return static_cast<std::uint8_t>(Truncate(v));
}

std::uint8_t CnvTremModWheelScale(std::int32_t x) {
  double v = std::fabs(static_cast<double>(x)) / 65536.0;
  if (v >= 120.0) return 15;
  return static_cast<std::uint8_t>(Truncate(v * 2.0 / 15.0));
}

std::uint8_t CnvVolVelMin(std::int32_t x) {
  double v = std::fabs(static_cast<double>(x)) / 65536.0 * 4.0 / 15.0;
  if (v > 255.0) return 255;
  return static_cast<std::uint8_t>(Truncate(v));
}

std::uint8_t CnvLfoFreq(std::int32_t x) {
  double f = 440.0 * std::pow(2.0, (x / 65536.0 - 6900.0) / 1200.0);
  double v = 256.0 * std::log2(10.0 * f) / 7.0;
  // Over the whole input range v stays within about -800 to 1300; only the low 8 bits are kept.
  return static_cast<std::uint8_t>(static_cast<std::uint32_t>(TruncateWide(v)));
}

std::uint8_t ConvertPan(std::int32_t x) {
  double v = 128.0 + 128.0 * x / 32768000.0;
  if (v >= 255.0) return 255;
  if (v <= 0.0) return 0;
  return static_cast<std::uint8_t>(Truncate(v));
}

std::uint16_t ConvertRelGain(std::int32_t x) {
  if (x == kDlsZeroTime) return 0;
  double v = 32767.0 * std::pow(10.0, x / 13107200.0);
  // Above about +6 dB the amplitude no longer fits the 16-bit gain field; wrapping it would turn a loud
  // region nearly silent, so it is held at the loudest code.
  if (v >= 65535.0) return 0xFFFF;
  return static_cast<std::uint16_t>(Truncate(v));
}

std::uint32_t CalcNewFreq(std::uint32_t rate, std::int16_t fineTune) {
  double v = rate * std::pow(2.0, fineTune / 1200.0);
  if (v >= 4294967295.0) return 0xFFFFFFFF;
  return static_cast<std::uint32_t>(v);
}

std::int32_t CnvFreq(std::uint32_t f) {
  if (f == 0) f = 1;
  return static_cast<std::int32_t>(
      std::floor(256.0 * (33.0 + 17.312340490668692 * std::log(f / 55.0)) + 0.5));
}

}  // namespace dls
