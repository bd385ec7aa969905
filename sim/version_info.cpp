#include "sim/version_info.h"

#include <cctype>
#include <cstring>
#include <string>

namespace sim {

namespace {

constexpr std::uint32_t kRtVersion = 16;
constexpr std::size_t kMaxImage = 64u << 20;

struct Reader {
  std::span<const std::uint8_t> bytes;
  bool Has(std::size_t at, std::size_t n) const { return at <= bytes.size() && n <= bytes.size() - at; }
  std::uint16_t U16(std::size_t at) const {
    return static_cast<std::uint16_t>(bytes[at] | (bytes[at + 1] << 8));
  }
  std::uint32_t U32(std::size_t at) const {
    return U16(at) | (static_cast<std::uint32_t>(U16(at + 2)) << 16);
  }
};

// One level of the resource directory: the entry's OffsetToData for `id`, or for the first entry when
// `id` is negative.
std::optional<std::uint32_t> FindEntry(const Reader& r, std::size_t root, std::uint32_t dirOffset,
                                       std::initializer_list<long> ids) {
  std::size_t dir = root + dirOffset;
  if (!r.Has(dir, 16)) return std::nullopt;
  std::size_t named = r.U16(dir + 12), numbered = r.U16(dir + 14);
  std::size_t count = named + numbered;
  if (!r.Has(dir + 16, count * 8)) return std::nullopt;
  for (long id : ids) {
    for (std::size_t i = 0; i < count; ++i) {
      std::size_t entry = dir + 16 + i * 8;
      std::uint32_t name = r.U32(entry);
      if (id < 0 || (!(name & 0x80000000u) && name == static_cast<std::uint32_t>(id)))
        return r.U32(entry + 4);
    }
  }
  return std::nullopt;
}

std::string Lower(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

std::size_t Align4(std::size_t v) {
  return (v + 3) & ~std::size_t{3};
}

// One version block: where its value is and where its children start and end.
struct Block {
  std::size_t start = 0, end = 0;
  std::uint16_t valueLength = 0, type = 0;
  std::string key;
  std::size_t value = 0, children = 0;
};

std::optional<Block> ReadBlock(const Reader& r, std::size_t start, std::size_t limit) {
  if (start + 6 > limit || !r.Has(start, 6)) return std::nullopt;
  Block b;
  b.start = start;
  std::uint16_t length = r.U16(start);
  if (length < 6 || start + length > limit) return std::nullopt;
  b.end = start + length;
  b.valueLength = r.U16(start + 2);
  b.type = r.U16(start + 4);
  std::size_t at = start + 6;
  for (;;) {
    if (at + 2 > b.end) return std::nullopt;
    std::uint16_t c = r.U16(at);
    at += 2;
    if (c == 0) break;
    b.key += c < 0x80 ? static_cast<char>(c) : '?';
  }
  b.value = Align4(at);
  std::size_t valueBytes = b.type == 1 ? std::size_t{b.valueLength} * 2 : b.valueLength;
  if (b.value + valueBytes > b.end) valueBytes = b.value > b.end ? 0 : b.end - b.value;
  b.children = Align4(b.value + valueBytes);
  return b;
}

}  // namespace

std::optional<std::vector<std::uint8_t>> FindVersionResource(std::span<const std::uint8_t> image) {
  Reader r{image};
  if (!r.Has(0, 0x40) || image[0] != 'M' || image[1] != 'Z') return std::nullopt;
  std::size_t pe = r.U32(0x3C);
  if (!r.Has(pe, 24) || std::memcmp(&image[pe], "PE\0\0", 4) != 0) return std::nullopt;
  std::size_t sections = r.U16(pe + 6), optionalSize = r.U16(pe + 20);
  std::size_t optional = pe + 24;
  if (!r.Has(optional, 2)) return std::nullopt;
  std::uint16_t magic = r.U16(optional);
  std::size_t directories = magic == 0x10B ? 92 : magic == 0x20B ? 108 : 0;
  if (!directories || directories + 4 > optionalSize || !r.Has(optional, directories + 4))
    return std::nullopt;
  // The resource entry is the third data directory; the header and the file must both hold it.
  if (r.U32(optional + directories) <= 2 || directories + 4 + 3 * 8 > optionalSize ||
      !r.Has(optional, directories + 4 + 3 * 8))
    return std::nullopt;
  std::uint32_t resourceRva = r.U32(optional + directories + 4 + 2 * 8);
  if (!resourceRva) return std::nullopt;

  // The section holding the resource directory maps RVAs to file offsets.
  std::size_t table = optional + optionalSize;
  std::uint32_t sectionRva = 0, sectionRaw = 0, sectionSize = 0;
  bool found = false;
  for (std::size_t i = 0; i < sections && !found; ++i) {
    std::size_t s = table + i * 40;
    if (!r.Has(s, 40)) return std::nullopt;
    std::uint32_t va = r.U32(s + 12), virtualSize = r.U32(s + 8), rawSize = r.U32(s + 16);
    std::uint32_t size = virtualSize > rawSize ? virtualSize : rawSize;
    if (resourceRva >= va && resourceRva - va < size) {
      sectionRva = va;
      sectionRaw = r.U32(s + 20);
      sectionSize = size;
      found = true;
    }
  }
  if (!found) return std::nullopt;
  (void)sectionSize;
  std::size_t root = std::size_t{sectionRaw} + (resourceRva - sectionRva);

  auto type = FindEntry(r, root, 0, {kRtVersion});
  if (!type || !(*type & 0x80000000u)) return std::nullopt;
  auto name = FindEntry(r, root, *type & 0x7FFFFFFFu, {1, -1});
  if (!name || !(*name & 0x80000000u)) return std::nullopt;
  auto language = FindEntry(r, root, *name & 0x7FFFFFFFu, {0, 0x0409, -1});
  if (!language || (*language & 0x80000000u)) return std::nullopt;
  std::size_t leaf = root + *language;
  if (!r.Has(leaf, 16)) return std::nullopt;
  std::uint32_t dataRva = r.U32(leaf), dataSize = r.U32(leaf + 4);
  if (dataRva < sectionRva) return std::nullopt;
  std::size_t data = std::size_t{sectionRaw} + (dataRva - sectionRva);
  if (!dataSize || !r.Has(data, dataSize)) return std::nullopt;
  return std::vector<std::uint8_t>(image.begin() + static_cast<std::ptrdiff_t>(data),
                                   image.begin() + static_cast<std::ptrdiff_t>(data + dataSize));
}

bool QueryVersionValue(std::span<std::uint8_t> block, const char* subBlock, const void** value,
                       std::uint32_t* length) {
  if (length) *length = 0;
  if (!subBlock || !value) return false;
  Reader r{block};
  if (!r.Has(0, 2)) return false;
  std::size_t rootLength = r.U16(0);
  if (rootLength > block.size()) return false;
  auto current = ReadBlock(r, 0, rootLength);
  if (!current) return false;

  std::string path = subBlock;
  std::size_t at = 0;
  while (at <= path.size()) {
    std::size_t next = path.find('\\', at);
    std::string part = path.substr(at, next == std::string::npos ? std::string::npos : next - at);
    at = next == std::string::npos ? path.size() + 1 : next + 1;
    if (part.empty()) continue;
    std::optional<Block> match;
    for (std::size_t child = current->children; child < current->end;) {
      auto b = ReadBlock(r, child, current->end);
      if (!b) break;
      if (Lower(b->key) == Lower(part)) {
        match = b;
        break;
      }
      child = Align4(b->end);
    }
    if (!match) return false;
    current = match;
  }

  if (current->type == 1 && current->start != 0) {
    // Text comes back as ANSI in the conversion area behind the resource, at half the value's offset so
    // that answers to different queries never overlap.
    std::size_t out = Align4(rootLength) + current->value / 2;
    std::size_t chars = 0;
    while (chars < current->valueLength && current->value + chars * 2 + 1 < current->end &&
           r.U16(current->value + chars * 2) != 0)
      ++chars;
    if (out + chars + 1 > block.size()) return false;
    for (std::size_t i = 0; i < chars; ++i) {
      std::uint16_t c = r.U16(current->value + i * 2);
      block[out + i] = static_cast<std::uint8_t>(c < 0x100 ? c : '?');
    }
    block[out + chars] = 0;
    *value = &block[out];
    if (length) *length = static_cast<std::uint32_t>(chars + 1);
    return true;
  }
  // A damaged block may claim more value bytes than it holds: hand back only what lies inside it.
  const std::size_t inside = current->end > current->value ? current->end - current->value : 0;
  *value = block.data() + current->value;
  if (length) *length = static_cast<std::uint32_t>(std::min<std::size_t>(current->valueLength, inside));
  return true;
}

std::optional<std::vector<std::uint8_t>> SimVersionInfo::Read(const char* path) {
  platform::FileSystem* files = os_.files;
  if (!files || !path) return std::nullopt;
  if (!*path) {
    files->SetLastError(platform::kErrorBadPathname);
    return std::nullopt;
  }
  platform::FileHandle file = files->OpenFile(path, platform::OpenMode::kRead);
  if (file == platform::kInvalidFileHandle) return std::nullopt;
  std::uint64_t size = files->GetFileSize(file);
  std::vector<std::uint8_t> image(size > kMaxImage ? kMaxImage : size);
  std::uint32_t read = 0;
  bool ok =
      image.empty() || files->ReadFile(file, image.data(), static_cast<std::uint32_t>(image.size()), &read);
  files->CloseFile(file);
  if (!ok) return std::nullopt;
  image.resize(read);
  auto resource = FindVersionResource(image);
  if (!resource)
    files->SetLastError(os_.family == platform::WindowsFamily::kNt ? platform::kErrorResourceDataNotFound
                                                                   : platform::kErrorFileNotFound);
  return resource;
}

std::uint32_t SimVersionInfo::GetSize(const char* path) {
  auto resource = Read(path);
  return resource ? static_cast<std::uint32_t>(resource->size() * 2 + 4) : 0;
}

bool SimVersionInfo::Get(const char* path, std::span<std::uint8_t> block) {
  auto resource = Read(path);
  if (!resource) return false;
  std::fill(block.begin(), block.end(), 0);
  std::size_t n = std::min(block.size(), resource->size());
  std::copy_n(resource->begin(), n, block.begin());
  if (resource->size() + 4 <= block.size()) std::memcpy(&block[resource->size()], "FE2X", 4);
  return true;
}

bool SimVersionInfo::Query(std::span<std::uint8_t> block, const char* subBlock, const void** value,
                           std::uint32_t* length) {
  bool ok = QueryVersionValue(block, subBlock, value, length);
  if (!ok && os_.files) os_.files->SetLastError(platform::kErrorResourceTypeNotFound);
  return ok;
}

}  // namespace sim
