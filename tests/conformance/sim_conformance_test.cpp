// Runs the conformance tables against the simulated PC: every row on a fresh machine of each Windows
// it applies to.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>

#include "conformance_cases.h"
#include "sim/machine.h"
#include "sim/process.h"

namespace {

namespace fs = std::filesystem;

struct Row {
  const conformance::Case* c;
  platform::WindowsFamily family;
};

std::vector<Row> Rows(const std::vector<conformance::Case>& cases) {
  std::vector<Row> rows;
  for (const auto& c : cases)
    for (auto family : {platform::WindowsFamily::k95, platform::WindowsFamily::kNt})
      if (conformance::Applies(c, family)) rows.push_back({&c, family});
  return rows;
}

std::string RowName(const testing::TestParamInfo<Row>& info) {
  return std::string(info.param.c->name) +
         (info.param.family == platform::WindowsFamily::kNt ? "_nt" : "_95");
}

class SimConformance : public testing::TestWithParam<Row> {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("j6-conformance-" + std::to_string(::getpid()) + "-" +
                                        std::to_string(reinterpret_cast<std::uintptr_t>(this)));
    fs::remove_all(dir_);
    machine_ = sim::Machine::Create(dir_, sim::MachineConfig::Defaults(GetParam().family));
    process_ = machine_->StartProcess("conformance", "C:\\");
    platform::Os& os = process_->Os();
    ASSERT_TRUE(os.files->CreateDirectory("C:\\SCRATCH"));
    ASSERT_EQ(os.registry->CreateKey(platform::kHkeyCurrentUser, "Software\\J6Conformance", &key_), 0u);
  }
  void TearDown() override {
    process_.reset();
    machine_.reset();
    fs::remove_all(dir_);
  }

  fs::path dir_;
  std::unique_ptr<sim::Machine> machine_;
  std::unique_ptr<sim::Process> process_;
  platform::HKey key_ = 0;
};

TEST_P(SimConformance, holds) {
  conformance::Env env{process_->Os(), key_, "C:\\SCRATCH"};
  GetParam().c->run(env);
}

INSTANTIATE_TEST_SUITE_P(Registry, SimConformance, testing::ValuesIn(Rows(conformance::RegistryCases())),
                         RowName);
INSTANTIATE_TEST_SUITE_P(Profiles, SimConformance, testing::ValuesIn(Rows(conformance::ProfileCases())),
                         RowName);
INSTANTIATE_TEST_SUITE_P(Files, SimConformance, testing::ValuesIn(Rows(conformance::FileCases())), RowName);
INSTANTIATE_TEST_SUITE_P(Riff, SimConformance, testing::ValuesIn(Rows(conformance::RiffCases())), RowName);
INSTANTIATE_TEST_SUITE_P(Services, SimConformance, testing::ValuesIn(Rows(conformance::ServiceCases())),
                         RowName);
INSTANTIATE_TEST_SUITE_P(FileQueue, SimConformance, testing::ValuesIn(Rows(conformance::FileQueueCases())),
                         RowName);

}  // namespace
