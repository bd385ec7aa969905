#include "install95/dos_utilities.h"

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "install95/install_text.h"
#include "install95/resources.h"
#include "install95/text_file.h"

namespace install95 {

namespace {

struct DosUtility {
  const char* sourceName;
  const char* installedName;
  const char* filterName;
  const char* pattern;
  const char* defaultName;
  const char* defaultExtension;
  int missingMessage;  // string table entry
  bool onlyWithoutChipsetFlag;
};

constexpr DosUtility kUtilities[] = {
    {"J6LEGACY.COM", "j6legacy.com", "COM files", "*.com", "J6legacy.com", "com", kCopyLegacyText, false},
    {"J6MIXER.EXE", "j6mixer.exe", "EXE files", "*.exe", "J6Mixer.exe", "exe", kCopyMixerText, false},
    {"J6INIT.INI", "j6init.ini", "INI files", "*.ini", "J6Init.ini", "ini", kCopyInitText, false},
    {"J6DOSVM.EXE", "j6dosvm.exe", "EXE files", "*.exe", "J6DOSVM.EXE", "exe", kCopyDosVmText, true},
};

constexpr const char* kSelectFileTitle = "Select File...";
constexpr const char* kFallbackTempName = "C:\\J6CONFIG.tmp";
constexpr const char* kRemFix = "REM  ";

bool IsBlank(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}

// The temporary file of one edit, in the root of drive C.
std::string MakeTempName(platform::FileSystem& files) {
  char name[platform::kMaxPath] = {};
  if (files.GetTempFileName("C:\\", "J6A", 0, name) == 0 || std::memchr(name, 0, sizeof name) == nullptr)
    return kFallbackTempName;
  return name;
}

// An open file that is closed when it goes out of scope.
class OpenFile {
 public:
  OpenFile(platform::FileSystem& files, const std::string& path, platform::OpenMode mode)
      : files_(files), handle_(files.OpenFile(path.c_str(), mode)) {}
  ~OpenFile() { Close(); }
  void Reopen(const std::string& path, platform::OpenMode mode) {
    Close();
    handle_ = files_.OpenFile(path.c_str(), mode);
  }
  OpenFile(const OpenFile&) = delete;
  OpenFile& operator=(const OpenFile&) = delete;
  bool IsOpen() const { return handle_ != platform::kInvalidFileHandle; }
  platform::FileHandle Handle() const { return handle_; }
  bool Close() {
    if (!IsOpen()) return true;
    bool ok = files_.CloseFile(handle_);
    handle_ = platform::kInvalidFileHandle;
    return ok;
  }

