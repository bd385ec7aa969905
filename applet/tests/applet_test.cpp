#include <gtest/gtest.h>

#include <cstring>
#include <optional>

#include "applet/j6audio.h"
#include "applet/module_state.h"
#include "applet/resources.h"
#include "fakes.h"

namespace {

using namespace j6audio;
using j6test::Dword;
using j6test::Text;
using j6test::Value;

const std::string kKey = "HKLM\\SYSTEM\\CurrentControlSet\\Services\\j6knldrv\\Parameters\\Device0";
constexpr HINSTANCE kModule = 0x10000000;
constexpr HWND kControlPanel = 0xC0C0;
const std::set<int> kBanks = {kRadioRom, kRadio1Mb, kRadio2Mb, kRadio4Mb};

class Applet : public ::testing::Test {
 protected:
  void SetUp() override {
    os_.family = platform::WindowsFamily::kNt;
    os_.registry = &registry_;
    os_.processes = &processes_;
    os_.ui = &ui_;
    LoadModule(&os_);
    ASSERT_EQ(LibMain(kModule, DLL_PROCESS_ATTACH, nullptr), kTrue);
  }

  void Store(const char* name, const std::optional<Value>& value) {
    if (value) registry_.keys[kKey][name] = *value;
  }
  // Double-clicks the item and lets `script` be the user.
  void Open(j6test::FakeUi::Script script) {
    ui_.script = std::move(script);
    EXPECT_EQ(CPlApplet(kControlPanel, CPL_DBLCLK, 0, 0), 1);
  }
  j6test::FakeDialog& Shown() { return *ui_.last; }

