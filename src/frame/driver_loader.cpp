// Display-driver plug-ins: the three driver records, loading beside the library, the
// prototypes the drivers supply, and unloading.
//
// Loading takes no lock: the first request for a driver comes from one thread at a time (the
// thread that builds the display). A module stays loaded from its first successful load until
// UnloadDrivers; the last UnregisterThread only empties the prototype objects, and the next
// request refills them from the module already loaded (no second SEInitialize).
#include "frame/driver_loader.h"

#include <algorithm>
#include <cstring>
#include <string>

#include <vexa/display_driver.h>
#include <vexa/error_surface.h>
#include "frame/library_state.h"
#include "platform/module/module.h"

namespace vexa {
namespace {

struct DriverRecord {
  void* module = nullptr;
  bool loadFailed = false;
  SEInitializeFn initialize = nullptr;
  SEFreeFn free = nullptr;
  SEGetSIPrototypeFn getPrototype = nullptr;
  SEFunctionFn function = nullptr;
  bool areaSent = false;  // SEFunction code 0 was sent, with `area`
  int area[4] = {};
};

DriverRecord records[3];  // drivers 5, 6, 7

DriverRecord* RecordOf(int driver) {
  if (driver < kDriverD3D9 || driver > kDriverD3D11) return nullptr;
  return &records[driver - kDriverD3D9];
}

const char* FileOf(int driver) {
  switch (driver) {
    case kDriverD3D9:
      return kDriverFileD3D9;
    case kDriverD3D8:
      return kDriverFileD3D8;
    default:
      return kDriverFileD3D11;
  }
}

bool Filled(const cSurfaceObject& prototype) {
  return prototype.implementation && prototype.implementation != GetErrorSurface();
}

// Driver prototypes belong to the plug-in: the objects forget them without deleting them.
void EmptyPrototypes(int driver) {
  int count = 0;
  cSurfaceObject* first = DriverPrototypes(driver, &count);
  for (int i = 0; i < count; ++i) first[i].implementation = GetErrorSurface();
}

void FillPrototypes(int driver, const DriverRecord& record) {
  int count = 0;
  cSurfaceObject* first = DriverPrototypes(driver, &count);
  for (int i = 0; i < count; ++i) {
    cSurfaceImplementation* made = record.getPrototype(kPrototypeFirst + i);
    if (made) first[i].implementation = made;
  }
}

// SEFree and the unload; a driver failing inside either is ignored.
void Release(DriverRecord& record) {
  try {
    if (record.free) record.free();
  } catch (...) {}
  try {
    plat::FreeModule(record.module);
  } catch (...) {}
  const bool failed = record.loadFailed;
  record = DriverRecord{};
  record.loadFailed = failed;
}

bool Open(int driver, DriverRecord& record) {
  const std::string path = plat::ModuleDirectory() + FileOf(driver);
  record.module = plat::LoadModule(path);
  if (!record.module) return false;
  record.initialize =
      reinterpret_cast<SEInitializeFn>(plat::FindEntryPoint(record.module, kSEInitializeName));
  record.free = reinterpret_cast<SEFreeFn>(plat::FindEntryPoint(record.module, kSEFreeName));
  record.getPrototype = reinterpret_cast<SEGetSIPrototypeFn>(
      plat::FindEntryPoint(record.module, kSEGetSIPrototypeName));
  record.function =
      reinterpret_cast<SEFunctionFn>(plat::FindEntryPoint(record.module, kSEFunctionName));
  int usable = 0;
  if (record.initialize && record.getPrototype) {
    try {
      usable = record.initialize();
    } catch (...) {
      usable = 0;
    }
  }
  if (usable) return true;
  Release(record);
  return false;
}

}  // namespace

bool LoadDisplayDriver(int driver) {
  DriverRecord* record = RecordOf(driver);
  if (!record) return false;
  int count = 0;
  cSurfaceObject* first = DriverPrototypes(driver, &count);
  if (Filled(first[0])) return true;
  if (record->loadFailed) return false;
  if (!record->module && !Open(driver, *record)) {
    record->loadFailed = true;
    return false;
  }
  FillPrototypes(driver, *record);
  if (Filled(first[0])) return true;
  // A driver without a display prototype is of no use: unload it and do not ask again.
  EmptyPrototypes(driver);
  Release(*record);
  record->loadFailed = true;
  return false;
}

bool SendDisplayArea(int driver, const int area[4]) {
  DriverRecord* record = RecordOf(driver);
  if (!record || !record->module || !record->function) return false;
  if (record->areaSent && std::equal(area, area + 4, record->area)) return false;
  std::copy(area, area + 4, record->area);
  record->areaSent = true;
  record->function(kDriverFunctionDisplayArea, const_cast<int*>(record->area));
  return true;
}

void UnloadDisplayDrivers() {
  for (int driver = kDriverD3D9; driver <= kDriverD3D11; ++driver) {
    EmptyPrototypes(driver);
    DriverRecord& record = *RecordOf(driver);
    if (record.module) Release(record);
    record = DriverRecord{};
  }
}

}  // namespace vexa

int LoadDriver(int driver) { return vexa::LoadDisplayDriver(driver) ? 1 : 0; }

int GetDriverState(int driver) {
  const vexa::DriverRecord* record = vexa::RecordOf(driver);
  if (!record) return 0;
  if (record->module) return 1;
  return record->loadFailed ? 2 : 0;
}

int CallDriverFunction(int driver, int code, void* data) {
  vexa::DriverRecord* record = vexa::RecordOf(driver);
  if (!record || !record->module || !record->function) return 0;
  if (code == kDriverFunctionDisplayArea && data) {
    // What the caller sets is what the driver was last told.
    std::memcpy(record->area, data, sizeof record->area);
    record->areaSent = true;
  }
  record->function(code, data);
  return 1;
}
