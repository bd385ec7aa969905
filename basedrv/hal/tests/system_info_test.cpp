// System information, the memory settings in the registry, and the DLS engine's service calls.
#include <cstring>

#include "hal_fixture.h"

namespace {

using namespace haltest;
using Bytes = std::vector<std::uint8_t>;

constexpr const char* kDriverKey = "System\\CurrentControlSet\\Services\\VxD\\ORVANTIS";

class SystemInfo : public SimPc {
 protected:
  Bytes Info(std::uint32_t id, std::uint32_t index, std::uint32_t* status = nullptr) {
    std::uint8_t out[24];
    std::memset(out, 0xEE, sizeof out);
    const std::uint32_t s = VEXA_GetSystemInfo(id, index, out);
    if (status) *status = s;
    Bytes bytes(out, out + sizeof out);
    while (!bytes.empty() && bytes.back() == 0xEE) bytes.pop_back();  // what was written
    return bytes;
  }
  std::uint32_t Common(std::uint32_t offset) {
    auto span = machine_->Memory().Map(shared_.glpDls + offset, 4);
    return j6base::LeBytes(span).U32(0);
  }
  platform::Registry& Reg() { return *processes_.front()->process->Os().registry; }
  void MakeDriverKey() {
    platform::HKey key = 0;
    ASSERT_EQ(Reg().CreateKey(platform::kHkeyLocalMachine, kDriverKey, &key), 0u);
    Reg().CloseKey(key);
  }
  // The default value of a sub-key of the driver key, or "(none)" when the key is missing.
  std::string Setting(const std::string& subkey) {
    platform::HKey key = 0;
    if (Reg().OpenKey(platform::kHkeyLocalMachine, (std::string(kDriverKey) + "\\" + subkey).c_str(), &key) !=
        0)
      return "(none)";
    char text[64] = {};
    std::uint32_t size = sizeof text, type = 0;
    Reg().QueryValue(key, nullptr, &type, reinterpret_cast<std::uint8_t*>(text), &size);
    Reg().CloseKey(key);
    return text;
  }
};

TEST_F(SystemInfo, every_index_writes_its_value_and_no_more) {
  const std::uint32_t id = InitCard([](sim::MachineConfig& c) {
    c.card.byte16 = 0x0B;
    c.card.dma[2] = 3;
    c.card.selector6E = 0x0ABC;
  });
  auto& hw = Record(id).hwInfo;
  hw[0x70] = 0x01;
  hw[0x73] = 0x0A;  // bits 25 and 27, as the DLS engine sets them
  const std::uint32_t sample = Vxd().SampleMemory();
  const std::uint32_t gmBytes = shared_.glpDls + 0x3857;
  struct Case {
    std::uint32_t index;
    Bytes bytes;
  };
  const Case cases[] = {
      {0, {0x00, 0xE0}},
      {1, {0x04, 0xE0}},
      {2, {0x88, 0x03}},
      {3, {0x10, 0xE0}},
      {4, {0x31, 0x03}},
      {5, {0x01, 0x02}},
      {6, {5}},
      {7, {0x0B}},
      {8, {0, 0, 0, 0}},
      {9, {1}},
      {10, {5}},
      {11, {3}},
      {12, {0, 0, 0, 0}},
      {13, {1, 0, 0, 0}},
      {14, {0x00, 0x00, 0x20, 0x00}},
      {15, {0, 0, 0, 0}},
      {16, {0x0A, 0, 0, 0}},
      {17,
       {Bytes{std::uint8_t(sample), std::uint8_t(sample >> 8), std::uint8_t(sample >> 16),
              std::uint8_t(sample >> 24)}}},
      {18, {}},
      {19, {}},
      {20,
       {std::uint8_t(gmBytes), std::uint8_t(gmBytes >> 8), std::uint8_t(gmBytes >> 16),
        std::uint8_t(gmBytes >> 24)}},
      {21, {}},
      {24, {0, 0, 0xBC, 0x0A}},
      {0xFFFFFFFF, {}},
  };
  // The DLS engine would fill the common block; the sizes stand in for it here.
  j6base::LeBytes(machine_->Memory().Map(shared_.glpDls, 16)).Set32(8, 0x200000);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.index);
    std::uint32_t status = 99;
    EXPECT_EQ(Info(id, c.index, &status), c.bytes);
    EXPECT_EQ(status, 0u);
  }
  std::uint32_t status = 0;
  EXPECT_EQ(Info(id + 1, 0, &status), Bytes{});
  EXPECT_EQ(status, 1u);
  EXPECT_EQ(VEXA_GetSystemInfo(id, 0, nullptr), 1u);
}

