#include <new>

#include "sound/ds_sound.h"
#include "sound/sound_lock.h"

CDSSoundManager::CDSSoundManager(CDSSoundAPI* api, HWND window)
    : CSoundManager(api), m_window(window) {
  api->ManagerConstructed(this, window);
}

CDSSoundManager::~CDSSoundManager() = default;

void CDSSoundManager::Destroy(unsigned flags) {
  Deactivate();
  DestroySounds();
  if (CDSSoundAPI* api = DSApi()) api->ManagerDestroyed(this);
  this->CDSSoundManager::~CDSSoundManager();
  if (flags & 1) ::operator delete(static_cast<void*>(this));
}

int CDSSoundManager::Activate(HWND window) {
  CDSSoundAPI* api = DSApi();
  if (!api) return 0;
  if (m_active) return m_active;
  if (window) m_window = window;
  if (!m_availability) {
    if (!api->TestAvailability()) return 0;
    m_availability = true;
  }
  if (!api->OpenDevice(this)) {
    api->ReleaseAvailability();
    m_availability = false;
    return 0;
  }
  {
    plat::CriticalSectionGuard guard(vexa::SoundProcessLock());
    if (!m_holdsDevice) ++api->m_deviceUsers;
    m_holdsDevice = true;
  }
  return CSoundManager::Activate(window);
}

CSound* CDSSoundManager::CreateSound() {
  return DSApi() ? new (std::nothrow) CDSSound(this) : nullptr;
}
