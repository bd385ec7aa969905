#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <sstream>

#include "tools/j6sim/commands.h"
#include "tools/j6sim/tests/j6sim_test.h"

namespace {

namespace fs = std::filesystem;
using j6sim_test::J6sim;
using j6sim_test::Result;
using j6sim_test::TempFolderTest;

class CardCommand : public TempFolderTest {
 protected:
};

TEST_F(CardCommand, prints_the_card_of_a_new_machine) {
  ASSERT_EQ(J6sim({"new", dir_.string()}).status, 0);
  Result r = J6sim({"card", dir_.string()});
  EXPECT_EQ(r.status, 0) << r.err;
  for (const char* line :
       {"Device identifier:   0x4A360001", "Mode:                native", "Base port:           0xE000",
        "Interrupt line:      5", "descriptor 1: channel 5", "ports: 0xE050, 0xE052"})
    EXPECT_NE(r.out.find(line), std::string::npos) << line << "\n" << r.out;
}

TEST_F(CardCommand, legacy_mode_shows_the_pc_dma_controller_ports) {
  ASSERT_EQ(J6sim({"new", dir_.string(), "--legacy"}).status, 0);
  Result r = J6sim({"card", dir_.string()});
  EXPECT_EQ(r.status, 0);
  EXPECT_NE(r.out.find("Mode:                legacy"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("base 0xC4, count 0xC6, page 0x8B, mask 0xD4, mode 0xD6, clear 0xD8"),
            std::string::npos)
      << r.out;
}

TEST_F(CardCommand, shows_the_dls_engine_state) {
  struct Case {
    std::vector<std::string> options;
    std::vector<const char*> lines;
  };
  const Case cases[] = {
      {{},
       {"  General MIDI source: ROM", "  DLS available: yes", "  fRomBelowRam: 1",
        "  DLS data area: 2097152 bytes", "  Free: 2097152 bytes (largest block 2097152 bytes)",
        "  DLS RAM cut to fit (bit 25): no", "  GM bank not provided (bit 27): no"}},
      {{"--no-gm-rom"},
       {"  General MIDI source: none", "  fRomBelowRam: 0", "  GM bank not provided (bit 27): yes"}},
      {{"--legacy"}, {"  General MIDI source: ROM", "  DLS available: no", "  fRomBelowRam: 0"}},
  };
  for (const auto& c : cases) {
    fs::remove_all(dir_);
    std::vector<std::string> args = {"new", dir_.string()};
    args.insert(args.end(), c.options.begin(), c.options.end());
    ASSERT_EQ(J6sim(args).status, 0);
    Result r = J6sim({"card", dir_.string()});
    EXPECT_EQ(r.status, 0) << r.err;
    for (const char* line : c.lines) EXPECT_NE(r.out.find(line), std::string::npos) << line << "\n" << r.out;
  }
}

TEST_F(CardCommand, a_machine_without_the_card_or_folder_fails_clearly) {
  ASSERT_EQ(J6sim({"new", dir_.string(), "--card", "none"}).status, 0);
  Result r = J6sim({"card", dir_.string()});
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.out.find("no card"), std::string::npos);
  r = J6sim({"card", (dir_ / "missing").string()});
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.err.find("no such machine folder"), std::string::npos);
}

}  // namespace