TEST_F(SystemInfo, index_12_describes_the_fourth_buffer_when_the_card_has_one) {
  const std::uint32_t id = InitCard([](sim::MachineConfig& c) {
    c.card.fourthBuffer = true;
    c.card.dmaBufferPhys[3] = 0x00345678;
  });
  std::uint32_t words[6] = {0, 0, 0, 0, 0, 0xEEEEEEEE};
  ASSERT_EQ(VEXA_GetSystemInfo(id, 12, words), 0u);
  auto hw = Record(id).HwInfo();
  EXPECT_EQ(words[0], 1u);
  EXPECT_EQ(words[1], 0x011F0000u);
  EXPECT_EQ(words[2], 0x00345678u);
  EXPECT_EQ(words[3], hw.U32(0x5C + 4));
  EXPECT_EQ(words[4], 0x8000u);
  EXPECT_EQ(words[5], 0xEEEEEEEEu);
}

TEST_F(SystemInfo, without_the_common_block_its_indices_are_refused) {
  const std::uint32_t id = InitCard();
  shared_.glpDls = 0;
  for (std::uint32_t index : {14u, 15u, 20u}) {
    SCOPED_TRACE(index);
    std::uint32_t status = 0;
    EXPECT_EQ(Info(id, index, &status), Bytes{});
    EXPECT_EQ(status, 1u);
  }
  EXPECT_EQ(Info(id, 0), (Bytes{0x00, 0xE0}));
}

TEST_F(SystemInfo, memory_sizes_go_to_the_registry_as_decimal_text_and_to_the_common_block) {
  const std::uint32_t id = InitCard();
  MakeDriverKey();
  struct Case {
    std::uint32_t index;
    std::uint32_t size;
    std::uint32_t status;
    const char* subkey;
    const char* text;  // the setting afterwards
    std::uint32_t field;
    std::uint32_t stored;  // the common block field afterwards
  };
  const Case cases[] = {
      {14, 16777216, 0, "Config\\SysMemDlsRamSize", "16777216", 0x08, 16777216},
      {14, 16777217, 1, "Config\\SysMemDlsRamSize", "16777216", 0x08, 16777216},
      {14, 0, 0, "Config\\SysMemDlsRamSize", "0", 0x08, 0},
      {15, 2097152, 0, "Config\\SysMemGMBankSize", "2097152", 0x0C, 2097152},
      {15, 0xFFFFFFFF, 1, "Config\\SysMemGMBankSize", "2097152", 0x0C, 2097152},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.size);
    EXPECT_EQ(VEXA_SetSystemAttrib(id, c.index, &c.size), c.status);
    EXPECT_EQ(Setting(c.subkey), c.text);
    EXPECT_EQ(Common(c.field), c.stored);
  }
}

TEST_F(SystemInfo, attribute_failures) {
  const std::uint32_t id = InitCard();
  const std::uint32_t size = 4096;
  struct Case {
    const char* name;
    std::function<void()> arrange;
    std::uint32_t id;
    std::uint32_t index;
    const std::uint32_t* value;
    std::uint32_t status;
  };
  const Case cases[] = {
      {"no record", [] {}, id + 1, 14, &size, 1},
      {"unknown attribute", [] {}, id, 16, &size, 3},
      {"no driver key", [] {}, id, 14, &size, 1},
      {"null size", [this] { MakeDriverKey(); }, id, 15, nullptr, 1},
      {"null switch", [] {}, id, 19, nullptr, 1},
      {"registry write fails", [this] { machine_->GetFaults().Arm(sim::fault::kRegistryWrite, 0, 2); }, id,
       14, &size, 1},
      {"no common block", [this] { shared_.glpDls = 0; }, id, 14, &size, 1},
  };
  const std::uint32_t common = shared_.glpDls;
  const std::uint32_t ramSize = Common(0x08);  // as the DLS engine's start left it
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    c.arrange();
    EXPECT_EQ(VEXA_SetSystemAttrib(c.id, c.index, c.value), c.status);
    EXPECT_EQ(Setting("Config\\SysMemDlsRamSize"), "(none)");
    if (shared_.glpDls) {
      EXPECT_EQ(Common(0x08), ramSize) << "the block is left alone";
    }
  }
  shared_.glpDls = common;
}

TEST_F(SystemInfo, disable_bursting_is_the_presence_of_a_key) {
  const std::uint32_t id = InitCard();
  MakeDriverKey();
  auto present = [&] { return Setting("Config\\DisableBursting") != "(none)"; };
  const std::uint32_t on = 1, off = 0, two = 2;
  EXPECT_EQ(VEXA_SetSystemAttrib(id, 19, &off), 0u) << "deleting a missing key";
  EXPECT_FALSE(present());
  EXPECT_EQ(VEXA_SetSystemAttrib(id, 19, &on), 0u);
  EXPECT_TRUE(present());
  EXPECT_EQ(VEXA_SetSystemAttrib(id, 19, &on), 0u);
  EXPECT_TRUE(present());
  EXPECT_EQ(VEXA_SetSystemAttrib(id, 19, &two), 0u) << "anything but 1 switches it off";
  EXPECT_FALSE(present());
  machine_->GetFaults().Arm(sim::fault::kRegistryWrite);
  EXPECT_EQ(VEXA_SetSystemAttrib(id, 19, &on), 0u) << "index 19 always succeeds";
  EXPECT_FALSE(present());
}

