// Device types, handles, locks, DMA channels and pipes.
#include "hal_fixture.h"

namespace {

using namespace haltest;
using Codes = std::vector<std::uint32_t>;

class DeviceTypes : public SimPc {
 protected:
  std::uint32_t Open(std::uint32_t type, std::uint32_t expected = 0) {
    std::uint32_t handle = 0xDEADBEEF;
    EXPECT_EQ(VEXA_OpenDevice(id_, type, &handle), expected) << "type " << type;
    return handle;
  }
  std::uint32_t id_ = 0;
};

TEST_F(DeviceTypes, conflicts_between_types) {
  struct Case {
    std::vector<std::uint32_t> open;  // opened first, in order
    std::uint32_t type;
    std::uint32_t status;
  };
  const Case cases[] = {
      {{7}, 0, 3},    {{0}, 7, 3}, {{0}, 8, 3}, {{2}, 7, 3},       {{3}, 8, 3}, {{8}, 2, 3},
      {{8}, 3, 3},    {{3}, 4, 3}, {{4}, 3, 3}, {{0, 1, 6}, 5, 0}, {{0}, 0, 4}, {{1}, 1, 4},
      {{2}, 2, 4},    {{3}, 3, 4}, {{4}, 4, 4}, {{5}, 5, 4},       {{6}, 6, 4}, {{7}, 7, 0},
      {{7, 8}, 8, 0}, {{0}, 1, 0}, {{7}, 3, 3}, {{4}, 2, 0},       {{}, 9, 1},
  };
  id_ = InitCard();
  for (const Case& c : cases) {
    std::string name = "open";
    for (auto t : c.open) name += " " + std::to_string(t);
    SCOPED_TRACE(name + " then " + std::to_string(c.type));
    ASSERT_EQ(VEXA_Reset(id_), 0u);
    for (auto t : c.open) Open(t);
    Open(c.type, c.status);
  }
}

// Outside legacy mode every open sets the channels up anew first, so only legacy mode meets a taken one.
TEST_F(DeviceTypes, a_type_whose_dma_channel_is_taken_cannot_open) {
  id_ = InitCard([](sim::MachineConfig& c) { c.card.legacyMode = true; });
  struct Case {
    std::uint32_t holder;  // allocates its channel, then closes... but the channel stays taken
    std::uint32_t type;
  };
  // Type 6 and type 1 share descriptor 0, type 7 and type 0 descriptor 2.
  const Case cases[] = {{6, 1}, {0, 7}, {7, 0}, {8, 8}};
  std::uint8_t record[34];
  for (const Case& c : cases) {
    SCOPED_TRACE(c.type);
    ASSERT_EQ(VEXA_Reset(id_), 0u);
    for (auto& d : Record(id_).dma) d.inUse = 0;
    const std::uint32_t h = Open(c.holder);
    ASSERT_EQ(VEXA_AllocateDMAChannel(id_, h, record), 0u);
    if (c.holder == c.type) Record(id_).types[c.type].open = 0;
    Open(c.type, 3);
  }
}

TEST_F(DeviceTypes, handles_carry_the_type_and_a_per_process_random_number) {
  id_ = InitCard();
  const std::uint32_t h0 = Open(0);
  const std::uint32_t h5 = Open(5);
  EXPECT_EQ(h0 & 0xFFFF, 0u);
  EXPECT_EQ(h5 & 0xFFFF, 5u);
  EXPECT_EQ(h0 >> 16, 41u) << "the runtime's first rand() from seed 1";
  EXPECT_EQ(h5 >> 16, 18467u);
  EXPECT_EQ(Record(id_).types[5].handle, h5);
  EXPECT_EQ(VEXA_CloseDevice(id_, h5), 0u);
  EXPECT_EQ(Record(id_).types[5].handle, 0xFFFFFFFFu);
  EXPECT_EQ(VEXA_OpenDevice(id_, 0, nullptr), 1u);
  EXPECT_EQ(VEXA_OpenDevice(id_ + 1, 2, nullptr), 1u);
}

TEST_F(DeviceTypes, handles_that_do_not_match) {
  id_ = InitCard();
  const std::uint32_t h = Open(2);
  std::uint8_t record[34];
  std::uint32_t granted = 0;
  struct Case {
    const char* name;
    std::uint32_t handle;
  };
  const Case cases[] = {
      {"stale random part", h ^ 0x10000}, {"type 9", (h & 0xFFFF0000) | 9}, {"type 0xFFFF", 0xFFFF}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(VEXA_CloseDevice(id_, c.handle), 8u);
    EXPECT_EQ(VEXA_LockDevice(id_, c.handle, 0), 8u);
    EXPECT_EQ(VEXA_UnLockDevice(id_, c.handle, 0), 8u);
    EXPECT_EQ(VEXA_AllocateDMAChannel(id_, c.handle, record), 1u);
    EXPECT_EQ(VEXA_FreeDMAChannel(id_, c.handle), 1u);
    EXPECT_EQ(VEXA_SetDMABufferSize(id_, c.handle, 16, &granted), 1u);
  }
  EXPECT_EQ(Record(id_).types[2].open, 1u);
  const std::uint32_t closed = h;
  EXPECT_EQ(VEXA_CloseDevice(id_, closed), 0u);
  EXPECT_EQ(VEXA_CloseDevice(id_, closed), 8u) << "the stored handle is all ones now";
  ASSERT_EQ(VEXA_Reset(id_), 0u);
  EXPECT_EQ(VEXA_CloseDevice(id_, 0), 1u) << "after the reset handle 0 matches type 0, which is closed";
  EXPECT_EQ(VEXA_CloseDevice(id_ + 1, closed), 1u);
}

TEST_F(DeviceTypes, types_7_and_8_share_the_mode_bit_of_direct_register_0) {
  id_ = InitCard();
  const std::uint16_t b = Base();
  const std::uint32_t h7 = Open(7);
  EXPECT_EQ(Bus().Trace(), (std::vector<sim::PortAccess>{In(b, 0x00), Out(b, 0x02)}));
  Bus().ClearTrace();
  const std::uint32_t h8 = Open(8);
  EXPECT_TRUE(Bus().Trace().empty()) << "the bit is set once";
  EXPECT_EQ(VEXA_CloseDevice(id_, h7), 0u);
  EXPECT_TRUE(Bus().Trace().empty());
  EXPECT_EQ(Card().Direct(0), 0x02);
  EXPECT_EQ(VEXA_CloseDevice(id_, h8), 0u);
  EXPECT_EQ(Bus().Trace(), (std::vector<sim::PortAccess>{In(b, 0x02), Out(b, 0x00)}));
  EXPECT_EQ(Record(id_).mode78, 0u);

  const std::uint32_t again = Open(7);
  Record(id_).mode78 = 0;
  EXPECT_EQ(VEXA_CloseDevice(id_, again), 1u) << "mode flag not set";
}

TEST_F(DeviceTypes, locks_are_counted_per_resource_bit_and_only_the_first_and_last_reach_the_device) {
  id_ = InitCard();
  const std::uint32_t h0 = Open(0);
  const std::uint32_t h1 = Open(1);
  const std::uint32_t h4 = Open(4);
  Vxd().ClearLog();
  EXPECT_EQ(VEXA_LockDevice(id_, h0, 0x11), 0u);
  EXPECT_EQ(VEXA_LockDevice(id_, h1, 0x22), 0u);
  EXPECT_EQ(VEXA_LockDevice(id_, h4, 0x33), 0u);
  EXPECT_EQ(VEXA_LockDevice(id_, h4, 0x33), 10u);
  EXPECT_EQ(Vxd().Codes(), (Codes{0x03, 0x03}));
  EXPECT_EQ(Vxd().Log()[0].input, (std::vector<std::uint8_t>{1, 0, 0, 0, 0x11, 0, 0, 0}));
  EXPECT_EQ(Vxd().Log()[1].input, (std::vector<std::uint8_t>{2, 0, 0, 0, 0x33, 0, 0, 0}));
  EXPECT_EQ(Record(id_).lockCounters, (std::array<std::uint32_t, 5>{2, 2 - 1, 0, 0, 0}));
  Vxd().ClearLog();
  EXPECT_EQ(VEXA_UnLockDevice(id_, h0, 0x44), 0u);
  EXPECT_TRUE(Vxd().Log().empty());
  EXPECT_EQ(VEXA_UnLockDevice(id_, h1, 0x55), 0u);
  EXPECT_EQ(Vxd().Codes(), (Codes{0x04}));
  EXPECT_EQ(Vxd().Log()[0].input, (std::vector<std::uint8_t>{1, 0, 0, 0, 0x55, 0, 0, 0}));
  EXPECT_EQ(VEXA_UnLockDevice(id_, h1, 0), 1u) << "not locked";
  ASSERT_EQ(VEXA_Reset(id_), 0u);
  EXPECT_EQ(VEXA_LockDevice(id_, 0, 0), 9u) << "after the reset handle 0 matches type 0, which is closed";
}

TEST_F(DeviceTypes, refused_lock_and_unlock) {
  id_ = InitCard();
  const std::uint32_t h = Open(2);
  Vxd().Refuse(0x03);
  EXPECT_EQ(VEXA_LockDevice(id_, h, 0), 11u);
  EXPECT_EQ(Record(id_).types[2].locked, 0u);
  EXPECT_EQ(Record(id_).lockCounters[2], 0u);
  Vxd().Allow(0x03);
  ASSERT_EQ(VEXA_LockDevice(id_, h, 0), 0u);
  Vxd().Refuse(0x04);
  EXPECT_EQ(VEXA_UnLockDevice(id_, h, 0), 11u);
  EXPECT_EQ(Record(id_).lockCounters[2], 0u) << "the counter stays lowered";
  EXPECT_EQ(Record(id_).types[2].locked, 1u) << "the entry stays locked";
  EXPECT_EQ(VEXA_UnLockDevice(id_, h, 0), 0u) << "counter already 0: nothing to do";
  EXPECT_EQ(Record(id_).types[2].locked, 1u);
}

TEST_F(DeviceTypes, closing_a_locked_handle_keeps_the_lock_until_unlocked_with_the_new_handle) {
  id_ = InitCard();
  const std::uint32_t first = Open(3);
  ASSERT_EQ(VEXA_LockDevice(id_, first, 0), 0u);
  ASSERT_EQ(VEXA_CloseDevice(id_, first), 0u);
  const std::uint32_t second = Open(3);
  EXPECT_EQ(VEXA_LockDevice(id_, second, 0), 10u);
  EXPECT_EQ(VEXA_UnLockDevice(id_, second, 0), 0u);
  EXPECT_EQ(VEXA_LockDevice(id_, second, 0), 0u);
}

TEST_F(DeviceTypes, dma_channels_are_claimed_sized_and_freed) {
  id_ = InitCard([](sim::MachineConfig& c) { c.card.dmaBufferSize = 0x12000; });
  const std::uint32_t h = Open(8);
  std::uint8_t record[34] = {};
  std::uint32_t granted = 0;
  EXPECT_EQ(VEXA_SetDMABufferSize(id_, h, 0x20000, &granted), 0u);
  EXPECT_EQ(granted, 0x12000u) << "the whole buffer, as a 32-bit size";
  EXPECT_EQ(Record(id_).dma[1].record[0x0C], 0x00);
  EXPECT_EQ(Record(id_).dma[1].record[0x0D], 0x20) << "the descriptor keeps the low 16 bits";
  EXPECT_EQ(VEXA_SetDMABufferSize(id_, h, 0x100, &granted), 0u);
  EXPECT_EQ(granted, 0x100u);
  EXPECT_EQ(VEXA_SetDMABufferSize(id_, h, 0x100, nullptr), 1u);

  EXPECT_EQ(VEXA_FreeDMAChannel(id_, h), 7u);
  EXPECT_EQ(VEXA_AllocateDMAChannel(id_, h, nullptr), 1u);
  EXPECT_EQ(Record(id_).dma[1].inUse, 0u);
  ASSERT_EQ(VEXA_AllocateDMAChannel(id_, h, record), 0u);
  EXPECT_EQ(record[0x0C] | record[0x0D] << 8, 0x100);
  EXPECT_EQ(VEXA_AllocateDMAChannel(id_, h, record), 6u);
  ASSERT_EQ(VEXA_FreeDMAChannel(id_, h), 0u);
  EXPECT_EQ(Record(id_).dma[1].record[0x0C] | Record(id_).dma[1].record[0x0D] << 8, 0x2000)
      << "the full buffer again";
  EXPECT_EQ(Record(id_).types[8].dma, 0u);

  Record(id_).types[8].dmaDescriptor = 4;
  EXPECT_EQ(VEXA_AllocateDMAChannel(id_, h, record), 1u) << "descriptor outside the table";
  EXPECT_EQ(VEXA_SetDMABufferSize(id_, h, 1, &granted), 1u);
}

TEST_F(DeviceTypes, closing_frees_the_dma_channel_and_an_open_outside_legacy_mode_sets_the_channels_up_anew) {
  id_ = InitCard();
  std::uint8_t record[34];
  const std::uint32_t h1 = Open(1);
  ASSERT_EQ(VEXA_AllocateDMAChannel(id_, h1, record), 0u);
  ASSERT_EQ(VEXA_CloseDevice(id_, h1), 0u);
  EXPECT_EQ(Record(id_).dma[0].inUse, 0u);

  const std::uint32_t h6 = Open(6);
  ASSERT_EQ(VEXA_AllocateDMAChannel(id_, h6, record), 0u);
  Vxd().ClearLog();
  Open(5);
  EXPECT_EQ(Vxd().Codes(), (Codes{0x02}));
  EXPECT_EQ(Record(id_).dma[0].inUse, 0u);
  EXPECT_EQ(Record(id_).types[6].dma, 1u) << "the type keeps its flag";
  const std::uint32_t h1again = Open(1);
  EXPECT_EQ(VEXA_AllocateDMAChannel(id_, h1again, record), 0u);
}

TEST_F(DeviceTypes, open_in_legacy_mode_asks_nothing_and_a_refused_refresh_changes_nothing) {
  id_ = InitCard([](sim::MachineConfig& c) { c.card.legacyMode = true; });
  std::uint8_t record[34];
  const std::uint32_t h = Open(6);
  ASSERT_EQ(VEXA_AllocateDMAChannel(id_, h, record), 0u);
  Open(5);
  EXPECT_TRUE(Vxd().Log().empty());
  EXPECT_EQ(Record(id_).dma[0].inUse, 1u);
  Record(id_).hwInfo[0x0E] = 0x99;
  machine_->Config().card.legacyMode = false;
  Record(id_).legacyMode = 0;
  Vxd().Refuse(0x02);
  Open(4);
  EXPECT_EQ(Record(id_).dma[0].inUse, 1u);
  EXPECT_EQ(Record(id_).portCopies[1], 0xE010);
}

TEST_F(DeviceTypes, pipes) {
  id_ = InitCard();
  const std::uint32_t pipe[3] = {0xAAAA, 0x1234, 0x5678};
  const std::uint32_t handle = VEXA_OpenPipe(id_, 0, pipe);
  EXPECT_NE(handle, 0u);
  EXPECT_EQ(Vxd().Log().back().input,
            (std::vector<std::uint8_t>{0x01, 0, 0x36, 0x4A, 0x34, 0x12, 0, 0, 0x78, 0x56, 0, 0}));
  EXPECT_EQ(VEXA_ClosePipe(id_, 0, pipe), 0u);
  EXPECT_EQ(Vxd().Log().back().input, (std::vector<std::uint8_t>{0x01, 0, 0x36, 0x4A, 0x34, 0x12, 0, 0}));
  Vxd().Refuse(0x100);
  Vxd().Refuse(0x101);
  EXPECT_EQ(VEXA_OpenPipe(id_, 0, pipe), 0u);
  EXPECT_EQ(VEXA_ClosePipe(id_, 0, pipe), 1u);
  Vxd().ClearLog();
  EXPECT_EQ(VEXA_OpenPipe(id_, 0, nullptr), 0u);
  EXPECT_EQ(VEXA_ClosePipe(id_, 0, nullptr), 1u);
  EXPECT_EQ(VEXA_OpenPipe(id_ + 1, 0, pipe), 0u);
  EXPECT_EQ(VEXA_ClosePipe(id_ + 1, 0, pipe), 1u);
  EXPECT_TRUE(Vxd().Log().empty());
}

TEST_F(DeviceTypes, a_type_opened_in_one_process_is_open_for_all) {
  id_ = InitCard();
  const std::uint32_t h = Open(3);
  LoadedProcess& other = Load();
  std::uint32_t again = 0;
  EXPECT_EQ(VEXA_OpenDevice(id_, 3, &again), 4u);
  EXPECT_EQ(VEXA_OpenDevice(id_, 4, &again), 3u);
  EXPECT_EQ(VEXA_CloseDevice(id_, h), 0u) << "any process may close it";
  EXPECT_EQ(VEXA_OpenDevice(id_, 4, &again), 0u);
  EXPECT_EQ(again >> 16, 41u) << "each process has its own random sequence";
  (void)other;
}

}  // namespace
