// Everything one running program may reach of its machine. Deliverable code receives this and calls
// nothing else of the outside world.
#pragma once

#include "platform/address_space.h"
#include "platform/clock.h"
#include "platform/detection.h"
#include "platform/device_io.h"
#include "platform/file_queue.h"
#include "platform/files.h"
#include "platform/pci_bios.h"
#include "platform/port_io.h"
#include "platform/processes.h"
#include "platform/profiles.h"
#include "platform/registry.h"
#include "platform/riff.h"
#include "platform/services.h"
#include "platform/thunk.h"
#include "platform/ui.h"
#include "platform/version_info.h"

namespace platform {

enum class WindowsFamily { k95, kNt };

// Facilities a machine cannot offer (the PCI BIOS on NT, services on Windows 95) are null.
struct Os {
  WindowsFamily family = WindowsFamily::k95;
  Registry* registry = nullptr;
  FileSystem* files = nullptr;
  Profiles* profiles = nullptr;
  RiffReader* riff = nullptr;
  DeviceIo* devices = nullptr;
  PortIo* ports = nullptr;
  Clock* clock = nullptr;
  AddressSpace* memory = nullptr;
  Processes* processes = nullptr;
  ServiceManager* services = nullptr;
  FileQueue* fileQueue = nullptr;
  VersionInfo* versions = nullptr;
  PciBios* pciBios = nullptr;
  DetectionLibrary* detection = nullptr;
  UserInterface* ui = nullptr;
  Thunk* thunk = nullptr;
};

}  // namespace platform
