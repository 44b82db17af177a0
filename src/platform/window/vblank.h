// The display's vertical blank.
//
// Linux gives a client no way to read the beam's scan line, so the real source only waits:
// it asks the kernel's display driver (libdrm's vertical-blank wait on the first card node
// that answers one) for the next blank, which returns at the start of the next refresh. Where
// no card node answers (a headless or nested X server, SDL's dummy driver) there is no source
// at all. Tests install a scripted source (scan lines and a manual clock) through the factory,
// or keep the real source and give it a fake card through the card calls.
#pragma once

#include <cstdint>

union _drmVBlank;

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

// The three calls the card source makes, in libdrm's terms: open a card node (a descriptor,
// or -1), wait for a blank (drmWaitVBlank: 0, or -1 with the request untouched) and close.
struct DrmCardCalls {
  int (*open)(const char* path);
  int (*waitVBlank)(int fd, _drmVBlank* request);
  void (*close)(int fd);
};
// Sources opened from now on use these calls (null: the real device nodes and libdrm).
void SetDrmCardCalls(const DrmCardCalls* calls);

}  // namespace plat
