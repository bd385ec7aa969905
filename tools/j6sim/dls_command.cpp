// j6sim dls: DLS collections loaded on a machine's card, and a check of one file.
#include "tools/j6sim/dls_command.h"

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <ostream>
#include <sstream>

#include "basedrv/dls/collections.h"
#include "basedrv/dls/dls_api.h"
#include "basedrv/dls/frame/hal_dls_host.h"
#include "basedrv/dls/ldr_dls.h"
#include "basedrv/dls/mem_dls.h"
#include "basedrv/hal/hal.h"
#include "basedrv/j6base.h"
#include "sim/machine_error.h"
#include "sim/process.h"
#include "tools/j6sim/commands.h"

namespace j6sim {

namespace fs = std::filesystem;
using nlohmann::json;

namespace {

namespace cdb = dls::cdb;

// Where j6sim puts a host file on the machine's drive C while it loads it.
constexpr const char* kStagingFolder = "J6SIMDLS";

std::string DescribePlace(const dls::ReadPlace& place) {
  std::ostringstream text;
  text << place.reason;
  const char* sep = " (";
  auto part = [&](const char* name, std::int32_t value) {
    if (value < 0) return;
    text << sep << name << " " << value;
    sep = ", ";
  };
  part("instrument", place.instrument);
  part("region", place.region);
  part("wave", place.wave);
  if (place.chunk[0] && place.chunk[0] != ' ') {
    text << sep << "chunk \"" << place.chunk << "\"";
    sep = ", ";
  }
  if (std::string(sep) == ", ") text << ")";
  return text.str();
}

json Collection(const dls::DlsEnv& env, std::uint32_t c) {
  dls::CommonBlock block = env.Common();
  auto rec = env.Map(dls::CollectionRecord(block, c), dls::colrec::kSize);
  json out = {{"index", c}, {"instruments", json::array()}, {"drumKits", json::array()}};
  if (rec.empty()) return out;
  const std::uint32_t count = std::min(dls::GetLe32(rec, dls::colrec::kInstrumentCount), 256u);
  for (std::uint32_t i = 0; i < count; ++i) {
    const std::uint32_t slot = dls::insslot::At(i);
    if (dls::GetLe32(rec, slot + dls::insslot::kDrumFlag) != 0) continue;
    const std::uint16_t patch = dls::GetLe16(rec, slot + dls::insslot::kPatch);
    if (patch == dls::kNoSlot) continue;
    const std::uint32_t at = dls::CommonBlock::Patch(patch);
    out["instruments"].push_back({{"bank", block.Get16(at + cdb::kPatchBank)},
                                  {"program", block.Get16(at + cdb::kPatchProgram)},
                                  {"patch", patch},
                                  {"firstSplit", dls::GetLe16(rec, slot + dls::insslot::kFirstSplit)},
                                  {"regions", dls::GetLe32(rec, slot + dls::insslot::kRegionCount)}});
  }
  const std::uint32_t kits = std::min(dls::GetLe32(rec, dls::colrec::kDrumKitCount), 32u);
  for (std::uint32_t k = 0; k < kits; ++k) {
    auto kit = env.Map(dls::GetLe32(rec, dls::colrec::kDrumKits + 4 * k), dls::kit::kSize);
    if (kit.empty()) continue;
    json keys = json::array();
    for (std::uint32_t e = 0; e < 128; ++e) {
      std::uint16_t patch = dls::GetLe16(kit, dls::kit::Entry(e) + dls::kit::kEntryPatch);
      if (patch != dls::kNoSlot)
        keys.push_back(block.Get16(dls::CommonBlock::Patch(patch) + cdb::kPatchProgram));
    }
    out["drumKits"].push_back({{"bank", dls::GetLe32(kit, dls::kit::kBank)},
                               {"program", dls::GetLe32(kit, dls::kit::kProgram)},
                               {"drumPatch", dls::GetLe16(kit, dls::kit::kDrumPatch)},
                               {"keys", keys}});
  }
  return out;
}

void PrintCollection(const json& c, std::ostream& out) {
  out << "Collection " << c["index"].get<std::uint32_t>() << "\n";
  for (const json& i : c["instruments"])
    out << "  instrument bank " << i["bank"] << ", program " << i["program"] << ": patch slot " << i["patch"]
        << ", splits " << i["firstSplit"] << "-"
        << i["firstSplit"].get<std::uint32_t>() + i["regions"].get<std::uint32_t>() - 1 << ", "
        << i["regions"] << " region(s)\n";
  for (const json& k : c["drumKits"]) {
    out << "  drum kit bank " << k["bank"] << ", program " << k["program"] << ": drum patch slot "
        << k["drumPatch"] << ", keys";
    for (const json& key : k["keys"]) out << " " << key;
    out << "\n";
  }
}

// The machine's card with j6base loaded and the engine open; closed again when it goes.
class OpenEngine {
 public:
  explicit OpenEngine(sim::Machine& machine)
      : process_(machine.StartProcess("j6sim.exe")),
        context_(shared_, process_->Os()),
        library_(context_),
        scope_(context_) {
    if (context_.hJ6CVXD == platform::kInvalidDeviceHandle) {
      error_ = "The virtual device \\\\.\\J6CVXD.VXD cannot be opened: the machine has no card.";
      return;
    }
    std::uint32_t status = VEXA_Initialize(machine.Config().card.hardwareKey, &id_);
    if (status != VEXA_OK) {
      error_ = "VEXA_Initialize failed with status " + std::to_string(status) + ".";
      return;
    }
    status = DLSOpen(&client_, 0);
    if (status != 0) {
      error_ =
          "DLSOpen failed with status " + std::to_string(status) + " (" + dls::DlsStatusName(status) + ").";
      return;
    }
    open_ = true;
  }
  ~OpenEngine() {
    if (open_) DLSClose(client_, dls::kCloseKeepLoaded);
    if (id_) VEXA_Exit(id_);
  }
  const std::string& Error() const { return error_; }
  std::uint32_t Client() const { return client_; }
  sim::Process& Process() { return *process_; }

