// libFuzzer target: any bytes as a DLS file, loaded through DLSLoadFile on a simulated Windows 95 PC
// whose card is initialised once. After each input the memory manager's invariants must hold and,
// once everything loaded is unloaded again, every table slot, memory block, shared allocation and byte
// of process memory must be back as the engine had them before the input. The first load goes as
// `j6sim dls check` makes it, with the reader telling where it stopped.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "basedrv/dls/collections.h"
#include "basedrv/dls/dls_api.h"
#include "basedrv/dls/frame/hal_dls_host.h"
#include "basedrv/dls/mem_dls.h"
#include "basedrv/dls/tests/mem_invariants.h"
#include "basedrv/hal/hal.h"
#include "basedrv/j6base.h"
#include "fuzz/pc.h"
#include "sim/port_bus.h"
#include "sim/vxd.h"
#include "tools/j6sim/dls_command.h"

namespace {

namespace cdb = dls::cdb;

class Engine {
 public:
  Engine() : process_(pc_.Machine().StartProcess("FUZZ.EXE")), context_(shared_, process_->Os()) {
    // The port trace and the request log would grow with every input; nothing here reads them.
    pc_.Machine().Get<sim::PortBus>().SetTracing(false);
    library_.emplace(context_);
    scope_.emplace(context_);
    if (VEXA_Initialize(pc_.Machine().Config().card.hardwareKey, &id_) != 0) Fail("the card does not start");
    before_ = Snapshot();
  }
  ~Engine() {
    if (id_) VEXA_Exit(id_);
  }

  void Run(const std::uint8_t* data, std::size_t size) {
    pc_.Machine().Get<sim::VirtualDevice>().ClearLog();
    pc_.Put("FUZZ.DLS", data, size);
    std::uint32_t client = 0;
    if (DLSOpen(&client, 0) != 0) Fail("DLSOpen refused");
    // The same file twice, the second time replacing what the first brought: both paths of the
    // download, and a collection emptied by the replacement.
    std::vector<std::uint32_t> loaded;
    for (std::uint32_t flags : {0u, dls::kLoadReplace}) {
      std::uint32_t collection = 0;
      // The first load also as `j6sim dls check` makes it: the reader tells where it stopped, and what
      // loaded is read back from the tables.
      dls::ReadPlace place;
      if (flags == 0) j6base::SetDlsReadPlace(&place);
      const std::uint32_t status = DLSLoadFile(client, flags, &collection, "C:\\FUZZ.DLS");
      j6base::SetDlsReadPlace(nullptr);
      if (status == 0) loaded.push_back(collection);
      if (flags == 0) {
        std::ostringstream report;
        if (status == 0)
          j6sim::PrintLoadedCollection(j6base::CurrentDlsEnv(), collection, report);
        else
          report << j6sim::PlaceText(place);
      }
      CheckInvariants();
      if (loaded.empty()) break;
    }
    for (std::uint32_t collection : loaded) DLSUnloadFile(client, collection);
    CheckInvariants();
    if (DLSClose(client, 0) != 0) Fail("DLSClose refused");
    if (Snapshot() != before_) Fail("a slot, block or allocation is still taken");
  }

 private:
  struct State {
    std::vector<std::uint32_t> owners;
    std::uint32_t allocatedBlocks = 0;
    std::uint64_t globalBytes = 0;
    std::uint32_t sharedAllocations = 0;
    bool operator!=(const State& o) const {
      return owners != o.owners || allocatedBlocks != o.allocatedBlocks || globalBytes != o.globalBytes ||
             sharedAllocations != o.sharedAllocations;
    }
  };

  [[noreturn]] static void Fail(const std::string& what) {
    std::fprintf(stderr, "dls_fuzz: %s\n", what.c_str());
    std::abort();
  }

  void CheckInvariants() {
    auto problems = dls_test::CheckMemInvariants(j6base::CurrentDlsEnv());
    for (const auto& p : problems) std::fprintf(stderr, "dls_fuzz: %s\n", p.c_str());
    if (!problems.empty()) std::abort();
  }

  State Snapshot() {
    dls::CommonBlock b = j6base::CurrentDlsEnv().Common();
    State s;
    for (std::uint32_t p = 0; p < cdb::kPatchCount; ++p)
      s.owners.push_back(b.Get16(dls::CommonBlock::Patch(p) + 2));
    for (std::uint32_t i = 0; i < cdb::kSplitCount; ++i)
      s.owners.push_back(b.Get16(dls::CommonBlock::SplitOwner(i)));
    for (std::uint32_t d = 0; d < cdb::kDrumInstCount; ++d)
      s.owners.push_back(b.Get16(dls::CommonBlock::DrumInstOwner(d)));
    for (std::uint32_t k = 0; k < cdb::kDrumPatchCount; ++k)
      s.owners.push_back(b.Get16(dls::CommonBlock::DrumPatch(k) + 1));
    for (std::uint32_t c = 0; c < cdb::kCollectionCount; ++c)
      s.owners.push_back(b.Get32(dls::CommonBlock::Collection(c)));
    for (std::uint32_t i = 0; i < cdb::kMemBlockCount; ++i)
      if (dls::ReadMemBlock(b, i).state == cdb::kBlockAllocated) ++s.allocatedBlocks;
    s.globalBytes = process_->Memory().GlobalBytesInUse();
    s.sharedAllocations = pc_.Machine().Get<sim::VirtualDevice>().SharedAllocations();
    return s;
  }

  j6fuzz::Pc pc_;
  std::unique_ptr<sim::Process> process_;
  j6base::SharedSection shared_;
  j6base::ProcessContext context_;
  std::optional<j6base::LoadedLibrary> library_;
  std::optional<j6base::ScopedProcess> scope_;
  std::uint32_t id_ = 0;
  State before_;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static Engine engine;
  engine.Run(data, size);
  return 0;
}
