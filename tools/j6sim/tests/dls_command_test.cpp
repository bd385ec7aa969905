#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>

#include "sim/dls_writer.h"
#include "tools/j6sim/commands.h"
#include "tools/j6sim/tests/j6sim_test.h"

namespace {

namespace fs = std::filesystem;
using j6sim_test::J6sim;
using j6sim_test::Result;
using j6sim_test::TempFolderTest;

class DlsCommand : public TempFolderTest {
 protected:
  void SetUp() override {
    TempFolderTest::SetUp();
    fs::create_directories(dir_);
    machine_ = (dir_ / "pc").string();
    ASSERT_EQ(J6sim({"new", machine_}).status, 0);
  }
  std::string File(const std::string& name, const sim::dlsw::Collection& c) {
    auto bytes = sim::dlsw::WriteDls(c);
    fs::path path = dir_ / name;
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return path.string();
  }
  std::string machine_;
};

TEST_F(DlsCommand, load_prints_instruments_kits_and_ram) {
  Result r = J6sim({"dls", "load", machine_, File("small.dls", sim::dlsw::SmallCollection())});
  ASSERT_EQ(r.status, 0) << r.out << r.err;
  EXPECT_NE(r.out.find("Collection 0"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("instrument bank 0, program 0: patch slot 0, splits 0-0, 1 region(s)"),
            std::string::npos)
      << r.out;
  EXPECT_NE(r.out.find("drum kit bank 0, program 0: drum patch slot 0, keys 35 38"), std::string::npos)
      << r.out;
  EXPECT_NE(r.out.find("DLS RAM: "), std::string::npos);
  EXPECT_FALSE(fs::exists(fs::path(machine_) / "C" / "J6SIMDLS")) << "staged files are removed";
}

TEST_F(DlsCommand, second_file_with_the_same_instrument_needs_replace) {
  std::string a = File("a.dls", sim::dlsw::SmallCollection());
  std::string b = File("b.dls", sim::dlsw::SmallCollection());
  Result r = J6sim({"dls", "load", machine_, a, b});
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.out.find("status 12"), std::string::npos) << r.out;
  r = J6sim({"dls", "load", machine_, a, b, "--replace", "--json", "--dump", (dir_ / "mem.bin").string()});
  ASSERT_EQ(r.status, 0) << r.out;
  auto j = nlohmann::json::parse(r.out);
  ASSERT_EQ(j["collections"].size(), 2u);
  EXPECT_TRUE(j["collections"][0]["instruments"].empty()) << "the second took its instrument";
  EXPECT_EQ(j["collections"][1]["instruments"].size(), 1u);
  const auto& dump = j["dump"];
  EXPECT_EQ(fs::file_size(dir_ / "mem.bin"), dump["size"].get<std::uint64_t>());
  EXPECT_EQ(dump["dataAreaOffset"].get<std::uint32_t>(),
            dump["gmBankBytes"].get<std::uint32_t>() + dump["tableAreaSize"].get<std::uint32_t>());
  EXPECT_EQ(dump["fRomBelowRam"], 1);
}

TEST_F(DlsCommand, check_names_status_reason_and_place) {
  Result ok = J6sim({"dls", "check", File("ok.dls", sim::dlsw::SmallCollection())});
  EXPECT_EQ(ok.status, 0);
  EXPECT_NE(ok.out.find(": loads"), std::string::npos) << ok.out;

  sim::dlsw::Collection c = sim::dlsw::SmallCollection();
  c.waves[2].channels = 2;
  Result bad = J6sim({"dls", "check", File("stereo.dls", c)});
  EXPECT_EQ(bad.status, 1);
  EXPECT_NE(bad.out.find("status 11 (not an acceptable DLS Level 1 collection)"), std::string::npos)
      << bad.out;
  EXPECT_NE(bad.out.find("instrument 1, region 1, wave 2, chunk \"fmt \""), std::string::npos) << bad.out;

  Result missing = J6sim({"dls", "check", (dir_ / "nothing.dls").string()});
  EXPECT_EQ(missing.status, 2);
  EXPECT_NE(missing.err.find("no such file"), std::string::npos);
}

TEST_F(DlsCommand, demo_loads_its_collection) {
  Result r = J6sim({"demo"});
  ASSERT_EQ(r.status, 0) << r.out << r.err;
  EXPECT_NE(r.out.find("drum kit bank 0, program 0"), std::string::npos) << r.out;
}

}  // namespace