 private:
  std::unique_ptr<sim::Process> process_;
  j6base::SharedSection shared_;
  j6base::ProcessContext context_;
  j6base::LoadedLibrary library_;
  j6base::ScopedProcess scope_;
  std::uint32_t id_ = 0;
  std::uint32_t client_ = 0;
  bool open_ = false;
  std::string error_;
};

// Puts a host file on the machine's drive C; returns the path the machine reads it by.
std::string Stage(sim::Machine& machine, const fs::path& host) {
  if (!fs::is_regular_file(host)) throw sim::MachineError("no such file: " + host.string());
  fs::path folder = machine.DriveRoot() / kStagingFolder;
  fs::create_directories(folder);
  fs::copy_file(host, folder / host.filename(), fs::copy_options::overwrite_existing);
  return std::string("C:\\") + kStagingFolder + "\\" + host.filename().string();
}

void Unstage(sim::Machine& machine) {
  std::error_code ec;
  fs::remove_all(machine.DriveRoot() / kStagingFolder, ec);
}

}  // namespace

int LoadDlsCollections(sim::Machine& machine, const std::vector<DlsFile>& files,
                       const DlsLoadOptions& options, std::ostream& out) {
  OpenEngine engine(machine);
  if (!engine.Error().empty()) {
    out << engine.Error() << "\n";
    return 1;
  }
  dls::DlsEnv env = j6base::CurrentDlsEnv();
  json result = {{"collections", json::array()}, {"failures", json::array()}};
  int status = 0;
  std::vector<std::pair<std::string, std::uint32_t>> loadedFiles;
  for (const DlsFile& file : files) {
    dls::ReadPlace place;
    j6base::SetDlsReadPlace(&place);
    std::uint32_t collection = 0;
    const std::uint32_t loaded =
        DLSLoadFile(engine.Client(), options.replace ? dls::kLoadReplace : 0, &collection, file.path.c_str());
    j6base::SetDlsReadPlace(nullptr);
    if (loaded == 0) {
      loadedFiles.emplace_back(file.shown, collection);
    } else {
      status = 1;
      result["failures"].push_back({{"file", file.shown},
                                    {"status", loaded},
                                    {"name", dls::DlsStatusName(loaded)},
                                    {"reason", DescribePlace(place)}});
    }
  }
  // Later files may have taken instruments from earlier ones: the summary is of the end state.
  for (const auto& [shown, collection] : loadedFiles) {
    json c = Collection(env, collection);
    c["file"] = shown;
    result["collections"].push_back(c);
  }
  dls::CommonBlock block = env.Common();
  const std::uint32_t capacity = dls::DlsDataAreaCapacity(block);
  const std::uint32_t free = dls::GetDlsDataBufSize(env);
  result["dlsRam"] = {{"size", capacity},
                      {"used", capacity - free},
                      {"free", free},
                      {"largestFree", dls::GetDlsLargestBuf(env)}};

  if (!options.dump.empty()) {
    const std::uint32_t g = block.Get32(cdb::kDwGmBankBytes), t = block.Get32(cdb::kDwTableAreaSize);
    const std::uint32_t size = g + t + capacity;
    auto image = env.Map(block.Get32(cdb::kLpSampleMem), size);
    std::ofstream dump(options.dump, std::ios::binary);
    if (!dump || image.size() != size) throw sim::MachineError("cannot write the image to " + options.dump);
    dump.write(reinterpret_cast<const char*>(image.data()), static_cast<std::streamsize>(image.size()));
    result["dump"] = {{"file", options.dump},
                      {"size", size},
                      {"gmBankBytes", g},
                      {"tableAreaSize", t},
                      {"tableAreaOffset", g},
                      {"dataAreaOffset", g + t},
                      {"dataAreaSize", capacity},
                      {"dataCardAddress", block.Get32(cdb::kDwDataCardAddr)},
                      {"fRomBelowRam", block.Get8(cdb::kFRomBelowRam)}};
  }

  if (options.json) {
    out << result.dump(2) << "\n";
    return status;
  }
  for (const json& c : result["collections"]) {
    out << c["file"].get<std::string>() << ": ";
    PrintCollection(c, out);
  }
  for (const json& f : result["failures"])
    out << f["file"].get<std::string>() << ": not loaded, status " << f["status"] << " ("
        << f["name"].get<std::string>() << "): " << f["reason"].get<std::string>() << "\n";
  out << "DLS RAM: " << capacity << " bytes, " << capacity - free << " used, " << free
      << " free, largest free block " << dls::GetDlsLargestBuf(env) << "\n";
  if (!options.dump.empty())
    out << "Sample memory image: " << options.dump << " (" << result["dump"]["size"]
        << " bytes; table area at " << result["dump"]["tableAreaOffset"] << ", DLS data area at "
        << result["dump"]["dataAreaOffset"] << ")\n";
  return status;
}

std::string PlaceText(const dls::ReadPlace& place) {
  return DescribePlace(place);
}

void PrintLoadedCollection(const dls::DlsEnv& env, std::uint32_t collection, std::ostream& out) {
  PrintCollection(Collection(env, collection), out);
}

Command& AddDlsCommand(CLI::App& app) {
  Command& command = NewCommand(app, "dls", "Load DLS collections on a machine's card, or check a DLS file.");
  command.app->require_subcommand(1);

  struct LoadArgs {
    std::string dir;
    std::vector<std::string> files;
    DlsLoadOptions options;
  };
  auto load = std::make_shared<LoadArgs>();
  Command& loadCommand = NewCommand(
      *command.app, "load",
      "Initialise the machine's card, open the DLS engine and load the files in order; print each "
      "collection's instruments and drum kits and the DLS RAM left. Files are host files (copied to "
      "the machine's drive C while they load) or paths on the machine such as C:\\SOUNDS\\A.DLS.");
  loadCommand.app->add_option("DIR", load->dir, "Machine folder")->required();
  loadCommand.app->add_option("FILE", load->files, "DLS files")->required();
  loadCommand.app->add_flag("--replace", load->options.replace,
                            "Load with flag 1: take over instruments and drum kits already loaded");
  loadCommand.app->add_flag("--json", load->options.json, "Print the result as JSON");
  loadCommand.app->add_option("--dump", load->options.dump,
                              "Write the whole sample memory block (General MIDI image, table area, DLS data "
                              "area) to this file");
  loadCommand.action = [load](std::ostream& out) {
    auto machine = sim::Machine::Load(load->dir);
    std::vector<DlsFile> files;
    for (const std::string& f : load->files) {
      bool onMachine = f.size() >= 2 && f[1] == ':';
      files.push_back({f, onMachine ? f : Stage(*machine, f)});
    }
    int status = LoadDlsCollections(*machine, files, load->options, out);
    Unstage(*machine);
    return status;
  };

  auto check = std::make_shared<std::string>();
  Command& checkCommand = NewCommand(
      *command.app, "check",
      "Say whether a DLS file would load on a new machine's card and, when not, the status and "
      "the place (instrument, region, wave, chunk) that stops it. Exit status 1 when it would not load.");
  checkCommand.app->add_option("FILE", *check, "DLS file (a host file)")->required();
  checkCommand.action = [check](std::ostream& out) {
    if (!fs::is_regular_file(*check)) throw sim::MachineError("no such file: " + *check);
    fs::path dir =
        fs::temp_directory_path() /
        ("j6sim-dls-check-" + std::to_string(std::chrono::steady_clock::now().time_since_epoch().count()));
    int status;
    {
      auto machine = sim::Machine::Create(dir, sim::MachineConfig::Defaults(platform::WindowsFamily::k95));
      std::string path = Stage(*machine, *check);
      OpenEngine engine(*machine);
      if (!engine.Error().empty()) {
        out << engine.Error() << "\n";
        status = 1;
      } else {
        dls::ReadPlace place;
        j6base::SetDlsReadPlace(&place);
        std::uint32_t collection = 0;
        const std::uint32_t loaded = DLSLoadFile(engine.Client(), 0, &collection, path.c_str());
        j6base::SetDlsReadPlace(nullptr);
        if (loaded == 0) {
          out << *check << ": loads\n";
          PrintLoadedCollection(j6base::CurrentDlsEnv(), collection, out);
          DLSUnloadFile(engine.Client(), collection);
          status = 0;
        } else {
          out << *check << ": does not load: status " << loaded << " (" << dls::DlsStatusName(loaded)
              << "): " << DescribePlace(place) << "\n";
          status = 1;
        }
      }
    }
    std::error_code ec;
    fs::remove_all(dir, ec);
    return status;
  };
  return command;
}

}  // namespace j6sim
