// Port I/O, the PCI BIOS interrupt and the millisecond clock.
#include "platform/win32/backend.h"
#include "platform/win32/windows_api.h"

namespace platform::win32 {

#if defined(__i386__)

std::uint8_t Win32PortIo::In8(std::uint16_t port) {
  std::uint8_t value;
  asm volatile("inb %w1, %b0" : "=a"(value) : "Nd"(port));
  return value;
}
std::uint16_t Win32PortIo::In16(std::uint16_t port) {
  std::uint16_t value;
  asm volatile("inw %w1, %w0" : "=a"(value) : "Nd"(port));
  return value;
}
std::uint32_t Win32PortIo::In32(std::uint16_t port) {
  std::uint32_t value;
  asm volatile("inl %w1, %0" : "=a"(value) : "Nd"(port));
  return value;
}
void Win32PortIo::Out8(std::uint16_t port, std::uint8_t value) {
  asm volatile("outb %b0, %w1" : : "a"(value), "Nd"(port));
}
void Win32PortIo::Out16(std::uint16_t port, std::uint16_t value) {
  asm volatile("outw %w0, %w1" : : "a"(value), "Nd"(port));
}
void Win32PortIo::Out32(std::uint16_t port, std::uint32_t value) {
  asm volatile("outl %0, %w1" : : "a"(value), "Nd"(port));
}

PciBios::CheckRegisters Win32PciBios::InstallationCheck() {
  std::uint32_t eax = 0xB101, ebx = 0, ecx = 0, edx = 0, edi = 0;
  std::uint8_t carry = 1;
  asm volatile("int $0x1a\n\tsetc %5"
               : "+a"(eax), "+b"(ebx), "+c"(ecx), "+d"(edx), "+D"(edi), "=m"(carry)
               :
               : "cc", "memory");
  CheckRegisters registers;
  registers.carry = carry != 0;
  registers.ah = static_cast<std::uint8_t>(eax >> 8);
  registers.edx = edx;
  registers.bx = static_cast<std::uint16_t>(ebx);
  return registers;
}

std::uint8_t Win32PciBios::FindDevice(std::uint16_t vendor, std::uint16_t device, std::uint16_t index) {
  std::uint32_t eax = 0xB102, ebx = 0, ecx = device, edx = vendor, esi = index;
  asm volatile("int $0x1a" : "+a"(eax), "+b"(ebx), "+c"(ecx), "+d"(edx), "+S"(esi) : : "cc", "memory");
  return static_cast<std::uint8_t>(eax >> 8);
}

#else

// The 64-bit build never executes these: MakeOs hands out the absent stand-ins instead.
std::uint8_t Win32PortIo::In8(std::uint16_t port) {
  return AbsentPortIo().In8(port);
}
std::uint16_t Win32PortIo::In16(std::uint16_t port) {
  return AbsentPortIo().In16(port);
}
std::uint32_t Win32PortIo::In32(std::uint16_t port) {
  return AbsentPortIo().In32(port);
}
void Win32PortIo::Out8(std::uint16_t, std::uint8_t) {}
void Win32PortIo::Out16(std::uint16_t, std::uint16_t) {}
void Win32PortIo::Out32(std::uint16_t, std::uint32_t) {}
PciBios::CheckRegisters Win32PciBios::InstallationCheck() {
  return AbsentPciBios().InstallationCheck();
}
std::uint8_t Win32PciBios::FindDevice(std::uint16_t vendor, std::uint16_t device, std::uint16_t index) {
  return AbsentPciBios().FindDevice(vendor, device, index);
}

#endif

std::uint32_t Win32Clock::TimeGetTime() {
  return timeGetTime();
}

}  // namespace platform::win32
