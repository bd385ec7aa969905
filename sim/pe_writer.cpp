#include "sim/pe_writer.h"

namespace sim {

namespace {

void Put16(std::vector<std::uint8_t>& b, std::uint32_t v) {
  b.push_back(static_cast<std::uint8_t>(v));
  b.push_back(static_cast<std::uint8_t>(v >> 8));
}
void Put32(std::vector<std::uint8_t>& b, std::uint32_t v) {
  Put16(b, v & 0xFFFF);
  Put16(b, v >> 16);
}
void Set16(std::vector<std::uint8_t>& b, std::size_t at, std::uint32_t v) {
  b[at] = static_cast<std::uint8_t>(v);
  b[at + 1] = static_cast<std::uint8_t>(v >> 8);
}
void Set32(std::vector<std::uint8_t>& b, std::size_t at, std::uint32_t v) {
  Set16(b, at, v & 0xFFFF);
  Set16(b, at + 2, v >> 16);
}
void Pad4(std::vector<std::uint8_t>& b) {
  while (b.size() % 4) b.push_back(0);
}
void PutWide(std::vector<std::uint8_t>& b, const std::string& s) {
  for (unsigned char c : s) Put16(b, c);
  Put16(b, 0);
}

// One version block: length, value length, type, key, value, children; children start 4-aligned.
std::vector<std::uint8_t> Block(const std::string& key, std::uint16_t type,
                                const std::vector<std::uint8_t>& value, std::uint16_t valueLength,
                                const std::vector<std::vector<std::uint8_t>>& children) {
  std::vector<std::uint8_t> b;
  Put16(b, 0);
  Put16(b, valueLength);
  Put16(b, type);
  PutWide(b, key);
  Pad4(b);
  b.insert(b.end(), value.begin(), value.end());
  for (const auto& child : children) {
    Pad4(b);
    b.insert(b.end(), child.begin(), child.end());
  }
  Set16(b, 0, static_cast<std::uint32_t>(b.size()));
  return b;
}

std::vector<std::uint8_t> TextBlock(const std::string& key, const std::string& text) {
  std::vector<std::uint8_t> value;
  PutWide(value, text);
  return Block(key, 1, value, static_cast<std::uint16_t>(text.size() + 1), {});
}

}  // namespace

std::vector<std::uint8_t> MakeVersionResource(const VersionStrings& strings, const std::string& table) {
  std::vector<std::vector<std::uint8_t>> entries;
  for (const auto& [name, value] : strings) entries.push_back(TextBlock(name, value));
  auto stringTable = Block(table, 1, {}, 0, entries);
  auto stringFileInfo = Block("StringFileInfo", 1, {}, 0, {stringTable});
  std::vector<std::uint8_t> translation;
  Put16(translation, 0x0409);
  Put16(translation, 1252);
  auto varFileInfo = Block("VarFileInfo", 1, {}, 0, {Block("Translation", 0, translation, 4, {})});

  std::vector<std::uint8_t> fixed;
  Put32(fixed, 0xFEEF04BD);  // signature
  Put32(fixed, 0x00010000);  // structure version
  for (int i = 0; i < 11; ++i) Put32(fixed, 0);
  return Block("VS_VERSION_INFO", 0, fixed, 52, {stringFileInfo, varFileInfo});
}

std::vector<std::uint8_t> MakePeFile(const std::vector<std::uint8_t>& versionResource) {
  constexpr std::uint32_t kFileAlign = 0x200, kSectionRva = 0x1000;
  std::vector<std::uint8_t> f(0x40, 0);
  f[0] = 'M';
  f[1] = 'Z';
  Set32(f, 0x3C, 0x40);
  f.insert(f.end(), {'P', 'E', 0, 0});
  Put16(f, 0x14C);  // i386
  Put16(f, versionResource.empty() ? 0 : 1);
  Put32(f, 0);
  Put32(f, 0);
  Put32(f, 0);
  Put16(f, 224);     // optional header size
  Put16(f, 0x2102);  // executable, 32-bit, DLL
  std::size_t optional = f.size();
  f.resize(optional + 224, 0);
  Set16(f, optional, 0x10B);
  Set32(f, optional + 32, 0x1000);      // section alignment
  Set32(f, optional + 36, kFileAlign);  // file alignment
  Set32(f, optional + 92, 16);          // data directories

  std::vector<std::uint8_t> rsrc;
  if (!versionResource.empty()) {
    // Three directory levels (type 16, id 1, language 0x0409), one data entry, then the data.
    auto directory = [&](std::uint32_t id, std::uint32_t target, bool subdirectory) {
      for (int i = 0; i < 12; ++i) rsrc.push_back(0);
      Put16(rsrc, 0);  // named entries
      Put16(rsrc, 1);  // id entries
      Put32(rsrc, id);
      Put32(rsrc, target | (subdirectory ? 0x80000000u : 0));
    };
    directory(16, 24, true);
    directory(1, 48, true);
    directory(0x0409, 72, false);
    Put32(rsrc, kSectionRva + 88);  // data RVA
    Put32(rsrc, static_cast<std::uint32_t>(versionResource.size()));
    Put32(rsrc, 0);
    Put32(rsrc, 0);
    rsrc.insert(rsrc.end(), versionResource.begin(), versionResource.end());
    Set32(f, optional + 96 + 2 * 8, kSectionRva);
    Set32(f, optional + 96 + 2 * 8 + 4, static_cast<std::uint32_t>(rsrc.size()));

    std::uint32_t rawSize =
        (static_cast<std::uint32_t>(rsrc.size()) + kFileAlign - 1) / kFileAlign * kFileAlign;
    f.insert(f.end(), {'.', 'r', 's', 'r', 'c', 0, 0, 0});
    Put32(f, static_cast<std::uint32_t>(rsrc.size()));
    Put32(f, kSectionRva);
    Put32(f, rawSize);
    Put32(f, kFileAlign);
    Put32(f, 0);
    Put32(f, 0);
    Put16(f, 0);
    Put16(f, 0);
    Put32(f, 0x40000040);  // initialised data, readable
    rsrc.resize(rawSize, 0);
  }
  Set32(f, optional + 56, kSectionRva + 0x1000);  // image size
  Set32(f, optional + 60, kFileAlign);            // headers size
  f.resize(kFileAlign, 0);
  f.insert(f.end(), rsrc.begin(), rsrc.end());
  return f;
}

std::vector<std::uint8_t> MakeVersionedPe(const std::string& productVersion) {
  return MakePeFile(MakeVersionResource({{"CompanyName", "J6"},
                                         {"FileVersion", productVersion},
                                         {"ProductName", "J6 Orvantis"},
                                         {"ProductVersion", productVersion}}));
}

}  // namespace sim
