// j6bench: how close j6base comes to the physical floor on a simulated PC. Each figure is the best of
// several runs, and each floor is measured in the same run, so the ratios hold on any machine.
#include <sys/resource.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "basedrv/dls/dls_api.h"
#include "basedrv/dls/frame/hal_dls_host.h"
#include "basedrv/dls/ldr_dls.h"
#include "basedrv/dls/mem_dls.h"
#include "basedrv/hal/hal.h"
#include "basedrv/j6base.h"
#include "sim/dls_writer.h"
#include "sim/machine.h"
#include "sim/port_bus.h"
#include "sim/process.h"

namespace {

namespace fs = std::filesystem;

constexpr const char* kDriverKey = "System\\CurrentControlSet\\Services\\VxD\\ORVANTIS";
constexpr double kMiB = 1024.0 * 1024.0;

struct Sizes {
  std::uint32_t waves = 1000;
  // The most regions the card's tables take from one file: 1,024 splits of melodic instruments (32
  // regions each), and drum keys up to the 766 patches less the melodic instruments' own.
  std::uint32_t melodicInstruments = 32;
  std::uint32_t drumKits = 6;
  std::uint32_t regionsPerKit = 122;
  std::uint32_t poolBytes = 12000000;
  std::uint32_t dlsRam = 12u * 1024 * 1024;
  std::uint32_t compactCollections = 16;
  std::uint32_t transferWords = 32768;  // 64 KiB
  std::uint32_t ucodeSegments = 64;
  std::uint32_t ucodeSegmentBytes = 32000;
  int reps = 5;
};

Sizes QuickSizes() {
  Sizes s;
  s.waves = 20;
  s.melodicInstruments = 2;
  s.drumKits = 1;
  s.regionsPerKit = 8;
  s.poolBytes = 64000;
  s.dlsRam = 1024 * 1024;
  s.compactCollections = 6;
  s.transferWords = 256;
  s.ucodeSegments = 2;
  s.ucodeSegmentBytes = 200;
  s.reps = 1;
  return s;
}

[[noreturn]] void Fail(const std::string& what) {
  std::fprintf(stderr, "j6bench: %s\n", what.c_str());
  std::exit(1);
}

// CPU time of the process, user and system: on a machine shared with other work, wall time mostly
// measures the other work.
double CpuSeconds() {
  timespec t{};
  ::clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return double(t.tv_sec) + double(t.tv_nsec) * 1e-9;
}

// Best of `reps` timings of `body`; `prepare` runs untimed before each.
double Best(int reps, const std::function<void()>& prepare, const std::function<void()>& body) {
  double best = 1e300;
  for (int i = 0; i < reps; ++i) {
    if (prepare) prepare();
    const double start = CpuSeconds();
    body();
    best = std::min(best, CpuSeconds() - start);
  }
  return best;
}

// A simulated PC with the card started and one process that loaded j6base.
class Pc {
 public:
  Pc(const std::string& tag, std::uint32_t dlsRam) {
    dir_ = fs::temp_directory_path() / ("j6bench-" + std::to_string(::getpid()) + "-" + tag);
    fs::remove_all(dir_);
    machine_ = sim::Machine::Create(dir_, sim::MachineConfig::Defaults(platform::WindowsFamily::k95));
    {
      auto writer = machine_->StartProcess("regedit.exe");
      platform::HKey key = 0;
      const std::string path = std::string(kDriverKey) + "\\Config\\SysMemDlsRamSize";
      if (writer->Os().registry->CreateKey(platform::kHkeyLocalMachine, path.c_str(), &key) != 0)
        Fail("cannot set the DLS RAM size");
      writer->Os().registry->SetDefaultValue(key, nullptr, std::to_string(dlsRam).c_str());
      writer->Os().registry->CloseKey(key);
    }
    process_ = machine_->StartProcess("app.exe");
    context_.emplace(shared_, process_->Os());
    library_.emplace(*context_);
    scope_.emplace(*context_);
    if (VEXA_Initialize(machine_->Config().card.hardwareKey, &id_) != VEXA_OK) Fail("VEXA_Initialize failed");
    machine_->Get<sim::PortBus>().SetTracing(false);
    machine_->Get<sim::PortBus>().ClearTrace();
  }
  ~Pc() {
    scope_.reset();
    library_.reset();
    context_.reset();
    process_.reset();
    machine_.reset();
    std::error_code ec;
    fs::remove_all(dir_, ec);
  }
  Pc(const Pc&) = delete;
  Pc& operator=(const Pc&) = delete;

