// libFuzzer target: any bytes as a RIFF file, walked as a DLS reader walks one: into every RIFF and
// LIST chunk, searching for chunks by id and type, reading and ascending. Every walk must end and
// every position stay inside the file.
#include <cstdlib>

#include "fuzz/pc.h"
#include "platform/riff.h"
#include "sim/drive.h"

namespace {

constexpr std::uint32_t Id(const char (&s)[5]) {
  return std::uint32_t(std::uint8_t(s[0])) | std::uint32_t(std::uint8_t(s[1])) << 8 |
         std::uint32_t(std::uint8_t(s[2])) << 16 | std::uint32_t(std::uint8_t(s[3])) << 24;
}
constexpr std::uint32_t kRiff = Id("RIFF"), kList = Id("LIST");

struct Walk {
  platform::RiffReader& riff;
  platform::RiffHandle file;
  std::uint64_t fileSize;
  int steps = 0;

  void Check(const platform::ChunkInfo& chunk) {
    if (chunk.dataOffset > fileSize) std::abort();
  }
  void Children(const platform::ChunkInfo* parent, int depth) {
    if (depth > 8) return;
    for (;;) {
      if (++steps > 4096) return;
      platform::ChunkInfo chunk;
      if (riff.Descend(file, &chunk, parent, 0) != 0) return;
      Check(chunk);
      if ((chunk.id == kRiff || chunk.id == kList)) Children(&chunk, depth + 1);
      std::uint8_t bytes[16];
      const std::int32_t n = riff.Read(file, bytes, sizeof bytes);
      if (n > std::int32_t(sizeof bytes)) std::abort();
      if (riff.Ascend(file, &chunk) != 0) return;
    }
  }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static j6fuzz::Pc pc;
  pc.Put("WINDOWS/FUZZ.DLS", data, size);
  platform::RiffReader& riff = *pc.Os().riff;
  const platform::RiffHandle file = riff.Open("C:\\WINDOWS\\FUZZ.DLS");
  if (file == 0) std::abort();
  Walk walk{riff, file, size};
  walk.Children(nullptr, 0);

  // Searches by id and by type, as a reader looks for the parts it needs.
  riff.Seek(file, 0, 0);
  platform::ChunkInfo top;
  top.type = Id("DLS ");
  if (riff.Descend(file, &top, nullptr, platform::kMmioFindRiff) == 0) {
    walk.Check(top);
    platform::ChunkInfo list;
    list.type = Id("lins");
    if (riff.Descend(file, &list, &top, platform::kMmioFindList) == 0) {
      walk.Check(list);
      riff.Ascend(file, &list);
    }
    platform::ChunkInfo colh;
    colh.id = Id("colh");
    if (riff.Descend(file, &colh, &top, platform::kMmioFindChunk) == 0) walk.Check(colh);
  }
  const std::int32_t end = riff.Seek(file, 0, 2);
  if (end >= 0 && std::uint64_t(end) != size && size < 0x7FFFFFFF) std::abort();
  riff.Close(file);
  if (pc.Machine().Get<sim::Drive>().IsOpen("WINDOWS\\FUZZ.DLS")) std::abort();
  return 0;
}
