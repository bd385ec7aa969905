#include "sim/regedit.h"

#include <cstdio>
#include <optional>

#include "sim/faults.h"
#include "sim/machine_error.h"
#include "sim/registry.h"

namespace sim {

namespace {

constexpr const char* kHeader4 = "REGEDIT4";
constexpr const char* kHeader5 = "Windows Registry Editor Version 5.00";

bool IsBlank(char c) {
  return c == ' ' || c == '\t';
}

std::string Trim(const std::string& s) {
  std::size_t b = 0, e = s.size();
  while (b < e && IsBlank(s[b])) ++b;
  while (e > b && IsBlank(s[e - 1])) --e;
  return s.substr(b, e - b);
}

// UTF-16LE with a byte order mark becomes 8-bit text (characters above 255 become '?'); a UTF-8
// byte order mark is dropped.
std::string DecodeText(const std::string& raw) {
  if (raw.size() >= 2 && std::uint8_t(raw[0]) == 0xFF && std::uint8_t(raw[1]) == 0xFE) {
    std::string out;
    for (std::size_t i = 2; i + 1 < raw.size(); i += 2) {
      unsigned ch = std::uint8_t(raw[i]) | unsigned(std::uint8_t(raw[i + 1])) << 8;
      out += ch < 256 ? char(ch) : '?';
    }
    return out;
  }
  if (raw.size() >= 3 && raw.compare(0, 3, "\xEF\xBB\xBF") == 0) return raw.substr(3);
  return raw;
}

struct Line {
  std::size_t number;
  std::string text;
};

// Splits on CRLF, LF or CR and joins lines that end in a backslash with the next one.
std::vector<Line> LogicalLines(const std::string& text) {
  std::vector<Line> raw;
  std::string current;
  std::size_t number = 1;
  for (std::size_t i = 0; i < text.size(); ++i) {
    char c = text[i];
    if (c == '\r' || c == '\n') {
      raw.push_back({number, current});
      current.clear();
      if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
      ++number;
    } else {
      current += c;
    }
  }
  if (!current.empty()) raw.push_back({number, current});

  std::vector<Line> out;
  for (std::size_t i = 0; i < raw.size(); ++i) {
    Line line{raw[i].number, Trim(raw[i].text)};
    while (!line.text.empty() && line.text.back() == '\\' && line.text.front() != '[' && i + 1 < raw.size()) {
      line.text.pop_back();
      line.text = Trim(line.text) + Trim(raw[++i].text);
    }
    out.push_back(std::move(line));
  }
  return out;
}

// Reads a quoted string starting at text[pos] == '"'; leaves pos after the closing quote.
std::optional<std::string> ReadQuoted(const std::string& text, std::size_t& pos) {
  if (pos >= text.size() || text[pos] != '"') return std::nullopt;
  std::string out;
  for (++pos; pos < text.size(); ++pos) {
    char c = text[pos];
    if (c == '"') {
      ++pos;
      return out;
    }
    if (c == '\\' && pos + 1 < text.size() && (text[pos + 1] == '"' || text[pos + 1] == '\\'))
      c = text[++pos];
    out += c;
  }
  return std::nullopt;
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

std::optional<std::vector<std::uint8_t>> ParseHexBytes(const std::string& text) {
  std::vector<std::uint8_t> out;
  std::size_t pos = 0;
  while (true) {
    while (pos < text.size() && IsBlank(text[pos])) ++pos;
    if (pos >= text.size()) return out;
    int hi = HexDigit(text[pos]);
    if (hi < 0) return std::nullopt;
    unsigned value = unsigned(hi);
    ++pos;
    if (pos < text.size() && HexDigit(text[pos]) >= 0) value = value * 16 + unsigned(HexDigit(text[pos++]));
    out.push_back(std::uint8_t(value));
    while (pos < text.size() && IsBlank(text[pos])) ++pos;
    if (pos >= text.size()) return out;
    if (text[pos] != ',') return std::nullopt;
    ++pos;
  }
}

// UTF-16LE bytes of a version 5 file's hex(2)/hex(7) value, as 8-bit text bytes.
std::vector<std::uint8_t> NarrowUtf16(const std::vector<std::uint8_t>& wide) {
  std::vector<std::uint8_t> out;
  for (std::size_t i = 0; i + 1 < wide.size(); i += 2) {
    unsigned ch = wide[i] | unsigned(wide[i + 1]) << 8;
    out.push_back(ch < 256 ? std::uint8_t(ch) : std::uint8_t('?'));
  }
  return out;
}

struct ParsedValue {
  bool remove = false;
  std::uint32_t type = 0;
  std::vector<std::uint8_t> data;
};

// The part after '=': "text", dword:hhhhhhhh, hex:..., hex(N):..., or - (delete).
std::optional<ParsedValue> ParseData(const std::string& text, bool version5, std::string* why) {
  ParsedValue v;
  if (text == "-") {
    v.remove = true;
    return v;
  }
  if (!text.empty() && text[0] == '"') {
    std::size_t pos = 0;
    auto s = ReadQuoted(text, pos);
    if (!s || !Trim(text.substr(pos)).empty()) {
      *why = "string value is not closed by a quote";
      return std::nullopt;
    }
    v.type = platform::kRegSz;
    v.data.assign(s->begin(), s->end());
    v.data.push_back(0);
    return v;
  }
  if (text.compare(0, 6, "dword:") == 0) {
    std::string digits = Trim(text.substr(6));
    if (digits.empty() || digits.size() > 8) {
      *why = "dword: needs 1 to 8 hex digits";
      return std::nullopt;
    }
    std::uint32_t value = 0;
    for (char c : digits) {
      if (HexDigit(c) < 0) {
        *why = "dword: needs 1 to 8 hex digits";
        return std::nullopt;
      }
      value = value * 16 + std::uint32_t(HexDigit(c));
    }
    v.type = platform::kRegDword;
    for (int i = 0; i < 4; ++i) v.data.push_back(std::uint8_t(value >> (8 * i)));
    return v;
  }
  if (text.compare(0, 3, "hex") == 0) {
    std::size_t pos = 3;
    v.type = platform::kRegBinary;
    if (pos < text.size() && text[pos] == '(') {
      auto close = text.find(')', pos);
      if (close == std::string::npos || close == pos + 1 || close - pos - 1 > 8) {
        *why = "hex(N): needs a hex type number";
        return std::nullopt;
      }
      std::uint32_t type = 0;
      for (std::size_t i = pos + 1; i < close; ++i) {
        if (HexDigit(text[i]) < 0) {
          *why = "hex(N): needs a hex type number";
          return std::nullopt;
        }
        type = type * 16 + std::uint32_t(HexDigit(text[i]));
      }
      v.type = type;
      pos = close + 1;
    }
    if (pos >= text.size() || text[pos] != ':') {
      *why = "hex data needs a ':'";
      return std::nullopt;
    }
    auto bytes = ParseHexBytes(text.substr(pos + 1));
    if (!bytes) {
      *why = "hex data must be comma-separated hex bytes";
      return std::nullopt;
    }
    v.data = std::move(*bytes);
    if (version5 && (v.type == platform::kRegExpandSz || v.type == platform::kRegMultiSz))
      v.data = NarrowUtf16(v.data);
    return v;
  }
  *why = "unknown value form";
  return std::nullopt;
}

enum class Mode { kStrict, kLenient };

RegImportResult Apply(RegistryStore& store, const std::string& rawText, Mode mode, const std::string& where,
                      Faults* faults) {
  RegImportResult result;
  auto problem = [&](std::size_t line, const std::string& why) {
    if (mode == Mode::kStrict) throw MachineError(where + ":" + std::to_string(line) + ": " + why);
    result.problems.push_back("line " + std::to_string(line) + ": " + why);
  };
  auto writeFails = [&](std::size_t line) {
    if (faults && faults->ShouldFail(fault::kRegistryWrite)) {
      problem(line, "registry write failed");
      return true;
    }
    return false;
  };

  std::vector<Line> lines = LogicalLines(DecodeText(rawText));
  std::size_t i = 0;
  while (i < lines.size() && lines[i].text.empty()) ++i;
  if (i == lines.size() || (lines[i].text != kHeader4 && lines[i].text != kHeader5)) {
    problem(i < lines.size() ? lines[i].number : 1, "not a registry file (the first line must be REGEDIT4)");
    return result;
  }
  const bool version5 = lines[i].text == kHeader5;
  result.imported = true;

  std::shared_ptr<RegKey> current;
  bool inSection = false;
  for (++i; i < lines.size(); ++i) {
    const std::string& text = lines[i].text;
    const std::size_t number = lines[i].number;
    if (text.empty() || text[0] == ';' || text[0] == '#') continue;
    if (text[0] == '[') {
      inSection = true;
      current = nullptr;
      if (text.back() != ']') {
        problem(number, "key name is not closed by ']'");
        continue;
      }
      std::string path = text.substr(1, text.size() - 2);
      bool remove = path.size() > 1 && path[0] == '-' && !IsBlank(path[1]);
      if (remove) path = path.substr(1);
      while (!path.empty() && path.back() == '\\') path.pop_back();
      std::string rootName = path.substr(0, path.find('\\'));
      auto root = store.RootByName(rootName);
      if (!root) {
        problem(number, "unknown root key \"" + rootName + "\"");
        continue;
      }
      std::string rest = path.size() > rootName.size() ? path.substr(rootName.size() + 1) : "";
      if (remove) {
        if (rest.empty()) {
          problem(number, "a root key cannot be deleted");
          continue;
        }
        auto key = store.Find(root, rest);
        if (key && !writeFails(number)) key->parent->RemoveSubkey(key->name);
        continue;
      }
      auto existing = store.Find(root, rest);
      if (existing) {
        current = existing;
      } else if (!writeFails(number)) {
        current = store.CreatePath(path);
      }
      continue;
    }

    // A value line.
    std::string name;
    std::size_t pos = 0;
    if (text[0] == '@') {
      pos = 1;
    } else if (auto quoted = ReadQuoted(text, pos)) {
      name = *quoted;
    } else {
      problem(number, "expected [key], \"name\"=value or @=value");
      continue;
    }
    while (pos < text.size() && IsBlank(text[pos])) ++pos;
    if (pos >= text.size() || text[pos] != '=') {
      problem(number, "expected '=' after the value name");
      continue;
    }
    std::string why;
    auto value = ParseData(Trim(text.substr(pos + 1)), version5, &why);
    if (!value) {
      problem(number, why);
      continue;
    }
    if (!current) {
      // Values of a deleted or skipped section are ignored; before any section they are an error.
      if (!inSection) problem(number, "value outside a [key] section");
      continue;
    }
    if (writeFails(number)) continue;
    if (value->remove)
      current->RemoveValue(name);
    else
      current->SetValue(name, value->type, std::move(value->data));
  }
  return result;
}

std::string Quote(const std::string& s) {
  std::string out = "\"";
  for (char c : s) {
    if (c == '"' || c == '\\') out += '\\';
    out += c;
  }
  return out + "\"";
}

// A string the quoted form carries exactly: one terminating NUL, no NUL or line break inside.
bool QuotableString(const std::vector<std::uint8_t>& data) {
  if (data.empty() || data.back() != 0) return false;
  for (std::size_t i = 0; i + 1 < data.size(); ++i)
    if (data[i] == 0 || data[i] == '\r' || data[i] == '\n') return false;
  return true;
}

void WriteHex(std::string& out, std::size_t lineStart, const std::string& prefix,
              const std::vector<std::uint8_t>& d) {
  out += prefix;
  std::size_t column = out.size() - lineStart;
  for (std::size_t i = 0; i < d.size(); ++i) {
    char byte[4];
    std::snprintf(byte, sizeof byte, "%02x", d[i]);
    out += byte;
    column += 2;
    if (i + 1 < d.size()) {
      out += ',';
      ++column;
      if (column > 75) {
        out += "\\\r\n  ";
        column = 2;
      }
    }
  }
}

void WriteKey(std::string& out, const RegKey& key, bool isRoot) {
  if (!isRoot || !key.values.empty()) {
    out += "[" + key.Path() + "]\r\n";
    for (const auto& v : key.values) {
      std::size_t lineStart = out.size();
      out += v.name.empty() ? std::string("@") : Quote(v.name);
      out += "=";
      if (v.type == platform::kRegSz && QuotableString(v.data)) {
        out += Quote(std::string(v.data.begin(), v.data.end() - 1));
      } else if (v.type == platform::kRegDword && v.data.size() == 4) {
        char text[16];
        std::snprintf(text, sizeof text, "dword:%08x",
                      unsigned(v.data[0] | v.data[1] << 8 | v.data[2] << 16 | unsigned(v.data[3]) << 24));
        out += text;
      } else if (v.type == platform::kRegBinary) {
        WriteHex(out, lineStart, "hex:", v.data);
      } else {
        char prefix[24];
        std::snprintf(prefix, sizeof prefix, "hex(%x):", unsigned(v.type));
        WriteHex(out, lineStart, prefix, v.data);
      }
      out += "\r\n";
    }
    out += "\r\n";
  }
  for (const auto& [name, child] : key.subkeys) WriteKey(out, *child, false);
}

}  // namespace

RegImportResult ImportRegFile(RegistryStore& store, const std::string& text, Faults* faults) {
  return Apply(store, text, Mode::kLenient, "", faults);
}

std::string ExportRegText(const RegistryStore& store) {
  std::string out = std::string(kHeader4) + "\r\n\r\n";
  for (const auto& root : store.Roots()) WriteKey(out, *root, true);
  return out;
}

void RegistryStore::LoadText(const std::string& text, const std::string& where) {
  Apply(*this, text, Mode::kStrict, where, nullptr);
}

std::string RegistryStore::ToText() const {
  return ExportRegText(*this);
}

}  // namespace sim
