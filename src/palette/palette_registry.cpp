#include "palette/palette_registry.h"

#include <pthread.h>

#include <algorithm>
#include <new>

#include <vexa/memory.h>

#include "palette/palette_default.h"
#include "palette/palette_object.h"
#include "platform/thread/thread.h"

namespace vexa {
namespace {

constexpr int kListGrowth = 8;

struct Registry {
  std::mutex lock;
  ThreadPalettes** records = nullptr;  // in registration order
  int count = 0;
  int capacity = 0;
};

void LockBeforeFork();
void UnlockInParent();
void AdoptInChild();

Registry& TheRegistry() {
  // Never destroyed: threads that end during process exit still look their records up.
  static Registry* const registry = [] {
    auto* made = new Registry;
    pthread_atfork(LockBeforeFork, UnlockInParent, AdoptInChild);
    return made;
  }();
  return *registry;
}

// fork() copies only the thread that calls it. In the child that thread keeps the thread id
// the library knows it by, but the process id is new: its record moves to the new process
// id, so that it stays the registered thread it was and keeps creating palettes. The lock is
// held across the fork, so the child never inherits it locked by a thread it does not have.
std::uint32_t forkingProcess = 0;

void LockBeforeFork() {
  TheRegistry().lock.lock();
  forkingProcess = plat::CurrentProcessId();
}

void UnlockInParent() { TheRegistry().lock.unlock(); }

void AdoptInChild() {
  Registry& registry = TheRegistry();
  const std::uint32_t self = plat::CurrentThreadId();
  for (int i = 0; i < registry.count; ++i) {
    ThreadPalettes& record = *registry.records[i];
    if (record.processId == forkingProcess && record.threadId == self) {
      record.processId = plat::CurrentProcessId();
    }
  }
  registry.lock.unlock();
}

// Grows a block of pointers by kListGrowth entries.
template <typename T>
bool GrowPointerList(T*** list, int* capacity) {
  void* block = *list;
  if (!ReallocBlock(&block, sizeof(T*) * static_cast<std::size_t>(*capacity + kListGrowth)))
    return false;
  *list = static_cast<T**>(block);
  *capacity += kListGrowth;
  return true;
}

template <typename T>
void FreePointerList(T*** list) {
  void* block = *list;
  FreeBlockAndClear(&block);
  *list = nullptr;
}

bool IsCallingThread(const ThreadPalettes& record) {
  return record.processId == plat::CurrentProcessId() && record.threadId == plat::CurrentThreadId();
}

// Frees a record's palettes (whatever their reference counts), its list and the record.
void FreeRecord(ThreadPalettes* record) {
  for (int i = 0; i < record->paletteCount; ++i) FreePaletteObject(record->palettes[i]);
  FreePointerList(&record->palettes);
  delete record;
}

// Removes the record at `index` keeping the others in order; the array goes with the last one.
void RemoveRecordAt(Registry& registry, int index) {
  FreeRecord(registry.records[index]);
  std::copy(registry.records + index + 1, registry.records + registry.count,
            registry.records + index);
  if (--registry.count == 0) {
    FreePointerList(&registry.records);
    registry.capacity = 0;
  }
}

int IndexOfCallingThread(const Registry& registry) {
  for (int i = 0; i < registry.count; ++i)
    if (IsCallingThread(*registry.records[i])) return i;
  return -1;
}

// A new record with registration count 1 for the calling thread, or null without memory.
ThreadPalettes* AddCallingThread(Registry& registry) {
  if (registry.count == registry.capacity &&
      !GrowPointerList(&registry.records, &registry.capacity))
    return nullptr;
  auto* record = new (std::nothrow)
      ThreadPalettes{plat::CurrentProcessId(), plat::CurrentThreadId(), 0, 0, nullptr, 1};
  if (record != nullptr) registry.records[registry.count++] = record;
  return record;
}

// Frees the calling thread's record, whatever its registration count.
void FreeCallingThread() {
  Registry& registry = TheRegistry();
  std::lock_guard<std::mutex> guard(registry.lock);
  const int index = IndexOfCallingThread(registry);
  if (index >= 0) RemoveRecordAt(registry, index);
}

// Frees the thread's palettes when the thread ends while still registered.
struct ThreadExitGuard {
  bool armed = false;
  ~ThreadExitGuard() {
    if (armed) FreeCallingThread();
  }
};

// The process's main thread is left out: it ends only with the process, whose exit frees every
// record at the library's unload (FreeAllPaletteThreads). Freeing its palettes earlier, before
// the static objects that may still hold references to them are destroyed, would leave those
// references dangling.
void ArmThreadExitGuard() {
  if (plat::IsMainThread()) return;
  static thread_local ThreadExitGuard guard;
  guard.armed = true;
}

}  // namespace

RegistryLock::RegistryLock() { TheRegistry().lock.lock(); }
RegistryLock::~RegistryLock() { TheRegistry().lock.unlock(); }

ThreadPalettes* FindCallingThread(const RegistryLock&) {
  Registry& registry = TheRegistry();
  const int index = IndexOfCallingThread(registry);
  return index >= 0 ? registry.records[index] : nullptr;
}

bool AppendPalette(const RegistryLock&, ThreadPalettes* record, PaletteObject* palette) {
  if (record->paletteCount == record->capacity &&
      !GrowPointerList(&record->palettes, &record->capacity))
    return false;
  record->palettes[record->paletteCount++] = palette;
  return true;
}

bool RemovePalette(const RegistryLock&, ThreadPalettes* record, PaletteObject* palette) {
  PaletteObject** end = record->palettes + record->paletteCount;
  PaletteObject** found = std::find(record->palettes, end, palette);
  if (found == end) return false;
  std::copy(found + 1, end, found);
  --record->paletteCount;
  return true;
}

void FreeAllPaletteThreads() {
  Registry& registry = TheRegistry();
  std::lock_guard<std::mutex> guard(registry.lock);
  while (registry.count > 0) RemoveRecordAt(registry, registry.count - 1);
}

int PaletteThreadRecordCount() {
  Registry& registry = TheRegistry();
  std::lock_guard<std::mutex> guard(registry.lock);
  return registry.count;
}

int RegisteredPaletteCount() {
  Registry& registry = TheRegistry();
  std::lock_guard<std::mutex> guard(registry.lock);
  int palettes = 0;
  for (int i = 0; i < registry.count; ++i) palettes += registry.records[i]->paletteCount;
  return palettes;
}

}  // namespace vexa

PaletteObject* RegisterPaletteThread() {
  vexa::CaptureSystemPalette();
  {
    vexa::Registry& registry = vexa::TheRegistry();
    std::lock_guard<std::mutex> guard(registry.lock);
    const int index = vexa::IndexOfCallingThread(registry);
    if (index >= 0) {
      ++registry.records[index]->registrationCount;
    } else {
      if (vexa::AddCallingThread(registry) == nullptr) return nullptr;
      vexa::ArmThreadExitGuard();
    }
  }
  const LOGPALETTE256 record = vexa::DefaultLogPalette();
  return CreatePaletteObject(reinterpret_cast<const LOGPALETTE*>(&record));
}

void UnregisterPaletteThread() {
  vexa::Registry& registry = vexa::TheRegistry();
  std::lock_guard<std::mutex> guard(registry.lock);
  const int index = vexa::IndexOfCallingThread(registry);
  if (index < 0) return;
  if (--registry.records[index]->registrationCount <= 0) vexa::RemoveRecordAt(registry, index);
}
