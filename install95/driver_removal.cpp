#include "install95/driver_removal.h"

namespace install95 {

// Not built yet: the removal of an installed driver set comes with the next piece of work.
int RemoveMediaResources(InstallerApp&, const char*, const char*) {
  return 1;
}

// Not built yet: see above.
void RemoveOldDrivers(InstallerApp&, ChoicePage&) {}

}  // namespace install95
