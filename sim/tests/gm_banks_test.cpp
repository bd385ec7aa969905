#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "sim/gm_banks.h"
#include "sim/machine.h"

namespace {

namespace fs = std::filesystem;

TEST(GmBanks, stand_in_carries_its_drum_table_offset_in_bytes_7_to_9) {
  auto image = sim::MakeGmBankImage(2);
  ASSERT_EQ(image.size(), 2u * 1024 * 1024);
  std::uint32_t offset = (image[7] << 16) | (image[8] << 8) | image[9];
  ASSERT_EQ(offset, sim::kGmBankDrumTableOffset);
  // Key 36 (bass drum) plays a bank patch; key 0 is empty.
  EXPECT_EQ(std::vector<std::uint8_t>(image.begin() + offset + 4 * 36, image.begin() + offset + 4 * 37),
            (std::vector<std::uint8_t>{0x01, 36, 0x00, 0x80}));
  EXPECT_EQ(std::vector<std::uint8_t>(image.begin() + offset, image.begin() + offset + 4),
            (std::vector<std::uint8_t>{0x03, 0xFF, 0x00, 0x80}));
  EXPECT_EQ(sim::MakeGmBankImage(1, 10).size(), sim::kGmBankDrumTableOffset + 512u) << "never cut the table";
}

TEST(GmBanks, are_placed_in_the_machine_system_directory) {
  fs::path dir = fs::temp_directory_path() / ("j6-gm-banks-" + std::to_string(::getpid()));
  fs::remove_all(dir);
  auto config = sim::MachineConfig::Defaults(platform::WindowsFamily::k95);
  auto machine = sim::Machine::Create(dir, config);
  auto paths = sim::InstallGmBanks(*machine, {1, 4}, 4096);
  ASSERT_EQ(paths.size(), 2u);
  EXPECT_EQ(paths[1], dir / "C" / "WINDOWS" / "SYSTEM" / "j6gm4.bin");
  std::ifstream in(paths[1], std::ios::binary);
  std::vector<char> bytes{std::istreambuf_iterator<char>(in), {}};
  EXPECT_EQ(bytes.size(), 4096u);
  EXPECT_EQ(bytes[4], 4);
  fs::remove_all(dir);
}

}  // namespace
