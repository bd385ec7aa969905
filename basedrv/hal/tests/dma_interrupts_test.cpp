// DMA channel descriptors and the interrupt hook.
#include <cstring>

#include "hal_fixture.h"

namespace {

using namespace haltest;
using Bytes = std::vector<std::uint8_t>;
using Codes = std::vector<std::uint32_t>;

class Dma : public SimPc {
 protected:
  j6base::LeBytes Rec(std::uint32_t id, int descriptor) { return Record(id).dma[descriptor].Record(); }
};

TEST_F(Dma, legacy_mode_uses_the_pc_dma_controllers_ports_and_word_addresses_for_descriptors_1_and_2) {
  const std::uint32_t id = InitCard([](sim::MachineConfig& c) {
    c.card.legacyMode = true;
    c.card.dma[0] = 1;
    c.card.dma[1] = 5;
    c.card.dma[2] = 9;  // no such channel on a PC
    c.card.dmaBufferPhys[0] = 0x00131234;
    c.card.dmaBufferPhys[1] = 0x00131234;
    c.card.dmaBufferPhys[2] = 0x00150000;
  });
  struct Case {
    int descriptor;
    std::uint8_t channel;
    std::uint32_t start;
    std::uint16_t page;
    Bytes ports;  // base, count, page, mask, mode, clear
  };
  const Case cases[] = {
      {0, 1, 0x00131234, 0x13, {0x02, 0x03, 0x83, 0x0A, 0x0B, 0x0C}},
      {1, 5, 0x0009891A, 0x12, {0xC4, 0xC6, 0x8B, 0xD4, 0xD6, 0xD8}},
      {2, 9, 0x000A8000, 0x14, {0, 0, 0, 0, 0, 0}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.descriptor);
    auto& d = Record(id).dma[c.descriptor];
    auto rec = Rec(id, c.descriptor);
    EXPECT_EQ(d.channel, c.channel);
    EXPECT_EQ(d.inUse, 0u);
    EXPECT_EQ(rec.U32(0x00), std::uint32_t(0x0107 + 8 * c.descriptor) << 16);
    EXPECT_EQ(rec.U32(0x04), c.start);
    EXPECT_EQ(rec.U32(0x08), Record(id).HwInfo().U32(0x26 + 18 * c.descriptor + 4));
    EXPECT_NE(rec.U32(0x08), 0u);
    EXPECT_EQ(rec.U16(0x0C), 0x8000);
    EXPECT_EQ(rec.U16(0x0E), c.page);
    EXPECT_EQ(rec.U32(0x10), c.channel);
    EXPECT_EQ(Bytes(d.record.begin() + 0x14, d.record.begin() + 0x1A), c.ports);
    EXPECT_EQ(Bytes(d.record.begin() + 0x1A, d.record.end()), Bytes(8, 0));
  }
  EXPECT_EQ(Record(id).dma[3].record, (std::array<std::uint8_t, 34>{})) << "descriptor 3 is not touched";
  EXPECT_EQ(Record(id).legacyMode, 1u);
}

TEST_F(Dma, outside_legacy_mode_the_ports_are_the_cards_own_register_block) {
  const std::uint32_t id = InitCard([](sim::MachineConfig& c) {
    c.card.dmaRegBases[1] = 0xD100;
    c.card.dmaBufferPhys[1] = 0x00131234;
  });
  auto rec = Rec(id, 1);
  EXPECT_EQ(Record(id).dma[1].regBase, 0xD100);
  EXPECT_EQ(rec.U32(0x04), 0x00131234u) << "byte addresses outside legacy mode";
  EXPECT_EQ(rec.U16(0x0E), 0x13);
  const std::uint16_t offsets[9] = {0, 2, 4, 6, 8, 9, 0x0B, 0x0D, 0x0F};
  for (int k = 0; k < 9; ++k) EXPECT_EQ(rec.U16(0x10 + 2 * k), 0xD100 + offsets[k]) << k;
}

TEST_F(Dma, an_allocated_channel_copies_the_34_byte_record) {
  const std::uint32_t id = InitCard();
  std::uint32_t handle = 0;
  ASSERT_EQ(VEXA_OpenDevice(id, 0, &handle), 0u);
  std::uint8_t out[36];
  std::memset(out, 0xEE, sizeof out);
  ASSERT_EQ(VEXA_AllocateDMAChannel(id, handle, out), 0u);
  EXPECT_EQ(Bytes(out, out + 34), Bytes(Record(id).dma[2].record.begin(), Record(id).dma[2].record.end()));
  EXPECT_EQ(out[34], 0xEE);
}

class Interrupts : public SimPc {};

TEST_F(Interrupts, the_hook_is_set_by_the_first_attach_and_removed_with_the_last_callback) {
  const std::uint32_t a = InitCard();
  Vxd().AddIdentity(2, 0x22);
  std::uint32_t b = 0;
  ASSERT_EQ(VEXA_Initialize(2, &b), 0u);
  Vxd().ClearLog();

  EXPECT_EQ(VEXA_AttachIntCallback(a, 0x12345, 0x1F2F0010), 0u);
  EXPECT_EQ(VEXA_AttachIntCallback(b, 1, 0x1F2F0020), 0u);
  EXPECT_EQ(Vxd().Codes(), (Codes{0x05, 0x07, 0x07}));
  EXPECT_EQ(Vxd().Log()[0].input.size(), 32u);
  EXPECT_EQ(Vxd().Log()[0].input[0], 1);
  ASSERT_EQ(Vxd().Callbacks().size(), 2u);
  EXPECT_EQ(Vxd().Callbacks()[0].deviceId, a);
  EXPECT_EQ(Vxd().Callbacks()[0].value, 0x2345u) << "the attach value is 16-bit";
  EXPECT_EQ(Vxd().Callbacks()[0].address, 0x1F2F0010u);
  EXPECT_TRUE(Vxd().InterruptHooked());
  EXPECT_EQ(shared_.gbIntEnabled, 1u);

  Vxd().ClearLog();
  EXPECT_EQ(VEXA_AttachIntCallback(a, 0, 0), 0u);
  EXPECT_TRUE(Vxd().Log().empty()) << "no service 7 on detach, and the other card keeps the hook";
  EXPECT_EQ(VEXA_AttachIntCallback(b, 0, 0), 0u);
  EXPECT_EQ(Vxd().Codes(), (Codes{0x05}));
  EXPECT_EQ(Vxd().Log()[0].input[0], 2);
  EXPECT_FALSE(Vxd().InterruptHooked());
  EXPECT_EQ(shared_.gbIntEnabled, 0u);

  Vxd().ClearLog();
  EXPECT_EQ(VEXA_AttachIntCallback(a, 0, 0), 0u);
  EXPECT_TRUE(Vxd().Log().empty()) << "nothing to unhook";
}

TEST_F(Interrupts, a_refused_hook_is_not_reported_and_still_counts_as_set) {
  const std::uint32_t id = InitCard();
  Vxd().Refuse(0x05);
  Vxd().Refuse(0x07);
  EXPECT_EQ(VEXA_AttachIntCallback(id, 1, 0), 0u);
  EXPECT_EQ(shared_.gbIntEnabled, 1u);
  EXPECT_EQ(VEXA_AttachIntCallback(id, 0, 0), 0u);
  EXPECT_EQ(shared_.gbIntEnabled, 0u);
}

TEST_F(Interrupts, a_detach_on_a_card_that_never_attached_removes_a_hook_nobody_uses) {
  const std::uint32_t id = InitCard();
  shared_.gbIntEnabled = 1;
  EXPECT_EQ(VEXA_AttachIntCallback(id, 0, 0), 0u);
  EXPECT_EQ(Vxd().Codes(), (Codes{0x05}));
  EXPECT_EQ(shared_.gbIntEnabled, 0u);
}

TEST_F(Interrupts, a_card_without_an_interrupt_line_or_record_is_refused) {
  const std::uint32_t id = InitCard([](sim::MachineConfig& c) { c.card.irq = 0; });
  EXPECT_EQ(VEXA_AttachIntCallback(id, 1, 0), 1u);
  EXPECT_EQ(VEXA_AttachIntCallback(id + 1, 1, 0), 1u);
  EXPECT_TRUE(Vxd().Log().empty());
  EXPECT_EQ(shared_.gbIntEnabled, 0u);
}

}  // namespace