  std::uint32_t Id() const { return id_; }
  sim::Machine& Machine() { return *machine_; }
  fs::path HostPath(const std::string& name) const { return dir_ / "C" / name; }
  static std::string PcPath(const std::string& name) { return "C:\\" + name; }
  void Put(const std::string& name, const std::vector<std::uint8_t>& bytes) {
    std::ofstream out(HostPath(name), std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    if (!out) Fail("cannot write " + HostPath(name).string());
  }

 private:
  fs::path dir_;
  std::unique_ptr<sim::Machine> machine_;
  j6base::SharedSection shared_;
  std::unique_ptr<sim::Process> process_;
  std::optional<j6base::ProcessContext> context_;
  std::optional<j6base::LoadedLibrary> library_;
  std::optional<j6base::ScopedProcess> scope_;
  std::uint32_t id_ = 0;
};

// Pseudo-random sample bytes, so no conversion meets only one value.
std::vector<std::uint8_t> Noise(std::uint32_t n, std::uint32_t seed) {
  std::vector<std::uint8_t> bytes(n);
  std::uint32_t x = seed * 2654435761u + 1;
  for (auto& b : bytes) {
    x = x * 1664525u + 1013904223u;
    b = std::uint8_t(x >> 24);
  }
  return bytes;
}

// A collection of `waves` waves of both widths, every other one looped, over melodic instruments of 32
// regions and drum kits; its pool comes to about `poolBytes`.
sim::dlsw::Collection BigCollection(const Sizes& s, std::uint32_t programBase) {
  sim::dlsw::Collection c;
  constexpr std::uint32_t kWaveOverhead = 8 + 4 + 8 + 16 + 8 + 4;  // LIST wave, fmt, data headers
  const std::uint32_t perWave = std::max<std::uint32_t>(s.poolBytes / s.waves, kWaveOverhead + 16);
  const std::uint32_t dataBytes = (perWave - kWaveOverhead) & ~3u;
  for (std::uint32_t w = 0; w < s.waves; ++w) {
    sim::dlsw::Wave wave;
    wave.bits = (w % 2) ? 8 : 16;
    wave.data = Noise(dataBytes, w);
    c.waves.push_back(std::move(wave));
  }
  std::uint32_t next = 0;
  auto region = [&](std::uint16_t lo, std::uint16_t hi) {
    sim::dlsw::Region r;
    r.keyLow = lo;
    r.keyHigh = hi;
    r.wave = next++ % s.waves;
    const std::uint32_t samples = (r.wave % 2) ? dataBytes : dataBytes / 2;
    if ((r.wave / 2) % 2) r.loops.push_back(sim::dlsw::Loop(samples / 4, samples / 2));
    return r;
  };
  for (std::uint32_t i = 0; i < s.melodicInstruments; ++i) {
    sim::dlsw::Instrument ins;
    ins.program = (programBase + i) % 128;
    ins.bank = ((programBase + i) / 128) << 8;
    for (std::uint16_t k = 0; k < 32; ++k) ins.regions.push_back(region(k * 4, k * 4 + 3));
    c.instruments.push_back(std::move(ins));
  }
  for (std::uint32_t d = 0; d < s.drumKits; ++d) {
    sim::dlsw::Instrument kit;
    kit.drum = true;
    kit.program = (programBase + d) % 128;
    for (std::uint16_t k = 0; k < s.regionsPerKit; ++k)
      kit.regions.push_back(region(std::uint16_t(k % 128), std::uint16_t(k % 128)));
    c.instruments.push_back(std::move(kit));
  }
  return c;
}

std::uint32_t RegionCount(const sim::dlsw::Collection& c) {
  std::uint32_t n = 0;
  for (const auto& ins : c.instruments) n += std::uint32_t(ins.regions.size());
  return n;
}

// The pool size as the file states it: the "wvpl" list's data.
std::uint32_t PoolSize(const std::vector<std::uint8_t>& file, std::uint32_t* poolStart) {
  for (std::size_t i = 12; i + 12 <= file.size();) {
    std::uint32_t size = std::uint32_t(file[i + 4]) | std::uint32_t(file[i + 5]) << 8 |
                         std::uint32_t(file[i + 6]) << 16 | std::uint32_t(file[i + 7]) << 24;
    if (std::memcmp(&file[i], "LIST", 4) == 0 && std::memcmp(&file[i + 8], "wvpl", 4) == 0) {
      *poolStart = std::uint32_t(i + 12);
      return size - 4;
    }
    i += 8 + size + (size & 1);
  }
  Fail("the generated file has no wave pool");
}

struct Row {
  std::string what;
  std::string figure;
  std::string floor;
  double ratio = -1;  // < 0: no floor
  double goal = -1;   // < 0: no goal
};

std::string Fmt(const char* format, double a, double b = 0) {
  char text[128];
  std::snprintf(text, sizeof text, format, a, b);
  return text;
}

void PrintTable(const std::vector<Row>& rows) {
  std::printf("\n| %-44s | %-24s | %-24s | %-7s | %-5s | %-4s |\n", "Measurement", "Figure", "Floor", "Ratio",
              "Goal", "Met");
  std::printf("|%s|%s|%s|%s|%s|%s|\n", std::string(46, '-').c_str(), std::string(26, '-').c_str(),
              std::string(26, '-').c_str(), std::string(9, '-').c_str(), std::string(7, '-').c_str(),
              std::string(6, '-').c_str());
  for (const Row& r : rows) {
    std::string ratio = r.ratio < 0 ? "-" : Fmt("%.2f", r.ratio);
    std::string goal = r.goal < 0 ? "-" : Fmt("<= %.0f", r.goal);
    std::string met = r.goal < 0 ? "-" : (r.ratio <= r.goal ? "yes" : "NO");
    std::printf("| %-44s | %-24s | %-24s | %-7s | %-5s | %-4s |\n", r.what.c_str(), r.figure.c_str(),
                r.floor.c_str(), ratio.c_str(), goal.c_str(), met.c_str());
  }
}

// --- DLS load -------------------------------------------------------------------------------------------

volatile std::uint64_t g_sink = 0;

void BenchLoad(const Sizes& s, std::vector<Row>& rows, std::vector<std::uint8_t>* fileOut) {
  Pc pc("load", s.dlsRam);
  const auto collection = BigCollection(s, 0);
  const auto file = sim::dlsw::WriteDls(collection);
  std::uint32_t poolStart = 0;
  const std::uint32_t pool = PoolSize(file, &poolStart);
  pc.Put("BIG.DLS", file);
  *fileOut = file;
  std::printf("DLS collection: %u instruments, %u regions, %u waves, pool %.2f MiB, file %.2f MiB\n",
              std::uint32_t(collection.instruments.size()), RegionCount(collection), s.waves, pool / kMiB,
              file.size() / kMiB);

  std::uint32_t client = 0;
  if (DLSOpen(&client, 0) != 0) Fail("DLSOpen failed");
  std::uint32_t loaded = 0;
  const std::string path = Pc::PcPath("BIG.DLS");
  double load = Best(
      s.reps,
      [&] {
        if (loaded) DLSUnloadFile(client, loaded & 0xFFFF);
        loaded = 0;
      },
      [&] {
        std::uint32_t c = 0;
        std::uint32_t status = DLSLoadFile(client, 0, &c, path.c_str());
        if (status != 0) Fail(std::string("DLSLoadFile: ") + dls::DlsStatusName(status));
        loaded = c | 0x10000;
      });
  if (loaded) DLSUnloadFile(client, loaded & 0xFFFF);

  // The floor: the file read into memory once, then one pass over its sample bytes.
  const fs::path host = pc.HostPath("BIG.DLS");
  double floor = Best(s.reps, {}, [&] {
    std::vector<std::uint8_t> bytes(fs::file_size(host));
    std::FILE* f = std::fopen(host.c_str(), "rb");
    if (!f || std::fread(bytes.data(), 1, bytes.size(), f) != bytes.size()) Fail("cannot read the file back");
    std::fclose(f);
    std::uint64_t sum = 0;
    for (std::uint32_t i = poolStart; i < poolStart + pool; ++i) sum += bytes[i];
    g_sink = g_sink + sum;
  });
  DLSClose(client, 0);
  rows.push_back({"DLSLoadFile, large collection",
                  Fmt("%.1f ms (%.0f MiB/s)", load * 1e3, file.size() / kMiB / load),
                  Fmt("%.1f ms read+pass", floor * 1e3), load / floor, 2});
}

// --- Peak memory of a load, in a fresh process ------------------------------------------------------------

long ResidentKiB() {
  long pages = 0, resident = 0;
  std::FILE* f = std::fopen("/proc/self/statm", "r");
  if (!f) return 0;
  if (std::fscanf(f, "%ld %ld", &pages, &resident) != 2) resident = 0;
  std::fclose(f);
  return resident * (::sysconf(_SC_PAGESIZE) / 1024);
}

long MaxRssKiB() {
  rusage usage{};
  ::getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss;
}

// Child side: loads `file` once and prints the resident set before, the high-water mark after, and the
// simulation's allocation peak above what it held before.
int PeakChild(const std::string& file, std::uint32_t dlsRam) {
  Pc pc("peak", dlsRam);
  fs::copy_file(file, pc.HostPath("BIG.DLS"));
  std::uint32_t client = 0;
  if (DLSOpen(&client, 0) != 0) Fail("DLSOpen failed");
  sim::LinearMemory& memory = pc.Machine().Memory();
  memory.ResetPeak();
  const std::uint64_t simBefore = memory.BytesInUse();
  const long before = ResidentKiB();
  std::uint32_t c = 0;
  std::uint32_t status = DLSLoadFile(client, 0, &c, Pc::PcPath("BIG.DLS").c_str());
  const long after = MaxRssKiB();
  if (status != 0) Fail(std::string("DLSLoadFile: ") + dls::DlsStatusName(status));
  std::printf("%ld %ld %llu\n", before, after,
              static_cast<unsigned long long>(memory.PeakBytes() - simBefore));
  return 0;
}

void BenchPeak(const Sizes& s, const std::vector<std::uint8_t>& file, std::vector<Row>& rows) {
  const fs::path path = fs::temp_directory_path() / ("j6bench-" + std::to_string(::getpid()) + "-peak.dls");
  {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(file.data()), std::streamsize(file.size()));
  }
  const std::string command = fs::read_symlink("/proc/self/exe").string() + " --peak-child " + path.string() +
                              " " + std::to_string(s.dlsRam);
  std::FILE* child = ::popen(command.c_str(), "r");
  long before = 0, after = 0;
  unsigned long long simPeak = 0;
  bool ok = child && std::fscanf(child, "%ld %ld %llu", &before, &after, &simPeak) == 3;
  if (child && ::pclose(child) != 0) ok = false;
  fs::remove(path);
  if (!ok) Fail("the peak memory run failed");
  std::uint32_t poolStart = 0;
  const double pool = PoolSize(file, &poolStart);
  const double growth = double(after - before) * 1024;
  const double peak = pool + growth;
  const double budget = pool + dls::pbuf::kSize + kMiB;
  rows.push_back({"Peak memory of a load (pool + RSS growth)", Fmt("%.2f MiB", peak / kMiB),
                  Fmt("budget %.2f MiB", budget / kMiB), peak / budget, 1});
  rows.push_back({"  of which simulated allocations", Fmt("%.0f KiB", simPeak / 1024.0),
                  Fmt("parse buffer %.0f KiB", dls::pbuf::kSize / 1024.0), -1, -1});
}

// Pushes earlier work out of the caches, so a figure and its floor both start cold.
void EvictCaches() {
  static std::vector<std::uint8_t> scratch(64u << 20);
  for (std::size_t i = 0; i < scratch.size(); i += 64) scratch[i] = std::uint8_t(scratch[i] + 1);
}

// --- Compaction -------------------------------------------------------------------------------------------

void BenchCompact(const Sizes& s, std::vector<Row>& rows) {
  Pc pc("compact", s.dlsRam);
  std::uint32_t client = 0;
  if (DLSOpen(&client, 0) != 0) Fail("DLSOpen failed");
  auto env = j6base::CurrentDlsEnv();
  const std::uint32_t capacity = dls::DlsDataAreaCapacity(env.Common());

  // Collections that together fill the data area.
  Sizes part = s;
  part.waves = std::max<std::uint32_t>(4, s.waves / s.compactCollections);
  part.melodicInstruments = 1;
  part.drumKits = 0;
  std::vector<std::string> names;
  for (std::uint32_t i = 0; i < s.compactCollections; ++i) {
    part.poolBytes = capacity / s.compactCollections - 4096;
    const std::string name = "PART" + std::to_string(i) + ".DLS";
    pc.Put(name, sim::dlsw::WriteDls(BigCollection(part, i)));
    names.push_back(Pc::PcPath(name));
  }

  struct Move {
    std::uint32_t from, to, size;
  };
  std::vector<Move> moves;
  std::uint64_t movedBytes = 0;
  auto prepare = [&] {
    DLSUnloadAll(client, 0);
    std::vector<std::uint32_t> ids;
    for (const auto& name : names) {
      std::uint32_t c = 0;
      std::uint32_t status = DLSLoadFile(client, 0, &c, name.c_str());
      if (status != 0) Fail(std::string("DLSLoadFile while filling: ") + dls::DlsStatusName(status));
      ids.push_back(c);
    }
    for (std::size_t i = 0; i < ids.size(); i += 2) DLSUnloadFile(client, ids[i]);
    // What compaction has to move: every used block, down to the end of the used blocks below it.
    std::vector<dls::MemBlockEntry> used;
    for (std::uint32_t b = 0; b < dls::cdb::kMemBlockCount; ++b) {
      auto e = dls::ReadMemBlock(env.Common(), b);
      if (e.state == dls::cdb::kBlockAllocated) used.push_back(e);
    }
    std::sort(used.begin(), used.end(), [](auto& a, auto& b) { return a.offset < b.offset; });
    moves.clear();
    movedBytes = 0;
    std::uint32_t to = 0;
    for (const auto& e : used) {
      if (e.offset != to) {
        moves.push_back({e.offset, to, e.size});
        movedBytes += e.size;
      }
      to += e.size;
    }
    EvictCaches();
  };
  double compact = Best(s.reps, prepare, [&] {
    std::uint32_t status = DLSCompactMemory(client);
    if (status != 0) Fail(std::string("DLSCompactMemory: ") + dls::DlsStatusName(status));
  });
  std::vector<std::uint8_t> area(capacity, 1);
  double floor = Best(s.reps, EvictCaches, [&] {
    for (const Move& m : moves) std::memmove(area.data() + m.to, area.data() + m.from, m.size);
    g_sink = g_sink + area[0];
  });
  DLSClose(client, 0);
  rows.push_back({"DLSCompactMemory, every other one unloaded",
                  Fmt("%.2f ms, %.1f MiB moved", compact * 1e3, movedBytes / kMiB),
                  Fmt("%.2f ms memmove", floor * 1e3), compact / floor, 2});
}

// --- Memory transfers and microcode ----------------------------------------------------------------------

void BenchTransfers(const Sizes& s, std::vector<Row>& rows) {
  Pc pc("transfer", s.dlsRam);
  auto& bus = pc.Machine().Get<sim::PortBus>();
  const auto count = std::uint16_t(s.transferWords);
  std::vector<std::uint16_t> words(s.transferWords);
  for (std::uint32_t i = 0; i < s.transferWords; ++i) words[i] = std::uint16_t(i * 40503u);
  std::vector<std::uint16_t> back(s.transferWords);

  // Port operations per word, counted once with the trace on.
  bus.SetTracing(true);
  bus.ClearTrace();
  VEXA_WriteMemoryBlock(pc.Id(), 0, 0, words.data(), count);
  const double writePorts = double(bus.Trace().size()) / s.transferWords;
  bus.ClearTrace();
  VEXA_ReadMemoryBlock(pc.Id(), 0, 0, back.data(), count);
  const double readPorts = double(bus.Trace().size()) / s.transferWords;
  bus.SetTracing(false);
  bus.ClearTrace();
  if (back != words) Fail("the memory block read back differs from what was written");

  const int reps = s.reps * 4;
  double write = Best(reps, {}, [&] { VEXA_WriteMemoryBlock(pc.Id(), 0, 0, words.data(), count); });
  double read = Best(reps, {}, [&] { VEXA_ReadMemoryBlock(pc.Id(), 0, 0, back.data(), count); });
  const double kib = s.transferWords * 2 / 1024.0;
  rows.push_back({Fmt("VEXA_WriteMemoryBlock, %.0f KiB", kib),
                  Fmt("%.1f ns/word", write * 1e9 / s.transferWords), Fmt("%.1f port ops/word", writePorts),
                  -1, -1});
  rows.push_back({Fmt("VEXA_ReadMemoryBlock, %.0f KiB", kib),
                  Fmt("%.1f ns/word", read * 1e9 / s.transferWords), Fmt("%.1f port ops/word", readPorts), -1,
                  -1});
}

std::string Hex(std::uint32_t value) {
  char text[16];
  std::snprintf(text, sizeof text, "%X", value);
  return text;
}

std::string MicrocodeText(const Sizes& s) {
  std::string text = "5A43 0101 " + Hex(s.ucodeSegments) + " 0\n";
  char token[8];
  for (std::uint32_t seg = 0; seg < s.ucodeSegments; ++seg) {
    text += "1 0 0 " + Hex(s.ucodeSegmentBytes + 1) + "\n";
    const auto bytes = Noise(s.ucodeSegmentBytes, seg);
    std::uint8_t sum = 0;
    for (std::uint32_t i = 0; i < bytes.size(); ++i) {
      sum = std::uint8_t(sum + bytes[i]);
      std::snprintf(token, sizeof token, "%02X", bytes[i]);
      text += token;
      text += (i % 16 == 15) ? "\n" : " ";
    }
    std::snprintf(token, sizeof token, "%02X\n", sum);
    text += token;
  }
  return text;
}

void BenchMicrocode(const Sizes& s, std::vector<Row>& rows) {
  Pc pc("ucode", s.dlsRam);
  const std::string text = MicrocodeText(s);
  pc.Put("UCODE.TXT", std::vector<std::uint8_t>(text.begin(), text.end()));
  const std::string path = Pc::PcPath("UCODE.TXT");
  double load = Best(s.reps, {}, [&] {
    if (VEXA_LoadUCode(pc.Id(), path.c_str(), 2) != 0) Fail("VEXA_LoadUCode refused the file");
  });
  const fs::path host = pc.HostPath("UCODE.TXT");
  double floor = Best(s.reps, {}, [&] {
    std::vector<char> bytes(fs::file_size(host));
    std::FILE* f = std::fopen(host.c_str(), "rb");
    if (!f || std::fread(bytes.data(), 1, bytes.size(), f) != bytes.size()) Fail("cannot read the file back");
    std::fclose(f);
    g_sink = g_sink + std::uint8_t(bytes[bytes.size() / 2]);
  });
  const double bytes = double(s.ucodeSegments) * s.ucodeSegmentBytes;
  rows.push_back({Fmt("VEXA_LoadUCode, %.0f KiB text", text.size() / 1024.0),
                  Fmt("%.1f ms (%.0f ns/byte)", load * 1e3, load * 1e9 / bytes),
                  Fmt("%.2f ms file read", floor * 1e3), load / floor, -1});
}

void Usage(std::FILE* out) {
  std::fprintf(out,
               "usage: j6bench [--quick] [--reps N] [--only load|compact|transfer|ucode]\n"
               "Measures DLSLoadFile, DLSCompactMemory, VEXA_WriteMemoryBlock/ReadMemoryBlock and\n"
               "VEXA_LoadUCode on a simulated PC against floors taken in the same run, and prints a table.\n"
               "  --quick   tiny sizes, one run each (checks that everything still works)\n"
               "  --reps N  runs per figure, best one counts (default 5)\n"
               "  --only X  one measurement (for profiling); the peak memory run goes with all\n");
}

}  // namespace

