// The display's vertical blank.
//
// Linux gives a client no way to read the beam's scan line, so the real source only waits:
// it asks the kernel's display driver (libdrm's vertical-blank wait on the first card node)
// for the next blank, which returns at the start of the next refresh. Where no card node
// answers (a headless or nested X server, SDL's dummy driver) there is no source at all.
// Tests install a scripted source (scan lines and a manual clock) through the factory.
#pragma once

#include <cstdint>

namespace plat {

class VBlankSource {
 public:
  virtual ~VBlankSource() = default;
  // The current scan line; *inBlank set during the blank. FALSE when it cannot be read.
  virtual bool ReadScanLine(int* line, bool* inBlank) = 0;
  // Blocks until the next blank starts; FALSE when the wait failed.
  virtual bool WaitForBlankStart() = 0;
  // Lines of the visible screen.
  virtual int ScreenHeight() = 0;
};

// The display's source, or null when none exists. The caller owns it (delete).
VBlankSource* OpenVBlankSource();
// Replaces the real source by a factory (null restores the real one).
void SetVBlankSourceFactory(VBlankSource* (*factory)());

}  // namespace plat
