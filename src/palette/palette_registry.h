// The palette registry: one record per registered thread, in registration order, each owning
// the palette objects its thread created.
//
// A record is keyed by (process id, thread id). Threads only ever touch their own record, but
// records are added and removed while other threads run, and the library's unload frees them
// all, so every access goes through the registry lock (RegistryLock). Linux tells a shared
// library nothing when a thread ends: a thread-local guard, armed at the thread's first
// registration, frees the thread's record when the thread ends without unregistering (the
// main thread excepted: its palettes go at the library's unload).
#pragma once

#include <cstdint>
#include <mutex>

#include <vexa/palette.h>

namespace vexa {

struct ThreadPalettes {
  std::uint32_t processId;
  std::uint32_t threadId;
  int paletteCount;
  int capacity;              // starts at 8, grows by 8
  PaletteObject** palettes;  // the thread's palettes in creation order; [0] is its default
  int registrationCount;     // the record goes when this falls to 0
};

// Holds the registry lock for its lifetime. Every function below needs it held.
class RegistryLock {
 public:
  RegistryLock();
  ~RegistryLock();
  RegistryLock(const RegistryLock&) = delete;
  RegistryLock& operator=(const RegistryLock&) = delete;
};

// The calling thread's record, or null.
ThreadPalettes* FindCallingThread(const RegistryLock&);

// Appends a palette to a record's list; false when memory runs out.
bool AppendPalette(const RegistryLock&, ThreadPalettes* record, PaletteObject* palette);

// Removes a palette from a record's list; false when the list does not hold it.
bool RemovePalette(const RegistryLock&, ThreadPalettes* record, PaletteObject* palette);

// Frees every record of every thread with all their palettes, and the registry's storage.
// Used when the library is unloaded.
void FreeAllPaletteThreads();

// For tests: the number of registry records, and of palettes they hold, now.
int PaletteThreadRecordCount();
int RegisteredPaletteCount();

}  // namespace vexa
