// Library load and unload, the shared device table, VEXA_Initialize / VEXA_Exit / VEXA_Reset.
#include <cstring>

#include "hal_fixture.h"

namespace {

using namespace haltest;
using Codes = std::vector<std::uint32_t>;

class Frame : public SimPc {};

TEST_F(Frame, attach_opens_the_device_and_fetches_the_common_block_detach_closes_only_the_handle) {
  Boot();
  LoadedProcess& p = Load();
  EXPECT_TRUE(p.library->Loaded());
  EXPECT_NE(p.context.hJ6CVXD, platform::kInvalidDeviceHandle);
  EXPECT_EQ(p.process->Devices().OpenHandles(), 1u);
  EXPECT_EQ(shared_.glpDls, Vxd().CommonBlock());
  ASSERT_EQ(Vxd().Log().size(), 1u);
  EXPECT_EQ(Vxd().Log()[0].code, 0x0Cu);
  EXPECT_EQ(Vxd().Log()[0].input, (std::vector<std::uint8_t>{0x3C, 0x54, 0, 0}));

  p.library.reset();
  EXPECT_EQ(p.context.hJ6CVXD, platform::kInvalidDeviceHandle);
  EXPECT_EQ(p.process->Devices().OpenHandles(), 0u);
  EXPECT_EQ(shared_.glpDls, Vxd().CommonBlock()) << "detach leaves the shared section alone";
}

TEST_F(Frame, a_process_without_the_device_still_loads_and_nulls_the_common_block_for_everyone) {
  Boot();
  LoadedProcess& first = Load();
  ASSERT_NE(shared_.glpDls, 0u);
  LoadedProcess& second = Load([](sim::Process& p) { p.Os().devices = nullptr; });
  EXPECT_TRUE(second.library->Loaded());
  EXPECT_EQ(second.context.hJ6CVXD, platform::kInvalidDeviceHandle);
  EXPECT_EQ(shared_.glpDls, 0u);

  std::uint32_t id = 0;
  EXPECT_EQ(VEXA_Initialize(1, &id), 2u) << "every request fails without a handle";
  Select(first);
  EXPECT_EQ(VEXA_Initialize(1, &id), 0u) << "the first process keeps its own handle";
}

TEST_F(Frame, a_machine_without_the_card_cannot_open_the_device) {
  Boot([](sim::MachineConfig& c) { c.card.kind = sim::CardKind::kNone; });
  LoadedProcess& p = Load();
  EXPECT_TRUE(p.library->Loaded());
  EXPECT_EQ(p.context.hJ6CVXD, platform::kInvalidDeviceHandle);
  EXPECT_EQ(shared_.glpDls, 0u);
}

class RecordingThunk : public platform::Thunk {
 public:
  bool Connect32(void* data, const char* data16, const char* lib16, const char* lib32,
                 std::uintptr_t instance, std::uint32_t reason) override {
    EXPECT_NE(data, nullptr);
    EXPECT_STREQ(data16, "thk_ThunkData16");
    EXPECT_STREQ(lib16, "j6thunk.dll");
    EXPECT_STREQ(lib32, "j6base.dll");
    EXPECT_EQ(instance, 0x10000000u);
    reasons.push_back(reason);
    return answer;
  }
  void Prolog() override {}
  void Epilog() override {}
  std::uint32_t MapSLFix(std::uint32_t p) override { return p; }
  void UnMapSLFixArray(std::uint32_t, const std::uint32_t*) override {}
  std::vector<std::uint32_t> reasons;
  bool answer = true;
};

TEST_F(Frame, every_entry_reason_connects_the_thunk_and_its_answer_decides_the_load) {
  Boot();
  RecordingThunk thunk;
  LoadedProcess& p = Load([&](sim::Process& proc) { proc.Os().thunk = &thunk; });
  EXPECT_TRUE(p.library->Loaded());
  EXPECT_EQ(j6base::LibMain(0x10000000, j6base::kThreadAttach, nullptr), 1u);
  thunk.answer = false;
  EXPECT_EQ(j6base::LibMain(0x10000000, j6base::kThreadDetach, nullptr), 0u);
  EXPECT_EQ(p.context.hJ6CVXD == platform::kInvalidDeviceHandle, false) << "thread reasons leave the handle";
  p.library.reset();
  EXPECT_EQ(thunk.reasons, (std::vector<std::uint32_t>{1, 2, 3, 0}));

  LoadedProcess& refused = Load([&](sim::Process& proc) { proc.Os().thunk = &thunk; });
  EXPECT_FALSE(refused.library->Loaded());
  scope_.reset();
  processes_.clear();  // unload while the thunk still exists
}

TEST_F(Frame, first_initialisation_starts_resets_and_sets_up_the_card_later_ones_only_count) {
  Boot();
  Load();
  std::uint32_t id = 0;
  ASSERT_EQ(VEXA_Initialize(1, &id), 0u);
  EXPECT_EQ(id, machine_->Config().card.deviceId);
  // Then the DLS engine starts: the ROM's drum table (0x10) and the sample memory address (0x0A).
  EXPECT_EQ(Vxd().Codes(), (Codes{0x0C, 0x01, 0x06, 0x02, 0x10, 0x0A}));
  EXPECT_EQ(shared_.uHWInstsCnt, 1u);
  auto& r = Record(id);
  EXPECT_EQ(r.refCount, 1u);
  EXPECT_EQ(r.basePort, 0xE000);
  EXPECT_EQ(r.indexPort, 0xE004);
  EXPECT_EQ(r.dataPort, 0xE005);
  EXPECT_EQ(r.wideIndexLowPort, 0xE008);
  EXPECT_EQ(r.wideDataHighPort, 0xE00B);
  EXPECT_EQ(r.portCopies, (std::array<std::uint16_t, 4>{0x388, 0xE010, 0x331, 0x201}));
  EXPECT_EQ(r.irq, 5);
  EXPECT_EQ(r.legacyMode, 0u);
  EXPECT_EQ(r.types[0].dmaDescriptor, 2u);
  EXPECT_EQ(r.types[8].dmaDescriptor, 1u);
  EXPECT_EQ(r.dma[1].channel, 5);
  EXPECT_FALSE(Bus().Trace().empty()) << "the reset ran";

  Bus().ClearTrace();
  Vxd().ClearLog();
  std::uint32_t again = 0;
  ASSERT_EQ(VEXA_Initialize(1, &again), 0u);
  EXPECT_EQ(again, id);
  EXPECT_EQ(Vxd().Codes(), (Codes{0x06, 0x02})) << "no start request while a card is initialised";
  EXPECT_TRUE(Bus().Trace().empty()) << "no second reset";
  EXPECT_EQ(r.refCount, 2u);
  EXPECT_EQ(shared_.uHWInstsCnt, 1u);

  EXPECT_EQ(VEXA_Exit(id), 0u);
  EXPECT_EQ(r.deviceId, id);
  EXPECT_EQ(shared_.uHWInstsCnt, 1u);
  EXPECT_EQ(VEXA_Exit(id), 0u);
  EXPECT_EQ(r.deviceId, 0u);
  EXPECT_EQ(shared_.uHWInstsCnt, 0u);
  EXPECT_EQ(VEXA_Exit(id), 1u);
  EXPECT_EQ(VEXA_Exit(0), 1u) << "identifier 0 never names a card, not even a free record";
}

TEST_F(Frame, initialisation_failures) {
  struct Case {
    const char* name;
    std::uint32_t refuse;  // service to refuse, 0 for none
    bool nullOut;
    std::uint32_t key;
    std::uint32_t status;
    Codes codes;
    bool claimed;  // the record holds the identifier with reference count 0
  };
  const Case cases[] = {
      {"start refused", 0x01, false, 1, 2, {0x01}, false},
      {"identifier refused", 0x06, false, 1, 2, {0x01, 0x06}, false},
      {"unknown hardware key", 0, false, 99, 2, {0x01, 0x06}, false},
      {"hardware information refused", 0x02, false, 1, 2, {0x01, 0x06, 0x02}, true},
      {"null identifier pointer", 0, true, 1, 1, {}, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    shared_ = j6base::SharedSection{};
    if (!machine_) Boot();
    if (processes_.empty()) Load();
    Vxd().ClearLog();
    if (c.refuse) Vxd().Refuse(c.refuse);
    std::uint32_t id = 0xDEADBEEF;
    EXPECT_EQ(VEXA_Initialize(c.key, c.nullOut ? nullptr : &id), c.status);
    if (c.refuse) Vxd().Allow(c.refuse);
    EXPECT_EQ(Vxd().Codes(), c.codes);
    EXPECT_EQ(id, 0xDEADBEEFu);
    EXPECT_EQ(shared_.uHWInstsCnt, 0u);
    const auto& first = shared_.gVexaHWInst[0];
    EXPECT_EQ(first.deviceId, c.claimed ? machine_->Config().card.deviceId : 0u);
    EXPECT_EQ(first.refCount, 0u);
  }
}

TEST_F(Frame, a_claimed_record_is_freed_by_exit_without_touching_the_count_and_taken_again_by_init) {
  std::uint32_t id = InitCard();
  Vxd().AddIdentity(2, 0x77);
  Vxd().Refuse(0x02);
  std::uint32_t other = 0;
  EXPECT_EQ(VEXA_Initialize(2, &other), 2u);
  Vxd().Allow(0x02);
  ASSERT_NE(j6base::DeviceIDToHardwareInstance(0x77), nullptr);
  EXPECT_EQ(VEXA_Initialize(2, &other), 0u) << "the claimed record becomes initialised";
  EXPECT_EQ(shared_.uHWInstsCnt, 2u);
  EXPECT_EQ(VEXA_Exit(other), 0u);

  Vxd().Refuse(0x02);
  EXPECT_EQ(VEXA_Initialize(2, &other), 2u);
  EXPECT_EQ(VEXA_Exit(0x77), 0u);
  EXPECT_EQ(j6base::DeviceIDToHardwareInstance(0x77), nullptr);
  EXPECT_EQ(shared_.uHWInstsCnt, 1u);
  EXPECT_EQ(VEXA_Exit(id), 0u);
  EXPECT_EQ(shared_.uHWInstsCnt, 0u);
}

TEST_F(Frame, a_fifth_card_finds_no_record_and_leaves_the_table_unchanged) {
  Boot();
  Load();
  for (std::uint32_t key = 2; key <= 5; ++key) Vxd().AddIdentity(key, 0x100 + key);
  std::uint32_t id = 0;
  for (std::uint32_t key = 2; key <= 5; ++key) ASSERT_EQ(VEXA_Initialize(key, &id), 0u);
  const auto before = shared_.gVexaHWInst;
  EXPECT_EQ(VEXA_Initialize(1, &id), 1u);
  EXPECT_EQ(shared_.uHWInstsCnt, 4u);
  for (std::size_t i = 0; i < before.size(); ++i) {
    EXPECT_EQ(shared_.gVexaHWInst[i].deviceId, before[i].deviceId);
    EXPECT_EQ(shared_.gVexaHWInst[i].refCount, before[i].refCount);
  }
}

TEST_F(Frame, processes_share_one_device_table_each_through_its_own_handle) {
  Boot();
  LoadedProcess& a = Load();
  std::uint32_t id = 0;
  ASSERT_EQ(VEXA_Initialize(1, &id), 0u);
  LoadedProcess& b = Load();
  Vxd().ClearLog();
  std::uint32_t same = 0;
  ASSERT_EQ(VEXA_Initialize(1, &same), 0u);
  EXPECT_EQ(same, id);
  EXPECT_EQ(Record(id).refCount, 2u);
  EXPECT_EQ(Vxd().Log().front().process, b.process->Id());
  b.library.reset();
  Select(a);
  EXPECT_EQ(VEXA_Exit(id), 0u);
  EXPECT_EQ(VEXA_Exit(id), 0u);
  EXPECT_EQ(shared_.uHWInstsCnt, 0u);
}

TEST_F(Frame, reset_runs_its_exact_register_sequence_and_clears_the_type_entries) {
  std::uint32_t id = InitCard([](sim::MachineConfig& c) { c.card.resetValue = 0x1C7; });
  Card().SetIndexed(0x30, 0xA1);
  Card().SetIndexed(0x31, 0xA2);
  Card().SetIndexed(0x0E, 0x11);
  Card().SetIndexed(0x0F, 0x22);
  auto& r = Record(id);
  r.types[3] = {0x12340003, 2, 1, 1, 1};
  r.mode78 = 1;
  const std::uint16_t b = Base();
  const std::uint64_t readsBefore = machine_->Clock().Reads();
  const std::uint32_t before = machine_->Clock().Now();

  ASSERT_EQ(VEXA_Reset(id), 0u);
  const std::vector<sim::PortAccess> expected = {
      Out(b + 4, 0x30), In(b + 5, 0xA1),  Out(b + 4, 0x31), In(b + 5, 0xA2),  // remember 0x30, 0x31
      Out(b + 4, 0x0E), Out(b + 5, 0x9F), Out(b + 4, 0x0F), Out(b + 5, 0x9F), Out(b + 4, 0x30),
      Out(b + 5, 0x00), Out(b + 4, 0x31), Out(b + 5, 0x00), In(b + 0, 0x00),  // after 100 ms
      Out(b + 4, 0x09), Out(b + 5, 0xC7),                                     // block word 0x20
      Out(b + 4, 0x0E), In(b + 5, 0x9F),  Out(b + 4, 0x0F), In(b + 5, 0x9F),  Out(b + 4, 0x0E),
      Out(b + 5, 0x9F), Out(b + 4, 0x0F), Out(b + 5, 0x9F), Out(b + 4, 0x30), Out(b + 5, 0xA1),
      Out(b + 4, 0x31), Out(b + 5, 0xA2), Out(b + 4, 0x0E), Out(b + 5, 0x9F), Out(b + 4, 0x0F),
      Out(b + 5, 0x9F),  // after 200 ms
  };
  EXPECT_EQ(Bus().Trace(), expected);
  EXPECT_GE(machine_->Clock().Now() - before, 300u);
  EXPECT_GT(machine_->Clock().Reads() - readsBefore, 300u) << "busy waited on the clock";
  EXPECT_EQ(r.types[3].handle, 0u);
  EXPECT_EQ(r.types[3].open, 0u);
  EXPECT_EQ(r.types[3].locked, 0u);
  EXPECT_EQ(r.types[3].dmaDescriptor, 2u);
  EXPECT_EQ(r.types[3].dma, 1u);
  EXPECT_EQ(r.mode78, 0u);
  EXPECT_EQ(VEXA_Reset(0x999), 1u);
}

TEST_F(Frame, delay_busy_waits_on_the_clock_and_zero_returns_at_once) {
  Boot();
  Load();
  auto& clock = machine_->Clock();
  std::uint64_t reads = clock.Reads();
  j6base::VEXA_DelayMS(0);
  EXPECT_EQ(clock.Reads() - reads, 2u);
  const std::uint32_t start = clock.Now();
  j6base::VEXA_DelayMS(100);
  EXPECT_GE(clock.Now() - start, 100u);
}

TEST_F(Frame, exports_refuse_without_a_calling_process) {
  std::uint32_t id = 0;
  EXPECT_EQ(VEXA_Initialize(1, &id), 1u);
  EXPECT_EQ(VEXA_Exit(1), 1u);
  EXPECT_EQ(VEXA_GetRegister(1, 0, 0), 1u);
}

}  // namespace
