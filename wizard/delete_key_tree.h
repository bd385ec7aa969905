// Removal of a registry key together with everything below it, shared by both installers.
#pragma once

#include "platform/registry.h"

namespace wizard {

// Deletes `parent`\`name` and its whole branch, children before their parent, so it works on a registry
// that refuses to delete a key with subkeys. A key that cannot be opened is left alone; always returns 1.
int DeleteKeyTree(platform::Registry& registry, platform::HKey parent, const char* name);

}  // namespace wizard
