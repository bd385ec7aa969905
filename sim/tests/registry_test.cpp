#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "sim/machine.h"
#include "sim/process.h"
#include "sim/regedit.h"
#include "sim/registry.h"
#include "tests/support/test_folder.h"

namespace {

namespace fs = std::filesystem;
using namespace platform;

class RegistryMachine : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = j6_testing::TestFolder("j6-registry");
    fs::remove_all(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }

  std::string ReadRegFile() {
    std::ifstream in(dir_ / "registry.reg", std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
  }
  fs::path dir_;
};

std::vector<std::uint8_t> Bytes(std::initializer_list<int> list) {
  std::vector<std::uint8_t> out;
  for (int b : list) out.push_back(std::uint8_t(b));
  return out;
}

struct StoredValue {
  const char* name;
  std::uint32_t type;
  std::vector<std::uint8_t> data;
};

TEST_F(RegistryMachine, every_value_type_round_trips_through_registry_reg) {
  std::string longBinary(300, '\x5a');
  const std::vector<StoredValue> values = {
      {"", kRegSz, Bytes({'d', 'e', 'f', 0})},
      {"Text \"quoted\" \\ back", kRegSz, Bytes({'C', ':', '\\', '"', 0})},
      {"EmptySz", kRegSz, Bytes({0})},
      {"NoTerminator", kRegSz, Bytes({'a', 'b'})},
      {"TwoLines", kRegSz, Bytes({'a', '\r', '\n', 'b', 0})},
      {"Expand", kRegExpandSz, Bytes({'%', 'W', '%', 0})},
      {"Multi", kRegMultiSz, Bytes({'a', 0, 'b', 0, 0})},
      {"Dword", kRegDword, Bytes({0x78, 0x56, 0x34, 0x12})},
      {"ShortDword", kRegDword, Bytes({1, 2})},
      {"Binary", kRegBinary, std::vector<std::uint8_t>(longBinary.begin(), longBinary.end())},
      {"EmptyBinary", kRegBinary, {}},
      {"None", kRegNone, Bytes({9})},
      {"Odd", 0x1234, Bytes({1, 2, 3})},
  };
  {
    auto machine = sim::Machine::Create(dir_, sim::MachineConfig{});
    auto& store = machine->Get<sim::RegistryStore>();
    auto key = store.CreatePath("HKEY_LOCAL_MACHINE\\Software\\MixedCase");
    for (const auto& v : values) key->SetValue(v.name, v.type, v.data);
    store.CreatePath("HKEY_CURRENT_USER\\Empty\\Leaf");
    machine->Save();
  }
  auto machine = sim::Machine::Load(dir_);
  auto& store = machine->Get<sim::RegistryStore>();
  auto key = store.FindPath("hkey_local_machine\\SOFTWARE\\mixedcase");
  ASSERT_TRUE(key);
  EXPECT_EQ(key->name, "MixedCase");
  ASSERT_EQ(key->values.size(), values.size());
  for (std::size_t i = 0; i < values.size(); ++i) {
    SCOPED_TRACE(values[i].name);
    EXPECT_EQ(key->values[i].name, values[i].name);
    EXPECT_EQ(key->values[i].type, values[i].type);
    EXPECT_EQ(key->values[i].data, values[i].data);
  }
  EXPECT_TRUE(store.FindPath("HKEY_CURRENT_USER\\Empty\\Leaf"));
  EXPECT_EQ(store.KeyCount(), 4u);
  EXPECT_EQ(ReadRegFile().rfind("REGEDIT4\r\n", 0), 0u);
}

TEST_F(RegistryMachine, subkeys_are_written_in_name_order_values_in_creation_order) {
  auto machine = sim::Machine::Create(dir_, sim::MachineConfig{});
  auto& store = machine->Get<sim::RegistryStore>();
  store.CreatePath("HKLM\\T\\Subkey2");
  store.CreatePath("HKLM\\T\\subkey1");
  auto t = store.FindPath("HKLM\\T");
  t->SetValue("zeta", kRegSz, Bytes({0}));
  t->SetValue("Alpha", kRegSz, Bytes({0}));
  machine->Save();
  std::string text = ReadRegFile();
  EXPECT_LT(text.find("[HKEY_LOCAL_MACHINE\\T\\subkey1]"), text.find("[HKEY_LOCAL_MACHINE\\T\\Subkey2]"));
  EXPECT_LT(text.find("\"zeta\""), text.find("\"Alpha\""));
}

TEST_F(RegistryMachine, unreadable_registry_reg_names_file_and_line_and_is_left_alone) {
  sim::Machine::Create(dir_, sim::MachineConfig{});
  const std::string broken = "REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\A]\r\n\"x\"=dword:12345678z\r\n";
  std::ofstream(dir_ / "registry.reg", std::ios::binary) << broken;
  auto machine = sim::Machine::Load(dir_);
  try {
    machine->Get<sim::RegistryStore>();
    FAIL() << "loaded a broken registry";
  } catch (const sim::MachineError& e) {
    EXPECT_NE(std::string(e.what()).find("registry.reg:4: dword:"), std::string::npos) << e.what();
  }
  EXPECT_EQ(ReadRegFile(), broken);
}

TEST_F(RegistryMachine, process_handles_see_deletion_per_family) {
  for (auto family : {WindowsFamily::k95, WindowsFamily::kNt}) {
    SCOPED_TRACE(family == WindowsFamily::kNt ? "NT" : "95");
    fs::remove_all(dir_);
    auto machine = sim::Machine::Create(dir_, sim::MachineConfig::Defaults(family));
    auto process = machine->StartProcess("test");
    Registry& reg = *process->Os().registry;
    HKey parent = 0, child = 0;
    ASSERT_EQ(reg.CreateKey(kHkeyLocalMachine, "Software\\Branch", &parent), 0u);
    ASSERT_EQ(reg.CreateKey(parent, "Child\\Grandchild", &child), 0u);
    if (family == WindowsFamily::kNt) {
      EXPECT_EQ(reg.DeleteKey(kHkeyLocalMachine, "Software\\Branch"), kErrorAccessDenied);
      EXPECT_EQ(reg.DeleteKey(parent, "Child\\Grandchild"), 0u);
      EXPECT_EQ(reg.DeleteKey(parent, "Child"), 0u);
    }
    EXPECT_EQ(reg.DeleteKey(kHkeyLocalMachine, "software\\BRANCH"), 0u);
    EXPECT_EQ(reg.SetValue(parent, "x", kRegDword, Bytes({1, 0, 0, 0}).data(), 4), kErrorKeyDeleted);
    EXPECT_EQ(reg.QueryInfoKey(child, nullptr, nullptr, nullptr, nullptr, nullptr), kErrorKeyDeleted);
    EXPECT_EQ(reg.CloseKey(child), 0u);
    HKey reopened = 0xdeadbeef;
    EXPECT_EQ(reg.OpenKey(kHkeyLocalMachine, "Software\\Branch", &reopened), kErrorFileNotFound);
    EXPECT_EQ(reopened, 0u);
  }
}

TEST_F(RegistryMachine, failed_writes_change_nothing) {
  auto machine = sim::Machine::Create(dir_, sim::MachineConfig{});
  auto process = machine->StartProcess("test");
  Registry& reg = *process->Os().registry;
  HKey key = 0;
  ASSERT_EQ(reg.CreateKey(kHkeyCurrentUser, "Keep", &key), 0u);
  machine->GetFaults().Arm(sim::fault::kRegistryWrite, 0, 4);
  HKey other = 0;
  EXPECT_EQ(reg.CreateKey(kHkeyCurrentUser, "New", &other), kErrorAccessDenied);
  EXPECT_EQ(reg.SetValue(key, "v", kRegSz, reinterpret_cast<const std::uint8_t*>("x"), 2),
            kErrorAccessDenied);
  EXPECT_EQ(reg.SetDefaultValue(key, "Sub", "x"), kErrorAccessDenied);
  EXPECT_EQ(reg.DeleteKey(kHkeyCurrentUser, "Keep"), kErrorAccessDenied);
  auto& store = machine->Get<sim::RegistryStore>();
  EXPECT_FALSE(store.FindPath("HKCU\\New"));
  ASSERT_TRUE(store.FindPath("HKCU\\Keep"));
  EXPECT_TRUE(store.FindPath("HKCU\\Keep")->values.empty());
  EXPECT_TRUE(store.FindPath("HKCU\\Keep")->subkeys.empty());
}

// ---- regedit /s import ----

std::string ValueText(const sim::RegistryStore& store, const std::string& key, const std::string& name) {
  auto k = store.FindPath(key);
  if (!k) return "<no key>";
  auto* v = k->FindValue(name);
  if (!v) return "<no value>";
  return std::string(v->data.begin(), v->data.end());
}

TEST(RegeditImport, header_must_be_exact) {
  for (const char* header : {"regedit4", "REGEDIT 4", "REGEDIT5", "", "[HKEY_CURRENT_USER\\A]"}) {
    SCOPED_TRACE(header);
    sim::RegistryStore store(WindowsFamily::k95);
    auto result = sim::ImportRegFile(store, std::string(header) + "\n[HKEY_CURRENT_USER\\A]\n\"x\"=\"1\"\n");
    EXPECT_FALSE(result.imported);
    EXPECT_EQ(store.KeyCount(), 0u);
  }
  for (const char* text :
       {"  REGEDIT4\n[HKEY_CURRENT_USER\\A]\n\"x\"=\"1\"", "REGEDIT4\r[HKEY_CURRENT_USER\\A]\r\"x\"=\"1\"\r",
        "Windows Registry Editor Version 5.00\r\n[HKEY_CURRENT_USER\\A]\r\n\"x\"=\"1\"\r\n"}) {
    sim::RegistryStore store(WindowsFamily::k95);
    EXPECT_TRUE(sim::ImportRegFile(store, text).imported);
    EXPECT_EQ(ValueText(store, "HKEY_CURRENT_USER\\A", "x"), std::string("1\0", 2));
  }
}

TEST(RegeditImport, utf16_version5_file_narrows_strings) {
  std::string narrow =
      "Windows Registry Editor Version 5.00\r\n[HKEY_CURRENT_USER\\W]\r\n\"e\"=hex(2):41,00,00,00\r\n";
  std::string wide = "\xFF\xFE";
  for (char c : narrow) wide += std::string{c, '\0'};
  sim::RegistryStore store(WindowsFamily::kNt);
  ASSERT_TRUE(sim::ImportRegFile(store, wide).imported);
  EXPECT_EQ(ValueText(store, "HKCU\\W", "e"), std::string("A\0", 2));
}

TEST(RegeditImport, values_keys_and_deletions) {
  sim::RegistryStore store(WindowsFamily::kNt);
  store.CreatePath("HKLM\\Old\\Deep\\Deeper")->SetValue("v", kRegSz, Bytes({0}));
  store.CreatePath("HKLM\\Keep")->SetValue("gone", kRegSz, Bytes({'a', 0}));
  const char* text =
      "REGEDIT4\n"
      "; a comment\n"
      "# another\n"
      "[-HKEY_LOCAL_MACHINE\\Old]\n"
      "\"ignored\"=\"under a deleted key\"\n"
      "[hkey_local_machine\\Keep]\n"
      "\"gone\"=-\n"
      "@=\"default\"\n"
      "\"esc\" = \"a\\\"b\\\\c\"\n"
      "\"d\"=dword:1\n"
      "\"bin\"=hex:01,02,\\\n"
      "  03\n"
      "\"m\"=hex(7):61,00,00\n"
      "\"bad1\"=dword:0x12\n"
      "\"bad2\"=dword:123456789\n"
      "\"bad3\"=\"unterminated\n"
      "[HKEY_NOWHERE\\X]\n"
      "\"lost\"=\"1\"\n"
      "[- HKEY_LOCAL_MACHINE\\Keep]\n";
  auto result = sim::ImportRegFile(store, text);
  EXPECT_TRUE(result.imported);
  EXPECT_FALSE(store.FindPath("HKLM\\Old"));
  EXPECT_TRUE(store.FindPath("HKLM\\Keep"));
  EXPECT_EQ(ValueText(store, "HKLM\\Keep", "gone"), "<no value>");
  EXPECT_EQ(ValueText(store, "HKLM\\Keep", ""), std::string("default\0", 8));
  EXPECT_EQ(ValueText(store, "HKLM\\Keep", "esc"), std::string("a\"b\\c\0", 6));
  EXPECT_EQ(ValueText(store, "HKLM\\Keep", "d"), std::string("\1\0\0\0", 4));
  EXPECT_EQ(ValueText(store, "HKLM\\Keep", "bin"), "\1\2\3");
  EXPECT_EQ(store.FindPath("HKLM\\Keep")->FindValue("m")->type, kRegMultiSz);
  for (const char* bad : {"bad1", "bad2", "bad3"})
    EXPECT_EQ(ValueText(store, "HKLM\\Keep", bad), "<no value>");
  EXPECT_EQ(ValueText(store, "HKEY_LOCAL_MACHINE\\X", "lost"), "<no key>");
  // Three bad values and the two unknown roots are reported with their lines.
  ASSERT_EQ(result.problems.size(), 5u);
  EXPECT_EQ(result.problems[0].rfind("line 14:", 0), 0u) << result.problems[0];
  EXPECT_EQ(result.problems[3].rfind("line 17:", 0), 0u) << result.problems[3];
  EXPECT_EQ(result.problems[4].rfind("line 19:", 0), 0u) << result.problems[4];
}

TEST(RegeditImport, failed_write_is_reported_and_the_rest_goes_on) {
  sim::RegistryStore store(WindowsFamily::k95);
  sim::Faults faults;
  faults.Arm(sim::fault::kRegistryWrite, 1, 1);
  auto result = sim::ImportRegFile(store, "REGEDIT4\n[HKCU\\A]\n\"x\"=\"1\"\n\"y\"=\"2\"\n", &faults);
  EXPECT_EQ(result.problems.size(), 1u);
  EXPECT_EQ(ValueText(store, "HKCU\\A", "x"), "<no value>");
  EXPECT_EQ(ValueText(store, "HKCU\\A", "y"), std::string("2\0", 2));
}

}  // namespace
