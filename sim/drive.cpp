#include "sim/drive.h"

#include <algorithm>
#include <cstring>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>
#include <system_error>

#include "sim/faults.h"
#include "sim/machine.h"

namespace sim {

namespace fs = std::filesystem;
using namespace platform;

namespace {

char Upper(char c) {
  return c >= 'a' && c <= 'z' ? char(c - 'a' + 'A') : c;
}

std::string ToUpper(std::string s) {
  for (char& c : s) c = Upper(c);
  return s;
}

bool SameName(const std::string& a, const std::string& b) {
  return ToUpper(a) == ToUpper(b);
}

bool NameLess(const std::string& a, const std::string& b) {
  auto ua = ToUpper(a), ub = ToUpper(b);
  return ua != ub ? ua < ub : a < b;
}

std::vector<std::string> Split(const std::string& path) {
  std::vector<std::string> parts;
  std::string part;
  for (char c : path + "\\") {
    if (c == '\\' || c == '/') {
      parts.push_back(part);
      part.clear();
    } else {
      part += c;
    }
  }
  return parts;
}

bool IsLink(const fs::path& p) {
  std::error_code ec;
  return fs::is_symlink(fs::symlink_status(p, ec));
}

// The on-disk name in `dir` that matches `name` without regard to case ("" if none).
std::string FindEntry(const fs::path& dir, const std::string& name) {
  std::error_code ec;
  if (fs::exists(fs::symlink_status(dir / name, ec)) && !IsLink(dir / name)) return name;
  std::string found;
  for (fs::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
    std::string entry = it->path().filename().string();
    if (SameName(entry, name) && !IsLink(it->path()) && (found.empty() || entry < found)) found = entry;
  }
  return found;
}

bool Glob(const char* name, const char* pattern) {
  const char* starPattern = nullptr;
  const char* starName = nullptr;
  while (*name) {
    if (*pattern == '*') {
      starPattern = ++pattern;
      starName = name;
    } else if (*pattern == '?' || (*pattern && Upper(*pattern) == Upper(*name))) {
      ++pattern;
      ++name;
    } else if (starPattern) {
      pattern = starPattern;
      name = ++starName;
    } else {
      return false;
    }
  }
  while (*pattern == '*') ++pattern;
  return *pattern == 0;
}

std::string LineOf(const std::string& text, std::size_t byte) {
  std::size_t line = 1;
  for (std::size_t i = 0; i < byte && i < text.size(); ++i)
    if (text[i] == '\n') ++line;
  return std::to_string(line);
}

bool UnderOrSame(const std::string& key, const std::string& prefix) {
  return key == prefix || (key.size() > prefix.size() && key.compare(0, prefix.size(), prefix) == 0 &&
                           key[prefix.size()] == '\\');
}

}  // namespace

bool MatchesPattern(const std::string& name, const std::string& pattern) {
  if (pattern == "*" || pattern == "*.*") return true;
  if (pattern.size() > 1 && pattern.back() == '.') {
    std::string stem = pattern;
    while (!stem.empty() && stem.back() == '.') stem.pop_back();
    return name.find('.') == std::string::npos && Glob(name.c_str(), stem.c_str());
  }
  if (Glob(name.c_str(), pattern.c_str())) return true;
  // "name.*" also matches "name" without an extension.
  if (pattern.size() > 2 && pattern.compare(pattern.size() - 2, 2, ".*") == 0 &&
      name.find('.') == std::string::npos)
    return Glob(name.c_str(), pattern.substr(0, pattern.size() - 2).c_str());
  return false;
}

std::string DrivePath::Windows() const {
  std::string out = "C:\\";
  for (std::size_t i = 0; i < parts.size(); ++i) out += (i ? "\\" : "") + parts[i];
  return out;
}

std::string DrivePath::Key() const {
  std::string out;
  for (std::size_t i = 0; i < parts.size(); ++i) out += (i ? "\\" : "") + ToUpper(parts[i]);
  return out;
}

// ---- Drive ----

Drive::Drive(Machine& machine) : machine_(machine) {
  const fs::path file = machine.Dir() / "attributes.json";
  std::error_code ec;
  if (!fs::exists(file, ec)) return;
  std::ifstream in(file, std::ios::binary);
  std::ostringstream buffer;
  buffer << in.rdbuf();
  const std::string text = buffer.str();
  const std::string where = file.string();
  nlohmann::json root;
  try {
    root = nlohmann::json::parse(text);
  } catch (const nlohmann::json::parse_error& e) {
    throw MachineError(where + ":" + LineOf(text, e.byte) + ": not valid JSON");
  }
  auto lineOfKey = [&](const std::string& key) {
    auto at = text.find("\"" + key + "\"");
    return at == std::string::npos ? std::string("1") : LineOf(text, at);
  };
  if (!root.is_object()) throw MachineError(where + ":1: must be an object");
  if (root.contains("attributes")) {
    const auto& attrs = root["attributes"];
    if (!attrs.is_object())
      throw MachineError(where + ":" + lineOfKey("attributes") + ": \"attributes\" must be an object");
    for (const auto& [path, value] : attrs.items()) {
      if (!value.is_number_unsigned() || value.get<std::uint64_t>() > 0xFFFF)
        throw MachineError(where + ":" + lineOfKey(path) + ": attributes of \"" + path +
                           "\" must be a whole number from 0 to 65535");
      attributes_[ToUpper(path)] = value.get<std::uint32_t>();
    }
  }
  if (root.contains("inUse")) {
    const auto& list = root["inUse"];
    if (!list.is_array())
      throw MachineError(where + ":" + lineOfKey("inUse") + ": \"inUse\" must be a list of paths");
    for (const auto& entry : list) {
      if (!entry.is_string())
        throw MachineError(where + ":" + lineOfKey("inUse") + ": \"inUse\" must be a list of paths");
      inUse_.insert(ToUpper(entry.get<std::string>()));
    }
  }
}

void Drive::Save() {
  nlohmann::json attrs = nlohmann::json::object();
  for (const auto& [key, value] : attributes_) attrs[key] = value;
  nlohmann::json root = {{"attributes", attrs},
                         {"inUse", std::vector<std::string>(inUse_.begin(), inUse_.end())}};
  const fs::path file = machine_.Dir() / "attributes.json";
  std::ofstream out(file, std::ios::binary | std::ios::trunc);
  out << root.dump(2) << "\n";
  if (!out) throw MachineError(file.string() + ": cannot be written");
}

bool Drive::IsNt() const {
  return machine_.IsNt();
}

DrivePath Drive::Resolve(const std::string& windowsPath, const std::string& currentDir) const {
  DrivePath out;
  std::string path = windowsPath;
  if (path.empty() ||
      (path.size() >= 2 && (path[0] == '\\' || path[0] == '/') && (path[1] == '\\' || path[1] == '/'))) {
    out.error = kErrorPathNotFound;
    return out;
  }
  std::vector<std::string> parts;
  bool relative = true;
  if (path.size() >= 2 && path[1] == ':') {
    if (Upper(path[0]) != 'C') {
      out.error = kErrorPathNotFound;
      return out;
    }
    path = path.substr(2);
  }
  if (!path.empty() && (path[0] == '\\' || path[0] == '/')) relative = false;
  if (relative) {
    std::string current = currentDir.size() >= 2 && currentDir[1] == ':' ? currentDir.substr(2) : currentDir;
    for (auto& part : Split(current))
      if (!part.empty()) parts.push_back(part);
  }
  for (std::string part : Split(path)) {
    if (part.empty() || part == ".") continue;
    if (part == "..") {
      if (parts.empty()) {
        out.error = kErrorPathNotFound;
        return out;
      }
      parts.pop_back();
      continue;
    }
    // Windows drops trailing dots and blanks of a name.
    while (!part.empty() && (part.back() == '.' || part.back() == ' ')) part.pop_back();
    if (part.empty() || part.find_first_of("<>:\"|?*") != std::string::npos ||
        std::any_of(part.begin(), part.end(), [](char c) { return std::uint8_t(c) < 32; })) {
      out.error = kErrorInvalidName;
      return out;
    }
    if (part.size() > 255) {
      out.error = kErrorFilenameExcedRange;
      return out;
    }
    parts.push_back(part);
  }
  std::size_t length = 3;
  for (const auto& part : parts) length += part.size() + 1;
  if (length >= kMaxPath) {
    out.error = kErrorFilenameExcedRange;
    return out;
  }

  out.host = machine_.DriveRoot();
  out.parentExists = true;
  out.exists = true;
  out.isDirectory = true;
  std::error_code ec;
  for (std::size_t i = 0; i < parts.size(); ++i) {
    const bool last = i + 1 == parts.size();
    std::string found = out.isDirectory && out.exists ? FindEntry(out.host, parts[i]) : "";
    if (!last)
      out.parentExists = out.parentExists && !found.empty() && fs::is_directory(out.host / found, ec);
    if (!found.empty()) parts[i] = found;
    out.host /= parts[i];
    out.exists = !found.empty();
    out.isDirectory = out.exists && fs::is_directory(out.host, ec);
  }
  out.parts = std::move(parts);
  return out;
}

std::uint32_t Drive::Attributes(const DrivePath& path) const {
  if (!path.exists) return kInvalidFileAttributes;
  if (path.IsRoot()) return kFileAttributeDirectory;
  auto it = attributes_.find(path.Key());
  std::uint32_t bits = it != attributes_.end() ? it->second
                       : path.isDirectory      ? 0u
                                               : std::uint32_t(kFileAttributeArchive);
  bits &= ~(kFileAttributeDirectory | kFileAttributeNormal);
  if (path.isDirectory) bits |= kFileAttributeDirectory;
  return bits ? bits : kFileAttributeNormal;
}

void Drive::SetAttributes(const DrivePath& path, std::uint32_t attributes) {
  attributes_[path.Key()] = attributes & (kFileAttributeReadOnly | kFileAttributeHidden |
                                          kFileAttributeSystem | kFileAttributeArchive);
}

bool Drive::SetInUse(const std::string& windowsPath, bool inUse) {
  DrivePath path = Resolve(windowsPath);
  if (path.error || !path.exists || path.isDirectory) return false;
  if (inUse)
    inUse_.insert(path.Key());
  else
    inUse_.erase(path.Key());
  return true;
}

void Drive::Forget(const DrivePath& path) {
  const std::string key = path.Key();
  std::erase_if(attributes_, [&](const auto& entry) { return UnderOrSame(entry.first, key); });
  std::erase_if(inUse_, [&](const auto& entry) { return UnderOrSame(entry, key); });
}

void Drive::Rename(const DrivePath& from, const DrivePath& to) {
  const std::string fromKey = from.Key(), toKey = to.Key();
  std::map<std::string, std::uint32_t> attributes;
  for (const auto& [key, value] : attributes_)
    attributes[UnderOrSame(key, fromKey) ? toKey + key.substr(fromKey.size()) : key] = value;
  attributes_ = std::move(attributes);
  std::set<std::string> inUse;
  for (const auto& key : inUse_)
    inUse.insert(UnderOrSame(key, fromKey) ? toKey + key.substr(fromKey.size()) : key);
  inUse_ = std::move(inUse);
}

void Drive::AddOpen(const std::string& key, bool write) {
  ++opens_[key];
  if (write) ++writers_[key];
}

void Drive::RemoveOpen(const std::string& key, bool write) {
  if (--opens_[key] <= 0) opens_.erase(key);
  if (write && --writers_[key] <= 0) writers_.erase(key);
}

std::uint64_t Drive::FreeBytes() const {
  return machine_.Config().freeBytes;
}

bool Drive::Reserve(std::uint64_t bytes) {
  auto& free = machine_.Config().freeBytes;
  if (bytes > free) return false;
  free -= bytes;
  return true;
}

void Drive::Release(std::uint64_t bytes) {
  auto& free = machine_.Config().freeBytes;
  free = bytes > ~std::uint64_t{0} - free ? ~std::uint64_t{0} : free + bytes;
}

std::uint64_t Drive::UsedBytes() const {
  std::uint64_t used = 0;
  std::error_code ec;
  for (fs::recursive_directory_iterator it(machine_.DriveRoot(), ec), end; !ec && it != end;
       it.increment(ec)) {
    if (it->is_symlink(ec)) {
      it.disable_recursion_pending();
      continue;
    }
    if (it->is_regular_file(ec)) used += it->file_size(ec);
  }
  return used;
}

// ---- ProcessFiles ----

ProcessFiles::ProcessFiles(Machine& machine, std::string& currentDir, std::uint32_t& lastError)
    : machine_(machine), drive_(machine.Get<Drive>()), currentDir_(currentDir), lastError_(lastError) {}

ProcessFiles::~ProcessFiles() {
  for (auto& [handle, open] : files_) {
    std::fclose(open.file);
    drive_.RemoveOpen(open.key, open.write);
  }
}

bool ProcessFiles::Lookup(const char* path, DrivePath* out) {
  if (!path) return Fail(kErrorInvalidParameter);
  *out = drive_.Resolve(path, currentDir_);
  if (out->error) return Fail(out->error);
  return true;
}

bool ProcessFiles::Faulted(const char* point) {
  return machine_.GetFaults().ShouldFail(point);
}

std::uint32_t ProcessFiles::InUseError() const {
  return drive_.IsNt() ? kErrorSharingViolation : kErrorAccessDenied;
}

std::uint32_t ProcessFiles::CopyDirectory(const std::string& text, char* buffer, std::uint32_t size) {
  if (!buffer || size <= text.size()) return std::uint32_t(text.size() + 1);
  std::memcpy(buffer, text.c_str(), text.size() + 1);
  return std::uint32_t(text.size());
}

std::uint32_t ProcessFiles::GetWindowsDirectory(char* buffer, std::uint32_t size) {
  return CopyDirectory(machine_.Config().windowsDir, buffer, size);
}

std::uint32_t ProcessFiles::GetSystemDirectory(char* buffer, std::uint32_t size) {
  return CopyDirectory(machine_.Config().systemDir, buffer, size);
}

std::uint32_t ProcessFiles::GetCurrentDirectory(std::uint32_t size, char* buffer) {
  return CopyDirectory(currentDir_, buffer, size);
}

bool ProcessFiles::SetCurrentDirectory(const char* path) {
  DrivePath p;
  if (!Lookup(path, &p)) return false;
  if (!p.exists) return Fail(p.parentExists ? kErrorFileNotFound : kErrorPathNotFound);
  if (!p.isDirectory) return Fail(kErrorDirectory);
  currentDir_ = p.Windows();
  return true;
}

std::uint32_t ProcessFiles::GetFileAttributes(const char* path) {
  DrivePath p;
  if (!Lookup(path, &p)) return kInvalidFileAttributes;
  if (!p.exists) {
    Fail(p.parentExists ? kErrorFileNotFound : kErrorPathNotFound);
    return kInvalidFileAttributes;
  }
  return drive_.Attributes(p);
}

bool ProcessFiles::SetFileAttributes(const char* path, std::uint32_t attributes) {
  DrivePath p;
  if (!Lookup(path, &p)) return false;
  if (!p.exists) return Fail(p.parentExists ? kErrorFileNotFound : kErrorPathNotFound);
  if (p.IsRoot() || Faulted(fault::kFileAttributes)) return Fail(kErrorAccessDenied);
  drive_.SetAttributes(p, attributes);
  return true;
}

bool ProcessFiles::CreateDirectory(const char* path) {
  DrivePath p;
  if (!Lookup(path, &p)) return false;
  if (p.exists) return Fail(kErrorAlreadyExists);
  if (!p.parentExists) return Fail(kErrorPathNotFound);
  if (Faulted(fault::kFileCreate)) return Fail(kErrorAccessDenied);
  std::error_code ec;
  if (!fs::create_directory(p.host, ec)) return Fail(kErrorAccessDenied);
  return true;
}

bool ProcessFiles::RemoveDirectory(const char* path) {
  DrivePath p;
  if (!Lookup(path, &p)) return false;
  if (!p.exists) return Fail(p.parentExists ? kErrorFileNotFound : kErrorPathNotFound);
  if (!p.isDirectory) return Fail(kErrorDirectory);
  if (p.IsRoot() || (drive_.Attributes(p) & kFileAttributeReadOnly)) return Fail(kErrorAccessDenied);
  if (SameName(p.Windows(), currentDir_)) return Fail(kErrorSharingViolation);
  std::error_code ec;
  if (!fs::is_empty(p.host, ec)) return Fail(kErrorDirNotEmpty);
  if (Faulted(fault::kFileDelete)) return Fail(kErrorAccessDenied);
  if (!fs::remove(p.host, ec)) return Fail(kErrorAccessDenied);
  drive_.Forget(p);
  return true;
}

bool ProcessFiles::CopyFile(const char* source, const char* target, bool failIfExists) {
  DrivePath from, to;
  if (!Lookup(source, &from) || !Lookup(target, &to)) return false;
  if (!from.exists) return Fail(from.parentExists ? kErrorFileNotFound : kErrorPathNotFound);
  if (from.isDirectory) return Fail(kErrorAccessDenied);
  if (to.exists) {
    if (failIfExists) return Fail(kErrorFileExists);
    if (to.Key() == from.Key()) return Fail(drive_.IsNt() ? kErrorSharingViolation : kErrorFileExists);
    if (to.isDirectory || (drive_.Attributes(to) & kFileAttributeReadOnly)) return Fail(kErrorAccessDenied);
    if (drive_.InUse(to)) return Fail(InUseError());
    if (drive_.IsOpen(to.Key())) return Fail(kErrorSharingViolation);
  } else if (!to.parentExists) {
    return Fail(kErrorPathNotFound);
  }
  if (Faulted(fault::kFileCopy)) return Fail(kErrorAccessDenied);
  std::error_code ec;
  const std::uint64_t newSize = fs::file_size(from.host, ec);
  const std::uint64_t oldSize = to.exists ? fs::file_size(to.host, ec) : 0;
  const std::uint64_t growth = newSize > oldSize ? newSize - oldSize : 0;
  if (!drive_.Reserve(growth)) return Fail(kErrorDiskFull);
  if (!fs::copy_file(from.host, to.host, fs::copy_options::overwrite_existing, ec)) {
    drive_.Release(growth);
    return Fail(kErrorAccessDenied);
  }
  if (oldSize > newSize) drive_.Release(oldSize - newSize);
  fs::last_write_time(to.host, fs::last_write_time(from.host, ec), ec);
  drive_.SetAttributes(to, drive_.Attributes(from));
  return true;
}

bool ProcessFiles::DeleteFile(const char* path) {
  DrivePath p;
  if (!Lookup(path, &p)) return false;
  if (!p.exists) return Fail(p.parentExists ? kErrorFileNotFound : kErrorPathNotFound);
  if (p.isDirectory || (drive_.Attributes(p) & kFileAttributeReadOnly) || drive_.InUse(p))
    return Fail(kErrorAccessDenied);
  if (drive_.IsOpen(p.Key())) return Fail(InUseError());
  if (Faulted(fault::kFileDelete)) return Fail(kErrorAccessDenied);
  std::error_code ec;
  const std::uint64_t size = fs::file_size(p.host, ec);
  if (!fs::remove(p.host, ec)) return Fail(kErrorAccessDenied);
  drive_.Release(size);
  drive_.Forget(p);
  return true;
}

bool ProcessFiles::MoveFile(const char* source, const char* target) {
  DrivePath from, to;
  if (!Lookup(source, &from) || !Lookup(target, &to)) return false;
  if (!from.exists) return Fail(from.parentExists ? kErrorFileNotFound : kErrorPathNotFound);
  if (from.IsRoot()) return Fail(kErrorAccessDenied);
  const bool caseOnly = to.Key() == from.Key();
  if (to.exists && !caseOnly) return Fail(kErrorAlreadyExists);
  if (!to.parentExists) return Fail(kErrorPathNotFound);
  // A folder cannot move into itself.
  if (from.isDirectory && !caseOnly && to.Key().rfind(from.Key() + "\\", 0) == 0)
    return Fail(kErrorAccessDenied);
  if (!drive_.IsNt() && drive_.InUse(from)) return Fail(kErrorAccessDenied);
  if (drive_.IsOpen(from.Key())) return Fail(InUseError());
  if (Faulted(fault::kFileMove)) return Fail(kErrorAccessDenied);
  std::error_code ec;
  fs::path dest = to.host;
  if (caseOnly) dest = from.host.parent_path() / Split(target).back();
  fs::rename(from.host, dest, ec);
  if (ec) return Fail(kErrorAccessDenied);
  drive_.Rename(from, to);
  return true;
}

FindHandle ProcessFiles::FindFirstFile(const char* pattern, FindData* data) {
  if (!pattern || !data) {
    Fail(kErrorInvalidParameter);
    return kInvalidFindHandle;
  }
  std::string text = pattern;
  auto cut = text.find_last_of("\\/");
  std::string dir, name;
  if (cut != std::string::npos) {
    dir = text.substr(0, cut + 1);
    name = text.substr(cut + 1);
  } else if (text.size() >= 2 && text[1] == ':') {
    dir = text.substr(0, 2);
    name = text.substr(2);
  } else {
    name = text;
  }
  DrivePath folder = drive_.Resolve(dir.empty() ? currentDir_ : dir, currentDir_);
  if (folder.error) {
    Fail(folder.error);
    return kInvalidFindHandle;
  }
  if (!folder.exists || !folder.isDirectory) {
    Fail(kErrorPathNotFound);
    return kInvalidFindHandle;
  }
  Find find;
  auto add = [&](const std::string& entryName, const DrivePath& entry) {
    if (!MatchesPattern(entryName, name)) return;
    FindData d;
    d.attributes = drive_.Attributes(entry);
    std::error_code ec;
    d.size = entry.isDirectory ? 0 : fs::file_size(entry.host, ec);
    std::snprintf(d.name, sizeof d.name, "%s", entryName.c_str());
    find.entries.push_back(d);
  };
  if (!name.empty()) {
    if (!folder.IsRoot()) {
      add(".", folder);
      add("..", folder);
    }
    std::vector<std::string> names;
    std::error_code ec;
    for (fs::directory_iterator it(folder.host, ec), end; !ec && it != end; it.increment(ec))
      if (!IsLink(it->path())) names.push_back(it->path().filename().string());
    std::sort(names.begin(), names.end(), NameLess);
    for (const auto& entryName : names) {
      DrivePath entry = folder;
      entry.parts.push_back(entryName);
      entry.host /= entryName;
      entry.isDirectory = fs::is_directory(entry.host, ec);
      add(entryName, entry);
    }
  }
  if (find.entries.empty()) {
    Fail(kErrorFileNotFound);
    return kInvalidFindHandle;
  }
  *data = find.entries[0];
  find.next = 1;
  FindHandle handle = nextHandle_++;
  finds_.emplace(handle, std::move(find));
  return handle;
}

bool ProcessFiles::FindNextFile(FindHandle handle, FindData* data) {
  auto it = finds_.find(handle);
  if (it == finds_.end()) return Fail(kErrorInvalidHandle);
  if (!data) return Fail(kErrorInvalidParameter);
  if (it->second.next >= it->second.entries.size()) return Fail(kErrorNoMoreFiles);
  *data = it->second.entries[it->second.next++];
  return true;
}

void ProcessFiles::FindClose(FindHandle handle) {
  if (finds_.erase(handle) == 0) Fail(kErrorInvalidHandle);
}

std::uint32_t ProcessFiles::GetTempFileName(const char* dir, const char* prefix, std::uint32_t unique,
                                            char* out) {
  if (!dir || !out) {
    Fail(kErrorInvalidParameter);
    return 0;
  }
  std::string base = dir;
  if (base.empty() || (base.back() != '\\' && base.back() != '/')) base += '\\';
  base += std::string(prefix ? prefix : "").substr(0, 3);
  auto nameFor = [&](std::uint32_t number) {
    char hex[8];
    std::snprintf(hex, sizeof hex, "%X", unsigned(number & 0xFFFF));
    return base + hex + ".TMP";
  };
  if (unique != 0) {
    std::string name = nameFor(unique);
    if (name.size() >= kMaxPath) {
      Fail(kErrorFilenameExcedRange);
      return 0;
    }
    std::memcpy(out, name.c_str(), name.size() + 1);
    return unique;
  }
  DrivePath folder;
  if (!Lookup(dir, &folder)) return 0;
  if (!folder.exists || !folder.isDirectory) {
    Fail(kErrorPathNotFound);
    return 0;
  }
  // Like Windows, start from the clock and take the next free number.
  std::uint32_t number = machine_.Clock().Now() & 0xFFFF;
  for (std::uint32_t tries = 0; tries < 0xFFFF; ++tries, number = (number + 1) & 0xFFFF) {
    if (number == 0) number = 1;
    std::string name = nameFor(number);
    if (name.size() >= kMaxPath) {
      Fail(kErrorFilenameExcedRange);
      return 0;
    }
    DrivePath p;
    if (!Lookup(name.c_str(), &p)) return 0;
    if (p.exists) continue;
    if (Faulted(fault::kFileCreate)) {
      Fail(kErrorAccessDenied);
      return 0;
    }
    std::ofstream created(p.host, std::ios::binary);
    if (!created) {
      Fail(kErrorAccessDenied);
      return 0;
    }
    std::memcpy(out, name.c_str(), name.size() + 1);
    return number;
  }
  Fail(kErrorFileExists);
  return 0;
}

bool ProcessFiles::GetDiskFreeSpace(const char* root, std::uint32_t* sectorsPerCluster,
                                    std::uint32_t* bytesPerSector, std::uint32_t* freeClusters,
                                    std::uint32_t* totalClusters) {
  if (root) {
    DrivePath p;
    if (!Lookup(root, &p)) return false;
    if (!p.exists || !p.isDirectory) return Fail(kErrorPathNotFound);
  }
  const std::uint64_t free = drive_.FreeBytes();
  const std::uint64_t total = free + drive_.UsedBytes();
  // Windows 95 answers as FAT16 does, 32 KB clusters and at most 65535 of them (just under 2 GB);
  // NT reports the real amounts in 4 KB clusters.
  const bool nt = drive_.IsNt();
  const std::uint32_t sectors = nt ? 8 : 64;
  const std::uint64_t cluster = sectors * 512ull;
  const std::uint64_t cap = nt ? 0xFFFFFFFFull : 65535ull;
  if (sectorsPerCluster) *sectorsPerCluster = sectors;
  if (bytesPerSector) *bytesPerSector = 512;
  if (freeClusters) *freeClusters = std::uint32_t(std::min(free / cluster, cap));
  if (totalClusters) *totalClusters = std::uint32_t(std::min(total / cluster, cap));
  return true;
}

bool ProcessFiles::GetDiskFreeSpaceEx(const char* dir, std::uint64_t* freeToCaller, std::uint64_t* total,
                                      std::uint64_t* totalFree) {
  DrivePath p;
  if (!Lookup(dir ? dir : currentDir_.c_str(), &p)) return false;
  if (!p.exists || !p.isDirectory) return Fail(kErrorPathNotFound);
  const std::uint64_t free = drive_.FreeBytes();
  if (freeToCaller) *freeToCaller = free;
  if (total) *total = free + drive_.UsedBytes();
  if (totalFree) *totalFree = free;
  return true;
}

FileHandle ProcessFiles::OpenFile(const char* path, OpenMode mode) {
  DrivePath p;
  if (!Lookup(path, &p)) return kInvalidFileHandle;
  const bool write = mode != OpenMode::kRead;
  const bool read = mode == OpenMode::kRead || mode == OpenMode::kOpenReadWrite;
  auto fail = [&](std::uint32_t code) {
    Fail(code);
    return kInvalidFileHandle;
  };
  const bool mustExist = mode == OpenMode::kRead || mode == OpenMode::kOpenReadWrite;
  if (!p.exists && mustExist) return fail(p.parentExists ? kErrorFileNotFound : kErrorPathNotFound);
  if (!p.exists && !p.parentExists) return fail(kErrorPathNotFound);
  if (p.exists && mode == OpenMode::kCreateNew) return fail(kErrorFileExists);
  if (p.exists && p.isDirectory) return fail(kErrorAccessDenied);
  std::uint64_t oldSize = 0;
  if (write) {
    if (p.exists) {
      if (drive_.Attributes(p) & kFileAttributeReadOnly) return fail(kErrorAccessDenied);
      if (drive_.InUse(p) || drive_.IsOpenForWrite(p.Key())) return fail(kErrorSharingViolation);
      std::error_code ec;
      oldSize = fs::file_size(p.host, ec);
    }
    if (Faulted(fault::kFileCreate)) return fail(kErrorAccessDenied);
  }
  const char* how = mode == OpenMode::kRead ? "rb" : mode == OpenMode::kOpenReadWrite ? "r+b" : "w+b";
  std::FILE* file = std::fopen(p.host.c_str(), how);
  if (!file) return fail(kErrorAccessDenied);
  std::setvbuf(file, nullptr, _IONBF, 0);
  if (mode == OpenMode::kCreateAlways) {
    drive_.Release(oldSize);
    // CreateFile reports an existing file it truncated through the last error.
    lastError_ = p.exists ? kErrorAlreadyExists : kErrorSuccess;
  }
  FileHandle handle = nextHandle_++;
  files_.emplace(handle, Open{file, p.Key(), p.host, read, write});
  drive_.AddOpen(p.Key(), write);
  return handle;
}

bool ProcessFiles::ReadFile(FileHandle handle, void* buffer, std::uint32_t size, std::uint32_t* read) {
  if (read) *read = 0;
  auto it = files_.find(handle);
  if (it == files_.end()) return Fail(kErrorInvalidHandle);
  if (!it->second.read) return Fail(kErrorAccessDenied);
  if (size && !buffer) return Fail(kErrorInvalidParameter);
  if (Faulted(fault::kFileRead)) return Fail(kErrorReadFault);
  std::size_t got = size ? std::fread(buffer, 1, size, it->second.file) : 0;
  if (read) *read = std::uint32_t(got);
  return true;
}

bool ProcessFiles::WriteFile(FileHandle handle, const void* buffer, std::uint32_t size,
                             std::uint32_t* written) {
  if (written) *written = 0;
  auto it = files_.find(handle);
  if (it == files_.end()) return Fail(kErrorInvalidHandle);
  if (!it->second.write) return Fail(kErrorAccessDenied);
  if (size && !buffer) return Fail(kErrorInvalidParameter);
  if (Faulted(fault::kFileWrite)) return Fail(kErrorWriteFault);
  std::error_code ec;
  const auto position = std::uint64_t(ftello(it->second.file));
  const std::uint64_t current = fs::file_size(it->second.host, ec);
  const std::uint64_t end = position + size;
  const std::uint64_t growth = end > current ? end - current : 0;
  if (!drive_.Reserve(growth)) return Fail(kErrorDiskFull);
  std::size_t put = size ? std::fwrite(buffer, 1, size, it->second.file) : 0;
  if (put != size) {
    drive_.Release(growth);
    return Fail(kErrorWriteFault);
  }
  if (written) *written = size;
  return true;
}

std::int64_t ProcessFiles::SeekFile(FileHandle handle, std::int64_t offset, SeekFrom from) {
  auto it = files_.find(handle);
  if (it == files_.end()) {
    Fail(kErrorInvalidHandle);
    return -1;
  }
  std::error_code ec;
  std::int64_t base = from == SeekFrom::kBegin     ? 0
                      : from == SeekFrom::kCurrent ? std::int64_t(ftello(it->second.file))
                                                   : std::int64_t(fs::file_size(it->second.host, ec));
  std::int64_t target = base + offset;
  if (target < 0) {
    Fail(kErrorNegativeSeek);
    return -1;
  }
  if (fseeko(it->second.file, off_t(target), SEEK_SET) != 0) {
    Fail(kErrorInvalidParameter);
    return -1;
  }
  return target;
}

std::uint64_t ProcessFiles::GetFileSize(FileHandle handle) {
  auto it = files_.find(handle);
  if (it == files_.end()) {
    Fail(kErrorInvalidHandle);
    return ~std::uint64_t{0};
  }
  std::error_code ec;
  return fs::file_size(it->second.host, ec);
}

bool ProcessFiles::CloseFile(FileHandle handle) {
  auto it = files_.find(handle);
  if (it == files_.end()) return Fail(kErrorInvalidHandle);
  std::fclose(it->second.file);
  drive_.RemoveOpen(it->second.key, it->second.write);
  files_.erase(it);
  return true;
}

}  // namespace sim
