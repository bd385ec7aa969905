// Stand-ins until the DLS engine lands: the card works without it, as on a card whose engine found no
// common block.
#include "basedrv/dls_hooks.h"

namespace j6base {

std::uint32_t DlsInit(std::uint32_t) {
  return 0;
}
std::uint32_t DlsExit(std::uint32_t) {
  return 0;
}

}  // namespace j6base
