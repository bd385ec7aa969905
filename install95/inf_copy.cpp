#include "install95/inf_copy.h"

namespace install95 {

// Not built yet: the INF-driven copy comes with the next piece of work.
int CopyInfFiles(InstallerApp&, ChoicePage&) {
  return 0;
}

}  // namespace install95
