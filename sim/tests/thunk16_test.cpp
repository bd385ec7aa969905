#include "sim/thunk16.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstddef>
#include <cstring>

namespace {

using sim::Thunk16;
using sim::Thunk16Error;

TEST(Thunk16, maps_16_16_addresses_through_its_selectors_and_counts_what_is_released) {
  sim::LinearMemory memory;
  Thunk16 thunk(memory);
  const std::uint16_t sel = thunk.AllocateSegment(0x20);
  const platform::LinearAddress base = thunk.Linear(Thunk16::Far(sel, 0));
  ASSERT_NE(base, 0u);

  EXPECT_EQ(thunk.MapSLFix(Thunk16::Far(sel, 0x1F)), base + 0x1F);
  EXPECT_EQ(thunk.MapSLFix(Thunk16::Far(sel, 0x1F)), base + 0x1F);
  EXPECT_EQ(thunk.MapSLFix(0), 0u) << "null maps to null";
  EXPECT_EQ(thunk.LiveMappings(), 2u);
  const std::uint32_t once[] = {Thunk16::Far(sel, 0x1F), 0};
  thunk.UnMapSLFixArray(2, once);
  EXPECT_EQ(thunk.LiveMappings(), 1u) << "each mapping is released on its own";
  thunk.UnMapSLFixArray(1, once);
  EXPECT_EQ(thunk.LiveMappings(), 0u);

  EXPECT_THROW(thunk.UnMapSLFixArray(1, once), Thunk16Error) << "released twice";
  EXPECT_THROW(thunk.MapSLFix(Thunk16::Far(sel, 0x20)), Thunk16Error) << "past the limit";
  EXPECT_THROW(thunk.MapSLFix(Thunk16::Far(sel + 8, 0)), Thunk16Error) << "no such selector";
  EXPECT_THROW(thunk.Bytes(Thunk16::Far(sel, 0x1E), 4), Thunk16Error);
}

// A 16-to-32 thunk data with one target that reads its arguments back.
struct TestData {
  std::uint8_t header[platform::thunkdata::kHeaderSize];
  platform::Thunk16Target targets[20];
};
std::vector<std::uint8_t> gSeen;
std::uint16_t gTakes = 0;

TestData MakeData() {
  TestData data{};
  std::memcpy(data.header, "SL01", 4);
  const std::uint32_t checksum = Thunk16::Partner{}.checksum;
  std::memcpy(data.header + 4, &checksum, 4);
  std::memcpy(data.header + 16, "LB01", 4);
  const std::uint32_t table = offsetof(TestData, targets);
  std::memcpy(data.header + 32, &table, 4);
  data.targets[3] = [](platform::Thunk16Frame& frame) {
    gSeen.assign(frame.arguments.begin(),
                 frame.arguments.begin() + std::min<std::size_t>(6, frame.arguments.size()));
    frame.ax = 0x1111;
    frame.dx = 0x2222;
    frame.argumentBytes = gTakes;
  };
  return data;
}

TEST(Thunk16, calls_by_table_index_with_the_arguments_as_16_bit_code_pushed_them) {
  sim::LinearMemory memory;
  Thunk16 thunk(memory);
  TestData data = MakeData();
  thunk.Push32(0);
  EXPECT_THROW(thunk.Call(3), Thunk16Error) << "not connected yet";
  ASSERT_TRUE(thunk.Connect32(&data, "thk_ThunkData16", "j6thunk.dll", "j6base.dll", 0, 1))
      << thunk.Refusal();

  thunk.Push16(0xAAAA);  // below the arguments
  const std::uint32_t sp = thunk.StackPointer();
  thunk.Push32(0x44332211);  // first argument: highest
  thunk.Push16(0x6655);      // last argument: lowest
  gTakes = 6;
  const Thunk16::Result r = thunk.Call(3);
  EXPECT_EQ(gSeen, (std::vector<std::uint8_t>{0x55, 0x66, 0x11, 0x22, 0x33, 0x44}));
  EXPECT_EQ(r.ax, 0x1111);
  EXPECT_EQ(r.dx, 0x2222);
  EXPECT_EQ(thunk.StackPointer(), sp);
  EXPECT_EQ(thunk.Pop16(), 0xAAAA);

  gTakes = Thunk16::kStackBytes;
  EXPECT_THROW(thunk.Call(3), Thunk16Error) << "took more than was pushed";
  EXPECT_THROW(thunk.Call(20), Thunk16Error) << "past the table";
  EXPECT_THROW(thunk.Call(4), Thunk16Error) << "empty slot";

  EXPECT_TRUE(thunk.Connect32(&data, "thk_ThunkData16", "j6thunk.dll", "j6base.dll", 0, 0));
  EXPECT_FALSE(thunk.Connected());
}

}  // namespace
