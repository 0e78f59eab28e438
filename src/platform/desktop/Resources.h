#pragma once

namespace quorly {

// Registers the program's resources (images, icons, the help book). The desktop
// library is a static one, whose resource table is linked in only when something asks
// for it by name; every part that reads a resource calls this first. Harmless when
// called again.
void initResources();

}  // namespace quorly
