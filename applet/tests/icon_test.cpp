#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

#include "applet/resources.h"

namespace {

std::uint32_t Le32(const std::uint8_t* p) {
  return p[0] | p[1] << 8 | p[2] << 16 | std::uint32_t(p[3]) << 24;
}

// The committed icon is what the Windows resource script uses; it must be the one drawn in the code.
TEST(AppletIcon, committed_file_matches_the_drawing_and_is_a_valid_icon) {
  auto bytes = j6audio::IconFileBytes();
  std::ifstream in(J6AUDIO_ICON_PATH, std::ios::binary);
  ASSERT_TRUE(in) << J6AUDIO_ICON_PATH;
  std::vector<std::uint8_t> committed{std::istreambuf_iterator<char>(in), {}};
  EXPECT_TRUE(std::equal(bytes.begin(), bytes.end(), committed.begin(), committed.end()))
      << "regenerate with j6audio_make_icon";

  const std::uint8_t* p = bytes.data();
  EXPECT_EQ(p[2] | p[3] << 8, 1) << "icon type";
  EXPECT_EQ(p[4] | p[5] << 8, 1) << "one image";
  EXPECT_EQ(Le32(p + 14) + Le32(p + 18), bytes.size()) << "the image fills the rest of the file";
  const std::uint8_t* header = p + Le32(p + 18);
  EXPECT_EQ(Le32(header), 40u);
  EXPECT_EQ(Le32(header + 8), 64u) << "colour image and mask stacked";
  // The corners are transparent: the last mask row is the top row of the picture.
  const std::uint8_t* mask = bytes.data() + bytes.size() - 4;
  EXPECT_EQ(mask[0], 0xFF);
  EXPECT_EQ(bytes[bytes.size() - 8], 0x80) << "row 1 is drawn from column 1 on";
}

}  // namespace
