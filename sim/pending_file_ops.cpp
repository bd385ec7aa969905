#include "sim/pending_file_ops.h"

#include "sim/drive.h"
#include "sim/machine.h"
#include "sim/process.h"
#include "sim/registry.h"

namespace sim {

namespace {

constexpr const char* kSessionManager =
    "HKEY_LOCAL_MACHINE\\System\\CurrentControlSet\\Control\\Session Manager";
constexpr const char* kValue = "PendingFileRenameOperations";
constexpr const char* kNtPrefix = "\\??\\";

std::string StripNtPrefix(const std::string& path) {
  return path.rfind(kNtPrefix, 0) == 0 ? path.substr(4) : path;
}

}  // namespace

std::vector<PendingFileOperation> PendingFileOperations(const RegistryStore& registry) {
  std::vector<PendingFileOperation> out;
  auto key = registry.FindPath(kSessionManager);
  if (!key) return out;
  const RegValue* value = key->FindValue(kValue);
  if (!value) return out;
  std::vector<std::string> strings;
  std::string current;
  for (std::uint8_t byte : value->data) {
    if (byte == 0) {
      strings.push_back(current);
      current.clear();
    } else {
      current += static_cast<char>(byte);
    }
  }
  // Strings come in pairs; the list ends with an extra empty string.
  for (std::size_t i = 0; i + 1 < strings.size(); i += 2) {
    if (strings[i].empty()) break;
    PendingFileOperation op;
    op.source = StripNtPrefix(strings[i]);
    std::string target = strings[i + 1];
    if (!target.empty() && target[0] == '!') {
      op.replace = true;
      target = target.substr(1);
    }
    op.target = StripNtPrefix(target);
    out.push_back(op);
  }
  return out;
}

void AddPendingFileOperation(RegistryStore& registry, const PendingFileOperation& operation) {
  auto key = registry.CreatePath(kSessionManager);
  std::vector<std::uint8_t> data;
  if (const RegValue* old = key->FindValue(kValue)) {
    data = old->data;
    // Drop the list's closing NUL; the new pair goes before it.
    if (data.size() >= 2 && data[data.size() - 1] == 0 && data[data.size() - 2] == 0) data.pop_back();
  }
  auto append = [&](const std::string& text) {
    data.insert(data.end(), text.begin(), text.end());
    data.push_back(0);
  };
  append(kNtPrefix + operation.source);
  append(operation.target.empty() ? std::string()
                                  : (operation.replace ? "!" : "") + (kNtPrefix + operation.target));
  data.push_back(0);
  key->SetValue(kValue, platform::kRegMultiSz, std::move(data));
}

std::vector<std::string> CarryOutPendingFileOperations(Machine& machine) {
  auto& registry = machine.Get<RegistryStore>();
  std::vector<std::string> report;
  auto key = registry.FindPath(kSessionManager);
  const RegValue* value = key ? key->FindValue(kValue) : nullptr;
  if (!value) {
    report.push_back("no pending file operations");
    return report;
  }
  if (value->type != platform::kRegMultiSz) {
    report.push_back(std::string(kValue) + " is not REG_MULTI_SZ: left alone");
    return report;
  }
  const auto operations = PendingFileOperations(registry);
  // The restart runs before any program holds a file.
  auto boot = machine.StartProcess("SMSS.EXE", "C:\\");
  auto* files = boot->Os().files;
  auto error = [&] { return "error " + std::to_string(files->LastError()); };
  auto exists = [&](const std::string& path) {
    return files->GetFileAttributes(path.c_str()) != platform::kInvalidFileAttributes;
  };
  for (const auto& op : operations) {
    machine.Get<Drive>().SetInUse(op.source, false);
    if (op.target.empty()) {
      files->SetFileAttributes(op.source.c_str(), platform::kFileAttributeNormal);
      report.push_back(files->DeleteFile(op.source.c_str()) ? "deleted " + op.source
                                                            : "not deleted " + op.source + ": " + error());
      continue;
    }
    machine.Get<Drive>().SetInUse(op.target, false);
    if (!exists(op.source)) {
      report.push_back("not replaced " + op.target + ": " + op.source + " is missing");
      continue;
    }
    if (exists(op.target)) {
      // Without the replace mark a rename never overwrites.
      if (!op.replace) {
        report.push_back("not renamed " + op.source + ": " + op.target + " exists");
        continue;
      }
      files->SetFileAttributes(op.target.c_str(), platform::kFileAttributeNormal);
      if (!files->DeleteFile(op.target.c_str())) {
        report.push_back("not replaced " + op.target + ": " + error());
        continue;
      }
    }
    report.push_back(files->MoveFile(op.source.c_str(), op.target.c_str())
                         ? "replaced " + op.target + " by " + op.source
                         : "not replaced " + op.target + ": " + error());
  }
  key->RemoveValue(kValue);
  report.push_back(std::string(kValue) + " cleared");
  return report;
}

bool ProcessFiles::MoveFileEx(const char* source, const char* target, std::uint32_t flags) {
  if (!source) return Fail(platform::kErrorInvalidParameter);
  if (flags & platform::kMoveFileDelayUntilReboot) {
    if (!drive_.IsNt()) return Fail(platform::kErrorCallNotImplemented);
    DrivePath from;
    if (!Lookup(source, &from)) return false;
    PendingFileOperation op;
    op.source = from.Windows();
    if (target) {
      DrivePath to;
      if (!Lookup(target, &to)) return false;
      op.target = to.Windows();
      op.replace = (flags & platform::kMoveFileReplaceExisting) != 0;
    }
    if (Faulted(fault::kRegistryWrite)) return Fail(platform::kErrorAccessDenied);
    AddPendingFileOperation(machine_.Get<RegistryStore>(), op);
    return true;
  }
  if (!target) return DeleteFile(source);
  if ((flags & platform::kMoveFileReplaceExisting) &&
      GetFileAttributes(target) != platform::kInvalidFileAttributes &&
      !(GetFileAttributes(target) & platform::kFileAttributeDirectory)) {
    if (!DeleteFile(target)) return false;
  }
  return MoveFile(source, target);
}

}  // namespace sim
