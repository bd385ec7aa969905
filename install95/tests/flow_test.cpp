#include "install95/pages.h"
#include "install95/resources.h"
#include "installer_fixture.h"
#include "sim/processes.h"

namespace {

using testing_installer::InstallerMachine;

class Flow : public InstallerMachine {
 protected:
  std::string Value(platform::HKey root, const char* path, const char* name, std::uint32_t* type = nullptr) {
    platform::HKey key = 0;
    if (Os().registry->OpenKey(root, path, &key) != 0) return "<no key>";
    std::uint8_t data[64] = {};
    std::uint32_t size = sizeof data, t = 0;
    std::uint32_t r = Os().registry->QueryValue(key, name, &t, data, &size);
    Os().registry->CloseKey(key);
    if (type) *type = t;
    return r == 0 ? std::string(reinterpret_cast<char*>(data), size) : "<no value>";
  }
  std::string RunOnce() {
    return Value(platform::kHkeyLocalMachine, "Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce",
                 "OVSetupProfile");
  }
  // A tray setting the installation can turn the volume icon on in.
  void AddTraySetting() {
    platform::HKey key = 0;
    ASSERT_EQ(Os().registry->CreateKey(platform::kHkeyCurrentUser, kSysTray, &key), 0u);
    const std::uint8_t services[4] = {1, 0, 0, 0};
    Os().registry->SetValue(key, "Services", platform::kRegBinary, services, 4);
    Os().registry->CloseKey(key);
  }
  static constexpr const char* kSysTray = "Software\\Microsoft\\Windows\\CurrentVersion\\Applets\\SysTray";
  using Shown = std::vector<int>;
};

TEST_F(Flow, welcome_cancel_ends_with_no_change) {
  Make();
  auto ui = RunInstaller("@130 click Cancel");
  EXPECT_EQ(exitCode_, 0);
  EXPECT_EQ(ui->DialogsShown(), Shown{130});
  EXPECT_EQ(RunOnce(), "<no value>");
}

TEST_F(Flow, welcome_next_runs_the_survey_and_a_choice_page_cancel_ends) {
  Make();
  auto ui = RunInstaller("@130 click Next -->\n@148 click Cancel");
  EXPECT_EQ(ui->DialogsShown(), (Shown{130, 148}));
  EXPECT_EQ(Restarts(), 0u);
}

TEST_F(Flow, install_mode_skips_welcome_and_is_case_sensitive) {
  Make();
  EXPECT_EQ(RunInstaller("@148 close", "C:\\J6DISK\\INSTALLER.EXE /I")->DialogsShown(), Shown{148});
  EXPECT_EQ(RunInstaller("@130 close", "C:\\J6DISK\\INSTALLER.EXE /i")->DialogsShown(), Shown{130});
}

TEST_F(Flow, survey_without_card_or_software_ends_on_the_no_card_page) {
  config_.card.kind = sim::CardKind::kNone;
  Make();
  auto ui = RunInstaller("click Next -->\n@140 click Finish");
  EXPECT_EQ(ui->DialogsShown(), (Shown{130, 140}));
}

TEST_F(Flow, ok_with_nothing_ticked_carries_out_nothing_and_offers_the_restart) {
  Make();
  auto ui = RunInstaller("click Next -->\n@148 uncheck 1009\n@148 click OK\n@141 click Finish");
  EXPECT_EQ(ui->DialogsShown(), (Shown{130, 148, 141}));
  EXPECT_FALSE(Has(*ui, "progress window"));
  EXPECT_EQ(Restarts(), 1u);
  EXPECT_EQ(machine_->Get<sim::ProgramTable>().RestartRequests()[0], platform::kEwxReboot);
}

TEST_F(Flow, finish_page_restarts_only_on_yes) {
  struct Case {
    const char* finish;
    std::size_t restarts;
  } cases[] = {{"@141 click Finish", 1}, {"@141 click 1016\n@141 click Finish", 0}, {"@141 close", 0}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.finish);
    TearDown();
    SetUp();
    Make();
    RunInstaller(std::string("click Next -->\n@148 uncheck 1009\n@148 click OK\n") + c.finish);
    EXPECT_EQ(Restarts(), c.restarts);
  }
}

