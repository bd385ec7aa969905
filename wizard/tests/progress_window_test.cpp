#include "wizard/progress_window.h"

#include <gtest/gtest.h>

#include <sstream>

#include "sim/ui.h"

namespace {

platform::DialogTemplate ProgressDialog() {
  platform::DialogTemplate t;
  t.id = 142;
  return t;
}

TEST(ProgressWindow, construction_clamps_the_lower_end_and_orders_the_range) {
  struct Case {
    int lower, upper, wantLower, wantUpper;
  } cases[] = {{-5, 100, 0, 100}, {100, 20, 20, 100}, {-5, -10, 0, 0}, {7, 7, 7, 7}};
  auto dialog = ProgressDialog();
  for (const auto& c : cases) {
    wizard::ProgressWindow w(nullptr, dialog, 0, "s", 0, c.lower, c.upper, 10);
    EXPECT_EQ(w.lower(), c.wantLower) << c.lower << ".." << c.upper;
    EXPECT_EQ(w.upper(), c.wantUpper) << c.lower << ".." << c.upper;
    EXPECT_EQ(w.position(), 0);
  }
}

// Moves applied in order to a window with range 10..100, step 10, total 1000; position afterwards.
TEST(ProgressWindow, moves_only_forward_and_stays_in_range) {
  struct Case {
    const char* what;
    int total;
    std::vector<std::pair<char, int>> moves;  // 'a' advanceTo, 's' stepBy
    int position;
  } cases[] = {
      {"advance back does nothing", 1000, {{'a', 30}, {'a', 20}}, 30},
      {"advance beyond upper stops at upper", 1000, {{'a', 500}}, 100},
      {"advance below lower means 0, which never lowers", 1000, {{'a', 40}, {'a', 5}}, 40},
      {"proportional step rounds up", 1000, {{'a', 10}, {'s', 15}}, 12},  // 15/1000*90 = 1.35 -> 2
      {"zero amount takes the fixed step", 1000, {{'a', 10}, {'s', 0}}, 20},
      {"step clamps to upper", 1000, {{'a', 95}, {'s', 0}}, 100},
      {"total 0 falls back to the fixed step", 0, {{'a', 10}, {'s', 500}}, 20},
      {"huge amount against a tiny total clamps", 1, {{'s', 2000000000}}, 100},
      {"negative amount moves back only to lower", 1000, {{'a', 50}, {'s', -2000}}, 10},
  };
  auto dialog = ProgressDialog();
  for (const auto& c : cases) {
    wizard::ProgressWindow w(nullptr, dialog, 0, "s", c.total, 10, 100, 10);
    for (auto [kind, x] : c.moves) kind == 'a' ? w.advanceTo(x) : w.stepBy(x);
    EXPECT_EQ(w.position(), c.position) << c.what;
  }
}

TEST(ProgressWindow, fifteen_of_a_thousand_steps_a_0_to_100_bar_by_two) {
  auto dialog = ProgressDialog();
  wizard::ProgressWindow w(nullptr, dialog, 0, "s", 1000, 0, 100, 10);
  w.stepBy(15);
  EXPECT_EQ(w.position(), 2);
  w.stepBy(0);
  EXPECT_EQ(w.position(), 12);
}

TEST(ProgressWindow, the_window_shows_range_position_step_and_status_and_finish_destroys_it) {
  sim::SimUi ui(std::vector<sim::UiStep>{});
  auto dialog = ProgressDialog();
  {
    wizard::ProgressWindow w(&ui, dialog, 0, "Copying Files ...", 200000, 0, 100, 10);
    w.advanceTo(20);  // before show: only the field moves; show puts the bar at the lower end
    EXPECT_TRUE(ui.Transcript().empty());
    w.show();
    w.stepBy(50000);
    w.finish();
    EXPECT_FALSE(w.shown());
    w.advanceTo(50);  // after finish: the field only
    EXPECT_EQ(w.position(), 100);
  }
  std::vector<std::string> expected = {"progress window 142 over dialog 0",
                                       "  range 0..100",
                                       "  bar 0",
                                       "  step 10",
                                       "  status \"Copying Files ...\"",
                                       "  bar 45",
                                       "  bar 100",
                                       "closed progress window 142 at 100"};
  EXPECT_EQ(ui.Transcript(), expected);
}

TEST(ProgressWindow, a_window_left_open_is_destroyed_with_its_object) {
  sim::SimUi ui(std::vector<sim::UiStep>{});
  auto dialog = ProgressDialog();
  {
    wizard::ProgressWindow w(&ui, dialog, 0, "s", 0, 0, 100, 10);
    w.show();
  }
  EXPECT_EQ(ui.Transcript().back(), "closed progress window 142 at 0");
}

}  // namespace
