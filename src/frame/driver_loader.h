// Display-driver plug-ins: loading and the prototypes they supply.
#pragma once

namespace vexa {

// Loads the driver plug-in with this identifier (5, 6 or 7) if it is not loaded yet and
// fills its prototypes; true when it is loaded.
bool LoadDisplayDriver(int driver);
// Unloads every loaded driver plug-in.
void UnloadDisplayDrivers();
// Tells a loaded driver that has SEFunction where its display surfaces are shown: code 0 with
// four 32-bit values (x, y, width, height). Only a change from what the driver was last told
// through code 0 is sent; true when sent.
bool SendDisplayArea(int driver, const int area[4]);

}  // namespace vexa
