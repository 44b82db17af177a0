// The back-end over the platform audio device: device availability and opening, the
// managers' primary buffers, and the tick over every registered manager.
#include <algorithm>
#include <new>

#include "sound/ds_sound.h"
#include "sound/sound_lock.h"

namespace {

constexpr DWORD kPriorityLevel = 2;

// The primary buffer is tried with 3-D control and sticky focus, then without sticky focus,
// then plain.
constexpr DWORD kPrimaryTries[] = {
    plat::audio::kPrimaryBuffer | plat::audio::kControl3D | plat::audio::kStickyFocus,
    plat::audio::kPrimaryBuffer | plat::audio::kControl3D,
    plat::audio::kPrimaryBuffer,
};

}  // namespace

CSoundAPI* CreateDSSoundAPI(CSoundFilterMgr* filters) {
  return new (std::nothrow) CDSSoundAPI(filters);
}

CDSSoundAPI::CDSSoundAPI(CSoundFilterMgr* filters) : CSoundAPI(filters) {}

CDSSoundAPI::~CDSSoundAPI() {
  // Managers the host still holds outlive the back-end: they are cut loose, and answer 0.
  plat::CriticalSectionGuard guard(vexa::SoundProcessLock());
  for (CDSSoundManager* manager : m_allManagers) {
    if (manager->m_primary) manager->m_primary->Release();
    manager->m_primary = nullptr;
    manager->m_holdsDevice = manager->m_availability = false;
    manager->m_api = nullptr;
  }
  m_managers.clear();
  if (m_device) m_device->Release();
  m_device = nullptr;
}

void CDSSoundAPI::Destroy(unsigned flags) {
  StopTimer();
  this->CDSSoundAPI::~CDSSoundAPI();
  if (flags & 1) ::operator delete(static_cast<void*>(this));
}

CSoundManager* CDSSoundAPI::CreateManager(HWND window) {
  return new (std::nothrow) CDSSoundManager(this, window);
}

void CDSSoundAPI::StopAll() {
  std::vector<CSoundManager*> managers;
  {
    plat::CriticalSectionGuard guard(vexa::SoundProcessLock());
    managers = m_managers;
  }
  for (CSoundManager* manager : managers) manager->StopAll(1);
  // The device and the primary buffers go too; sound operations open them again on demand.
  plat::CriticalSectionGuard guard(vexa::SoundProcessLock());
  for (CSoundManager* manager : m_managers) {
    auto* ds = static_cast<CDSSoundManager*>(manager);
    if (ds->m_primary) ds->m_primary->Release();
    ds->m_primary = nullptr;
  }
  if (m_device) m_device->Release();
  m_device = nullptr;
}

int CDSSoundAPI::ChooseOutputFormat(const WAVEFORMATEX* source, WAVEFORMATEX* out) {
  if (!source || !out) return 0;
  *out = *source;
  return 1;
}

void CDSSoundAPI::Update() {
  plat::CriticalSectionGuard guard(vexa::SoundProcessLock());
  for (CSoundManager* manager : m_managers) manager->UpdateAll();
}

bool CDSSoundAPI::TestAvailability() {
  plat::CriticalSectionGuard guard(vexa::SoundProcessLock());
  if (m_availableCount > 0) {
    ++m_availableCount;
  } else {
    plat::audio::Device* probe = nullptr;
    if (plat::audio::CreateDevice(&probe) == plat::audio::kOk) {
      probe->Release();
      m_availableCount = 1;
    }
  }
  return m_availableCount != 0;
}

void CDSSoundAPI::ReleaseAvailability() {
  plat::CriticalSectionGuard guard(vexa::SoundProcessLock());
  if (m_availableCount > 0) --m_availableCount;
}

bool CDSSoundAPI::OpenDevice(CDSSoundManager* manager) {
  plat::CriticalSectionGuard guard(vexa::SoundProcessLock());
  if (!m_device) {
    if (plat::audio::CreateDevice(&m_device) != plat::audio::kOk) {
      m_device = nullptr;
      return false;
    }
    m_device->SetCooperativeLevel(manager->m_window ? manager->m_window : m_window, kPriorityLevel);
  }
  if (!manager->m_primary) {
    for (DWORD flags : kPrimaryTries) {
      plat::audio::BufferDesc desc;
      desc.flags = flags;
      if (m_device->CreateSoundBuffer(desc, &manager->m_primary) == plat::audio::kOk) break;
      manager->m_primary = nullptr;
    }
  }
  return true;
}

void CDSSoundAPI::ManagerConstructed(CDSSoundManager* manager, HWND window) {
  plat::CriticalSectionGuard guard(vexa::SoundProcessLock());
  ++m_managerCount;
  m_allManagers.push_back(manager);
  // The back-end's window: a window given to the first manager is adopted, not owned. No
  // window of its own is made: the device only records the window it is bound to.
  if (!m_window && window) {
    m_window = window;
    m_ownsWindow = 0;
  }
}

void CDSSoundAPI::ManagerDestroyed(CDSSoundManager* manager) {
  plat::CriticalSectionGuard guard(vexa::SoundProcessLock());
  std::erase(m_allManagers, manager);
  if (manager->m_primary) manager->m_primary->Release();
  manager->m_primary = nullptr;
  if (manager->m_holdsDevice && --m_deviceUsers <= 0) {
    m_deviceUsers = 0;
    if (m_device) m_device->Release();
    m_device = nullptr;
  }
  manager->m_holdsDevice = false;
  if (manager->m_availability) ReleaseAvailability();
  manager->m_availability = false;
  if (--m_managerCount <= 0) {
    m_managerCount = 0;
    m_window = nullptr;
    m_ownsWindow = 1;
  }
}
