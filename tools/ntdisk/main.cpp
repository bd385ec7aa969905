// make_ntdisk DIR [--driver-version TEXT] [--applet FILE]: writes the Windows NT installation disk.
#include <cstring>
#include <iostream>

#include "tools/ntdisk/nt_disk.h"

int main(int argc, char** argv) {
  ntdisk::NtDiskOptions options;
  const char* dir = nullptr;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--driver-version") == 0 && i + 1 < argc) {
      options.driverVersion = argv[++i];
    } else if (std::strcmp(argv[i], "--applet") == 0 && i + 1 < argc) {
      options.applet = argv[++i];
    } else if (std::strcmp(argv[i], "--help") == 0) {
      std::cout << "usage: make_ntdisk DIR [--driver-version TEXT] [--applet FILE]\n"
                   "Writes the J6 Orvantis installation disk for Windows NT into DIR.\n";
      return 0;
    } else if (argv[i][0] != '-' && !dir) {
      dir = argv[i];
    } else {
      std::cerr << "make_ntdisk: unexpected argument '" << argv[i] << "' (see --help)\n";
      return 2;
    }
  }
  if (!dir) {
    std::cerr << "make_ntdisk: no folder given (see --help)\n";
    return 2;
  }
  try {
    ntdisk::WriteNtDisk(dir, options);
  } catch (const std::exception& e) {
    std::cerr << "make_ntdisk: " << e.what() << "\n";
    return 1;
  }
  return 0;
}
