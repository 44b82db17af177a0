// FIXME: the memory and DIB-section surface classes are not built yet; until they are, every
// prototype stays empty and surfaces cannot be created.
#include "frame/prototype_factories.h"

namespace vexa {

cSurfaceImplementation* MakeMemoryPrototype(int) { return nullptr; }
cSurfaceImplementation* MakeAlphaPrototype() { return nullptr; }
cSurfaceImplementation* MakeDIBSectionPrototype(int) { return nullptr; }
cSurfaceImplementation* MakeDIBDCPrototype(int) { return nullptr; }

}  // namespace vexa
