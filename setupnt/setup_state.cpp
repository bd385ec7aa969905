#include "setupnt/setup_state.h"

namespace setupnt {

namespace {

std::string FromBuffer(std::uint32_t length, const char* buffer) {
  if (length == 0 || length >= platform::kMaxPath) return {};
  return std::string(buffer, length);
}

unsigned char Lower(char c) {
  auto u = static_cast<unsigned char>(c);
  return (u >= 'A' && u <= 'Z') ? static_cast<unsigned char>(u - 'A' + 'a') : u;
}

}  // namespace

std::string CurrentDirectory(platform::Os& os) {
  char buffer[platform::kMaxPath] = {};
  return FromBuffer(os.files->GetCurrentDirectory(sizeof buffer, buffer), buffer);
}

std::string SystemDirectory(platform::Os& os) {
  char buffer[platform::kMaxPath] = {};
  return FromBuffer(os.files->GetSystemDirectory(buffer, sizeof buffer), buffer);
}

std::string WindowsDirectory(platform::Os& os) {
  char buffer[platform::kMaxPath] = {};
  return FromBuffer(os.files->GetWindowsDirectory(buffer, sizeof buffer), buffer);
}

int CompareNoCase(const char* a, const char* b) {
  for (;; ++a, ++b) {
    unsigned char x = Lower(*a), y = Lower(*b);
    if (x != y) return x < y ? -1 : 1;
    if (x == 0) return 0;
  }
}

bool StartsWithNoCase(const char* text, const char* prefix, std::size_t count) {
  for (std::size_t i = 0; i < count; ++i) {
    if (Lower(text[i]) != Lower(prefix[i])) return false;
    if (prefix[i] == 0) return true;
  }
  return true;
}

}  // namespace setupnt
