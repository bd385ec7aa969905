// The microcode loader: file checks, segment types, checksums and what reaches on-board memory 2.
#include "hal_fixture.h"
#include "memory_files.h"

namespace {

using namespace haltest;

class Microcode : public SimPc {
 protected:
  std::uint32_t Start() {
    Boot();
    Load([this](sim::Process& p) { p.Os().files = &files_; });
    std::uint32_t id = 0;
    EXPECT_EQ(VEXA_Initialize(1, &id), 0u);
    return id;
  }
  std::vector<std::uint8_t> Mem2(std::size_t at, std::size_t n) {
    auto& m = Card().Memory(2);
    return {m.begin() + long(at), m.begin() + long(at + n)};
  }
  MemoryFiles files_;
};

TEST_F(Microcode, files_and_what_they_leave_in_memory_2) {
  struct Case {
    const char* name;
    std::string text;
    std::uint32_t target;
    std::uint32_t status;
    std::size_t at;                   // where to look in memory 2
    std::vector<std::uint8_t> bytes;  // what must be there
  };
  const std::string example = "5A43 0101 1 0\n1 0 0 5\n12 34 56 78 14\n";
  const std::vector<std::uint8_t> none(8, 0);
  const Case cases[] = {
      {"the example, target 1", example, 1, 0, 0xC000, {0x12, 0x34, 0x56, 0x78, 0, 0}},
      {"the example, target 2", example, 2, 0, 0x0000, {0x12, 0x34, 0x56, 0x78}},
      {"another target checks but writes nothing", example, 3, 0, 0xC000, none},
      {"CR LF lines", "5A43 0101 1 0\r\n1 0 0 5\r\n12 34 56 78 14\r\n", 2, 0, 0, {0x12, 0x34, 0x56, 0x78}},
      {"0x prefixes and tokens across lines",
       "0x5A43 0x0101 1 0\n1 0 0 5\n12\n34 56\n78 0x14\n",
       2,
       0,
       0,
       {0x12, 0x34, 0x56, 0x78}},
      {"data after the fourth header token",
       "5A43 0101 1 0\n1 0 0 3 AA BB 65 FF\n",
       2,
       0,
       0,
       {0xAA, 0xBB, 0}},
      {"five data bytes make three words",
       "5A43 0101 1 0\n1 0 0 6\n1 2 3 4 5 F\n",
       2,
       0,
       0,
       {1, 2, 3, 4, 5, 0, 0}},
      {"a tab joins two tokens", "5A43 0101 1 0\n1 0 0 3\n12\t34 56 68\n", 2, 0, 0, {0x12, 0x56, 0}},
      {"type 0 is skipped unchecked", "5A43 0101 2 0\n0 0 0 3\n1 2 FF\n1 0 0 2\n9 9\n", 2, 0, 0, {9, 0, 0}},
      {"type 0 running out of tokens is no error", "5A43 0101 1 0\n0 0 0 9\n1 2\n", 2, 0, 0, none},
      {"another type carries no tokens", "5A43 0101 2 0\n7 0 0 3\n1 0 0 2\n4 4\n", 2, 0, 0, {4, 0}},
      {"segment count 0", "5A43 0101 0 0\n1 0 0 2\n4 4\n", 2, 0, 0, none},
      {"version 0100", "5A43 0100 1 0\n1 0 0 5\n12 34 56 78 14\n", 2, 1, 0, none},
      {"wrong magic", "5A44 0101 1 0\n1 0 0 5\n12 34 56 78 14\n", 2, 1, 0, none},
      {"short file header", "5A43 0101 1\n1 0 0 5\n12 34 56 78 14\n", 2, 1, 0, none},
      {"empty file", "", 2, 1, 0, none},
      {"checksum off by one", "5A43 0101 1 0\n1 0 0 5\n12 34 56 78 15\n", 2, 1, 0, none},
      {"blank line inside a segment", "5A43 0101 1 0\n1 0 0 5\n12 34\n\n56 78 14\n", 2, 1, 0, none},
      {"end of file inside a segment", "5A43 0101 1 0\n1 0 0 5\n12 34 56\n", 2, 1, 0, none},
      {"missing segment header", "5A43 0101 2 0\n1 0 0 2\n4 4\n", 2, 1, 0, {4, 0}},
      {"short segment header", "5A43 0101 1 0\n1 0 0\n4 4\n", 2, 1, 0, none},
      {"type 1 without a checksum token", "5A43 0101 1 0\n1 0 0 0\n", 2, 1, 0, none},
      {"a segment before the failure stays",
       "5A43 0101 2 0\n1 0 0 3\n21 43 64\n1 0 0 2\n1 2\n",
       2,
       1,
       0,
       {0x21, 0x43}},
  };
  const std::uint32_t id = Start();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    for (auto& m : Card().Memory(2)) m = 0;
    files_.files["C:\\UCODE.TXT"] = c.text;
    EXPECT_EQ(VEXA_LoadUCode(id, "C:\\UCODE.TXT", c.target), c.status);
    EXPECT_EQ(Mem2(c.at, c.bytes.size()), c.bytes);
    EXPECT_EQ(files_.OpenFiles(), 0u) << "the file is closed";
    EXPECT_EQ(machine_->Memory().BytesOwnedBy("process:" + std::to_string(processes_[0]->process->Id())), 0u)
        << "the segment buffer is released";
  }
}

