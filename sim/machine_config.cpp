#include "sim/machine_config.h"

#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>
#include <type_traits>

#include "sim/machine_error.h"

namespace sim {

using nlohmann::json;

namespace {

std::string LineOf(const std::string& text, std::size_t byte) {
  std::size_t line = 1;
  for (std::size_t i = 0; i < byte && i < text.size(); ++i)
    if (text[i] == '\n') ++line;
  return std::to_string(line);
}

// Finds the line where `key` first appears, to point a bad value out to the user.
std::string LineOfKey(const std::string& text, const std::string& key) {
  auto at = text.find("\"" + key + "\"");
  return at == std::string::npos ? "1" : LineOf(text, at);
}

template <typename T>
T Number(const json& object, const char* key, T fallback, const std::string& where, const std::string& text,
         std::uint64_t max) {
  if (!object.contains(key)) return fallback;
  const json& value = object.at(key);
  if (!value.is_number_unsigned() || value.get<std::uint64_t>() > max)
    throw MachineError(where + ":" + LineOfKey(text, key) + ": \"" + key +
                       "\" must be a whole number from 0 to " + std::to_string(max));
  return static_cast<T>(value.get<std::uint64_t>());
}

bool Flag(const json& object, const char* key, bool fallback, const std::string& where,
          const std::string& text) {
  if (!object.contains(key)) return fallback;
  if (!object.at(key).is_boolean())
    throw MachineError(where + ":" + LineOfKey(text, key) + ": \"" + key + "\" must be true or false");
  return object.at(key).get<bool>();
}

std::string Text(const json& object, const char* key, const std::string& fallback, const std::string& where,
                 const std::string& text) {
  if (!object.contains(key)) return fallback;
  if (!object.at(key).is_string())
    throw MachineError(where + ":" + LineOfKey(text, key) + ": \"" + key + "\" must be a string");
  return object.at(key).get<std::string>();
}

}  // namespace

MachineConfig MachineConfig::Defaults(platform::WindowsFamily os) {
  MachineConfig config;
  config.os = os;
  if (os == platform::WindowsFamily::kNt) {
    config.windowsDir = "C:\\WINNT";
    config.systemDir = "C:\\WINNT\\SYSTEM32";
  }
  return config;
}

std::string ToString(CardKind kind) {
  switch (kind) {
    case CardKind::kPci:
      return "pci";
    case CardKind::kIsa:
      return "isa";
    case CardKind::kNone:
      return "none";
  }
  return "none";
}

std::string ToString(platform::WindowsFamily os) {
  return os == platform::WindowsFamily::kNt ? "nt" : "95";
}

MachineConfig ReadMachineConfig(const std::filesystem::path& file) {
  const std::string where = file.string();
  std::ifstream in(file, std::ios::binary);
  if (!in)
    throw MachineError(where + ": cannot be read (is this a machine folder? make one with 'j6sim new')");
  std::stringstream buffer;
  buffer << in.rdbuf();
  const std::string text = buffer.str();

  json root;
  try {
    root = json::parse(text);
  } catch (const json::parse_error& e) {
    throw MachineError(where + ":" + LineOf(text, e.byte == 0 ? 0 : e.byte - 1) + ": not valid JSON");
  } catch (const json::exception&) {
    // A number too large for any type (1e400) fails after the parse, with no position.
    throw MachineError(where + ":1: not valid JSON (a number out of range)");
  }
  if (!root.is_object()) throw MachineError(where + ":1: must hold a JSON object");

  MachineConfig config;
  std::string os = Text(root, "os", "95", where, text);
  if (os == "95") {
    config = MachineConfig::Defaults(platform::WindowsFamily::k95);
  } else if (os == "nt") {
    config = MachineConfig::Defaults(platform::WindowsFamily::kNt);
  } else {
    throw MachineError(where + ":" + LineOfKey(text, "os") + ": \"os\" must be \"95\" or \"nt\"");
  }
  config.windowsDir = Text(root, "windowsDir", config.windowsDir, where, text);
  config.systemDir = Text(root, "systemDir", config.systemDir, where, text);
  config.freeBytes =
      Number<std::uint64_t>(root, "freeBytes", config.freeBytes, where, text, ~std::uint64_t{0} >> 1);

  if (root.contains("card")) {
    const json& card = root.at("card");
    if (!card.is_object())
      throw MachineError(where + ":" + LineOfKey(text, "card") + ": \"card\" must be an object");
    std::string kind = Text(card, "kind", "pci", where, text);
    if (kind == "pci")
      config.card.kind = CardKind::kPci;
    else if (kind == "isa")
      config.card.kind = CardKind::kIsa;
    else if (kind == "none")
      config.card.kind = CardKind::kNone;
    else
      throw MachineError(where + ":" + LineOfKey(text, "kind") +
                         ": \"kind\" must be \"pci\", \"isa\" or \"none\"");
    config.card.legacyMode = Flag(card, "legacyMode", config.card.legacyMode, where, text);
    config.card.gmRom = Flag(card, "gmRom", config.card.gmRom, where, text);
    config.card.irq = Number<std::uint8_t>(card, "irq", config.card.irq, where, text, 15);
    config.card.basePort = Number<std::uint16_t>(card, "basePort", config.card.basePort, where, text, 0xFFF0);
    config.card.tableAreaSize =
        Number<std::uint32_t>(card, "tableAreaSize", config.card.tableAreaSize, where, text, 0x1000000);
    config.card.hardwareKey =
        Number<std::uint32_t>(card, "hardwareKey", config.card.hardwareKey, where, text, 0xFFFFFFFF);
    config.card.deviceId =
        Number<std::uint32_t>(card, "deviceId", config.card.deviceId, where, text, 0xFFFFFFFF);
    config.card.byte16 = Number<std::uint8_t>(card, "byte16", config.card.byte16, where, text, 0xFF);
    config.card.resetValue =
        Number<std::uint16_t>(card, "resetValue", config.card.resetValue, where, text, 0xFFFF);
    config.card.dmaBufferSize =
        Number<std::uint32_t>(card, "dmaBufferSize", config.card.dmaBufferSize, where, text, 0xFFFFFFFF);
    config.card.fourthBuffer = Flag(card, "fourthBuffer", config.card.fourthBuffer, where, text);
    config.card.selector6E =
        Number<std::uint16_t>(card, "selector6E", config.card.selector6E, where, text, 0xFFFF);
    config.card.sampleMemPhys =
        Number<std::uint32_t>(card, "sampleMemPhys", config.card.sampleMemPhys, where, text, 0xFFFFFFFF);
    config.card.busyPolls =
        Number<std::uint32_t>(card, "busyPolls", config.card.busyPolls, where, text, 0xFFFFFFFF);
    auto numbers = [&](const char* key, auto& array, std::uint64_t max) {
      constexpr std::size_t n = std::extent_v<std::remove_reference_t<decltype(array)>>;
      if (!card.contains(key)) return;
      const json& list = card.at(key);
      if (!list.is_array() || list.size() != n)
        throw MachineError(where + ":" + LineOfKey(text, key) + ": \"" + key + "\" must list " +
                           std::to_string(n) + " numbers");
      for (std::size_t i = 0; i < n; ++i) {
        if (!list[i].is_number_unsigned() || list[i].get<std::uint64_t>() > max)
          throw MachineError(where + ":" + LineOfKey(text, key) + ": \"" + key + "\" numbers must be 0 to " +
                             std::to_string(max));
        array[i] = static_cast<std::remove_reference_t<decltype(array[0])>>(list[i].get<std::uint64_t>());
      }
    };
    numbers("ports", config.card.ports, 0xFFFF);
    numbers("dmaRegBases", config.card.dmaRegBases, 0xFFFF);
    numbers("dmaBufferPhys", config.card.dmaBufferPhys, 0xFFFFFFFF);
    if (card.contains("dma")) {
      const json& dma = card.at("dma");
      if (!dma.is_array() || dma.size() != 3)
        throw MachineError(where + ":" + LineOfKey(text, "dma") +
                           ": \"dma\" must list three channel numbers");
      for (int i = 0; i < 3; ++i) {
        if (!dma[i].is_number_unsigned() || dma[i].get<std::uint64_t>() > 255)
          throw MachineError(where + ":" + LineOfKey(text, "dma") + ": DMA channel numbers must be 0 to 255");
        config.card.dma[i] = static_cast<std::uint8_t>(dma[i].get<std::uint64_t>());
      }
    }
  }
  if (root.contains("pciDevices")) {
    const json& devices = root.at("pciDevices");
    if (!devices.is_array())
      throw MachineError(where + ":" + LineOfKey(text, "pciDevices") + ": \"pciDevices\" must be a list");
    for (const json& d : devices) {
      if (!d.is_object())
        throw MachineError(where + ":" + LineOfKey(text, "pciDevices") +
                           ": each PCI device must be an object");
      PciDevice device;
      device.vendor = Number<std::uint16_t>(d, "vendor", 0, where, text, 0xFFFF);
      device.device = Number<std::uint16_t>(d, "device", 0, where, text, 0xFFFF);
      config.pciDevices.push_back(device);
    }
  }
  return config;
}

void WriteMachineConfig(const std::filesystem::path& file, const MachineConfig& config) {
  json card = {
      {"kind", ToString(config.card.kind)},
      {"legacyMode", config.card.legacyMode},
      {"gmRom", config.card.gmRom},
      {"irq", config.card.irq},
      {"dma", {config.card.dma[0], config.card.dma[1], config.card.dma[2]}},
      {"basePort", config.card.basePort},
      {"tableAreaSize", config.card.tableAreaSize},
      {"hardwareKey", config.card.hardwareKey},
      {"deviceId", config.card.deviceId},
      {"ports", {config.card.ports[0], config.card.ports[1], config.card.ports[2], config.card.ports[3]}},
      {"byte16", config.card.byte16},
      {"resetValue", config.card.resetValue},
      {"dmaRegBases", {config.card.dmaRegBases[0], config.card.dmaRegBases[1], config.card.dmaRegBases[2]}},
      {"dmaBufferPhys",
       {config.card.dmaBufferPhys[0], config.card.dmaBufferPhys[1], config.card.dmaBufferPhys[2],
        config.card.dmaBufferPhys[3]}},
      {"dmaBufferSize", config.card.dmaBufferSize},
      {"fourthBuffer", config.card.fourthBuffer},
      {"selector6E", config.card.selector6E},
      {"sampleMemPhys", config.card.sampleMemPhys},
      {"busyPolls", config.card.busyPolls},
  };
  json devices = json::array();
  for (const auto& d : config.pciDevices) devices.push_back({{"vendor", d.vendor}, {"device", d.device}});
  json root = {
      {"os", ToString(config.os)},
      {"windowsDir", config.windowsDir},
      {"systemDir", config.systemDir},
      {"freeBytes", config.freeBytes},
      {"card", card},
      {"pciDevices", devices},
  };
  std::ofstream out(file, std::ios::binary | std::ios::trunc);
  if (!out) throw MachineError(file.string() + ": cannot be written");
  out << root.dump(2) << "\n";
  if (!out) throw MachineError(file.string() + ": cannot be written");
}

}  // namespace sim
