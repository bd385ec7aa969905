// The virtual device's services as a caller sees them through DeviceIoControl.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>

#include "sim/card.h"
#include "sim/machine.h"
#include "sim/process.h"
#include "sim/vxd.h"
#include "tests/support/test_folder.h"

namespace {

namespace fs = std::filesystem;

class Vxd : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = j6_testing::TestFolder("j6-vxd");
    fs::remove_all(dir_);
    machine_ = sim::Machine::Create(dir_, sim::MachineConfig::Defaults(platform::WindowsFamily::k95));
    process_ = machine_->StartProcess("a.exe");
    io_ = process_->Os().devices;
    handle_ = io_->Open("\\\\.\\j6cvxd.vxd");
    ASSERT_NE(handle_, platform::kInvalidDeviceHandle);
  }
  void TearDown() override {
    process_.reset();
    machine_.reset();
    fs::remove_all(dir_);
  }
  // Service 0x0F: returns the 4-byte answer, or 0xFFFFFFFF when the request failed.
  std::uint32_t Shared(std::uint32_t what, std::uint32_t address, std::uint32_t size) {
    std::uint32_t in[3] = {what, address, size};
    std::uint32_t out = 0, returned = 0;
    if (!io_->Control(handle_, 0x0F, in, 12, &out, 4, &returned)) return 0xFFFFFFFF;
    EXPECT_EQ(returned, 4u);
    return out;
  }
  sim::VirtualDevice& Device() { return machine_->Get<sim::VirtualDevice>(); }

  fs::path dir_;
  std::unique_ptr<sim::Machine> machine_;
  std::unique_ptr<sim::Process> process_;
  platform::DeviceIo* io_ = nullptr;
  platform::DeviceHandle handle_ = 0;
};

TEST_F(Vxd, shared_allocations_come_and_go_and_can_fail) {
  const std::uint32_t address = Shared(1, 0, 100);
  ASSERT_NE(address, 0u);
  EXPECT_EQ(machine_->Memory().RegionAt(address)->owner, "vxd.shared");
  EXPECT_EQ(Device().SharedAllocations(), 1u);
  EXPECT_EQ(Shared(2, address, 100), 1u);
  EXPECT_EQ(Shared(2, address, 100), 0u) << "freed twice";
  EXPECT_FALSE(machine_->Memory().Contains(address, 1));
  machine_->GetFaults().Arm(sim::fault::kSharedAlloc);
  EXPECT_EQ(Shared(1, 0, 100), 0u);
  EXPECT_EQ(Shared(3, 0, 0), 0xFFFFFFFFu) << "no such request";
}

TEST_F(Vxd, every_request_is_logged_and_any_can_be_refused) {
  std::uint8_t out[8] = {};
  std::uint32_t returned = 99;
  EXPECT_TRUE(io_->Control(handle_, 0x01, nullptr, 0, out, 8, &returned));
  Device().Refuse(0x01);
  EXPECT_FALSE(io_->Control(handle_, 0x01, nullptr, 0, out, 8, &returned));
  EXPECT_EQ(returned, 0u);
  Device().Allow(0x01);
  machine_->GetFaults().Arm(sim::fault::kDeviceRequest);
  EXPECT_FALSE(io_->Control(handle_, 0x01, nullptr, 0, out, 8, &returned));
  EXPECT_TRUE(io_->Control(handle_, 0x01, nullptr, 0, out, 8, &returned));
  EXPECT_FALSE(io_->Control(handle_, 0x99, nullptr, 0, out, 8, &returned)) << "unknown service";
  EXPECT_FALSE(io_->Control(handle_, 0x06, nullptr, 0, out, 8, &returned)) << "input too short";
  ASSERT_EQ(Device().Log().size(), 6u);
  EXPECT_EQ(Device().Log()[0].process, process_->Id());
  EXPECT_TRUE(Device().Log()[0].ok);
  EXPECT_FALSE(Device().Log()[1].ok);

  EXPECT_TRUE(io_->Close(handle_));
  EXPECT_FALSE(io_->Control(handle_, 0x01, nullptr, 0, out, 8, &returned)) << "closed handle";
  EXPECT_EQ(Device().Log().size(), 6u);
  EXPECT_EQ(io_->Open("\\\\.\\OTHER.VXD"), platform::kInvalidDeviceHandle);
}

TEST_F(Vxd, hardware_information_follows_machine_json) {
  auto& card = machine_->Config().card;
  const auto block = Device().HardwareInfo();
  ASSERT_EQ(block.size(), 136u);
  EXPECT_EQ(block[0], 136);
  EXPECT_EQ(block[0x05], 0x02) << "native mode";
  EXPECT_EQ(block[0x08] | block[0x09] << 8, card.basePort);
  EXPECT_EQ(block[0x15], card.irq);
  EXPECT_EQ(block[0x18], card.dma[1]);
  EXPECT_EQ(block[0x70], 1) << "General MIDI ROM";
}

TEST(Card, a_burst_of_register_0x12_counts_only_when_complete) {
  sim::PortBus bus;
  sim::CardConfig config;
  sim::Card card(bus, config);
  const std::uint16_t b = config.basePort;
  bus.Out8(b + 4, 0x52);
  for (int i = 0; i < 16; ++i) bus.Out8(b + 5, 0x66);
  bus.Out8(b + 4, 0x12);
  EXPECT_EQ(card.Indexed(0x12), 0);
  EXPECT_EQ(card.BrokenBursts(), 1);
  bus.Out8(b + 4, 0x52);
  for (int i = 0; i < 17; ++i) bus.Out8(b + 5, 0x66);
  bus.Out8(b + 4, 0x12);
  EXPECT_EQ(card.Indexed(0x12), 0x66);
  EXPECT_EQ(card.BrokenBursts(), 1);
}

TEST(Card, the_midi_interface_acknowledges_reset_and_uart_mode) {
  sim::PortBus bus;
  sim::CardConfig config;
  sim::Card card(bus, config);
  EXPECT_EQ(bus.In8(0x331) & 0x80, 0x80) << "nothing to read";
  bus.Out8(0x331, 0xFF);
  bus.Out8(0x331, 0x3F);
  EXPECT_EQ(bus.In8(0x331) & 0xC0, 0x00);
  EXPECT_EQ(bus.In8(0x330), 0xFE);
  EXPECT_EQ(bus.In8(0x330), 0xFE);
  bus.Out8(0x330, 0x90);
  EXPECT_EQ(card.MidiCommands(), (std::vector<std::uint8_t>{0xFF, 0x3F}));
  EXPECT_EQ(card.MidiData(), (std::vector<std::uint8_t>{0x90}));
}

TEST(Card, a_machine_without_the_card_answers_no_port) {
  sim::PortBus bus;
  sim::CardConfig config;
  config.kind = sim::CardKind::kNone;
  sim::Card card(bus, config);
  EXPECT_FALSE(card.Present());
  EXPECT_EQ(bus.In8(config.basePort + 5), 0xFF);
}

}  // namespace
