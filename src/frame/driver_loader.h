// Display-driver plug-ins: loading and the prototypes they supply.
#pragma once

namespace vexa {

// Loads the driver plug-in with this identifier (5, 6 or 7) if it is not loaded yet and
// fills its prototypes; true when it is loaded.
bool LoadDisplayDriver(int driver);
// Unloads every loaded driver plug-in.
void UnloadDisplayDrivers();

}  // namespace vexa