TEST_F(Flow, remove_windows_drivers_steps_the_progress_and_ends_on_finish_without_copy_or_question) {
  Make();
  AddTraySetting();
  Put("WINDOWS/INF/J6AUDIO.INF", "[Version]\r\n");
  auto ui = RunInstaller(
      "click Next -->\n@102 click Remove Windows drivers\n@102 click OK\n@141 click 1016\n@141 click Finish");
  EXPECT_EQ(ui->DialogsShown(), (Shown{130, 102, 141}));
  EXPECT_TRUE(Has(*ui, "  status \"Examining hardware, please wait...\""));
  for (const char* bar : {"  bar 30", "  bar 40", "  bar 80", "closed progress window 142 at 100"})
    EXPECT_TRUE(Has(*ui, bar)) << bar;
  EXPECT_FALSE(Has(*ui, "  bar 90"));  // five steps after six removals
  EXPECT_FALSE(Has(*ui, "DLS Setup"));
  EXPECT_EQ(Value(platform::kHkeyCurrentUser, kSysTray, "Services"), std::string("\x01\0\0\0", 4));
}

TEST_F(Flow, remove_in_install_mode_writes_the_marker_and_shows_no_page_after) {
  Make();
  Put("WINDOWS/INF/J6AUDIO.INF", "[Version]\r\n");
  auto ui = RunInstaller("@102 check 1008\n@102 click OK", "INSTALLER.EXE /I");
  EXPECT_EQ(ui->DialogsShown(), Shown{102});
  EXPECT_EQ(RunOnce(), std::string(" \0", 2));
}

TEST_F(Flow, too_little_space_shows_the_disk_space_page_and_ends_without_change) {
  config_.freeBytes = 65536;
  Make();
  Put("J6DISK/J6WAVE.DRV", std::string(100000, 'x'));
  Put("J6DISK/SETUP.EXE", std::string(900000, 'x'));
  Put("J6DISK/DETECT32.DLL", std::string(900000, 'x'));
  auto ui = RunInstaller("@148 click OK\n@149 click OK", "INSTALLER.EXE /I");
  EXPECT_EQ(ui->DialogsShown(), (Shown{148, 149}));
  for (const char* field :
       {"edit 1018 \"65536\"", "edit 1019 \"100000\"", "edit 1020 \"C:\\\"", "edit 1021 \"C:\\\""})
    EXPECT_TRUE(Has(*ui, field)) << field;
  EXPECT_TRUE(Has(*ui, "closed progress window 142 at 100"));
  EXPECT_EQ(RunOnce(), "<no value>");
}

TEST_F(Flow, newer_installed_driver_no_ends_on_finish_150_and_yes_goes_on) {
  for (const char* answer : {"no", "yes"}) {
    SCOPED_TRACE(answer);
    TearDown();
    SetUp();
    Make();
    Put("WINDOWS/SYSTEM/J6CVXD.VXD", sim::MakeVersionedPe("1.00.9"));
    Put("J6DISK/J6CVXD.VXD", sim::MakeVersionedPe("1.00.10"));
    auto ui =
        RunInstaller(std::string("@102 click OK\nanswer ") + answer +
                         " if newer driver\n@150 click Finish\nanswer no if Downloadable\n@141 click Finish",
                     "INSTALLER.EXE /I");
    EXPECT_TRUE(Has(*ui,
                    "message box \"Newer driver detected...\" [Yes/No, question] over dialog 102: \"A newer "
                    "driver is detected in your system.\\nDo you still want to continue?\""));
    if (std::string(answer) == "no") {
      EXPECT_EQ(ui->DialogsShown(), (Shown{102, 150}));
      EXPECT_EQ(Restarts(), 0u);  // the hidden "Yes" of page 150 restarts nothing
      EXPECT_EQ(RunOnce(), "<no value>");
    } else {
      EXPECT_EQ(ui->DialogsShown(), Shown{102});
      EXPECT_EQ(RunOnce(), std::string(" \0", 2));
    }
  }
}

