// libFuzzer target: the Windows 95 installer's editing of the DOS start-up files. The first byte picks
// installation or removal, the chipset flag and whether the AUTOEXEC.DOS/CONFIG.DOS pair exists; the
// rest is the text of every start-up file. The edit must end, leave no temporary file, and keep every
// line it has no reason to touch: a CONFIG line stays, or is commented out when it is a memory-driver
// or DOS line; an AUTOEXEC line goes only when it names one of the utilities.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz/pc.h"
#include "install95/dos_utilities.h"
#include "install95/installer_app.h"

namespace {

[[noreturn]] void Fail(const std::string& file, const std::string& what) {
  std::fprintf(stderr, "startup_fuzz: %s: %s\n", file.c_str(), what.c_str());
  std::abort();
}

std::string Upper(std::string_view text) {
  std::string upper(text);
  for (char& c : upper)
    if (c >= 'a' && c <= 'z') c = char(c - 'a' + 'A');
  return upper;
}
bool Has(std::string_view text, std::string_view part) {
  return text.find(part) != std::string_view::npos;
}

// The lines of a start-up file as a DOS program reads it in text mode: Ctrl-Z ends the text and a
// carriage return before a line feed is part of the line end.
std::vector<std::string> Lines(const std::string& bytes) {
  std::vector<std::string> lines;
  std::string line;
  bool open = false;
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    const char c = bytes[i];
    if (c == '\x1A') break;
    if (c == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n') continue;
    if (c == '\n') {
      lines.push_back(line);
      line.clear();
      open = false;
    } else {
      line += c;
      open = true;
    }
  }
  if (open) lines.push_back(line);
  return lines;
}

bool NamesAUtility(const std::string& line) {
  const std::string upper = Upper(line);
  return Has(upper, "J6LEGACY.COM") || Has(upper, "J6MIXER.EXE") || Has(upper, "J6DOSVM.EXE");
}

void CheckConfig(const std::string& name, const std::string& before, const std::string& after) {
  const std::vector<std::string> in = Lines(before), out = Lines(after);
  if (out.size() < in.size() + 2 || out.size() > in.size() + 3) Fail(name, "wrong number of head lines");
  const std::size_t head = out.size() - in.size();
  if (!Has(out[0], "HIMEM.SYS")) Fail(name, "the head does not start with HIMEM.SYS");
  if (!Has(out[head - 1], "DOS")) Fail(name, "the head does not end with a DOS line");
  for (std::size_t i = 0; i < in.size(); ++i) {
    const std::string& line = out[head + i];
    if (line == in[i]) continue;
    if (line != "REM  " + in[i]) Fail(name, "line " + std::to_string(i + 1) + " changed");
    const std::string upper = Upper(in[i]);
    if (!Has(upper, "DOS") && !Has(upper, "HIMEM.SYS") && !Has(upper, "EMM386.EXE"))
      Fail(name, "line " + std::to_string(i + 1) + " commented out for no reason");
  }
}

void CheckAutoexec(const std::string& name, const std::string& before, const std::string& after, bool install,
                   int chipsetFlag) {
  const std::vector<std::string> in = Lines(before), out = Lines(after);
  std::size_t j = 0;
  if (install) {
    const char* expected[] = {"@LH C:\\WINDOWS\\J6LEGACY.COM /w=C:\\WINDOWS",
                              "@LH C:\\WINDOWS\\J6MIXER.EXE /x", "@LH C:\\WINDOWS\\J6DOSVM.EXE "};
    for (std::size_t k = 0; k < (chipsetFlag == 0 ? 3u : 2u); ++k, ++j)
      if (j >= out.size() || out[j] != expected[k])
        Fail(name, "head line " + std::to_string(k + 1) + " missing");
  }
  // What follows is the old text with only lines that name a utility left out.
  for (std::size_t i = 0; i < in.size(); ++i) {
    if (j < out.size() && out[j] == in[i]) {
      ++j;
      continue;
    }
    if (!NamesAUtility(in[i])) Fail(name, "line " + std::to_string(i + 1) + " lost");
  }
  if (j != out.size()) Fail(name, "lines added");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static struct Marked {
    Marked() { pc.Mark(); }
    j6fuzz::Pc pc;
  } marked;
  j6fuzz::Pc& pc = marked.pc;
  if (size == 0) return 0;
  const bool install = (data[0] & 1) == 0;
  const int chipsetFlag = (data[0] >> 1) & 1;
  const bool dosPair = (data[0] & 4) != 0;
  const std::string text(reinterpret_cast<const char*>(data + 1), size - 1);

  pc.Reset();
  pc.Put("CONFIG.SYS", text);
  pc.Put("AUTOEXEC.BAT", text);
  if (dosPair) {
    pc.Put("CONFIG.DOS", text);
    pc.Put("AUTOEXEC.DOS", text);
  }
  install95::InstallerApp app(pc.Os(), "INSTALLER.EXE");
  app.chipsetFlag = chipsetFlag;
  install95::EditDosStartupFiles(
      app, install ? install95::StartupEdit::kInstall : install95::StartupEdit::kRemove);

  std::string after;
  if (!pc.Get("CONFIG.SYS", &after)) Fail("CONFIG.SYS", "gone");
  if (install)
    CheckConfig("CONFIG.SYS", text, after);
  else if (after != text)
    Fail("CONFIG.SYS", "changed by a removal");
  if (pc.Get("CONFIG.DOS", &after)) {
    if (!install && !dosPair) Fail("CONFIG.DOS", "made by a removal");
    if (install) CheckConfig("CONFIG.DOS", dosPair ? text : "", after);
  } else if (install || dosPair) {
    Fail("CONFIG.DOS", "gone");
  }
  if (!pc.Get("AUTOEXEC.BAT", &after)) Fail("AUTOEXEC.BAT", "gone");
  CheckAutoexec("AUTOEXEC.BAT", text, after, install, chipsetFlag);
  if (pc.Get("AUTOEXEC.DOS", &after)) {
    if (!dosPair) Fail("AUTOEXEC.DOS", "made");
    CheckAutoexec("AUTOEXEC.DOS", text, after, install, chipsetFlag);
  } else if (dosPair) {
    Fail("AUTOEXEC.DOS", "gone");
  }
  // Nothing else may stay behind: the only new files are the start-up files themselves.
  for (const std::string& added : pc.Added())
    if (added != "CONFIG.SYS" && added != "CONFIG.DOS" && added != "AUTOEXEC.BAT" && added != "AUTOEXEC.DOS")
      Fail(added, "left behind");
  return 0;
}
