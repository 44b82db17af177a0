// Makers of the library's prototype implementations: formatted for their depth, without
// storage. The library frame calls them when the first thread registers; a maker that
// returns null leaves its prototype empty (the error surface).
#pragma once

class cSurfaceImplementation;

namespace vexa {

cSurfaceImplementation* MakeMemoryPrototype(int depth);      // cBufferSurface
cSurfaceImplementation* MakeAlphaPrototype();                // 8-bit cAlphaBufferSurface
cSurfaceImplementation* MakeDIBSectionPrototype(int depth);  // cDIBSectionSurface
cSurfaceImplementation* MakeDIBDCPrototype(int depth);       // cDIBDCSurface

}  // namespace vexa
