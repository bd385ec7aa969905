// Writes icon 101 of the applet as a .ico file: j6audio_make_icon OUT.ico
#include <cstdio>
#include <fstream>

#include "applet/resources.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: j6audio_make_icon OUT.ico\n");
    return 2;
  }
  auto bytes = j6audio::IconFileBytes();
  std::ofstream out(argv[1], std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  if (!out) {
    std::fprintf(stderr, "j6audio_make_icon: cannot write %s\n", argv[1]);
    return 1;
  }
  return 0;
}
