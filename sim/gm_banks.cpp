#include "sim/gm_banks.h"

#include <cstring>
#include <fstream>
#include <string>

#include "sim/machine.h"
#include "sim/machine_error.h"

namespace sim {

namespace {

constexpr char kMagic[] = "J6GM";  // bytes 0-3; byte 4 the selector, 5-6 zero
constexpr char kNote[] = "Stand-in General MIDI bank for the simulated PC; it holds no real samples.";
constexpr std::uint32_t kFirstDrumKey = 35;
constexpr std::uint32_t kLastDrumKey = 81;

}  // namespace

std::vector<std::uint8_t> MakeGmBankImage(std::uint8_t selector, std::uint32_t size) {
  if (size == 0) size = std::uint32_t{selector} * 1024 * 1024;
  std::uint32_t minimum = kGmBankDrumTableOffset + 512;
  if (size < minimum) size = minimum;
  std::vector<std::uint8_t> image(size);
  for (std::uint32_t i = 0; i < size; ++i)
    image[i] = static_cast<std::uint8_t>((i * 13 + selector) ^ (i >> 8));
  std::memcpy(image.data(), kMagic, 4);
  image[4] = selector;
  image[5] = image[6] = 0;
  image[7] = static_cast<std::uint8_t>(kGmBankDrumTableOffset >> 16);
  image[8] = static_cast<std::uint8_t>(kGmBankDrumTableOffset >> 8);
  image[9] = static_cast<std::uint8_t>(kGmBankDrumTableOffset);
  std::memcpy(image.data() + 16, kNote, sizeof kNote);
  // The bank's drum kit: keys 35-81 play the bank's patches 0x100 + key, centre pan; the rest are empty.
  for (std::uint32_t key = 0; key < 128; ++key) {
    std::uint8_t* e = image.data() + kGmBankDrumTableOffset + 4 * key;
    if (key >= kFirstDrumKey && key <= kLastDrumKey) {
      e[0] = 0x01;
      e[1] = static_cast<std::uint8_t>(key);
      e[2] = 0x00;
      e[3] = 0x80;
    } else {
      e[0] = 0x03;
      e[1] = 0xFF;
      e[2] = 0x00;
      e[3] = 0x80;
    }
  }
  return image;
}

std::vector<std::filesystem::path> InstallGmBanks(Machine& machine,
                                                  const std::vector<std::uint8_t>& selectors,
                                                  std::uint32_t size) {
  std::filesystem::path dir = machine.DriveRoot();
  std::string rest = machine.Config().systemDir;
  if (rest.size() >= 2 && rest[1] == ':') rest = rest.substr(2);
  std::string part;
  for (char c : rest + "\\") {
    if (c == '\\' || c == '/') {
      if (!part.empty()) dir /= part;
      part.clear();
    } else {
      part += c;
    }
  }
  std::filesystem::create_directories(dir);
  std::vector<std::filesystem::path> written;
  for (std::uint8_t selector : selectors) {
    auto image = MakeGmBankImage(selector, size);
    auto path = dir / ("j6gm" + std::to_string(selector) + ".bin");
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(image.data()), static_cast<std::streamsize>(image.size()));
    if (!out) throw MachineError(path.string() + ": cannot be written");
    written.push_back(path);
  }
  return written;
}

}  // namespace sim
