#include <iostream>

#include "tools/j6sim/commands.h"

int main(int argc, char** argv) {
  return j6sim::Run(argc, argv, std::cout, std::cerr);
}