TEST_F(Microcode, a_long_line_is_read_in_pieces_of_127_characters) {
  const std::uint32_t id = Start();
  // 42 tokens "01 " fill 126 characters; the 127th is the first digit of "0203", so the piece ends
  // inside that token and its second half is a token of its own.
  std::string line;
  for (int i = 0; i < 42; ++i) line += "01 ";
  line += "0203 ";
  // 42 ones, then 0 (from "0") and 0x203's low byte 03, then the checksum 42 + 3 = 0x2D.
  files_.files["u"] = "5A43 0101 1 0\n1 0 0 2D\n" + line + "2D\n";
  EXPECT_EQ(VEXA_LoadUCode(id, "u", 2), 0u);
  EXPECT_EQ(Mem2(40, 6), (std::vector<std::uint8_t>{1, 1, 0, 3, 0, 0}));
}

TEST_F(Microcode, refusals_before_the_file_is_read) {
  const std::uint32_t id = Start();
  files_.files["u"] = "5A43 0101 0 0\n";
  EXPECT_EQ(VEXA_LoadUCode(id + 1, "u", 2), 1u) << "no record";
  EXPECT_EQ(VEXA_LoadUCode(id, "missing", 2), 1u);
  EXPECT_EQ(VEXA_LoadUCode(id, nullptr, 2), 1u);
  EXPECT_EQ(files_.openCount, 0);
  EXPECT_EQ(VEXA_LoadUCode(id, "u", 2), 0u);
}

TEST_F(Microcode, a_segment_buffer_that_cannot_be_had_fails_the_load) {
  const std::uint32_t id = Start();
  files_.files["u"] = "5A43 0101 1 0\n1 0 0 5\n12 34 56 78 14\n";
  machine_->GetFaults().Arm(sim::fault::kGlobalAlloc);
  EXPECT_EQ(VEXA_LoadUCode(id, "u", 2), 1u);
  EXPECT_EQ(Mem2(0, 2), (std::vector<std::uint8_t>{0, 0}));
  EXPECT_EQ(files_.OpenFiles(), 0u);
}

TEST_F(Microcode, a_segment_goes_out_as_one_block_transfer_to_memory_2) {
  const std::uint32_t id = Start();
  Bus().ClearTrace();
  files_.files["u"] = "5A43 0101 1 0\n1 0 0 5\n12 34 56 78 14\n";
  ASSERT_EQ(VEXA_LoadUCode(id, "u", 1), 0u);
  std::vector<std::uint16_t> addresses, data, controls;
  const auto& t = Bus().Trace();
  // Each wide register write is index low, index high, data low, data high.
  for (std::size_t i = 0; i + 3 < t.size(); ++i) {
    if (t[i].kind != sim::PortAccess::Kind::kOut || t[i].port != Base() + 8 || t[i + 2].port != Base() + 10 ||
        t[i + 2].kind != sim::PortAccess::Kind::kOut)
      continue;
    const std::uint16_t value = std::uint16_t(t[i + 2].value | t[i + 3].value << 8);
    if (t[i].value == 0) addresses.push_back(value);
    if (t[i].value == 1) data.push_back(value);
    if (t[i].value == 3) controls.push_back(value);
  }
  EXPECT_EQ(addresses, (std::vector<std::uint16_t>{0xC000, 0xC002}));
  EXPECT_EQ(data, (std::vector<std::uint16_t>{0x3412, 0x7856}));
  EXPECT_EQ(controls, (std::vector<std::uint16_t>{0x00A0, 0x00A4, 0x00A4, 0x0000}));
}

}  // namespace