TEST_F(Flow, detection_reporting_no_card_after_the_copy_ends_on_the_no_card_page) {
  // The PCI bus shows the card's numbers, but the detection library finds no card.
  config_.card.kind = sim::CardKind::kNone;
  config_.pciDevices = {{0x7A4E, 0xE100}};
  Make();
  auto ui =
      RunInstaller("@148 check Install DOS utilities\n@148 click OK\n@140 click Finish", "INSTALLER.EXE /I");
  EXPECT_EQ(ui->DialogsShown(), (Shown{148, 140}));
  EXPECT_FALSE(Has(*ui, "DLS Setup"));
  EXPECT_EQ(RunOnce(), "<no value>");
}

TEST_F(Flow, installation_turns_on_the_tray_volume_asks_the_dls_question_and_starts_the_applet) {
  Make();
  AddTraySetting();
  auto ui = RunInstaller(
      "click Next -->\n@148 click OK\nanswer yes if Downloadable\n@141 click 1016\n@141 click Finish");
  EXPECT_EQ(ui->DialogsShown(), (Shown{130, 148, 141}));
  EXPECT_TRUE(Has(*ui, "  status \"Examining configuration, please wait...\""));
  EXPECT_TRUE(Has(*ui, "  bar 60"));
  EXPECT_TRUE(Has(*ui, "message box \"DLS Setup\" [Yes/No, question, system-modal]"));
  EXPECT_EQ(Value(platform::kHkeyCurrentUser, kSysTray, "Services"), std::string("\x05\0\0\0", 4));
  const auto& started = machine_->Get<sim::ProgramTable>().Started();
  ASSERT_EQ(started.size(), 1u);
  EXPECT_EQ(started[0].commandLine,
            "C:\\WINDOWS\\RunDll32.EXE C:\\WINDOWS\\SYSTEM\\Shell32.dll,Control_RunDLL "
            "C:\\WINDOWS\\SYSTEM\\J6Audio.cpl");
  EXPECT_EQ(started[0].creationFlags, 0x30u);
}

TEST_F(Flow, dls_question_no_explains_and_an_isa_card_is_never_asked) {
  Make();
  auto ui = RunInstaller("@148 click OK\nanswer no if Downloadable", "INSTALLER.EXE /I");
  EXPECT_TRUE(Has(*ui, "message box \"MIDI Wavetable Synthesis Unavailable\" [OK, exclamation]"));
  EXPECT_TRUE(machine_->Get<sim::ProgramTable>().Started().empty());

  TearDown();
  SetUp();
  config_.card.kind = sim::CardKind::kIsa;
  Make();
  ui = RunInstaller("@148 click OK", "INSTALLER.EXE /I");
  EXPECT_FALSE(Has(*ui, "DLS Setup"));
  EXPECT_EQ(RunOnce(), std::string(" \0", 2));
}

// The option boxes a person can reach on each choice page, and what is ticked at the start.
struct PageCase {
  int page;
  std::vector<int> visible;
  int installWindows;
};

class ChoicePages : public Flow, public ::testing::WithParamInterface<PageCase> {};

TEST_P(ChoicePages, show_only_the_options_that_fit) {
  const PageCase& c = GetParam();
  Make();
  install95::InstallerApp app(Os());
  install95::ChoicePage page(app, c.page);
  EXPECT_EQ(page.installWindows, c.installWindows);
  EXPECT_EQ(page.removeWindows + page.installDos + page.removeDos, 0);

  std::istringstream in("close");
  sim::SimUi ui(sim::ParseUiSteps(in));
  Os().ui = &ui;
  page.Show();
  for (int box : {1008, 1009, 1010, 1011}) {
    bool visible = std::find(c.visible.begin(), c.visible.end(), box) != c.visible.end();
    bool checked = box == 1009 && c.installWindows;
    std::string line = "checkbox " + std::to_string(box) + (checked ? " [x]" : " [ ]");
    bool found = false;
    for (const auto& l : ui.Transcript())
      if (l.find(line) != std::string::npos) {
        found = true;
        EXPECT_EQ(l.find(" hidden") == std::string::npos, visible) << l;
      }
    EXPECT_TRUE(found) << line;
    // A person cannot tick what is hidden.
    if (!visible) {
      std::istringstream click("click " + std::to_string(box));
      sim::SimUi clicker(sim::ParseUiSteps(click));
      Os().ui = &clicker;
      EXPECT_THROW(page.Show(), sim::UiError);
    }
  }
  Os().ui = nullptr;
}