  j6test::FakeRegistry registry_;
  j6test::FakeProcesses processes_;
  j6test::FakeUi ui_;
  platform::Os os_;
};

// What the dialog shows for what the key holds.
struct StartCase {
  const char* what;
  std::optional<Value> gmFile, gmBank;
  std::set<int> enabled;
  std::optional<int> marked;
  friend void PrintTo(const StartCase& c, std::ostream* os) { *os << c.what; }
};

class AppletStart : public Applet, public ::testing::WithParamInterface<StartCase> {};

TEST_P(AppletStart, enables_the_allowed_banks_and_marks_the_stored_one) {
  const auto& c = GetParam();
  Store("GmFile", c.gmFile);
  Store("GmBank", c.gmBank);
  Open([](j6test::FakeDialog&, const platform::DialogProc&) {});
  EXPECT_EQ(ui_.initResult, kTrue);
  EXPECT_EQ(Shown().Enabled(kBanks), c.enabled);
  EXPECT_EQ(Shown().Checked(), c.marked ? std::set<int>{*c.marked} : std::set<int>{});
  DWORD expectedOrg = c.marked ? static_cast<DWORD>(*c.marked - kRadioFirst) : kNoBank;
  EXPECT_EQ(Module().dwOrgGmBank, expectedOrg);
  EXPECT_EQ(Module().dwNewGmBank, expectedOrg);
}

const std::set<int> kAll = kBanks;
INSTANTIATE_TEST_SUITE_P(
    Values, AppletStart,
    ::testing::Values(
        StartCase{"rom_only", Dword(1), Dword(0), {kRadioRom}, kRadioRom},
        StartCase{"all_banks", Dword(15), Dword(2), kAll, kRadio2Mb},
        StartCase{
            "mask_bits_pick_each_button", Dword(0x2 | 0x8), Dword(1), {kRadio1Mb, kRadio4Mb}, kRadio1Mb},
        StartCase{"bits_above_the_four_banks_ignored", Dword(0xFFFFFFF4), Dword(2), {kRadio2Mb}, kRadio2Mb},
        StartCase{"marked_but_disabled", Dword(7), Dword(4), {kRadioRom, kRadio1Mb, kRadio2Mb}, kRadio4Mb},
        StartCase{"empty_mask", Dword(0), Dword(0), {}, kRadioRom},
        StartCase{"no_mask", std::nullopt, Dword(1), {}, kRadio1Mb},
        StartCase{"mask_too_long_to_read",
                  Value{platform::kRegBinary, {15, 0, 0, 0, 0, 0, 0, 0}},
                  Dword(1),
                  {},
                  kRadio1Mb},
        StartCase{"bank_3_is_no_choice", Dword(15), Dword(3), kAll, std::nullopt},
        StartCase{"bank_8_is_no_choice", Dword(15), Dword(8), kAll, std::nullopt},
        StartCase{"bank_all_bits_is_no_choice", Dword(15), Dword(0xFFFFFFFF), kAll, std::nullopt},
        StartCase{"bank_as_text_is_no_choice", Dword(15), Text("2"), kAll, std::nullopt},
        StartCase{"bank_as_binary_is_no_choice", Dword(15), Value{platform::kRegBinary, {1, 0, 0, 0}}, kAll,
                  std::nullopt},
        StartCase{"bank_too_long_is_no_choice", Dword(15),
                  Value{platform::kRegDword, {1, 0, 0, 0, 0, 0, 0, 0}}, kAll, std::nullopt},
        StartCase{"no_bank", Dword(15), std::nullopt, kAll, std::nullopt},
        // A short value reads as its own bytes, not as what the mask left in the buffer.
        StartCase{"short_bank_after_a_wide_mask", Dword(0x0001000F), Value{platform::kRegDword, {2, 0}}, kAll,
                  kRadio2Mb}),
    [](const auto& info) { return std::string(info.param.what); });

// What OK or Cancel leaves in the key after the user's clicks.
struct CloseCase {
  const char* what;
  std::optional<Value> gmBank;
  std::vector<int> clicks;
  int button;
  std::optional<DWORD> written;
  friend void PrintTo(const CloseCase& c, std::ostream* os) { *os << c.what; }
};

class AppletClose : public Applet, public ::testing::WithParamInterface<CloseCase> {};

TEST_P(AppletClose, writes_only_a_changed_choice_on_ok) {
  const auto& c = GetParam();
  Store("GmFile", Dword(15));
  Store("GmBank", c.gmBank);
  Open([&](j6test::FakeDialog& d, const platform::DialogProc& proc) {
    for (int id : c.clicks) EXPECT_EQ(j6test::Click(d, proc, id), kTrue);
    EXPECT_EQ(registry_.open.size(), 1u) << "the key stays open while the dialog shows";
    EXPECT_EQ(j6test::Click(d, proc, c.button), kTrue);
  });
  EXPECT_TRUE(Shown().ended);
  EXPECT_EQ(Shown().result, 0);
  EXPECT_TRUE(registry_.open.empty()) << "the key is closed with the dialog";
  if (c.written) {
    ASSERT_EQ(registry_.writes.size(), 1u);
    EXPECT_EQ(registry_.writes[0].key, kKey);
    EXPECT_EQ(registry_.writes[0].name, "GmBank");
    EXPECT_EQ(registry_.writes[0].value.type, platform::kRegDword);
    EXPECT_EQ(registry_.writes[0].value.bytes, Dword(*c.written).bytes);
  } else {
    EXPECT_TRUE(registry_.writes.empty());
  }
}

INSTANTIATE_TEST_SUITE_P(
    Values, AppletClose,
    ::testing::Values(
        CloseCase{"unchanged_ok", Dword(2), {}, platform::kIdOk, std::nullopt},
        CloseCase{"same_button_again_ok", Dword(2), {kRadio2Mb}, platform::kIdOk, std::nullopt},
        CloseCase{
            "back_to_the_stored_bank_ok", Dword(2), {kRadio4Mb, kRadio2Mb}, platform::kIdOk, std::nullopt},
        CloseCase{"changed_ok", Dword(2), {kRadioRom}, platform::kIdOk, 0},
        CloseCase{"last_click_wins", Dword(0), {kRadio1Mb, kRadio4Mb}, platform::kIdOk, 4},
        CloseCase{"changed_cancel", Dword(2), {kRadio1Mb}, platform::kIdCancel, std::nullopt},
        CloseCase{"invalid_bank_unchanged_ok", Dword(3), {}, platform::kIdOk, std::nullopt},
        CloseCase{"invalid_bank_picked_ok", Dword(3), {kRadio1Mb}, platform::kIdOk, 1},
        CloseCase{"text_bank_picked_ok", Text("2"), {kRadio2Mb}, platform::kIdOk, 2},
        CloseCase{"no_bank_picked_ok", std::nullopt, {kRadioRom}, platform::kIdOk, 0},
        CloseCase{"no_bank_picked_cancel", std::nullopt, {kRadioRom}, platform::kIdCancel, std::nullopt}),
    [](const auto& info) { return std::string(info.param.what); });

TEST_F(Applet, key_that_cannot_be_made_leaves_a_dialog_without_effect) {
  // An earlier showing leaves its bank behind, so a pick differs from it.
  Store("GmFile", Dword(15));
  Store("GmBank", Dword(2));
  Open([](j6test::FakeDialog& d, const platform::DialogProc& proc) {
    j6test::Click(d, proc, platform::kIdOk);
  });
  registry_.createdPaths.clear();
  registry_.createFails = true;
  Open([](j6test::FakeDialog& d, const platform::DialogProc& proc) {
    j6test::Click(d, proc, kRadio1Mb);
    EXPECT_EQ(j6test::Click(d, proc, platform::kIdOk), kTrue);
  });
  EXPECT_EQ(ui_.initResult, kFalse);
  EXPECT_EQ(registry_.createdPaths, std::vector<std::string>{kKey});
  EXPECT_TRUE(Shown().ended);
  EXPECT_TRUE(registry_.writes.empty());
  EXPECT_TRUE(registry_.closeOfUnknown.empty()) << "no close of a key that never opened";
}

TEST_F(Applet, missing_key_is_created_and_offers_no_bank) {
  Open([](j6test::FakeDialog& d, const platform::DialogProc& proc) {
    j6test::Click(d, proc, platform::kIdOk);
  });
  EXPECT_TRUE(registry_.keys.count(kKey));
  EXPECT_TRUE(Shown().Enabled(kBanks).empty());
  EXPECT_TRUE(Shown().Checked().empty());
  EXPECT_TRUE(registry_.writes.empty());
}

TEST_F(Applet, failed_write_still_closes_quietly) {
  Store("GmFile", Dword(15));
  Store("GmBank", Dword(0));
  registry_.writeFails = true;
  Open([](j6test::FakeDialog& d, const platform::DialogProc& proc) {
    j6test::Click(d, proc, kRadio4Mb);
    j6test::Click(d, proc, platform::kIdOk);
  });
  EXPECT_EQ(registry_.writes.size(), 1u);
  EXPECT_TRUE(Shown().ended);
  EXPECT_TRUE(registry_.open.empty());
}

TEST_F(Applet, each_showing_reads_the_key_afresh) {
  Store("GmFile", Dword(15));
  Store("GmBank", Dword(0));
  Open([](j6test::FakeDialog& d, const platform::DialogProc& proc) {
    j6test::Click(d, proc, kRadio1Mb);
    j6test::Click(d, proc, platform::kIdOk);
  });
  Store("GmFile", Dword(8));
  Open([](j6test::FakeDialog& d, const platform::DialogProc& proc) {
    j6test::Click(d, proc, platform::kIdOk);
  });
  EXPECT_EQ(Shown().Checked(), std::set<int>{kRadio1Mb});
  EXPECT_EQ(Shown().Enabled(kBanks), std::set<int>{kRadio4Mb});
  EXPECT_EQ(registry_.writes.size(), 1u);
}

TEST_F(Applet, dialog_ended_without_ok_or_cancel_leaves_no_key_open) {
  Open([](j6test::FakeDialog& d, const platform::DialogProc&) { d.End(0); });
  EXPECT_TRUE(registry_.open.empty());
  EXPECT_EQ(Module().gkDeviceNode, 0u);
}

TEST_F(Applet, dialog_procedure_answers_false_to_what_it_does_not_handle) {
  Store("GmFile", Dword(15));
  Open([](j6test::FakeDialog& d, const platform::DialogProc& proc) {
    EXPECT_EQ(proc(d, platform::kWmCommand, 1103, 0), kFalse);
    EXPECT_EQ(proc(d, platform::kWmCommand, kGroupGeneralMidi, 0), kFalse);
    EXPECT_EQ(proc(d, platform::kWmClose, 0, 0), kFalse);
    EXPECT_EQ(proc(d, platform::kWmDrawItem, 0, 0), kFalse);
    EXPECT_FALSE(d.ended);
    // The notification code in the high word does not matter: the control id decides.
    EXPECT_EQ(proc(d, platform::kWmCommand, (1u << 16) | kRadio2Mb, 0), kTrue);
    EXPECT_EQ(Module().dwNewGmBank, 2u);
    EXPECT_EQ(DlgProc(0xBAD, platform::kWmCommand, platform::kIdOk, 0), kFalse) << "another window";
    EXPECT_FALSE(d.ended);
    proc(d, platform::kWmCommand, platform::kIdCancel, 0);
  });
  EXPECT_TRUE(Shown().ended);
}

TEST_F(Applet, shows_dialog_110_for_item_0_only) {
  Open([](j6test::FakeDialog& d, const platform::DialogProc& proc) {
    j6test::Click(d, proc, platform::kIdCancel);
  });
  ui_.script = [](j6test::FakeDialog& d, const platform::DialogProc& proc) {
    j6test::Click(d, proc, platform::kIdCancel);
  };
  EXPECT_EQ(CPlApplet(kControlPanel, CPL_STARTWPARMS, 0, reinterpret_cast<LPARAM>(u"ignored")), 1);
  EXPECT_EQ(CPlApplet(kControlPanel, CPL_DBLCLK, 1, 0), 1);
  EXPECT_EQ(CPlApplet(kControlPanel, CPL_STARTWPARMS, 2, 0), 1);
  ASSERT_EQ(ui_.shown.size(), 2u);
  for (const auto& s : ui_.shown) {
    EXPECT_EQ(s.templateId, 110);
    EXPECT_EQ(s.owner, kControlPanel);
    EXPECT_EQ(s.initParam, 0);
  }
}

TEST_F(Applet, messages_give_their_results_and_count_init_and_exit) {
  struct Row {
    UINT message;
    LONG result;
  };
  const Row rows[] = {{CPL_INIT, 1}, {CPL_INIT, 1}, {CPL_GETCOUNT, 1}, {CPL_SELECT, 0}, {CPL_STOP, 0},
                      {0, 0},        {9, 0},        {0x7FFF, 0},       {CPL_EXIT, 1}};
  for (const auto& row : rows)
    EXPECT_EQ(CPlApplet(kControlPanel, row.message, 0, 0), row.result) << "message " << row.message;
  EXPECT_EQ(Module().s_iInitCount, 1);
  EXPECT_EQ(CPlApplet(kControlPanel, CPL_EXIT, 0, 0), 1);
  EXPECT_EQ(CPlApplet(kControlPanel, CPL_EXIT, 0, 0), 1);
  EXPECT_EQ(Module().s_iInitCount, -1);
  EXPECT_TRUE(ui_.shown.empty());
}

TEST_F(Applet, inquire_describes_item_0_and_gives_every_item_its_data) {
  for (LPARAM item : {0, 1, 5}) {
    CPLINFO info;
    std::memset(&info, 0xEE, sizeof info);
    EXPECT_EQ(CPlApplet(kControlPanel, CPL_INQUIRE, item, reinterpret_cast<LPARAM>(&info)), 1);
    EXPECT_EQ(info.lData, 0);
    if (item == 0) {
      EXPECT_EQ(info.idIcon, 101);
      EXPECT_EQ(info.idName, 1);
      EXPECT_EQ(info.idInfo, 2);
    } else {
      EXPECT_EQ(info.idIcon, std::int32_t(0xEEEEEEEE)) << "item " << item;
      EXPECT_EQ(info.idName, std::int32_t(0xEEEEEEEE));
      EXPECT_EQ(info.idInfo, std::int32_t(0xEEEEEEEE));
    }
  }
  EXPECT_EQ(LoadText(1), u"J6 Audio");
  EXPECT_EQ(LoadText(2), u"Changes your J6 wavetable synthesizer settings.");
}

TEST_F(Applet, newinquire_fills_the_unicode_record_and_keeps_the_flags) {
  for (LPARAM item : {0, 1, 7}) {
    NEWCPLINFOW info;
    std::memset(&info, 0xEE, sizeof info);
    EXPECT_EQ(CPlApplet(kControlPanel, CPL_NEWINQUIRE, item, reinterpret_cast<LPARAM>(&info)), 1);
    EXPECT_EQ(info.dwSize, 468u);
    EXPECT_EQ(info.dwFlags, 0xEEEEEEEEu);
    EXPECT_EQ(info.lData, 0);
    EXPECT_EQ(info.szHelpFile[0], 0);
    if (item == 0) {
      EXPECT_EQ(info.dwHelpContext, 0u);
      EXPECT_EQ(info.hIcon, 0x7700u + 101);
      EXPECT_EQ(std::u16string(info.szName), u"J6 Audio");
      EXPECT_EQ(std::u16string(info.szInfo), u"Changes your J6 wavetable synthesizer settings.");
    } else {
      EXPECT_EQ(info.dwHelpContext, 0xEEEEEEEEu) << "item " << item;
      EXPECT_EQ(info.hIcon, 0xEEEEEEEEu);
      EXPECT_EQ(info.szName[0], 0xEEEE);
      EXPECT_EQ(info.szInfo[0], 0xEEEE);
    }
  }
  ASSERT_EQ(ui_.iconLoads.size(), 1u);
  EXPECT_EQ(ui_.iconLoads[0], std::make_pair(std::uintptr_t{kModule}, 101));
}

TEST_F(Applet, inquiries_without_a_record_are_refused) {
  EXPECT_EQ(CPlApplet(kControlPanel, CPL_INQUIRE, 0, 0), 0);
  EXPECT_EQ(CPlApplet(kControlPanel, CPL_NEWINQUIRE, 0, 0), 0);
  EXPECT_EQ(GetDeviceNode(nullptr), kFalse);
}

TEST_F(Applet, libmain_keeps_the_handle_and_stops_thread_notifications) {
  EXPECT_EQ(Module().hinst, kModule);
  EXPECT_EQ(processes_.threadCallsDisabled, std::vector<std::uintptr_t>{kModule});
  for (DWORD reason : {DLL_THREAD_ATTACH, DLL_THREAD_DETACH, DLL_PROCESS_DETACH})
    EXPECT_EQ(LibMain(0x2000, reason, nullptr), kTrue);
  EXPECT_EQ(Module().hinst, kModule);
  EXPECT_EQ(processes_.threadCallsDisabled.size(), 1u);
}

}  // namespace
