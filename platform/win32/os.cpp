#include "platform/win32/backend.h"
#include "platform/win32/win32_os.h"
#include "platform/win32/windows_api.h"

namespace platform::win32 {

WindowsFamily RunningFamily() {
  // The high bit of GetVersion is set on Windows 95 and its successors of that line.
  return (GetVersion() & 0x80000000u) ? WindowsFamily::k95 : WindowsFamily::kNt;
}

platform::Os MakeOs() {
  static Win32Registry registry;
  static Win32FileSystem files;
  static Win32Profiles profiles;
  static Win32RiffReader riff;
  static Win32DeviceIo devices;
  static Win32Clock clock;
  static Win32Processes processes;
  static Win32ServiceManager services;
  static Win32FileQueue fileQueue;
  static Win32VersionInfo versions;
  static AbsentPortIo absentPorts;
  static AbsentPciBios absentPciBios;
  static Win32UserInterface ui(RunningFamily());

  platform::Os os;
  os.family = RunningFamily();
  os.registry = &registry;
  os.files = &files;
  os.profiles = &profiles;
  os.riff = &riff;
  os.devices = &devices;
  os.clock = &clock;
  os.processes = &processes;
  os.fileQueue = &fileQueue;
  os.versions = &versions;
  os.ui = &ui;
  os.ports = &absentPorts;
  os.pciBios = &absentPciBios;
  if (os.family == WindowsFamily::kNt) os.services = &services;
#if defined(__i386__)
  static Win32AddressSpace memory;
  os.memory = &memory;
  if (os.family == WindowsFamily::k95) {
    static Win32PortIo ports;
    static Win32PciBios pciBios;
    static Win32Thunk thunk;
    os.ports = &ports;
    os.pciBios = &pciBios;
    os.thunk = &thunk;
  }
#endif
  return os;
}

}  // namespace platform::win32
