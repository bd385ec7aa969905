#include "applet/resources.h"

namespace j6audio {

const platform::DialogTemplate& AdvancedDialog() {
  using platform::ControlKind;
  static const platform::DialogTemplate dialog{
      .id = kDialogAdvanced,
      .caption = "Advanced Settings - WaveTable Synth",
      .x = 48,
      .y = 30,
      .width = 202,
      .height = 141,
      .font = "MS Shell Dlg",
      .fontPoints = 8,
      // No system menu, so no close box: only OK, Cancel or Esc end it.
      .style = platform::kDialogPopup | platform::kDialogCaption | platform::kDialogVisible,
      .controls =
          {
              {kGroupMemory, ControlKind::kGroupBox, "Memory for Sound Samples", 6, 4, 191, 78, 0},
              {kGroupGeneralMidi, ControlKind::kGroupBox, "General Midi", 13, 14, 68, 62, 0},
              {kRadioRom, ControlKind::kRadioButton, "Onboard ROM", 19, 26, 59, 8,
               platform::kControlGroupStart | platform::kControlTabStop},
              {kRadio1Mb, ControlKind::kRadioButton, "1 MB PC RAM", 19, 38, 58, 8, 0},
              {kRadio2Mb, ControlKind::kRadioButton, "2 MB PC RAM", 19, 50, 58, 8, 0},
              {kRadio4Mb, ControlKind::kRadioButton, "4 MB PC RAM", 19, 62, 58, 8, 0},
              {platform::kIdOk, ControlKind::kDefPushButton, "OK", 5, 113, 43, 14,
               platform::kControlGroupStart | platform::kControlTabStop},
              {platform::kIdCancel, ControlKind::kPushButton, "Cancel", 55, 113, 43, 14,
               platform::kControlTabStop},
          },
  };
  return dialog;
}

namespace {
constexpr StringResource kStrings[] = {
    {kStringName, u"J6 Audio"},
    {kStringInfo, u"Changes your J6 wavetable synthesizer settings."},
};
}  // namespace

std::span<const StringResource> StringTable() {
  return kStrings;
}

std::u16string_view LoadText(int id) {
  for (const auto& s : kStrings)
    if (s.id == id) return s.text;
  return {};
}

namespace {

// A wave over a keyboard. '.' is transparent; the other letters pick colours of the standard 16-colour
// palette below.
constexpr const char* kIconArt[32] = {
    "................................",  //
    ".kkkkkkkkkkkkkkkkkkkkkkkkkkkkkk.",  //
    ".knnnnnnnnnnnnnnnnnnnnnnnnnnnnk.",  //
    ".knnnnnnnnnnnnnnnnnnnnnnnnnnnnk.",  //
    ".knnnnccnnnnnnnnnnnnnnnnccnnnnk.",  //
    ".knnncnncnnnnnnnnnnnnnncnncnnnk.",  //
    ".knncnnnncnnnnnnnnnnnncnnnncnnk.",  //
    ".kncnnnnnncnnnnnnnnnncnnnnnncnk.",  //
    ".kcnnnnnnnncnnnnnnnnnnnnnnnnnck.",  //
    ".knnnnnnnnnnnnnnnnnncnnnnnnnnnk.",  //
    ".knnnnnnnnnncnnnnnncnnnnnnnnnnk.",  //
    ".knnnnnnnnnnncnnnncnnnnnnnnnnnk.",  //
    ".knnnnnnnnnnnncnncnnnnnnnnnnnnk.",  //
    ".knnnnnnnnnnnnnccnnnnnnnnnnnnnk.",  //
    ".knnnnnnnnnnnnnnnnnnnnnnnnnnnnk.",  //
    ".knnnnnnnnnnnnnnnnnnnnnnnnnnnnk.",  //
    ".kggggggggggggggggggggggggggggk.",  //
    ".kwwkkkwkkkwwkwwkkkwkkkwkkkwwkk.",  //
    ".kwwkkkwkkkwwkwwkkkwkkkwkkkwwkk.",  //
    ".kwwkkkwkkkwwkwwkkkwkkkwkkkwwkk.",  //
    ".kwwkkkwkkkwwkwwkkkwkkkwkkkwwkk.",  //
    ".kwwkkkwkkkwwkwwkkkwkkkwkkkwwkk.",  //
    ".kwwkkkwkkkwwkwwkkkwkkkwkkkwwkk.",  //
    ".kwwkkkwkkkwwkwwkkkwkkkwkkkwwkk.",  //
    ".kwwwkwwwkwwwkwwwkwwwkwwwkwwwkk.",  //
    ".kwwwkwwwkwwwkwwwkwwwkwwwkwwwkk.",  //
    ".kwwwkwwwkwwwkwwwkwwwkwwwkwwwkk.",  //
    ".kwwwkwwwkwwwkwwwkwwwkwwwkwwwkk.",  //
    ".kwwwkwwwkwwwkwwwkwwwkwwwkwwwkk.",  //
    ".kwwwkwwwkwwwkwwwkwwwkwwwkwwwkk.",  //
    ".kkkkkkkkkkkkkkkkkkkkkkkkkkkkkk.",  //
    "................................",  //
};

// Blue, green, red, reserved: the order of a bitmap's colour table.
constexpr std::uint8_t kPalette[16][4] = {
    {0x00, 0x00, 0x00, 0}, {0x00, 0x00, 0x80, 0}, {0x00, 0x80, 0x00, 0}, {0x00, 0x80, 0x80, 0},
    {0x80, 0x00, 0x00, 0}, {0x80, 0x00, 0x80, 0}, {0x80, 0x80, 0x00, 0}, {0xC0, 0xC0, 0xC0, 0},
    {0x80, 0x80, 0x80, 0}, {0x00, 0x00, 0xFF, 0}, {0x00, 0xFF, 0x00, 0}, {0x00, 0xFF, 0xFF, 0},
    {0xFF, 0x00, 0x00, 0}, {0xFF, 0x00, 0xFF, 0}, {0xFF, 0xFF, 0x00, 0}, {0xFF, 0xFF, 0xFF, 0},
};

constexpr int PaletteIndex(char c) {
  switch (c) {
    case 'n':
      return 4;  // navy
    case 'g':
      return 8;  // grey
    case 'c':
      return 14;  // cyan
    case 'w':
      return 15;  // white
    default:
      return 0;  // black, and the colour under transparent pixels
  }
}

constexpr std::size_t kSide = 32;
constexpr std::size_t kDirSize = 6 + 16;
constexpr std::size_t kHeaderSize = 40;
constexpr std::size_t kColourRowBytes = kSide / 2;  // 4 bits a pixel, already a multiple of 4
constexpr std::size_t kMaskRowBytes = 4;            // 1 bit a pixel, padded to 4 bytes
constexpr std::size_t kImageSize =
    kHeaderSize + sizeof kPalette + kSide * kColourRowBytes + kSide * kMaskRowBytes;
static_assert(kDirSize + kImageSize == kIconFileSize);

void Put16(std::uint8_t* p, std::uint16_t v) {
  p[0] = v & 0xFF;
  p[1] = v >> 8;
}
void Put32(std::uint8_t* p, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = (v >> (8 * i)) & 0xFF;
}

}  // namespace

std::array<std::uint8_t, kIconFileSize> IconFileBytes() {
  std::array<std::uint8_t, kIconFileSize> f{};
  std::uint8_t* p = f.data();
  // Icon directory with its one entry.
  Put16(p + 2, 1);  // type: icon
  Put16(p + 4, 1);  // one image
  p[6] = kSide;
  p[7] = kSide;
  p[8] = 16;  // colours
  Put16(p + 10, 1);
  Put16(p + 12, 4);
  Put32(p + 14, kImageSize);
  Put32(p + 18, kDirSize);

  std::uint8_t* h = p + kDirSize;
  Put32(h, kHeaderSize);
  Put32(h + 4, kSide);
  Put32(h + 8, 2 * kSide);  // the colour image and the mask stacked
  Put16(h + 12, 1);
  Put16(h + 14, 4);
  Put32(h + 20, kSide * (kColourRowBytes + kMaskRowBytes));
  Put32(h + 32, 16);

  std::uint8_t* palette = h + kHeaderSize;
  for (std::size_t i = 0; i < 16; ++i)
    for (std::size_t j = 0; j < 4; ++j) palette[4 * i + j] = kPalette[i][j];

  std::uint8_t* colour = palette + sizeof kPalette;
  std::uint8_t* mask = colour + kSide * kColourRowBytes;
  for (std::size_t row = 0; row < kSide; ++row) {
    const char* art = kIconArt[kSide - 1 - row];  // bitmaps run bottom-up
    for (std::size_t x = 0; x < kSide; ++x) {
      int index = PaletteIndex(art[x]);
      colour[row * kColourRowBytes + x / 2] |= static_cast<std::uint8_t>(x % 2 ? index : index << 4);
      if (art[x] == '.') mask[row * kMaskRowBytes + x / 8] |= static_cast<std::uint8_t>(0x80 >> (x % 8));
    }
  }
  return f;
}

}  // namespace j6audio
