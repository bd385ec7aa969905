#include "tests/faults/sweep.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cctype>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <set>
#include <sstream>

#include "sim/faults.h"
#include "sim/registry.h"
#include "tools/j6sim/summary.h"

namespace faults_test {

namespace fs = std::filesystem;

namespace {

std::string Upper(std::string text) {
  for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return text;
}

}  // namespace

Sections RegistryOf(sim::Machine& machine) {
  Sections keys;
  std::istringstream in(machine.Get<sim::RegistryStore>().ToText());
  std::string line, current;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (!line.empty() && line[0] == '[' && line.back() == ']') {
      current = Upper(line.substr(1, line.size() - 2));
      keys[current];
    } else if (!current.empty() && !line.empty()) {
      keys[current] += line + "\n";
    }
  }
  return keys;
}

Files FilesOf(sim::Machine& machine) {
  Files files;
  const fs::path root = machine.DriveRoot();
  for (const auto& e : fs::recursive_directory_iterator(root)) {
    if (!e.is_regular_file()) continue;
    std::ifstream in(e.path(), std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    files[fs::relative(e.path(), root).generic_string()] = s.str();
  }
  return files;
}

namespace {

using Hits = std::map<std::string, std::uint64_t>;

// Arms one hit of one point (or nothing, for the clean run) and counts the hits inside the window.
class Window : public FaultWindow {
 public:
  Window(sim::Faults& faults, std::string point, std::uint64_t n, bool inject)
      : faults_(faults), point_(std::move(point)), n_(n), inject_(inject) {}
  void Arm() override {
    if (armed_) return;
    armed_ = true;
    base_ = faults_.AllHits();
    faults_.Clear();
    if (inject_) faults_.Arm(point_, static_cast<std::uint32_t>(n_));
  }
  void Disarm() override {
    if (!armed_ || done_) return;
    done_ = true;
    for (const auto& [point, count] : faults_.AllHits()) {
      auto before = base_.find(point);
      const std::uint64_t since = count - (before == base_.end() ? 0 : before->second);
      if (since) hits_[point] = since;
    }
    faults_.Clear();
  }
  std::string Point() const override { return inject_ ? point_ : std::string(); }
  const Hits& Counted() {
    Disarm();
    return hits_;
  }
  bool Fired() {
    auto it = Counted().find(point_);
    return inject_ && it != hits_.end() && it->second > n_;
  }

 private:
  sim::Faults& faults_;
  std::string point_;
  std::uint64_t n_;
  bool inject_;
  bool armed_ = false, done_ = false;
  Hits base_, hits_;
};

struct RunResult {
  Outcome outcome;
  Sections registry;
  Files files;
  Files restarted;  // the files after the next restart has carried out the deferred renames
  Hits hits;
  bool fired = false;
};

}  // namespace

SweepFigures RunSweep(const Flow& flow) {
  const auto started = std::chrono::steady_clock::now();
  const fs::path base =
      fs::temp_directory_path() / ("j6-sweep-" + std::to_string(::getpid()) + "-" + flow.name);
  const fs::path templateDir = base / "template", dir = base / "run";
  fs::remove_all(base);
  fs::create_directories(base);
  {
    auto machine = sim::Machine::Create(templateDir, sim::MachineConfig::Defaults(flow.family));
    // The keys a freshly installed Windows has, as j6sim new makes them.
    sim::AddFreshWindowsKeys(machine->Get<sim::RegistryStore>());
    if (flow.prepare) flow.prepare(*machine);
    machine->Save();
  }

  Sections before;
  Files beforeFiles;
  auto once = [&](const std::string& point, std::uint64_t n, bool inject) {
    fs::remove_all(dir);
    fs::copy(templateDir, dir, fs::copy_options::recursive);
    RunResult r;
    auto machine = sim::Machine::Load(dir);
    if (!inject) {
      before = RegistryOf(*machine);
      beforeFiles = FilesOf(*machine);
    }
    Window window(machine->GetFaults(), point, n, inject);
    try {
      r.outcome = flow.run(*machine, window);
    } catch (const std::exception& e) {
      r.outcome.ok = false;
      r.outcome.detail = std::string("threw: ") + e.what();
    }
    r.hits = window.Counted();
    r.fired = window.Fired();
    r.registry = RegistryOf(*machine);
    r.files = FilesOf(*machine);
    std::ostringstream ignored;
    j6sim::RebootMachine(*machine, ignored);
    r.restarted = FilesOf(*machine);
    return r;
  };

  SweepFigures figures;
  const RunResult clean = once("", 0, false);
  EXPECT_TRUE(clean.outcome.ok) << "clean run: " << clean.outcome.detail;
  for (const auto& p : clean.outcome.problems) ADD_FAILURE() << "clean run: " << p;
  figures.hits = clean.hits;

  // Keys the flow itself changes.
  std::set<std::string> own;
  for (const auto& [key, text] : clean.registry)
    if (!before.count(key) || before.at(key) != text) own.insert(key);
  for (const auto& [key, text] : before)
    if (!clean.registry.count(key)) own.insert(key);
  auto isOwn = [&](const std::string& key) {
    if (own.count(key)) return true;
    for (const auto& prefix : flow.ownKeys) {
      const std::string p = Upper(prefix);
      if (key.compare(0, p.size(), p) == 0 && (key.size() == p.size() || key[p.size()] == '\\')) return true;
    }
    return false;
  };

  std::vector<std::pair<std::string, std::uint64_t>> all, chosen;
  for (const auto& [point, hits] : clean.hits)
    for (std::uint64_t n = 0; n < hits; ++n) all.emplace_back(point, n);
  const std::size_t cap = std::max<std::size_t>(flow.cap, 1);
  const std::size_t step = all.size() > cap ? (all.size() + cap - 1) / cap : 1;
  for (std::size_t i = 0; i < all.size(); i += step) chosen.push_back(all[i]);
  figures.totalHits = all.size();

  std::map<std::string, std::string> strays;  // file -> the first fault that left it
  std::map<std::string, std::map<std::string, std::vector<std::uint64_t>>>
      outcomes;  // point -> outcome -> hits
  for (const auto& [point, n] : chosen) {
    SCOPED_TRACE(flow.name + ": " + point + " hit " + std::to_string(n + 1) + " fails");
    const RunResult r = once(point, n, true);
    ++figures.injected;
    if (r.fired) ++figures.fired;
    const Outcome& o = r.outcome;
    outcomes[point][o.detail].push_back(n + 1);
    EXPECT_TRUE(o.ok) << o.detail;
    for (const auto& p : o.problems) ADD_FAILURE() << p << " (" << o.detail << ")";
    for (const auto& [key, text] : r.registry) {
      if (isOwn(key)) continue;
      EXPECT_EQ(text, before.count(key) ? before.at(key) : "") << key << " changed";
    }
    for (const auto& [key, text] : before) {
      if (isOwn(key)) continue;
      EXPECT_TRUE(r.registry.count(key)) << key << " lost";
    }
    std::set<std::string> skipped;
    for (std::string path : o.skipped) {
      if (path.size() > 3 && path[1] == ':') path = path.substr(3);
      for (char& c : path)
        if (c == '\\') c = '/';
      skipped.insert(Upper(path));
    }
    auto isSkipped = [&](const std::string& path) {
      const std::string upper = Upper(path);
      if (skipped.count(upper)) return true;
      const auto slash = upper.rfind('/');
      return slash != std::string::npos && skipped.count(upper.substr(0, slash + 1) + "*");
    };
    for (const auto& [path, content] : beforeFiles) {
      auto after = r.files.find(path);
      if (after == r.files.end() && isSkipped(path)) continue;
      auto cleanAfter = clean.files.find(path);
      const bool asBefore = after != r.files.end() && after->second == content;
      const bool asClean = cleanAfter == clean.files.end()
                               ? after == r.files.end()
                               : after != r.files.end() && after->second == cleanAfter->second;
      // A replacement deferred to the restart counts once the restart has made it.
      auto restarted = r.restarted.find(path);
      auto cleanRestarted = clean.restarted.find(path);
      const bool asCleanAfterRestart =
          cleanRestarted == clean.restarted.end()
              ? restarted == r.restarted.end()
              : restarted != r.restarted.end() && restarted->second == cleanRestarted->second;
      EXPECT_TRUE(asBefore || asClean || asCleanAfterRestart)
          << path << " neither as it was nor as a clean run leaves it";
      // And what the restart does with it: a deletion deferred without its replacement loses the file.
      const bool keptAfterRestart = restarted != r.restarted.end() && restarted->second == content;
      EXPECT_TRUE(keptAfterRestart || asCleanAfterRestart ||
                  (restarted == r.restarted.end() && isSkipped(path)))
          << path << " after the restart neither as it was nor as a clean run leaves it";
    }
    for (const auto& [path, content] : r.files)
      if (!beforeFiles.count(path) && !clean.files.count(path))
        strays.emplace(path, point + " hit " + std::to_string(n + 1));
  }
  fs::remove_all(base);

  figures.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
  std::string points;
  for (const auto& [point, hits] : clean.hits)
    points += (points.empty() ? "" : ", ") + point + " " + std::to_string(hits);
  std::printf("[ sweep    ] %s: clean run %s\n", flow.name.c_str(), clean.outcome.detail.c_str());
  std::printf("[ sweep    ] %s: hits %s\n", flow.name.c_str(), points.c_str());
  std::printf("[ sweep    ] %s: %zu hits, %zu faults injected (%zu reached), %.1f s\n", flow.name.c_str(),
              figures.totalHits, figures.injected, figures.fired, figures.seconds);
  for (const auto& [point, details] : outcomes) {
    std::string line;
    for (const auto& [detail, hits] : details) {
      std::string which;
      for (std::size_t i = 0; i < hits.size() && i < 12; ++i)
        which += (i ? "," : "") + std::to_string(hits[i]);
      if (hits.size() > 12) which += ",... " + std::to_string(hits.size()) + " runs";
      line += (line.empty() ? "" : "; ") + detail + " (hit " + which + ")";
    }
    std::printf("[ sweep    ] %s: %s fails: %s\n", flow.name.c_str(), point.c_str(), line.c_str());
  }
  for (const auto& [path, fault] : strays)
    std::printf("[ sweep    ] %s: %s left after %s failed\n", flow.name.c_str(), path.c_str(), fault.c_str());
  return figures;
}

}  // namespace faults_test
