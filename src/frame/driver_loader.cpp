// FIXME: display-driver plug-ins are not supported yet: no driver counts as loadable, so
// every driver request falls back to the DIB-section prototypes, as it does when a driver's
// file is missing.
#include "frame/driver_loader.h"

namespace vexa {

bool LoadDisplayDriver(int) { return false; }
void UnloadDisplayDrivers() {}

}  // namespace vexa
