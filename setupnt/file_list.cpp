#include "setupnt/file_list.h"

#include <cstring>

namespace setupnt {

namespace {
constexpr std::uint32_t kFirstReadSize = 512;
constexpr std::uint32_t kSecondReadSize = 1024;
}  // namespace

bool LoadFileList(SetupState& state) {
  auto& os = state.os;
  std::string path = CurrentDirectory(os) + "\\file.lst";
  std::uint32_t attributes = os.files->GetFileAttributes(path.c_str());
  if (attributes == platform::kInvalidFileAttributes || (attributes & platform::kFileAttributeDirectory))
    return false;

  std::vector<char> buffer(kFirstReadSize, 0);
  std::uint32_t length =
      os.profiles->GetSection("SourceDisksFiles", buffer.data(), kFirstReadSize, path.c_str());
  // The reader answers size - 2 when the section did not fit.
  if (length == kFirstReadSize - 2) {
    buffer.assign(kSecondReadSize, 0);
    length = os.profiles->GetSection("SourceDisksFiles", buffer.data(), kSecondReadSize, path.c_str());
  }
  state.fileList.text = std::move(buffer);
  state.fileList.length = length;
  return true;
}

void ForEachListedName(const FileList& list, const std::function<void(const std::string&)>& visit) {
  if (!list.Present()) return;
  const char* entry = list.text.data();
  const char* end = list.text.data() + list.text.size();
  std::int64_t remaining = list.length;
  while (remaining > 0 && entry < end) {
    std::size_t entryLength = strnlen(entry, static_cast<std::size_t>(end - entry));
    std::string_view text(entry, entryLength);
    auto equals = text.find('=');
    if (equals == std::string_view::npos) return;
    visit(std::string(text.substr(0, equals)));
    remaining -= static_cast<std::int64_t>(entryLength) + 1;
    entry += entryLength + 1;
  }
}

bool GoesToDriversDir(std::string_view name, bool fromList) {
  if (name.find("sys") != std::string_view::npos) return true;
  return fromList && name.find("SYS") != std::string_view::npos;
}

}  // namespace setupnt
