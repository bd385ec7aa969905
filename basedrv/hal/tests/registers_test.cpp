// Register groups, on-board memory transfers and their port sequences.
#include "hal_fixture.h"

namespace {

using namespace haltest;
using Trace = std::vector<sim::PortAccess>;

class Registers : public SimPc {};

TEST_F(Registers, each_group_reaches_the_card_with_its_exact_port_sequence) {
  const std::uint32_t id = InitCard();
  const std::uint16_t b = Base();
  struct Case {
    const char* name;
    std::function<void()> call;
    Trace trace;
  };
  const Case cases[] = {
      {"direct write", [&] { VEXA_SetRegister(id, 0, 3, 0x1A5); }, {Out(b + 3, 0xA5)}},
      {"direct read", [&] { EXPECT_EQ(VEXA_GetRegister(id, 0, 3), 0xA5); }, {In(b + 3, 0xA5)}},
      {"indexed write", [&] { VEXA_SetRegister(id, 1, 0x130, 0x77); }, {Out(b + 4, 0x30), Out(b + 5, 0x77)}},
      {"indexed read",
       [&] { EXPECT_EQ(VEXA_GetRegister(id, 1, 0x30), 0x77); },
       {Out(b + 4, 0x30), In(b + 5, 0x77)}},
      {"indexed 0x13 write leaves index 0",
       [&] { VEXA_SetRegister(id, 1, 0x13, 0x05); },
       {Out(b + 4, 0x13), Out(b + 5, 0x05), Out(b + 4, 0x00)}},
      {"indexed 0x13 read leaves index 0",
       [&] { EXPECT_EQ(VEXA_GetRegister(id, 1, 0x13), 0x05); },
       {Out(b + 4, 0x13), In(b + 5, 0x05), Out(b + 4, 0x00)}},
      {"wide write: index low, high, data low, high",
       [&] { VEXA_SetRegister(id, 2, 0x0102, 0xBEEF); },
       {Out(b + 8, 0x02), Out(b + 9, 0x01), Out(b + 10, 0xEF), Out(b + 11, 0xBE)}},
      {"wide read: high data byte first",
       [&] { EXPECT_EQ(VEXA_GetRegister(id, 2, 0x0102), 0xFFFF) << "no wide register 0x102"; },
       {Out(b + 8, 0x02), Out(b + 9, 0x01), In(b + 11, 0xFF), In(b + 10, 0xFF)}},
      {"wide register 0 round trip",
       [&] {
         VEXA_SetRegister(id, 2, 0, 0x1234);
         EXPECT_EQ(VEXA_GetRegister(id, 2, 0), 0x1234);
       },
       {Out(b + 8, 0), Out(b + 9, 0), Out(b + 10, 0x34), Out(b + 11, 0x12), Out(b + 8, 0), Out(b + 9, 0),
        In(b + 11, 0x12), In(b + 10, 0x34)}},
      {"unknown group: nothing",
       [&] {
         VEXA_SetRegister(id, 3, 0, 1);
         EXPECT_EQ(VEXA_GetRegister(id, 3, 0), 0xFFFF);
       },
       {}},
      {"no record: nothing, and reads give 1",
       [&] {
         VEXA_SetRegister(id + 1, 0, 0, 1);
         EXPECT_EQ(VEXA_GetRegister(id + 1, 1, 0x30), 1);
       },
       {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Bus().ClearTrace();
    c.call();
    EXPECT_EQ(Bus().Trace(), c.trace);
  }
  EXPECT_EQ(Card().IndexLatch(), 0x00);
  EXPECT_EQ(Card().Wide(0), 0x1234);
}

TEST_F(Registers, indexed_register_0x12_is_written_as_a_burst_of_seventeen) {
  const std::uint32_t id = InitCard();
  const std::uint16_t b = Base();
  VEXA_SetRegister(id, 1, 0x12, 0x55);
  Trace expected = {Out(b + 4, 0x52)};
  for (int i = 0; i < 17; ++i) expected.push_back(Out(b + 5, 0x55));
  expected.push_back(Out(b + 4, 0x12));
  EXPECT_EQ(Bus().Trace(), expected);
  EXPECT_EQ(Card().Indexed(0x12), 0x55);
  EXPECT_EQ(Card().BrokenBursts(), 0);
}

class Memory : public SimPc {
 protected:
  // Port accesses of one wide register write / read.
  Trace WideOut(std::uint16_t index, std::uint16_t value) {
    const std::uint16_t b = Base();
    return {Out(b + 8, index & 0xFF), Out(b + 9, index >> 8), Out(b + 10, value & 0xFF),
            Out(b + 11, value >> 8)};
  }
  Trace WideIn(std::uint16_t index, std::uint16_t value) {
    const std::uint16_t b = Base();
    return {Out(b + 8, index & 0xFF), Out(b + 9, index >> 8), In(b + 11, value >> 8),
            In(b + 10, value & 0xFF)};
  }
  static void Append(Trace& to, const Trace& more) { to.insert(to.end(), more.begin(), more.end()); }
};

TEST_F(Memory, words_round_trip_through_each_memory_and_stay_apart) {
  const std::uint32_t id = InitCard([](sim::MachineConfig& c) { c.card.busyPolls = 3; });
  for (std::uint32_t m = 0; m < 3; ++m) {
    const std::uint16_t words[] = {std::uint16_t(0x1100 + m), 0x2233, 0x4455};
    VEXA_WriteMemoryBlock(id, m, 0x0100, words, 3);
  }
  for (std::uint32_t m = 0; m < 3; ++m) {
    SCOPED_TRACE(m);
    std::uint16_t back[3] = {};
    VEXA_ReadMemoryBlock(id, m, 0x0100, back, 3);
    EXPECT_EQ(back[0], 0x1100 + m);
    EXPECT_EQ(back[2], 0x4455);
    EXPECT_EQ(Card().Memory(int(m))[0x100], 0x00 + m);
    EXPECT_EQ(Card().Memory(int(m))[0x101], 0x11);
  }
  EXPECT_EQ(Card().Wide(3) & 0x0380, 0) << "every memory deselected afterwards";
}

TEST_F(Memory, a_one_word_write_and_read_follow_the_exact_sequence_with_busy_polling) {
  const std::uint32_t id = InitCard([](sim::MachineConfig& c) { c.card.busyPolls = 2; });
  const std::uint16_t word = 0xCAFE;
  VEXA_WriteMemoryBlock(id, 1, 0xFFFE, &word, 1);
  Trace expected = WideIn(3, 0x0000);
  Append(expected, WideOut(3, 0x0120));
  Append(expected, WideOut(0, 0xFFFE));
  Append(expected, WideOut(1, 0xCAFE));
  Append(expected, WideOut(3, 0x0124));
  Append(expected, WideIn(3, 0x0124));  // busy
  Append(expected, WideIn(3, 0x0124));  // busy, clears on this poll
  Append(expected, WideIn(3, 0x0120));
  Append(expected, WideOut(3, 0x0000));
  EXPECT_EQ(Bus().Trace(), expected);
  EXPECT_EQ(Card().Memory(1)[0xFFFE], 0xFE);
  EXPECT_EQ(Card().Memory(1)[0xFFFF], 0xCA);

  Bus().ClearTrace();
  Card().SetBusyPolls(0);
  std::uint16_t back[2] = {};
  VEXA_ReadMemoryBlock(id, 1, 0xFFFE, back, 2);
  expected = WideIn(3, 0x0000);
  Append(expected, WideOut(3, 0x0120));
  Append(expected, WideOut(0, 0xFFFE));
  Append(expected, WideOut(3, 0x0122));
  Append(expected, WideIn(3, 0x0120));
  Append(expected, WideIn(1, 0xCAFE));
  Append(expected, WideOut(0, 0x0000));  // the address wraps
  Append(expected, WideOut(3, 0x0122));
  Append(expected, WideIn(3, 0x0120));
  Append(expected, WideIn(1, 0x0000));
  Append(expected, WideOut(3, 0x0000));
  EXPECT_EQ(Bus().Trace(), expected);
  EXPECT_EQ(back[0], 0xCAFE);
}

TEST_F(Memory, transfers_that_move_nothing) {
  const std::uint32_t id = InitCard();
  std::uint16_t buffer[2] = {0x1111, 0x2222};
  struct Case {
    const char* name;
    std::function<void()> call;
    std::size_t accesses;
  };
  const Case cases[] = {
      {"count 0 only selects and deselects", [&] { VEXA_ReadMemoryBlock(id, 2, 0, buffer, 0); }, 12},
      {"memory 3", [&] { VEXA_ReadMemoryBlock(id, 3, 0, buffer, 2); }, 0},
      {"no record", [&] { VEXA_WriteMemoryBlock(id + 1, 0, 0, buffer, 2); }, 0},
      {"null read buffer", [&] { VEXA_ReadMemoryBlock(id, 0, 0, nullptr, 2); }, 0},
      {"null write buffer", [&] { VEXA_WriteMemoryBlock(id, 0, 0, nullptr, 2); }, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Bus().ClearTrace();
    c.call();
    EXPECT_EQ(Bus().Trace().size(), c.accesses);
  }
  EXPECT_EQ(buffer[0], 0x1111);
}

TEST_F(Memory, a_card_that_never_clears_its_busy_bit_does_not_hang_the_caller) {
  const std::uint32_t id =
      InitCard([](sim::MachineConfig& c) { c.card.busyPolls = sim::Card::kNeverClears; });
  Bus().SetTracing(false);
  std::uint16_t words[4] = {1, 2, 3, 4};
  VEXA_WriteMemoryBlock(id, 0, 0, words, 4);
  EXPECT_EQ(Card().Memory(0)[0], 1) << "the first word went out before the card stuck";
  EXPECT_EQ(Card().Memory(0)[2], 0) << "the transfer stopped";
  std::uint16_t back[2] = {0xAAAA, 0xBBBB};
  VEXA_ReadMemoryBlock(id, 0, 0, back, 2);
  EXPECT_EQ(back[0], 0xAAAA) << "a word that never arrived is not stored";
  EXPECT_EQ(Card().Wide(3) & 0x0200, 0) << "the memory is deselected after giving up";
}

}  // namespace
