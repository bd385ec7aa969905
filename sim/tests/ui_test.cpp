#include "sim/ui.h"

#include <gtest/gtest.h>

#include <sstream>

namespace {

using platform::ControlKind;

// A page with a check box pair that excludes each other, a hidden box, a disabled button and OK/Cancel.
platform::DialogTemplate Page() {
  platform::DialogTemplate t;
  t.id = 200;
  t.caption = "Test page";
  t.controls = {
      {-1, ControlKind::kStatic, "Pick one.", 0, 0, 10, 10, 0},
      {10, ControlKind::kCheckBox, "&Install", 0, 0, 10, 10, 0},
      {11, ControlKind::kCheckBox, "Remove", 0, 0, 10, 10, 0},
      {12, ControlKind::kCheckBox, "Secret", 0, 0, 10, 10, platform::kControlHidden},
      {13, ControlKind::kPushButton, "Greyed", 0, 0, 10, 10, platform::kControlDisabled},
      {20, ControlKind::kRadioButton, "Yes", 0, 0, 10, 10, platform::kControlGroupStart},
      {21, ControlKind::kRadioButton, "No", 0, 0, 10, 10, 0},
      {platform::kIdOk, ControlKind::kDefPushButton, "OK", 0, 0, 10, 10, platform::kControlGroupStart},
      {platform::kIdCancel, ControlKind::kPushButton, "Cancel", 0, 0, 10, 10, 0},
  };
  return t;
}

struct Outcome {
  std::intptr_t result = -1;
  std::vector<int> clicks;
  bool radioNo = false;
};

Outcome Drive(platform::UserInterface& ui) {
  Outcome run;
  platform::DialogProc proc = [&](platform::Dialog& d, std::uint32_t message, std::uintptr_t wParam,
                                  std::intptr_t) -> std::intptr_t {
    if (message == platform::kWmInitDialog) {
      d.CheckRadioButton(20, 21, 20);
      return 1;
    }
    if (message != platform::kWmCommand) return 0;
    int id = platform::CommandId(wParam);
    run.clicks.push_back(id);
    if (id == 10 && d.IsButtonChecked(10)) d.CheckButton(11, false);
    if (id == 11 && d.IsButtonChecked(11)) d.CheckButton(10, false);
    if (id == platform::kIdOk) {
      run.radioNo = d.IsButtonChecked(21);
      d.End(1);
    }
    if (id == platform::kIdCancel) d.End(2);
    return 1;
  };
  run.result = ui.ShowModal(Page(), 0, proc, 0);
  return run;
}

std::vector<sim::UiStep> Steps(const std::string& text) {
  std::istringstream in(text);
  return sim::ParseUiSteps(in);
}

TEST(SimUi, scripted_clicks_reach_the_procedure_with_automatic_check_boxes_and_radio_groups) {
  sim::SimUi ui(Steps("check install\nclick 11\n@999 click OK\nclick No\nuncheck 10\nclick OK\n"));
  Outcome run = Drive(ui);
  EXPECT_EQ(run.result, 1);
  EXPECT_EQ(run.clicks, (std::vector<int>{10, 11, 21, 1}));  // uncheck of a clear box clicks nothing
  EXPECT_TRUE(run.radioNo);
  ASSERT_EQ(ui.UnusedSteps().size(), 1u);  // the step for another dialog
  EXPECT_EQ(sim::ToString(ui.UnusedSteps()[0]), "@999 click OK");
  const auto& t = ui.Transcript();
  EXPECT_EQ(t.front(), "dialog 200 \"Test page\"");
  EXPECT_NE(std::find(t.begin(), t.end(), "  checkbox 12 [ ] \"Secret\" hidden"), t.end());
  EXPECT_NE(std::find(t.begin(), t.end(), "  button 13 \"Greyed\" disabled"), t.end());
  // After the click on 11 the procedure cleared 10: the change is in the transcript.
  EXPECT_NE(std::find(t.begin(), t.end(), "    checkbox 10 [ ] \"&Install\""), t.end());
}

TEST(SimUi, a_person_cannot_click_what_is_hidden_disabled_or_missing) {
  for (const char* script : {"click Secret\n", "click 13\n", "click 99\n", "check OK\n", ""}) {
    SCOPED_TRACE(script);
    sim::SimUi ui(Steps(script));
    EXPECT_THROW(Drive(ui), sim::UiError);
  }
}

TEST(SimUi, close_sends_cancel) {
  sim::SimUi ui(Steps("close\n"));
  EXPECT_EQ(Drive(ui).result, 2);
}

TEST(SimUi, message_boxes_take_answers_by_question_and_auto_answer_a_lone_ok) {
  sim::SimUi ui(Steps("answer no if newer\nanswer yes\n"));
  EXPECT_EQ(ui.MessageBox(0, "Just so you know.", "Note", platform::kMbOk), platform::kIdOk);
  EXPECT_EQ(ui.MessageBox(0, "Go on?", "Other", platform::kMbYesNo), platform::kIdYes);
  EXPECT_EQ(ui.MessageBox(0, "A newer driver", "Newer driver detected...", platform::kMbYesNo),
            platform::kIdNo);
  EXPECT_THROW(ui.MessageBox(0, "Again?", "Q", platform::kMbYesNo), sim::UiError);
  EXPECT_EQ(ui.Transcript()[0], "message box \"Note\" [OK, no icon] over dialog 0: \"Just so you know.\"");
}

TEST(SimUi, parse_rejects_bad_lines_with_their_number) {
  for (const char* bad : {"jump 1\n", "# fine\nanswer maybe\n", "@x click 1\n", "click\n"}) {
    std::istringstream in(bad);
    EXPECT_THROW(sim::ParseUiSteps(in), sim::UiError) << bad;
  }
  try {
    std::istringstream in("\n# comment\nfly\n");
    sim::ParseUiSteps(in);
  } catch (const sim::UiError& e) {
    EXPECT_NE(std::string(e.what()).find("line 3"), std::string::npos);
  }
}

TEST(SimUi, interactive_mode_shows_the_page_asks_again_on_impossible_input_and_draws_progress) {
  std::istringstream in("Secret\nnonsense\ninstall\nOK\nno\n");
  std::ostringstream out;
  sim::SimUi ui(in, out);
  Outcome run = Drive(ui);
  EXPECT_EQ(run.clicks, (std::vector<int>{10, 1}));
  EXPECT_EQ(ui.MessageBox(0, "Go on?", "Q", platform::kMbYesNo), platform::kIdNo);
  platform::DialogTemplate progress;
  progress.id = 142;
  auto* bar = ui.CreateProgress(progress, 0);
  bar->SetRange(0, 100);
  bar->SetPosition(50);
  ui.DestroyProgress(bar);
  std::string shown = out.str();
  EXPECT_NE(shown.find("checkbox 10 [ ] \"&Install\""), std::string::npos);
  EXPECT_NE(shown.find("That cannot be clicked"), std::string::npos);
  EXPECT_NE(shown.find("There is no control \"nonsense\""), std::string::npos);
  EXPECT_NE(shown.find("[###############...............] 50%"), std::string::npos);
  std::istringstream empty("");
  sim::SimUi ended(empty, out);
  EXPECT_THROW(Drive(ended), sim::UiError);
}

}  // namespace
