// The applet's resources: dialog 110, the string table and icon 101. Held as data so that the simulated PC
// and a Windows resource script are made from the same source.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

#include "platform/ui.h"

namespace j6audio {

constexpr int kIconApplet = 101;
constexpr int kDialogAdvanced = 110;
constexpr int kStringName = 1;
constexpr int kStringInfo = 2;

// Control ids of dialog 110. A bank's radio button is kRadioFirst + the bank value.
constexpr int kGroupMemory = 1073;
constexpr int kGroupGeneralMidi = 1110;
constexpr int kRadioFirst = 1100;
constexpr int kRadioRom = 1100;
constexpr int kRadio1Mb = 1101;
constexpr int kRadio2Mb = 1102;
constexpr int kRadio4Mb = 1104;
constexpr int kRadioLast = 1104;

const platform::DialogTemplate& AdvancedDialog();

struct StringResource {
  int id;
  std::u16string_view text;
};
std::span<const StringResource> StringTable();
// The text of string `id`, empty when the table has none.
std::u16string_view LoadText(int id);

// Icon 101 as the bytes of a .ico file: one 32x32 image with 16 colours and a transparency mask.
constexpr std::size_t kIconFileSize = 766;
std::array<std::uint8_t, kIconFileSize> IconFileBytes();

}  // namespace j6audio
