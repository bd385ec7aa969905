#include "sim/profiles.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

namespace sim {

using namespace platform;

namespace {

// Windows 95 keeps profile buffers to 32,767 characters.
constexpr std::uint32_t k95BufferLimit = 32767;

bool IsTrimmed(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\x1a';
}

std::string Trim(const std::string& s) {
  std::size_t b = 0, e = s.size();
  while (b < e && IsTrimmed(s[b])) ++b;
  while (e > b && IsTrimmed(s[e - 1])) --e;
  return s.substr(b, e - b);
}

char Upper(char c) {
  return c >= 'a' && c <= 'z' ? char(c - 'a' + 'A') : c;
}

bool SameName(const std::string& a, const std::string& b) {
  return a.size() == b.size() &&
         std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) { return Upper(x) == Upper(y); });
}

// The header's name if the line is a section header ("[ name ]" -> "name").
bool HeaderName(const std::string& line, std::string* name) {
  std::string t = Trim(line);
  if (t.empty() || t[0] != '[') return false;
  auto close = t.find(']');
  *name = Trim(t.substr(1, close == std::string::npos ? std::string::npos : close - 1));
  return true;
}

struct IniFile {
  bool exists = false;
  std::vector<std::string> lines;

  // Index of the first header named `section`, or -1.
  long Find(const std::string& section) const {
    std::string name;
    for (std::size_t i = 0; i < lines.size(); ++i)
      if (HeaderName(lines[i], &name) && SameName(name, Trim(section))) return long(i);
    return -1;
  }
  // The line after the last line of the section whose header is at `header`.
  std::size_t End(long header) const {
    std::string name;
    std::size_t i = std::size_t(header) + 1;
    while (i < lines.size() && !HeaderName(lines[i], &name)) ++i;
    return i;
  }
};

// Splits a line into trimmed key and value; false if it has no '='.
bool SplitEntry(const std::string& line, std::string* key, std::string* value) {
  auto eq = line.find('=');
  if (eq == std::string::npos) return false;
  *key = Trim(line.substr(0, eq));
  *value = Trim(line.substr(eq + 1));
  return true;
}

bool IsComment(const std::string& trimmed) {
  return !trimmed.empty() && trimmed[0] == ';';
}

// Writes NUL-terminated strings and a closing NUL into the caller's buffer. When they do not fit, the
// output is cut and ends in two NULs at size-2 and size-1, and the result is size-2. With `wholeOnly`
// (Windows 95 section names) only strings that fit whole are written.
std::uint32_t WriteList(const std::vector<std::string>& items, char* buffer, std::uint32_t size,
                        bool wholeOnly) {
  if (!buffer || size == 0) return 0;
  std::string stream;
  for (const auto& item : items) stream += item + '\0';
  if (stream.size() + 1 <= size) {
    std::memcpy(buffer, stream.data(), stream.size());
    buffer[stream.size()] = 0;
    return std::uint32_t(stream.size());
  }
  if (size < 2) {
    buffer[0] = 0;
    return 0;
  }
  if (wholeOnly) {
    std::string whole;
    for (const auto& item : items) {
      if (whole.size() + item.size() + 1 > size - 2) break;
      whole += item + '\0';
    }
    std::memcpy(buffer, whole.data(), whole.size());
    std::memset(buffer + whole.size(), 0, size - whole.size());
    return size - 2;
  }
  std::memcpy(buffer, stream.data(), size);
  buffer[size - 2] = 0;
  buffer[size - 1] = 0;
  return size - 2;
}

}  // namespace

namespace {

class IniAccess {
 public:
  IniAccess(FileSystem& files, const char* file) : files_(files) {
    std::string name = file ? file : "win.ini";
    // A bare file name lives in the Windows directory.
    if (name.find_first_of("\\/:") == std::string::npos) {
      char dir[kMaxPath];
      std::uint32_t n = files.GetWindowsDirectory(dir, sizeof dir);
      if (n > 0 && n < sizeof dir) name = std::string(dir) + "\\" + name;
    }
    path_ = name;
  }

