#include <algorithm>

#include "install95/resources.h"
#include "install95/survey.h"
#include "installer_fixture.h"
#include "sim/isa_pnp.h"
#include "sim/pci_bios.h"
#include "sim/port_bus.h"

namespace {

using testing_installer::InstallerMachine;

void AddKey(platform::Os& os, platform::HKey root, const char* path) {
  platform::HKey key = 0;
  ASSERT_EQ(os.registry->CreateKey(root, path, &key), 0u);
  os.registry->CloseKey(key);
}

struct SurveyCase {
  const char* name;
  bool driverKey;            // the virtual device's settings key: detection reports the driver set
  const char* installedVxd;  // ProductVersion of WINDOWS\SYSTEM\J6CVXD.VXD; null: no file
  bool legacy;               // WINDOWS\J6LEGACY.COM
  sim::CardKind card;
  int page;
  int isaCard;
};

class Survey : public InstallerMachine, public ::testing::WithParamInterface<SurveyCase> {};

TEST_P(Survey, picks_the_page_for_what_it_finds) {
  const SurveyCase& c = GetParam();
  config_.card.kind = c.card;
  Make();
  if (c.driverKey)
    AddKey(Os(), platform::kHkeyLocalMachine, "System\\CurrentControlSet\\Services\\VxD\\ORVANTIS");
  if (c.installedVxd) Put("WINDOWS/SYSTEM/J6CVXD.VXD", sim::MakeVersionedPe(c.installedVxd));
  if (c.legacy) Put("WINDOWS/J6LEGACY.COM", "legacy");
  install95::InstallerApp app(Os());
  install95::SurveyResult result;
  EXPECT_EQ(install95::RunSurvey(app, &result), c.page);
  EXPECT_EQ(app.isaCard, c.isaCard);
  EXPECT_EQ(result.isaCard, c.isaCard);
}

INSTANTIATE_TEST_SUITE_P(
    Table, Survey,
    ::testing::Values(
        SurveyCase{"old_driver_without_card", true, "1.00.08", false, sim::CardKind::kNone, 151, 0},
        SurveyCase{"old_driver_string_anywhere", true, "v1.00.08b", true, sim::CardKind::kPci, 151, 0},
        SurveyCase{"newer_driver_with_card", true, "1.00.09", false, sim::CardKind::kPci, 102, 0},
        SurveyCase{"driver_without_readable_version_no_card", true, nullptr, true, sim::CardKind::kNone, 145,
                   0},
        SurveyCase{"vxd_file_alone_counts_and_its_version_is_not_examined", false, "1.00.08", false,
                   sim::CardKind::kPci, 102, 0},
        SurveyCase{"card_and_nothing_installed", false, nullptr, false, sim::CardKind::kPci, 148, 0},
        SurveyCase{"card_and_dos_utilities", false, nullptr, true, sim::CardKind::kPci, 146, 0},
        SurveyCase{"dos_utilities_only", false, nullptr, true, sim::CardKind::kNone, 147, 0},
        SurveyCase{"nothing_at_all", false, nullptr, false, sim::CardKind::kNone, 140, 0},
        SurveyCase{"isa_card_sets_the_flag", false, nullptr, false, sim::CardKind::kIsa, 148, 1},
        SurveyCase{"isa_card_with_driver", true, "1.00.09", false, sim::CardKind::kIsa, 102, 1}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(InstallerMachine, survey_counts_the_inf_copy_as_an_installed_driver_set) {
  Make();
  Put("WINDOWS/INF/J6AUDIO.INF", "[Version]\r\n");
  install95::InstallerApp app(Os());
  EXPECT_EQ(install95::RunSurvey(app), 102);
}

struct ChipsetCase {
  std::vector<sim::PciDevice> devices;
  int flag;
};

class Chipset : public InstallerMachine, public ::testing::WithParamInterface<ChipsetCase> {};

TEST_P(Chipset, rule_sets_the_flag_with_intel_vetoes) {
  config_.pciDevices = GetParam().devices;
  Make();
  install95::InstallerApp app(Os());
  install95::SurveyResult result;
  install95::RunSurvey(app, &result);
  EXPECT_EQ(app.chipsetFlag, GetParam().flag);
  EXPECT_EQ(result.chipsetFlag, GetParam().flag);
}

INSTANTIATE_TEST_SUITE_P(
    Table, Chipset,
    ::testing::Values(ChipsetCase{{}, 0}, ChipsetCase{{{0x8086, 0x7110}}, 1},
                      ChipsetCase{{{0x8086, 0x7110}, {0x8086, 0x7180}}, 0},
                      ChipsetCase{{{0x8086, 0x7182}, {0x8086, 0x7110}}, 0},
                      ChipsetCase{{{0x8086, 0x7180}}, 0}, ChipsetCase{{{0x100B, 0x0011}}, 1},
                      ChipsetCase{{{0x8086, 0x7110}, {0x8086, 0x7180}, {0x1106, 0x0586}}, 1}),
    [](const auto& info) { return "case_" + std::to_string(info.index); });

TEST_F(InstallerMachine, without_a_pci_bios_only_the_isa_probe_finds_the_card) {
  config_.pciDevices = {{0x1106, 0x0586}};
  Make();
  machine_->Get<sim::SimPciBios>().SetPresent(false);
  EXPECT_EQ(install95::PciBiosPresent(Os()), 0);
  install95::InstallerApp app(Os());
  install95::SurveyResult result;
  EXPECT_EQ(install95::RunSurvey(app, &result), 140);
  EXPECT_EQ(result.chipsetFlag, 0);
  machine_->Get<sim::SimPciBios>().SetPresent(true);
  EXPECT_EQ(install95::PciBiosPresent(Os()), 0x0210);
}

// The probe's accesses with the delay reads of port 0x279 counted rather than listed.
std::vector<std::string> Compress(const std::vector<sim::PortAccess>& trace) {
  std::vector<std::string> out;
  int delayReads = 0;
  int polls = 0;
  auto flush = [&] {
    if (delayReads) out.push_back("delay " + std::to_string(delayReads));
    if (polls) out.push_back("poll " + std::to_string(polls));
    delayReads = polls = 0;
  };
  for (std::size_t i = 0; i < trace.size(); ++i) {
    const auto& a = trace[i];
    char text[32];
    if (a.kind == sim::PortAccess::Kind::kIn && a.port == 0x279) {
      ++delayReads;
      continue;
    }
    // A status read that is followed by another status read is a poll that found nothing.
    if (a.kind == sim::PortAccess::Kind::kIn && a.port == 0x273 && !(a.value & 1) && i + 1 < trace.size() &&
        trace[i + 1].kind == sim::PortAccess::Kind::kIn) {
      ++polls;
      continue;
    }
    flush();
    std::snprintf(text, sizeof text, "%s %X %02X", a.kind == sim::PortAccess::Kind::kIn ? "in" : "out",
                  a.port, a.value);
    out.push_back(text);
  }
  flush();
  return out;
}

TEST(ProbeIsaCard, follows_the_unlock_and_read_protocol_and_the_card_answers) {
  sim::PortBus bus;
  sim::IsaPnpCard card(bus, 0x12345678);
  card.SetPollsBeforeReady(0);
  platform::Os os;
  os.ports = &bus;
  EXPECT_EQ(install95::ProbeIsaCard(os), 1);
  std::vector<std::string> expected = {"out 279 02", "out A79 02", "delay 4000", "out 279 00", "out 279 00",
                                       "out 679 3C", "out 679 91", "out 679 5E", "out 679 A7", "delay 4000",
                                       "out 279 00", "out A79 9C", "delay 4000"};
  for (std::uint8_t byte : card.Identifier()) {
    char in[16];
    std::snprintf(in, sizeof in, "in 273 %02X", byte);
    for (const char* s : {"out 279 05", "in 273 01", "out 279 04"}) expected.push_back(s);
    expected.push_back(in);
  }
  for (const char* s : {"out 279 02", "out A79 02", "delay 4000"}) expected.push_back(s);
  EXPECT_EQ(Compress(bus.Trace()), expected);
  EXPECT_EQ(card.Identifier()[0], 0x46);
  EXPECT_EQ(card.Identifier()[1], 0x4C);
}

TEST(ProbeIsaCard, polls_until_ready_and_a_card_that_never_answers_or_no_card_counts_as_absent) {
  {
    sim::PortBus bus;
    sim::IsaPnpCard card(bus, 1);
    card.SetPollsBeforeReady(5);
    platform::Os os;
    os.ports = &bus;
    EXPECT_EQ(install95::ProbeIsaCard(os), 1);
  }
  {
    sim::PortBus bus;
    sim::IsaPnpCard card(bus, 1);
    card.SetPollsBeforeReady(0, /*never=*/true);
    platform::Os os;
    os.ports = &bus;
    EXPECT_EQ(install95::ProbeIsaCard(os), 0);
    auto reads = std::count_if(bus.Trace().begin(), bus.Trace().end(), [](const sim::PortAccess& a) {
      return a.kind == sim::PortAccess::Kind::kIn && a.port == 0x273;
    });
    EXPECT_EQ(reads, 9 * 1000);
  }
  {
    sim::PortBus bus;  // nothing answers: all ones
    platform::Os os;
    os.ports = &bus;
    EXPECT_EQ(install95::ProbeIsaCard(os), 0);
  }
  {
    // A wrong key byte keeps the card locked.
    sim::PortBus bus;
    sim::IsaPnpCard card(bus, 1);
    bus.Out8(0x279, 0);
    bus.Out8(0x279, 0);
    for (std::uint8_t key : {0x3C, 0x91, 0x5F, 0xA7}) bus.Out8(0x679, key);
    bus.Out8(0x279, 0);
    bus.Out8(0xA79, 0x9C);
    bus.Out8(0x279, 5);
    EXPECT_EQ(bus.In8(0x273), 0xFF);
  }
}

TEST(VersionText, compares_character_by_character_without_case) {
  struct Case {
    const char* installed;
    const char* fresh;
    int sign;
  } cases[] = {{"1.00.9", "1.00.10", 1},  {"1.00.10", "1.00.9", -1}, {"1.00.09", "1.00.09", 0},
               {"1.00.0a", "1.00.0A", 0}, {"1.00.0b", "1.00.0A", 1}, {"1.00", "1.00.01", -1}};
  for (const auto& c : cases) {
    int r = install95::CompareVersionText(c.installed, c.fresh);
    EXPECT_EQ((r > 0) - (r < 0), c.sign) << c.installed << " vs " << c.fresh;
  }
}

struct CompareCase {
  const char* name;
  const char* installed;  // null: no file; "" : a file without version resource
  const char* fresh;
  int result;
};

class CompareVxd : public InstallerMachine, public ::testing::WithParamInterface<CompareCase> {};

TEST_P(CompareVxd, is_0_only_when_both_read_and_the_installed_is_greater) {
  const auto& c = GetParam();
  Make();
  auto put = [&](const char* where, const char* version) {
    if (!version) return;
    Put(where, *version ? sim::MakeVersionedPe(version) : sim::MakePeFile({}));
  };
  put("WINDOWS/SYSTEM/J6CVXD.VXD", c.installed);
  put("J6DISK/J6CVXD.VXD", c.fresh);
  EXPECT_EQ(install95::CompareVxdVersions(Os()), c.result);
}

INSTANTIATE_TEST_SUITE_P(Table, CompareVxd,
                         ::testing::Values(CompareCase{"installed_9_counts_newer_than_10", "1.00.9",
                                                       "1.00.10", 0},
                                           CompareCase{"older_installed", "1.00.08", "1.00.10", 1},
                                           CompareCase{"same", "1.00.10", "1.00.10", 1},
                                           CompareCase{"case_ignored", "1.00.0B", "1.00.0a", 0},
                                           CompareCase{"nothing_installed", nullptr, "1.00.10", 1},
                                           CompareCase{"no_new_file", "9.99", nullptr, 1},
                                           CompareCase{"installed_without_version", "", "1.00.10", 1}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(InstallerMachine, read_installed_vxd_version_copies_the_product_version) {
  Make();
  char buffer[platform::kMaxPath];
  EXPECT_EQ(install95::ReadInstalledVxdVersion(Os(), buffer), 0);
  Put("WINDOWS/SYSTEM/J6CVXD.VXD", sim::MakeVersionedPe("4.03.1016"));
  ASSERT_EQ(install95::ReadInstalledVxdVersion(Os(), buffer), 1);
  EXPECT_STREQ(buffer, "4.03.1016");
  Put("WINDOWS/SYSTEM/J6CVXD.VXD", std::string("MZ not really a program"));
  EXPECT_EQ(install95::ReadInstalledVxdVersion(Os(), buffer), 0);
}

}  // namespace
