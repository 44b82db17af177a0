// CSoundFilterMgr and the process's sound output registry.
//
// The registry is a private filter table whose only entry (index 0) is the built-in back-end
// factory; the first sound filter manager loaded in the process creates the back-end through
// it, on that manager. Each manager is counted once however often it is reloaded. When the
// manager the back-end takes its filters from is freed while others stay loaded, the back-end
// moves on to another one; the last Free deactivates every sound manager and deletes the
// back-end before the plug-ins go. Filters pin their own plug-in (CreateSoundFilterForStream),
// so a sound outliving its manager's table never runs unloaded code.
#include <algorithm>
#include <new>
#include <vector>

#include <vexa/filter_manager.h>
#include <vexa/stream.h>
#include <vexa/text.h>

#include "platform/module/module.h"
#include "sound/ds_sound.h"
#include "sound/sound_lock.h"
#include "sound/sound_source.h"

namespace {

struct Registry {
  CFilterMgr* table = nullptr;
  CSoundAPI* backEnd = nullptr;
  std::vector<CSoundFilterMgr*> loaded;  // each loaded manager once
  const CSoundFilterMgr* reloading = nullptr;
};

Registry& State() {
  static auto* registry = new Registry;
  return *registry;
}

// The registry's entries hand the manager pointer through at full width: the factory is
// stored in the entry's createFilter field and called with its own type.
using BackEndFactory = CSoundAPI* (*)(CSoundFilterMgr* filters);
using AnyFunction = void (*)();

void SetUpRegistry(CSoundFilterMgr* filters) {
  Registry& r = State();
  r.table = NewFilterMgr();
  if (!r.table) return;
  r.table->LoadFiltersW(u"", u"", 0);  // only makes the empty table
  FilterEntry entry{};
  entry.createFilter =
      reinterpret_cast<CreateFilterProc>(reinterpret_cast<AnyFunction>(&CreateDSSoundAPI));
  if (!r.table->AddEntry(entry) || r.table->GetFilterCount() < 1) return;
  auto factory = reinterpret_cast<BackEndFactory>(
      reinterpret_cast<AnyFunction>(r.table->GetEntry(0)->createFilter));
  r.backEnd = factory(filters);
}

void ReleaseRegistry() {
  Registry& r = State();
  if (r.backEnd) r.backEnd->Delete();
  r.backEnd = nullptr;
  if (r.table) {
    r.table->Free();
    r.table->Delete();
  }
  r.table = nullptr;
}

void Register(CSoundFilterMgr* filters) {
  plat::CriticalSectionGuard guard(vexa::SoundProcessLock());
  Registry& r = State();
  if (std::find(r.loaded.begin(), r.loaded.end(), filters) != r.loaded.end()) return;
  r.loaded.push_back(filters);
  if (r.loaded.size() == 1) SetUpRegistry(filters);
}

void Unregister(CSoundFilterMgr* filters) {
  Registry& r = State();
  CSoundAPI* dying = nullptr;
  {
    plat::CriticalSectionGuard guard(vexa::SoundProcessLock());
    if (std::erase(r.loaded, filters) == 0) return;
    if (!r.loaded.empty()) {
      if (r.backEnd && r.backEnd->m_soundFilterMgr == filters) {
        r.backEnd->m_soundFilterMgr = r.loaded.front();
      }
      return;
    }
    dying = r.backEnd;
  }
  // Managers stop their sounds under the timer lock, which is never taken inside the
  // process lock: deactivate them first, then delete the back-end under the lock.
  if (dying) {
    std::vector<CSoundManager*> managers;
    {
      plat::CriticalSectionGuard guard(vexa::SoundProcessLock());
      managers = dying->m_managers;
    }
    for (CSoundManager* manager : managers) manager->Deactivate();
    dying->StopTimer();
  }
  plat::CriticalSectionGuard guard(vexa::SoundProcessLock());
  if (r.loaded.empty()) ReleaseRegistry();
}

}  // namespace

namespace vexa {

CSoundAPI* SoundBackEnd() {
  plat::CriticalSectionGuard guard(SoundProcessLock());
  return State().backEnd;
}

CSoundFilter* CreateSoundFilterForStream(CSoundFilterMgr* filters, CInputFile* stream,
                                         void** module) {
  if (module) *module = nullptr;
  if (!filters || !stream) return nullptr;
  const int start = stream->Tell();
  for (int i = 0; i < filters->GetFilterCount(); ++i) {
    if (!filters->CanReadFile(i, stream)) continue;  // puts the position back itself
    auto* filter = static_cast<CSoundFilter*>(filters->CreateFilter(i));
    if (!filter) continue;
    if (filter->Open(stream) == 0) {
      filter->SetOutputFormat(filter->GetNativeFormat());
      if (module) {
        const char* path = filters->GetFilterFileName(i);
        *module = path && *path ? plat::LoadModule(path) : nullptr;
      }
      return filter;
    }
    filter->Release();
    // The next plug-in must see the data where it begins, whatever this one read.
    if (stream->Tell() != start) stream->Seek(start, kStreamSeekStart);
  }
  return nullptr;
}

}  // namespace vexa

CSoundFilterMgr::CSoundFilterMgr() = default;
CSoundFilterMgr::~CSoundFilterMgr() = default;

void CSoundFilterMgr::Destroy(unsigned flags) {
  this->CSoundFilterMgr::~CSoundFilterMgr();
  if (flags & 1) ::operator delete(static_cast<void*>(this));
}

void CSoundFilterMgr::Free() {
  bool reloading;
  {
    plat::CriticalSectionGuard guard(vexa::SoundProcessLock());
    reloading = State().reloading == this;
  }
  // A reload frees the old table but keeps this manager counted: the back-end stays.
  if (!reloading) Unregister(this);
  CFilterMgr::Free();
}

void CSoundFilterMgr::LoadFiltersW(const WCHAR* directory, std::uint32_t userValue) {
  {
    plat::CriticalSectionGuard guard(vexa::SoundProcessLock());
    State().reloading = this;
  }
  LoadFiltersW(directory, u"*.sft", userValue);
  {
    plat::CriticalSectionGuard guard(vexa::SoundProcessLock());
    State().reloading = nullptr;
  }
  Register(this);
}

void CSoundFilterMgr::LoadFilters(const char* directory, std::uint32_t userValue) {
  WCHAR* wide = ConvertToWide(directory, -1);
  LoadFiltersW(wide, userValue);
  FreeConvertedString(wide);
}

CSoundFilterMgr* NewSoundFilterMgr() { return new (std::nothrow) CSoundFilterMgr; }

CSoundManager* CreateSoundManager(HWND window) {
  CSoundAPI* api = vexa::SoundBackEnd();
  return api ? api->CreateManager(window) : nullptr;
}
