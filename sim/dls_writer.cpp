#include "sim/dls_writer.h"

#include <stdexcept>

namespace sim::dlsw {

namespace {

using Bytes = std::vector<std::uint8_t>;

void Put16(Bytes& b, std::uint32_t v) {
  b.push_back(static_cast<std::uint8_t>(v));
  b.push_back(static_cast<std::uint8_t>(v >> 8));
}
void Put32(Bytes& b, std::uint32_t v) {
  Put16(b, v & 0xFFFF);
  Put16(b, v >> 16);
}
void PutId(Bytes& b, const std::string& id) {
  if (id.size() != 4) throw std::invalid_argument("chunk id must have 4 characters: " + id);
  b.insert(b.end(), id.begin(), id.end());
}

Bytes Chunk(const std::string& id, const Bytes& data) {
  Bytes b;
  PutId(b, id);
  Put32(b, static_cast<std::uint32_t>(data.size()));
  b.insert(b.end(), data.begin(), data.end());
  if (data.size() % 2) b.push_back(0);
  return b;
}

Bytes List(const std::string& id, const std::string& type, const std::vector<Bytes>& children) {
  Bytes data;
  PutId(data, type);
  for (const Bytes& c : children) data.insert(data.end(), c.begin(), c.end());
  return Chunk(id, data);
}

Bytes Lart(const Articulation& art) {
  std::vector<Bytes> children;
  if (!art.noArt1) {
    Bytes a;
    std::uint32_t size = art.headerSize.value_or(8);
    Put32(a, size);
    Put32(a, static_cast<std::uint32_t>(art.connections.size()));
    for (std::uint32_t i = 8; i < size; ++i) a.push_back(0);
    for (const Connection& c : art.connections) {
      Put16(a, c.source);
      Put16(a, c.control);
      Put16(a, c.destination);
      Put16(a, c.transform);
      Put32(a, static_cast<std::uint32_t>(c.scale));
    }
    children.push_back(Chunk("art1", a));
  }
  return List("LIST", "lart", children);
}

Bytes Rgn(const Region& r) {
  std::vector<Bytes> children;
  if (!r.omit.count("rgnh")) {
    Bytes h;
    for (std::uint32_t v : {r.keyLow, r.keyHigh, r.velLow, r.velHigh, std::uint16_t{0}, r.keyGroup})
      Put16(h, v);
    children.push_back(Chunk("rgnh", h));
  }
  if (!r.omit.count("wsmp")) {
    Bytes w;
    std::uint32_t size = r.wsmpSize.value_or(20);
    Put32(w, size);
    Put16(w, r.unityNote);
    Put16(w, static_cast<std::uint16_t>(r.fineTune));
    Put32(w, static_cast<std::uint32_t>(r.attenuation));
    Put32(w, 0);
    Put32(w, static_cast<std::uint32_t>(r.loops.size()));
    for (std::uint32_t i = 20; i < size; ++i) w.push_back(0);
    for (const Loop& l : r.loops) {
      std::uint32_t ls = l.structSize.value_or(16);
      Put32(w, ls);
      Put32(w, l.type);
      Put32(w, l.start);
      Put32(w, l.length);
      for (std::uint32_t i = 16; i < ls; ++i) w.push_back(0);
    }
    children.push_back(Chunk("wsmp", w));
  }
  if (!r.omit.count("wlnk")) {
    Bytes l;
    Put16(l, 0);
    Put16(l, 0);
    Put32(l, 1);
    Put32(l, r.wave);
    children.push_back(Chunk("wlnk", l));
  }
  if (r.art) children.push_back(Lart(*r.art));
  return List("LIST", "rgn ", children);
}

Bytes Ins(const Instrument& ins) {
  std::vector<Bytes> children;
  if (!ins.omit.count("insh")) {
    Bytes h;
    Put32(h, ins.regionCount.value_or(static_cast<std::uint32_t>(ins.regions.size())));
    Put32(h, ins.bank | (ins.drum ? 0x80000000u : 0));
    Put32(h, ins.program);
    children.push_back(Chunk("insh", h));
  }
  if (!ins.omit.count("lrgn")) {
    std::vector<Bytes> regions;
    for (const Region& r : ins.regions) regions.push_back(Rgn(r));
    children.push_back(List("LIST", "lrgn", regions));
  }
  if (ins.art) children.push_back(Lart(*ins.art));
  return List("LIST", "ins ", children);
}

Bytes WaveList(const Wave& w) {
  std::vector<Bytes> children;
  if (!w.noFmt) {
    Bytes f;
    Put16(f, w.formatTag);
    Put16(f, w.channels);
    Put32(f, w.rate);
    std::uint32_t align = w.channels * ((w.bits + 7u) / 8u);
    Put32(f, w.rate * align);
    Put16(f, align);
    Put16(f, w.bits);
    children.push_back(Chunk("fmt ", f));
  }
  if (!w.noData) children.push_back(Chunk("data", w.data));
  return List("LIST", "wave", children);
}

}  // namespace

Bytes WriteDls(const Collection& c) {
  std::vector<Bytes> top;
  if (!c.omit.count("colh")) {
    Bytes h;
    Put32(h, c.instrumentCount.value_or(static_cast<std::uint32_t>(c.instruments.size())));
    top.push_back(Chunk("colh", h));
  }
  if (!c.omit.count("lins")) {
    std::vector<Bytes> ins;
    for (const Instrument& i : c.instruments) ins.push_back(Ins(i));
    top.push_back(List("LIST", "lins", ins));
  }
  std::vector<Bytes> waves;
  std::vector<std::uint32_t> offsets;
  std::uint32_t at = 0;
  for (const Wave& w : c.waves) {
    waves.push_back(WaveList(w));
    offsets.push_back(at);
    at += static_cast<std::uint32_t>(waves.back().size());
  }
  if (!c.omit.count("ptbl")) {
    const std::vector<std::uint32_t>& cues = c.cues ? *c.cues : offsets;
    Bytes p;
    std::uint32_t size = c.ptblSize.value_or(8);
    Put32(p, size);
    Put32(p, static_cast<std::uint32_t>(cues.size()));
    for (std::uint32_t i = 8; i < size; ++i) p.push_back(0);
    for (std::uint32_t o : cues) Put32(p, o);
    top.push_back(Chunk("ptbl", p));
  }
  if (!c.omit.count("wvpl")) top.push_back(List("LIST", "wvpl", waves));
  if (c.reversed) std::vector<Bytes>(top.rbegin(), top.rend()).swap(top);
  return List("RIFF", c.formType, top);
}

Bytes Ramp8(std::uint32_t samples) {
  Bytes b;
  for (std::uint32_t i = 0; i < samples; ++i) b.push_back(static_cast<std::uint8_t>(i));
  return b;
}

Bytes Ramp16(std::uint32_t samples) {
  Bytes b;
  for (std::uint32_t i = 0; i < samples; ++i) Put16(b, i);
  return b;
}

Collection SmallCollection() {
  Collection c;
  Wave tone;
  tone.data = Ramp16(64);
  Wave kick;
  kick.bits = 8;
  kick.data = Ramp8(40);
  Wave snare = kick;
  snare.data = Ramp8(30);
  c.waves = {tone, kick, snare};

  Instrument piano;
  Region r;
  r.loops = {Loop(16, 32)};
  piano.regions = {r};
  Instrument kit;
  kit.drum = true;
  Region k35;
  k35.keyLow = k35.keyHigh = 35;
  k35.wave = 1;
  Region k38 = k35;
  k38.keyLow = k38.keyHigh = 38;
  k38.wave = 2;
  kit.regions = {k35, k38};
  c.instruments = {piano, kit};
  return c;
}

}  // namespace sim::dlsw