INSTANTIATE_TEST_SUITE_P(Table, ChoicePages,
                         ::testing::Values(PageCase{102, {1009, 1008, 1011, 1010}, 1},
                                           PageCase{145, {1008, 1010}, 0},
                                           PageCase{146, {1009, 1011, 1010}, 1}, PageCase{147, {1010}, 0},
                                           PageCase{148, {1009, 1011}, 1}, PageCase{151, {1008, 1010}, 0}),
                         [](const auto& info) { return "page_" + std::to_string(info.param.page); });

TEST_F(Flow, option_clicks_make_install_and_remove_exclude_each_other_within_a_pair) {
  Make();
  install95::InstallerApp app(Os());
  struct Case {
    int box, state;
    int iw, rw, id, rd;  // fields afterwards
  };
  // One page, clicked in this order.
  const Case clicks[] = {
      {1008, 1, 0, 1, 0, 0}, {1009, 1, 1, 0, 0, 0}, {1009, 0, 0, 0, 0, 0}, {1010, 1, 0, 0, 0, 1},
      {1011, 1, 0, 0, 1, 0}, {1010, 1, 0, 0, 0, 1}, {1010, 0, 0, 0, 0, 0}, {1008, 1, 0, 1, 0, 0},
      {1011, 1, 0, 1, 1, 0}, {1008, 0, 0, 0, 1, 0},
  };
  install95::ChoicePage page(app, 102);
  for (const auto& c : clicks) {
    page.OnOptionClicked(c.box, c.state);
    EXPECT_EQ((std::vector<int>{page.installWindows, page.removeWindows, page.installDos, page.removeDos}),
              (std::vector<int>{c.iw, c.rw, c.id, c.rd}))
        << "after " << c.box << "=" << c.state;
  }
  // Through the dialog: the boxes follow the fields.
  std::istringstream in("click 1008\nclose");
  sim::SimUi ui(sim::ParseUiSteps(in));
  Os().ui = &ui;
  install95::ChoicePage shown(app, 102);
  shown.Show();
  Os().ui = nullptr;
  EXPECT_TRUE(Has(ui, "    checkbox 1009 [ ] \"Install/Update Windows drivers\""));
  EXPECT_EQ(shown.installWindows, 0);
  EXPECT_EQ(shown.removeWindows, 1);
}

TEST_F(Flow, every_page_has_its_caption_and_the_logo_panel) {
  for (const auto& d : install95::AllDialogs()) {
    if (d.id == install95::kProgressDialog) continue;
    EXPECT_EQ(d.caption, d.id == 130 ? "Welcome" : "J6 Orvantis Installer") << d.id;
    const auto* logo = d.Control(1028);
    ASSERT_NE(logo, nullptr) << d.id;
    EXPECT_EQ(logo->kind, platform::ControlKind::kOwnerDrawButton);
    EXPECT_EQ(d.width, 264);
  }
  Make();
  Put("J6DISK/logo.bmp", std::string("BM and the rest"));
  auto ui = RunInstaller("@130 close");
  EXPECT_TRUE(Has(*ui, "  picture 1028 (bitmap)"));
  EXPECT_TRUE(Has(*ui, "look: 3-D controls, background FFFFFF, text 000000"));
}

TEST_F(Flow, the_program_does_not_start_without_the_detection_library) {
  Make();
  Os().detection = nullptr;
  auto ui = RunInstaller("");
  EXPECT_EQ(exitCode_, 1);
  EXPECT_TRUE(ui->DialogsShown().empty());
}

}  // namespace
