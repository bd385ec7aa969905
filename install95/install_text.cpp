#include "install95/install_text.h"

namespace install95 {

namespace {
char UpperChar(char c) {
  return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}
}  // namespace

std::string Upper(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = UpperChar(c);
  return out;
}

bool Contains(std::string_view text, std::string_view part) {
  return text.find(part) != std::string_view::npos;
}

bool ContainsNoCase(std::string_view text, std::string_view part) {
  return Contains(Upper(text), Upper(part));
}

bool EqualNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (UpperChar(a[i]) != UpperChar(b[i])) return false;
  return true;
}

bool JoinPath(std::string_view dir, std::string_view name, std::string* out) {
  std::string path(dir);
  if (path.empty() || path.back() != '\\') path += '\\';
  path += name;
  if (path.size() >= platform::kMaxPath) return false;
  *out = std::move(path);
  return true;
}

namespace {
template <typename Call>
std::string Directory(Call call) {
  char buffer[platform::kMaxPath] = {};
  std::uint32_t length = call(buffer, platform::kMaxPath);
  if (length == 0 || length >= platform::kMaxPath) return {};
  return std::string(buffer, length);
}
}  // namespace

std::string WindowsDirectory(platform::FileSystem& files) {
  return Directory([&](char* b, std::uint32_t n) { return files.GetWindowsDirectory(b, n); });
}

std::string SystemDirectory(platform::FileSystem& files) {
  return Directory([&](char* b, std::uint32_t n) { return files.GetSystemDirectory(b, n); });
}

std::string CurrentDirectory(platform::FileSystem& files) {
  return Directory([&](char* b, std::uint32_t n) { return files.GetCurrentDirectory(n, b); });
}

bool FileExists(platform::FileSystem& files, const std::string& path) {
  std::uint32_t attributes = files.GetFileAttributes(path.c_str());
  return attributes != platform::kInvalidFileAttributes &&
         (attributes & platform::kFileAttributeDirectory) == 0;
}

void ClearReadOnly(platform::FileSystem& files, const std::string& path) {
  std::uint32_t attributes = files.GetFileAttributes(path.c_str());
  if (attributes == platform::kInvalidFileAttributes || (attributes & platform::kFileAttributeReadOnly) == 0)
    return;
  attributes &= ~platform::kFileAttributeReadOnly;
  files.SetFileAttributes(path.c_str(), attributes == 0 ? platform::kFileAttributeNormal : attributes);
}

}  // namespace install95
