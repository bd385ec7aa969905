// The microcode loader: a text file of hexadecimal tokens whose type-1 segments go to on-board memory 2.
#include <cstring>

#include "basedrv/hal/hal.h"

namespace j6base {

namespace {

constexpr std::uint32_t kMagic = 0x5A43;
constexpr std::uint32_t kVersion = 0x0101;
constexpr std::uint32_t kLineChars = sizeof(UCodeParser::LineBuf) - 1;

bool IsSep(char c) {
  return c == ' ' || c == '\r' || c == '\n';
}

// One character of the file in text mode (CR LF reads as LF); -1 at the end.
int ReadChar(ProcessContext& process) {
  UCodeParser& p = process.parser;
  platform::FileSystem* files = process.Os().files;
  auto refill = [&] {
    if (p.atEnd || !files) return false;
    std::uint32_t got = 0;
    if (!files->ReadFile(p.file, p.readBuf, sizeof p.readBuf, &got) || got == 0) {
      p.atEnd = true;
      return false;
    }
    p.readPos = 0;
    p.readLen = got;
    return true;
  };
  if (p.readPos >= p.readLen && !refill()) return -1;
  char c = char(p.readBuf[p.readPos++]);
  if (c == '\r') {
    if (p.readPos >= p.readLen && !refill()) return '\r';
    if (p.readBuf[p.readPos] == '\n') {
      ++p.readPos;
      return '\n';
    }
  }
  return static_cast<unsigned char>(c);
}

// fgets into LineBuf: at most 127 characters, up to and including a line feed. False at the end.
bool ReadLine(ProcessContext& process) {
  UCodeParser& p = process.parser;
  std::uint32_t n = 0;
  while (n < kLineChars) {
    int c = ReadChar(process);
    if (c < 0) break;
    p.LineBuf[n++] = char(c);
    if (c == '\n') break;
  }
  p.LineBuf[n] = 0;
  p.lpToken = 0;
  if (n == 0) p.endOfFile = true;
  return n != 0;
}

// The next token of LineBuf from the current position, as strtok with the separators " \r\n" finds it.
bool NextTokenInLine(UCodeParser& p, std::uint32_t* start) {
  std::uint32_t i = p.lpToken;
  while (p.LineBuf[i] && IsSep(p.LineBuf[i])) ++i;
  if (!p.LineBuf[i]) {
    p.lpToken = i;
    return false;
  }
  *start = i;
  while (p.LineBuf[i] && !IsSep(p.LineBuf[i])) ++i;
  p.lpToken = i;
  return true;
}

// The runtime's unsigned conversion in base 16: leading white space, a sign, an optional 0x, then digits
// up to the first that is not hexadecimal.
std::uint32_t HexValue(const char* text) {
  auto isSpace = [](char c) { return c == ' ' || (c >= '\t' && c <= '\r'); };
  auto digit = [](char c) -> int {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
  };
  while (isSpace(*text)) ++text;
  bool negative = false;
  if (*text == '+' || *text == '-') negative = *text++ == '-';
  if (text[0] == '0' && (text[1] == 'x' || text[1] == 'X') && digit(text[2]) >= 0) text += 2;
  std::uint64_t value = 0;
  bool overflow = false;
  for (; digit(*text) >= 0; ++text) {
    value = value * 16 + std::uint64_t(digit(*text));
    if (value > 0xFFFFFFFFu) overflow = true;
  }
  if (overflow) return 0xFFFFFFFFu;
  return negative ? std::uint32_t(0u - std::uint32_t(value)) : std::uint32_t(value);
}

// The value of the token that starts at `start` (LineBuf still holds the whole line).
std::uint16_t TokenValue(UCodeParser& p, std::uint32_t start) {
  char token[sizeof p.LineBuf] = {};
  std::uint32_t n = 0;
  while (p.LineBuf[start + n] && !IsSep(p.LineBuf[start + n])) {
    token[n] = p.LineBuf[start + n];
    ++n;
  }
  return std::uint16_t(HexValue(token));
}

// Reads a header line and its first four tokens; false when the line is missing or short.
bool ReadHeaderLine(ProcessContext& process, std::uint16_t (&values)[4]) {
  UCodeParser& p = process.parser;
  if (!ReadLine(process)) return false;
  for (auto& value : values) {
    std::uint32_t start = 0;
    if (!NextTokenInLine(p, &start)) return false;
    value = TokenValue(p, start);
  }
  return true;
}

}  // namespace

std::uint32_t GetNextToken(ProcessContext& process, std::uint16_t* value) {
  UCodeParser& p = process.parser;
  std::uint32_t start = 0;
  if (!NextTokenInLine(p, &start)) {
    if (!ReadLine(process)) return 0;
    if (!NextTokenInLine(p, &start)) return 0;
  }
  p.tokenValue = TokenValue(p, start);
  if (value) *value = p.tokenValue;
  return 1;
}

std::uint32_t read_segment_data(ProcessContext& process, std::uint8_t* buffer, std::uint32_t count) {
  std::uint8_t sum = 0;
  std::uint16_t token = 0;
  for (std::uint32_t i = 0; i < count; ++i) {
    if (!GetNextToken(process, &token)) return 0;
    buffer[i] = std::uint8_t(token);
    sum = std::uint8_t(sum + buffer[i]);
  }
  if (!GetNextToken(process, &token)) return 0;
  return std::uint8_t(token) == sum ? 1 : 0;
}

namespace {

// Status of the load once the file is open; the caller closes it.
std::uint32_t LoadSegments(ProcessContext& process, std::uint32_t deviceId, std::uint32_t target) {
  std::uint16_t header[4] = {};
  if (!ReadHeaderLine(process, header)) return 1;
  if (header[0] != kMagic || header[1] != kVersion) return 1;
  const std::uint16_t segments = header[2];
  platform::AddressSpace* memory = process.Os().memory;

  for (std::uint32_t s = 0; s < segments; ++s) {
    std::uint16_t segment[4] = {};
    if (!ReadHeaderLine(process, segment)) return 1;
    const std::uint16_t type = segment[0];
    const std::uint16_t tokens = segment[3];
    if (type == 0) {
      // Dropped unchecked; past the end of the file there is nothing left to drop.
      for (std::uint32_t i = 0; i < tokens && !process.parser.endOfFile; ++i) GetNextToken(process, nullptr);
    } else if (type == 1) {
      // A type-1 segment always ends in its checksum token; one without tokens is malformed.
      if (tokens == 0) return 1;
      if (!memory) return 1;
      const platform::LinearAddress address = memory->GlobalAlloc(tokens);
      if (!address) return 1;
      std::span<std::uint8_t> buffer = memory->Map(address, tokens);
      if (buffer.size() != tokens) {
        memory->GlobalFree(address);
        return 1;
      }
      std::memset(buffer.data(), 0, buffer.size());
      if (!read_segment_data(process, buffer.data(), tokens - 1u)) {
        memory->GlobalFree(address);
        return 1;
      }
      if (target == 1 || target == 2) {
        WriteMemoryBytes(deviceId, 2, target == 1 ? 0xC000 : 0x0000, buffer.data(),
                         std::uint16_t(tokens / 2));
      }
      memory->GlobalFree(address);
    }
  }
  return 0;
}

}  // namespace

}  // namespace j6base

using namespace j6base;

extern "C" uint32_t J6API VEXA_LoadUCode(uint32_t deviceId, const char* path, uint32_t target) {
  ProcessContext* process = CurrentProcess();
  if (!process || !DeviceIDToHardwareInstance(deviceId)) return 1;
  platform::FileSystem* files = process->Os().files;
  if (!path || !files) return 1;
  UCodeParser& p = process->parser;
  p = UCodeParser{};
  p.file = files->OpenFile(path, platform::OpenMode::kRead);
  if (p.file == platform::kInvalidFileHandle) return 1;
  const std::uint32_t status = LoadSegments(*process, deviceId, target);
  files->CloseFile(p.file);
  p.file = platform::kInvalidFileHandle;
  return status;
}