  // Reads the file; a missing file reads as empty (ini.exists false). False on a read failure.
  bool Load(IniFile* ini) {
    FileHandle h = files_.OpenFile(path_.c_str(), OpenMode::kRead);
    if (h == kInvalidFileHandle) return files_.LastError() == kErrorFileNotFound;
    std::string text(std::size_t(files_.GetFileSize(h)), '\0');
    std::uint32_t read = 0;
    bool ok = files_.ReadFile(h, text.data(), std::uint32_t(text.size()), &read);
    files_.CloseFile(h);
    if (!ok) return false;
    text.resize(read);
    ini->exists = true;
    std::string line;
    for (std::size_t i = 0; i < text.size(); ++i) {
      char c = text[i];
      if (c == '\r' || c == '\n') {
        ini->lines.push_back(line);
        line.clear();
        if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
      } else {
        line += c;
      }
    }
    if (!line.empty()) ini->lines.push_back(line);
    return true;
  }

  bool Store(const IniFile& ini) {
    std::string text;
    for (const auto& line : ini.lines) text += line + "\r\n";
    // Rewriting truncates the file first, so make sure the new text fits before losing the old one.
    std::uint64_t free = 0;
    if (files_.GetDiskFreeSpaceEx(nullptr, &free, nullptr, nullptr)) {
      std::uint64_t old = 0;
      FileHandle existing = files_.OpenFile(path_.c_str(), OpenMode::kRead);
      if (existing != kInvalidFileHandle) {
        old = files_.GetFileSize(existing);
        files_.CloseFile(existing);
      }
      if (text.size() > old && text.size() - old > free) {
        files_.SetLastError(kErrorDiskFull);
        return false;
      }
    }
    FileHandle h = files_.OpenFile(path_.c_str(), OpenMode::kCreateAlways);
    if (h == kInvalidFileHandle) return false;
    std::uint32_t written = 0;
    bool ok = files_.WriteFile(h, text.data(), std::uint32_t(text.size()), &written);
    files_.CloseFile(h);
    return ok;
  }

 private:
  FileSystem& files_;
  std::string path_;
};

}  // namespace

std::uint32_t ProcessProfiles::GetSection(const char* section, char* buffer, std::uint32_t size,
                                          const char* file) {
  if (!section || !buffer) {
    if (family_ == WindowsFamily::kNt) files_.SetLastError(kErrorInvalidParameter);
    return 0;
  }
  if (family_ == WindowsFamily::k95) size = std::min(size, k95BufferLimit);
  IniFile ini;
  IniAccess access(files_, file);
  if (!access.Load(&ini)) {
    WriteList({}, buffer, size, false);
    return 0;
  }
  std::vector<std::string> entries;
  long header = ini.Find(section);
  if (header >= 0) {
    const std::size_t end = ini.End(header);
    for (std::size_t i = std::size_t(header) + 1; i < end; ++i) {
      std::string t = Trim(ini.lines[i]);
      if (t.empty() || IsComment(t)) continue;
      std::string key, value;
      entries.push_back(SplitEntry(t, &key, &value) ? key + "=" + value : t);
    }
  }
  files_.SetLastError(ini.exists ? kErrorSuccess : kErrorFileNotFound);
  return WriteList(entries, buffer, size, false);
}

