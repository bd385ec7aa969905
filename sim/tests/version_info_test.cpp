#include "sim/version_info.h"

#include <gtest/gtest.h>

#include <cstring>

#include "sim/pe_writer.h"

namespace {

std::vector<std::uint8_t> BlockOf(const std::vector<std::uint8_t>& pe) {
  auto resource = sim::FindVersionResource(pe);
  EXPECT_TRUE(resource.has_value());
  if (!resource) return {};
  std::vector<std::uint8_t> block(resource->size() * 2 + 4, 0);
  std::copy(resource->begin(), resource->end(), block.begin());
  return block;
}

TEST(VersionResource, written_strings_are_read_back_by_path_without_regard_to_case) {
  auto block =
      BlockOf(sim::MakePeFile(sim::MakeVersionResource({{"ProductVersion", "1.00.10"}, {"Comments", "x"}})));
  struct Case {
    const char* path;
    const char* text;  // null: not found
  } cases[] = {
      {"\\StringFileInfo\\040904E4\\ProductVersion", "1.00.10"},
      {"\\stringfileinfo\\040904e4\\PRODUCTVERSION", "1.00.10"},
      {"\\\\StringFileInfo\\\\040904E4\\Comments", "x"},
      {"\\StringFileInfo\\040904E4\\Product", nullptr},  // a part must match a whole key
      {"\\StringFileInfo\\040904B0\\ProductVersion", nullptr},
      {"\\StringFileInfo\\040904E4\\ProductVersion\\More", nullptr},
  };
  for (const auto& c : cases) {
    const void* value = nullptr;
    std::uint32_t length = 99;
    bool found = sim::QueryVersionValue(block, c.path, &value, &length);
    EXPECT_EQ(found, c.text != nullptr) << c.path;
    if (found && c.text) {
      EXPECT_STREQ(static_cast<const char*>(value), c.text) << c.path;
      EXPECT_EQ(length, std::strlen(c.text) + 1);
    } else {
      EXPECT_EQ(length, 0u);
    }
  }
  // Two answers live side by side in the conversion area.
  const void* a = nullptr;
  const void* b = nullptr;
  sim::QueryVersionValue(block, "\\StringFileInfo\\040904E4\\ProductVersion", &a, nullptr);
  sim::QueryVersionValue(block, "\\StringFileInfo\\040904E4\\Comments", &b, nullptr);
  EXPECT_STREQ(static_cast<const char*>(a), "1.00.10");
  EXPECT_STREQ(static_cast<const char*>(b), "x");
}

TEST(VersionResource, root_gives_the_fixed_file_info) {
  auto block = BlockOf(sim::MakeVersionedPe("2.0"));
  const void* value = nullptr;
  std::uint32_t length = 0;
  ASSERT_TRUE(sim::QueryVersionValue(block, "\\", &value, &length));
  EXPECT_EQ(length, 52u);
  std::uint32_t signature;
  std::memcpy(&signature, value, 4);
  EXPECT_EQ(signature, 0xFEEF04BDu);
}

TEST(VersionResource, a_value_longer_than_its_block_is_cut_to_the_block) {
  auto block = BlockOf(sim::MakeVersionedPe("2.0"));
  ASSERT_GE(block.size(), 4u);
  const std::uint16_t rootLength = static_cast<std::uint16_t>(block[0] | block[1] << 8);
  block[2] = 0xFF;  // the root claims 65,535 bytes of fixed file information
  block[3] = 0xFF;
  const void* value = nullptr;
  std::uint32_t length = 0;
  ASSERT_TRUE(sim::QueryVersionValue(block, "\\", &value, &length));
  const auto* p = static_cast<const std::uint8_t*>(value);
  EXPECT_LE(p + length, block.data() + rootLength);
}

TEST(VersionResource, damaged_or_foreign_files_have_none) {
  auto good = sim::MakeVersionedPe("1.0");
  EXPECT_FALSE(sim::FindVersionResource(sim::MakePeFile({})).has_value());
  EXPECT_FALSE(sim::FindVersionResource(std::vector<std::uint8_t>{'M', 'Z'}).has_value());
  // Every cut of a good file is refused or read, never read past its end (ASan watches).
  for (std::size_t cut = 0; cut < good.size(); cut += 7) {
    std::vector<std::uint8_t> part(good.begin(), good.begin() + static_cast<std::ptrdiff_t>(cut));
    auto r = sim::FindVersionResource(part);
    if (r) {
      EXPECT_LE(r->size(), part.size());
    }
  }
  // A resource directory entry pointing far outside the file.
  auto bad = good;
  bad[0x200 + 20] = 0xFF;
  bad[0x200 + 21] = 0xFF;
  bad[0x200 + 22] = 0xFF;
  EXPECT_FALSE(sim::FindVersionResource(bad).has_value());
  // A block whose length lies.
  auto block = BlockOf(good);
  block[0] = 0xFF;
  block[1] = 0xFF;
  const void* value = nullptr;
  EXPECT_FALSE(sim::QueryVersionValue(block, "\\StringFileInfo", &value, nullptr));
}

}  // namespace
