// DMA channel descriptors, built from the hardware information block.
#include "basedrv/hal/hal.h"

namespace j6base {

std::uint32_t DMA_Init(std::uint32_t deviceId) {
  DeviceInstance* instance = DeviceIDToHardwareInstance(deviceId);
  SharedSection* shared = Shared();
  if (!instance || !shared) return 0;
  LeBytes hw = instance->HwInfo();
  for (std::uint32_t i = 0; i < 3; ++i) {
    DmaDescriptor& d = instance->dma[i];
    LeBytes rec = d.Record();
    const std::size_t entry = hw::BufferEntry(i);
    const std::uint32_t phys = hw.U32(entry + hw::kBufferPhys);
    d.channel = hw.U8(hw::kDmaChannels + i);
    d.regBase = hw.U16(hw::kDmaRegBases + 2 * i);

    std::uint16_t page = std::uint16_t((phys >> 16) & 0xFF);
    std::uint32_t start = phys;
    // The 16-bit channels count words: their start address is a word address within a 128 KB page.
    if (instance->legacyMode && i != 0) {
      page &= 0xFE;
      start = phys >> 1;
    }
    rec.Set32(dmarec::kFarBuffer, std::uint32_t(hw.U16(entry + hw::kBufferSelector)) << 16);
    rec.Set32(dmarec::kStart, start);
    rec.Set32(dmarec::kLinear, hw.U32(entry + hw::kBufferLinear));
    rec.Set16(dmarec::kSize, std::uint16_t(hw.U32(entry + hw::kBufferSize)));
    rec.Set16(dmarec::kPage, page);

    if (instance->legacyMode) {
      const std::uint8_t ch = d.channel;
      rec.Set32(dmarec::kPorts, ch);
      // Only channels 0 to 7 exist on the PC's DMA controllers; another number gets no ports.
      const bool known = ch < 8;
      const bool high = ch >= 4;
      rec.Set8(dmarec::kPorts + 4, known ? shared->gbDMABaseReg[ch] : 0);
      rec.Set8(dmarec::kPorts + 5, known ? shared->gbDMACntReg[ch] : 0);
      rec.Set8(dmarec::kPorts + 6, known ? shared->gbDMAPageReg[ch] : 0);
      rec.Set8(dmarec::kPorts + 7, known ? (high ? 0xD4 : 0x0A) : 0);
      rec.Set8(dmarec::kPorts + 8, known ? (high ? 0xD6 : 0x0B) : 0);
      rec.Set8(dmarec::kPorts + 9, known ? (high ? 0xD8 : 0x0C) : 0);
    } else {
      const std::uint16_t b = d.regBase;
      const std::uint16_t offsets[9] = {0, 2, 4, 6, 8, 9, 0x0B, 0x0D, 0x0F};
      for (std::uint32_t k = 0; k < 9; ++k) rec.Set16(dmarec::kPorts + 2 * k, std::uint16_t(b + offsets[k]));
    }
    d.inUse = 0;
  }
  return 0;
}

std::uint32_t DMA_Exit(std::uint32_t) {
  return 0;
}

}  // namespace j6base