 private:
  platform::FileSystem& files_;
  platform::FileHandle handle_;
};

// Writes `text` to the temporary file and copies it over `path`; the temporary file is deleted either
// way. Until the copy, the start-up file has not been touched.
void ReplaceWith(platform::FileSystem& files, OpenFile& temp, const std::string& tempName, TextWriter& text,
                 const std::string& path) {
  bool written = text.Flush(files, temp.Handle());
  if (!temp.Close()) written = false;
  if (written) files.CopyFile(tempName.c_str(), path.c_str(), false);
  files.DeleteFile(tempName.c_str());
}

// Rewrites one AUTOEXEC file. False when the file could be neither opened nor created, which ends the
// AUTOEXEC editing.
bool EditAutoexec(platform::FileSystem& files, const std::string& tempName, const std::string& path,
                  bool createIfMissing, StartupEdit edit, int chipsetFlag, const std::string& windowsDir) {
  OpenFile temp(files, tempName, platform::OpenMode::kCreateAlways);
  OpenFile source(files, path, platform::OpenMode::kRead);
  if (!source.IsOpen() && createIfMissing) {
    // Only a file that is not there is made; one that failed to open for another reason is kept.
    source.Reopen(path, platform::OpenMode::kCreateNew);
    if (source.IsOpen()) source.Reopen(path, platform::OpenMode::kRead);
  }
  if (!source.IsOpen() || !temp.IsOpen()) {
    temp.Close();
    files.DeleteFile(tempName.c_str());
    return source.IsOpen();
  }
  TextReader reader;
  if (!reader.Load(files, source.Handle())) {
    temp.Close();
    files.DeleteFile(tempName.c_str());
    return true;
  }
  source.Close();

  TextWriter out;
  LinePiece piece;
  bool keepLine = true;
  if (edit == StartupEdit::kInstall) {
    char line[3 * platform::kMaxPath + 64];
    std::snprintf(line, sizeof line, "@LH %s\\J6LEGACY.COM /w=%s\n", windowsDir.c_str(), windowsDir.c_str());
    out.Write(line);
    std::snprintf(line, sizeof line, "@LH %s\\J6MIXER.EXE /x\n", windowsDir.c_str());
    out.Write(line);
    if (chipsetFlag == 0) {
      std::snprintf(line, sizeof line, "@LH %s\\J6DOSVM.EXE \n", windowsDir.c_str());
      out.Write(line);
    }
    // The first line is tested only for the legacy driver and the mixer.
    if (reader.Next(&piece)) {
      std::string upper = Upper(piece.text);
      keepLine = !Contains(upper, "J6LEGACY.COM") && !Contains(upper, "J6MIXER.EXE");
      if (keepLine) out.Write(piece.text);
    }
  }
  while (reader.Next(&piece)) {
    if (piece.startsLine) {
      std::string upper = Upper(piece.text);
      keepLine = !Contains(upper, "J6LEGACY.COM") && !Contains(upper, "J6MIXER.EXE") &&
                 !Contains(upper, "J6DOSVM.EXE");
    }
    if (keepLine) out.Write(piece.text);
  }
  ReplaceWith(files, temp, tempName, out, path);
  return true;
}

struct LineFacts {
  bool blank = true;
  bool comment = false;
  std::string key;
};

LineFacts Analyse(const std::string& upper) {
  LineFacts facts;
  std::size_t start = 0;
  while (start < upper.size() && IsBlank(upper[start])) ++start;
  if (start == upper.size()) return facts;
  facts.blank = false;
  std::size_t end = start;
  while (end < upper.size() && !IsBlank(upper[end])) ++end;
  facts.comment = Contains(std::string_view(upper).substr(start, end - start), "REM");
  std::size_t keyStart = upper.find_first_not_of('=');
  if (keyStart == std::string::npos) keyStart = upper.size();
  std::size_t keyEnd = upper.find('=', keyStart);
  facts.key = upper.substr(keyStart, keyEnd == std::string::npos ? std::string::npos : keyEnd - keyStart);
  return facts;
}

// The head lines found among the old lines.
struct HeldLines {
  std::string himem, emm386, dos;
  bool hasHimem = false, hasEmm386 = false, hasDos = false;
};

void Hold(const std::string& upper, int chipsetFlag, HeldLines* held) {
  LineFacts facts = Analyse(upper);
  if (facts.blank || facts.comment) return;
  if (Contains(facts.key, "DEVICE")) {
    if (Contains(upper, "HIMEM.SYS") && !held->hasHimem) {
      held->himem = upper;
      held->hasHimem = true;
    } else if (Contains(upper, "EMM386.EXE") && !held->hasEmm386) {
      held->emm386 = upper;
      std::size_t noems = held->emm386.find("NOEMS");
      if (noems != std::string::npos) held->emm386.erase(noems, 5);
      held->hasEmm386 = true;
    }
  } else if (Contains(facts.key, "DOS") && !held->hasDos) {
    std::string dos = upper;
    if (!dos.empty() && dos.back() == '\n') dos.pop_back();
    if (!Contains(upper, "HIGH")) dos += ",HIGH";
    if (chipsetFlag == 0 && !Contains(upper, "UMB")) dos += ",UMB";
    held->dos = dos;
    held->hasDos = true;
  }
}

// A held line taken from the last line of a file, or from the first piece of a long line, has no line
// end of its own; the next head line must not run on into it.
std::string AsLine(std::string line) {
  if (line.empty() || line.back() != '\n') line += '\n';
  return line;
}

}  // namespace

void DeleteDosUtilities(InstallerApp& app) {
  platform::FileSystem& files = *app.os.files;
  std::string windowsDir = WindowsDirectory(files);
  if (windowsDir.empty()) return;
  for (const DosUtility& utility : kUtilities) {
    std::string path;
    if (!JoinPath(windowsDir, utility.sourceName, &path)) continue;
    ClearReadOnly(files, path);
    files.DeleteFile(path.c_str());
  }
}

void CopyDosUtilities(InstallerApp& app) {
  platform::Os& os = app.os;
  platform::FileSystem& files = *os.files;
  std::string windowsDir = WindowsDirectory(files);
  std::string currentDir = CurrentDirectory(files);
  if (windowsDir.empty() || currentDir.empty()) return;
  for (const DosUtility& utility : kUtilities) {
    if (utility.onlyWithoutChipsetFlag && app.chipsetFlag != 0) continue;
    std::string source, target;
    if (!JoinPath(windowsDir, utility.installedName, &target)) continue;
    if (JoinPath(currentDir, utility.sourceName, &source) && FileExists(files, source)) {
      files.CopyFile(source.c_str(), target.c_str(), false);
      continue;
    }
    std::string filter = std::string(utility.filterName) + '\0' + utility.pattern + '\0';
    std::string chosen = utility.defaultName;
    bool picked = os.ui != nullptr &&
                  os.ui->OpenFileDialog(0, kSelectFileTitle, filter, currentDir, &chosen) &&
                  !chosen.empty() && chosen.size() < platform::kMaxPath;
    if (picked) {
      files.CopyFile(chosen.c_str(), target.c_str(), false);
    } else if (os.ui != nullptr) {
      os.ui->MessageBox(app.currentPage, String(utility.missingMessage), String(kFileCopyErrorCaption),
                        platform::kMbOk | platform::kMbIconExclamation);
    }
  }
}

void EditDosStartupFiles(InstallerApp& app, StartupEdit edit) {
  platform::FileSystem& files = *app.os.files;
  std::string windowsDir = WindowsDirectory(files);
  if (windowsDir.empty()) return;
  std::string tempName = MakeTempName(files);

  if (edit == StartupEdit::kInstall) {
    const struct {
      const char* path;
      int useDosFolder;
    } configs[] = {{"C:\\CONFIG.SYS", 0}, {"C:\\CONFIG.DOS", 1}};
    for (const auto& config : configs) {
      bool present = OpenFile(files, config.path, platform::OpenMode::kRead).IsOpen() ||
                     OpenFile(files, config.path, platform::OpenMode::kCreateNew).IsOpen();
      if (present) EditConfigFile(app, config.path, config.useDosFolder);
    }
  }

  if (!EditAutoexec(files, tempName, "C:\\AUTOEXEC.BAT", true, edit, app.chipsetFlag, windowsDir)) return;
  EditAutoexec(files, tempName, "C:\\AUTOEXEC.DOS", false, edit, app.chipsetFlag, windowsDir);
}

int EditConfigFile(InstallerApp& app, const char* path, int useDosFolder) {
  platform::FileSystem& files = *app.os.files;
  const int chipsetFlag = app.chipsetFlag;
  std::string windowsDir = WindowsDirectory(files);
  if (path == nullptr || windowsDir.empty()) return 1;
  std::string tempName = MakeTempName(files);
  OpenFile temp(files, tempName, platform::OpenMode::kCreateAlways);
  OpenFile source(files, path, platform::OpenMode::kRead);
  TextReader reader;
  if (!temp.IsOpen() || !source.IsOpen() || !reader.Load(files, source.Handle())) {
    temp.Close();
    files.DeleteFile(tempName.c_str());
    return 1;
  }
  source.Close();

  HeldLines held;
  LinePiece piece;
  while (reader.Next(&piece))
    if (piece.startsLine) Hold(Upper(piece.text), chipsetFlag, &held);
  reader.Rewind();

  TextWriter out;
  char folder[platform::kMaxPath] = {};
  std::snprintf(folder, sizeof folder, "%s", windowsDir.c_str());
  char line[platform::kMaxPath + 64];
  if (held.hasHimem) {
    out.Write(AsLine(held.himem));
  } else {
    if (useDosFolder == 1) LocateDosDirectory(app, folder, "HIMEM.SYS");
    std::snprintf(line, sizeof line, "DEVICE=%s\\HIMEM.SYS\n", folder);
    out.Write(line);
  }
  if (held.hasEmm386) {
    out.Write(AsLine(held.emm386));
  } else if (chipsetFlag == 0) {
    if (useDosFolder == 1) LocateDosDirectory(app, folder, "EMM386.EXE");
    std::snprintf(line, sizeof line, "DEVICE=%s\\EMM386.EXE \n", folder);
    out.Write(line);
  }
  if (held.hasDos)
    out.Write(held.dos + "\n");
  else
    out.Write(chipsetFlag == 1 ? "DOS=HIGH\n" : "DOS=HIGH,UMB\n");

  while (reader.Next(&piece)) {
    if (piece.startsLine) {
      std::string upper = Upper(piece.text);
      LineFacts facts = Analyse(upper);
      bool memoryDriver =
          Contains(facts.key, "DEVICE") && (Contains(upper, "HIMEM.SYS") || Contains(upper, "EMM386.EXE"));
      bool commentOut = !facts.blank && !facts.comment && (memoryDriver || Contains(facts.key, "DOS"));
      if (commentOut) out.Write(kRemFix);
    }
    out.Write(piece.text);
  }
  ReplaceWith(files, temp, tempName, out, path);
  return 1;
}

int LocateDosDirectory(InstallerApp& app, char* folder, const char* name) {
  platform::FileSystem& files = *app.os.files;
  std::string windowsDir = WindowsDirectory(files);
  auto set = [folder](const std::string& value) {
    std::snprintf(folder, platform::kMaxPath, "%s", value.c_str());
  };
  set(windowsDir);
  if (name == nullptr) return 0;
  std::string path;
  if (JoinPath("C:\\DOS", name, &path) && FileExists(files, path)) {
    set("C:\\DOS");
    return 1;
  }
  if (JoinPath("C:\\", name, &path) && FileExists(files, path)) {
    set("C:");
    return 1;
  }
  std::vector<std::string> folders;
  platform::FindData data;
  platform::FindHandle find = files.FindFirstFile("C:\\*", &data);
  if (find != platform::kInvalidFindHandle) {
    do {
      std::string entry(data.name, strnlen(data.name, sizeof data.name));
      if ((data.attributes & platform::kFileAttributeDirectory) != 0 && entry != "." && entry != "..")
        folders.push_back(entry);
    } while (files.FindNextFile(find, &data));
    files.FindClose(find);
  }
  for (const std::string& entry : folders) {
    // Folders of the Windows installation itself do not count (FAT names ignore letter case).
    if (ContainsNoCase(windowsDir, entry)) continue;
    std::string dir = "C:\\" + entry;
    if (dir.size() >= platform::kMaxPath || !JoinPath(dir, name, &path) || !FileExists(files, path)) continue;
    set(dir);
    return 1;
  }
  return 0;
}

}  // namespace install95