TEST_F(SystemInfo, my_ltostr_writes_the_magnitude) {
  struct Case {
    std::int32_t number;
    const char* text;
  };
  const Case cases[] = {{0, "0"}, {7, "7"}, {16777216, "16777216"}, {-42, "42"}, {INT32_MIN, "2147483648"}};
  for (const Case& c : cases) {
    char buffer[20];
    std::memset(buffer, 'x', sizeof buffer);
    EXPECT_STREQ(j6base::My_ltostr(buffer, c.number), c.text);
  }
}

TEST_F(SystemInfo, dls_ram_address_and_drum_patch_rom_requests) {
  const std::uint32_t id = InitCard([](sim::MachineConfig& c) { c.card.sampleMemPhys = 0x02000000; });
  auto* record = &Record(id);
  struct Case {
    std::uint32_t flag;
    std::uint32_t offset;
    std::uint32_t address;
  };
  const Case cases[] = {
      {1, 0, 0x02000000}, {0, 0x100, 0x02000100}, {0, 0xFFFFFFFF, 0xFFFFFFFF}, {1, 0xFFFFFFFE, 0xFFFFFFFE}};
  for (const Case& c : cases) {
    EXPECT_EQ(j6base::SetDlsRamAddr(record, c.flag, c.offset), 0u);
    ASSERT_FALSE(Vxd().DlsRamAddrs().empty());
    EXPECT_EQ(Vxd().DlsRamAddrs().back().basePort, 0xE000u);
    EXPECT_EQ(Vxd().DlsRamAddrs().back().address, c.address);
    EXPECT_EQ(Vxd().DlsRamAddrs().back().flag, c.flag);
  }
  record->legacyMode = 1;
  EXPECT_EQ(j6base::SetDlsRamAddr(record, 0, 0x100), 0u);
  EXPECT_EQ(Vxd().DlsRamAddrs().back().address, 0xFFFFFFFFu) << "always -1 in legacy mode";
  EXPECT_EQ(Vxd().Log().back().input.size(), 12u);
  Vxd().Refuse(0x0A);
  EXPECT_EQ(j6base::SetDlsRamAddr(record, 0, 0), 1u);

  const std::uint32_t table = shared_.glpDls + 0x3867;
  ASSERT_EQ(j6base::GetDrumPatchRom(0, table), 0u);
  auto span = machine_->Memory().Map(table, 512);
  EXPECT_EQ(Bytes(span.begin(), span.end()), sim::VirtualDevice::RomDrumPatchTable());
  EXPECT_EQ(Bytes(span.begin(), span.begin() + 4), (Bytes{0x03, 0xFF, 0x00, 0x80})) << "key 0 has no patch";
  EXPECT_EQ(j6base::GetDrumPatchRom(0, 0x100), 1u) << "an address outside memory is refused";
  Vxd().Refuse(0x10);
  EXPECT_EQ(j6base::GetDrumPatchRom(0, table), 1u);
}

TEST_F(SystemInfo, the_device_reserves_sample_memory_from_the_registry_settings) {
  struct Case {
    const char* dls;  // nullptr: absent
    const char* gm;
    std::uint32_t dlsSize;
    std::uint32_t gmSize;
  };
  const Case cases[] = {
      {nullptr, nullptr, sim::VirtualDevice::kDefaultDlsRamSize, sim::VirtualDevice::kDefaultGmBankSize},
      {"1048576", "2097152", 1048576, 2097152},
      {"junk", "99999999999", sim::VirtualDevice::kDefaultDlsRamSize, sim::VirtualDevice::kDefaultGmBankSize},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.dls ? c.dls : "absent");
    TearDown();
    shared_ = j6base::SharedSection{};
    Boot();
    auto writer = machine_->StartProcess("regedit.exe");
    auto set = [&](const char* subkey, const char* text) {
      if (!text) return;
      platform::HKey key = 0;
      ASSERT_EQ(writer->Os().registry->CreateKey(platform::kHkeyLocalMachine,
                                                 (std::string(kDriverKey) + "\\" + subkey).c_str(), &key),
                0u);
      writer->Os().registry->SetDefaultValue(key, nullptr, text);
      writer->Os().registry->CloseKey(key);
    };
    set("Config\\SysMemDlsRamSize", c.dls);
    set("Config\\SysMemGMBankSize", c.gm);
    Load();
    std::uint32_t id = 0;
    ASSERT_EQ(VEXA_Initialize(1, &id), 0u);
    auto hw = Record(id).HwInfo();
    EXPECT_EQ(hw.U32(0x74), c.dlsSize);
    EXPECT_EQ(hw.U32(0x78), c.gmSize);
    EXPECT_EQ(hw.U32(0x7C), 0x10000u);
    EXPECT_EQ(Vxd().SampleMemorySize(), c.dlsSize + c.gmSize + 0x10000);
    EXPECT_TRUE(machine_->Memory().Contains(hw.U32(0x80), Vxd().SampleMemorySize()));
    EXPECT_EQ(hw.U32(0x84), 0x01000000u);
    EXPECT_TRUE(machine_->Memory().Contains(shared_.glpDls, 21564));
    scope_.reset();
    processes_.clear();
  }
}

}  // namespace