int main(int argc, char** argv) {
  Sizes s;
  std::optional<int> reps;
  std::string only;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--help" || arg == "-h") {
      Usage(stdout);
      return 0;
    } else if (arg == "--quick") {
      s = QuickSizes();
    } else if (arg == "--reps" && i + 1 < argc) {
      reps = std::atoi(argv[++i]);
      if (*reps < 1) Fail("--reps needs a positive number");
    } else if (arg == "--only" && i + 1 < argc) {
      only = argv[++i];
    } else if (arg == "--peak-child" && i + 2 < argc) {
      return PeakChild(argv[i + 1], std::uint32_t(std::strtoul(argv[i + 2], nullptr, 10)));
    } else {
      Usage(stderr);
      return 2;
    }
  }
  if (reps) s.reps = *reps;

  std::vector<Row> rows;
  std::vector<std::uint8_t> file;
  auto wanted = [&](const char* name) { return only.empty() || only == name; };
  if (wanted("load")) BenchLoad(s, rows, &file);
  if (only.empty()) BenchPeak(s, file, rows);
  if (wanted("compact")) BenchCompact(s, rows);
  if (wanted("transfer")) BenchTransfers(s, rows);
  if (wanted("ucode")) BenchMicrocode(s, rows);
  PrintTable(rows);
  bool met = true;
  for (const Row& r : rows)
    if (r.goal >= 0 && r.ratio > r.goal) met = false;
  std::printf(
      "\nGoals %s. Figures are the best of %d runs, in CPU time; ratios compare with floors taken in this "
      "run.\n",
      met ? "met" : "NOT all met", s.reps);
  return 0;
}