std::uint32_t ProcessProfiles::GetString(const char* section, const char* key, const char* defaultValue,
                                         char* buffer, std::uint32_t size, const char* file) {
  if (!buffer || size == 0) return 0;
  if (family_ == WindowsFamily::k95) size = std::min(size, k95BufferLimit);
  IniFile ini;
  IniAccess access(files_, file);
  if (!access.Load(&ini)) {
    buffer[0] = 0;
    return 0;
  }
  files_.SetLastError(ini.exists ? kErrorSuccess : kErrorFileNotFound);
  if (!section) {
    std::vector<std::string> names;
    std::string name;
    for (const auto& line : ini.lines)
      if (HeaderName(line, &name)) names.push_back(name);
    return WriteList(names, buffer, size, family_ == WindowsFamily::k95);
  }
  long header = ini.Find(section);
  if (!key) {
    std::vector<std::string> keys;
    if (header >= 0) {
      const std::size_t end = ini.End(header);
      for (std::size_t i = std::size_t(header) + 1; i < end; ++i) {
        std::string k, v, t = Trim(ini.lines[i]);
        if (!IsComment(t) && SplitEntry(t, &k, &v)) keys.push_back(k);
      }
    }
    return WriteList(keys, buffer, size, false);
  }
  std::string result;
  bool found = false;
  if (header >= 0) {
    const std::size_t end = ini.End(header);
    for (std::size_t i = std::size_t(header) + 1; i < end && !found; ++i) {
      std::string k, v, t = Trim(ini.lines[i]);
      if (IsComment(t) || !SplitEntry(t, &k, &v) || !SameName(k, Trim(key))) continue;
      if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front())
        v = v.substr(1, v.size() - 2);
      result = v;
      found = true;
    }
  }
  if (!found) {
    result = defaultValue ? defaultValue : "";
    while (!result.empty() && result.back() == ' ') result.pop_back();
  }
  std::size_t n = std::min<std::size_t>(result.size(), size - 1);
  std::memcpy(buffer, result.data(), n);
  buffer[n] = 0;
  return std::uint32_t(n);
}

bool ProcessProfiles::WriteString(const char* section, const char* key, const char* value, const char* file) {
  if (!section) {
    if (family_ == WindowsFamily::kNt) files_.SetLastError(kErrorFileNotFound);
    return false;
  }
  IniFile ini;
  IniAccess access(files_, file);
  if (!access.Load(&ini)) return false;
  long header = ini.Find(section);
  if (!key) {
    if (header < 0) return true;
    ini.lines.erase(ini.lines.begin() + header, ini.lines.begin() + long(ini.End(header)));
    return access.Store(ini);
  }
  if (header < 0) {
    if (!value) return true;
    ini.lines.push_back(std::string("[") + section + "]");
    ini.lines.push_back(std::string(key) + "=" + value);
    return access.Store(ini);
  }
  const std::size_t end = ini.End(header);
  for (std::size_t i = std::size_t(header) + 1; i < end; ++i) {
    std::string k, v, t = Trim(ini.lines[i]);
    if (IsComment(t) || !SplitEntry(t, &k, &v) || !SameName(k, Trim(key))) continue;
    if (value)
      ini.lines[i] = k + "=" + value;
    else
      ini.lines.erase(ini.lines.begin() + long(i));
    return access.Store(ini);
  }
  if (!value) return true;
  // New keys go after the section's last non-blank line.
  std::size_t at = end;
  while (at > std::size_t(header) + 1 && Trim(ini.lines[at - 1]).empty()) --at;
  ini.lines.insert(ini.lines.begin() + long(at), std::string(key) + "=" + value);
  return access.Store(ini);
}

bool ProcessProfiles::WriteSection(const char* section, const char* entries, const char* file) {
  if (!section) {
    if (family_ == WindowsFamily::kNt) files_.SetLastError(kErrorInvalidParameter);
    return false;
  }
  IniFile ini;
  IniAccess access(files_, file);
  if (!access.Load(&ini)) return false;
  long header = ini.Find(section);
  if (!entries) {
    if (header < 0) return true;
    ini.lines.erase(ini.lines.begin() + header, ini.lines.begin() + long(ini.End(header)));
    return access.Store(ini);
  }
  std::vector<std::string> lines;
  for (const char* p = entries; *p; p += std::strlen(p) + 1)
    if (std::strchr(p, '=')) lines.push_back(p);
  if (header < 0) {
    ini.lines.push_back(std::string("[") + section + "]");
    ini.lines.insert(ini.lines.end(), lines.begin(), lines.end());
  } else {
    // The existing header keeps its spelling; everything under it is replaced.
    auto first = ini.lines.begin() + header + 1;
    ini.lines.erase(first, ini.lines.begin() + long(ini.End(header)));
    ini.lines.insert(ini.lines.begin() + header + 1, lines.begin(), lines.end());
  }
  return access.Store(ini);
}

}  // namespace sim
