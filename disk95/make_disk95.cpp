// Build step: writes the Windows 95 installation disk into the folder named on the command line.
#include <exception>
#include <iostream>

#include "disk95/disk95.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::cerr << "usage: make_disk95 DIR\n";
    return 2;
  }
  try {
    disk95::WriteWindows95Disk(argv[1]);
  } catch (const std::exception& e) {
    std::cerr << "make_disk95: " << e.what() << "\n";
    return 1;
  }
  return 0;
}
