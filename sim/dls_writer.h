// Builds DLS Level 1 files from a short description, for tests, the demo and j6sim. Faults are part of
// the description, so a case that must be refused shows what is wrong in a line or two.
#pragma once

#include <cstdint>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace sim::dlsw {

struct Connection {
  std::uint16_t source = 0, control = 0, destination = 0, transform = 0;
  std::int32_t scale = 0;
};

struct Articulation {
  std::vector<Connection> connections;
  bool noArt1 = false;                      // a "lart" list without "art1"
  std::optional<std::uint32_t> headerSize;  // "art1" structure size (8 by default)
};

struct Loop {
  Loop() = default;
  Loop(std::uint32_t s, std::uint32_t l, std::uint32_t t = 0) : start(s), length(l), type(t) {}
  std::uint32_t start = 0, length = 0, type = 0;
  std::optional<std::uint32_t> structSize;  // 16 by default
};

struct Region {
  std::uint16_t keyLow = 0, keyHigh = 127, velLow = 0, velHigh = 127, keyGroup = 0;
  std::uint16_t unityNote = 60;
  std::int16_t fineTune = 0;
  std::int32_t attenuation = 0;
  std::vector<Loop> loops;  // the count "wsmp" declares; only one is written out in full
  std::uint32_t wave = 0;   // pool table index
  std::optional<Articulation> art;
  std::optional<std::uint32_t> wsmpSize;  // structure size (20 by default)
  std::set<std::string> omit;             // "rgnh", "wsmp", "wlnk"
};

struct Instrument {
  std::uint32_t bank = 0;  // MSB in bits 8-14, LSB in bits 0-6
  std::uint32_t program = 0;
  bool drum = false;  // bit 31 of the bank
  std::vector<Region> regions;
  std::optional<Articulation> art;
  std::optional<std::uint32_t> regionCount;  // what "insh" declares, when not the real count
  std::set<std::string> omit;                // "insh", "lrgn"
};

struct Wave {
  std::uint16_t formatTag = 1, channels = 1, bits = 16;
  std::uint32_t rate = 22050;
  std::vector<std::uint8_t> data;
  bool noFmt = false, noData = false;
};

struct Collection {
  std::vector<Instrument> instruments;
  std::vector<Wave> waves;
  std::string formType = "DLS ";
  std::optional<std::uint32_t> instrumentCount;    // what "colh" declares
  std::optional<std::vector<std::uint32_t>> cues;  // pool offsets in place of the real ones
  std::optional<std::uint32_t> ptblSize;           // "ptbl" structure size (8 by default)
  std::set<std::string> omit;                      // "colh", "lins", "ptbl", "wvpl"
  // Chunks placed in a different order than the usual one, to show that order does not matter.
  bool reversed = false;
};

std::vector<std::uint8_t> WriteDls(const Collection& collection);

// Helpers for short descriptions.
std::vector<std::uint8_t> Ramp8(std::uint32_t samples);   // 8-bit unsigned samples 0, 1, 2 ...
std::vector<std::uint8_t> Ramp16(std::uint32_t samples);  // 16-bit little-endian samples 0, 1, 2 ...
// One melodic instrument (bank 0, program 0, one region over a 16-bit wave) and one drum kit (bank 0,
// program 0, keys 35 and 38 over 8-bit waves): a small collection that plays.
Collection SmallCollection();

}  // namespace sim::dlsw
