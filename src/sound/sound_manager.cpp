#include <algorithm>

#include <vexa/sound.h>

#include "sound/sound_lock.h"

namespace {

// The manager's sounds, copied under the process lock, for walks that call operations which
// take the timer lock themselves (and so must not run inside the process lock).
std::vector<CSound*> SnapshotOf(const CSoundManager& manager) {
  plat::CriticalSectionGuard guard(vexa::SoundProcessLock());
  return manager.m_sounds;
}

}  // namespace

CSoundManager::CSoundManager(CSoundAPI* api) : m_api(api) {}

CSoundManager::~CSoundManager() = default;

void CSoundManager::Destroy(unsigned flags) {
  Deactivate();
  DestroySounds();
  this->CSoundManager::~CSoundManager();
  if (flags & 1) ::operator delete(static_cast<void*>(this));
}

int CSoundManager::Activate(HWND) {
  if (!m_api) return 0;
  plat::CriticalSectionGuard guard(vexa::SoundProcessLock());
  if (!m_active) {
    m_api->m_managers.push_back(this);
    m_active = 1;
  }
  return m_active;
}

void CSoundManager::Deactivate() {
  if (!m_active) return;
  const bool held = m_api ? m_api->LockTimer() : false;
  {
    plat::CriticalSectionGuard guard(vexa::SoundProcessLock());
    for (CSound* sound : m_sounds) sound->Stop(1, 0);
    if (m_api) std::erase(m_api->m_managers, this);
  }
  if (m_api) m_api->UnlockTimer(held);
  DestroySounds();
  m_active = 0;
  if (m_api) m_api->StopTimerIfIdle();
}

void CSoundManager::DestroySounds() {
  for (CSound* sound : SnapshotOf(*this)) sound->Destroy();
}

void CSoundManager::Delete() { Destroy(1); }

void CSoundManager::RemoveSound(CSound* sound) {
  plat::CriticalSectionGuard guard(vexa::SoundProcessLock());
  std::erase(m_sounds, sound);
}

CSound* CSoundManager::CreateSoundFromStream(CInputFile* stream, int ownsStream, int flags) {
  if (!m_api || !stream) return nullptr;
  CSound* sound = CreateSound();
  if (!sound) return nullptr;
  if (sound->Load(stream, ownsStream, flags) != 0) {
    sound->Destroy();  // the stream was not taken over: the caller keeps it
    return nullptr;
  }
  const bool held = m_api->LockTimer();
  {
    plat::CriticalSectionGuard guard(vexa::SoundProcessLock());
    m_sounds.push_back(sound);
  }
  m_api->UnlockTimer(held);
  return sound;
}

CSoundFilterMgr* CSoundManager::GetSoundFilterMgr() {
  return m_api ? m_api->m_soundFilterMgr : nullptr;
}

int CSoundManager::GetSoundCount() {
  plat::CriticalSectionGuard guard(vexa::SoundProcessLock());
  return int(m_sounds.size());
}

int CSoundManager::HasSounds() { return GetSoundCount() != 0; }

CSound* CSoundManager::GetNextSound(int* position) {
  if (!position) return nullptr;
  plat::CriticalSectionGuard guard(vexa::SoundProcessLock());
  const int index = *position - 1;
  if (index < 0 || index >= int(m_sounds.size())) {
    *position = 0;
    return nullptr;
  }
  *position = index + 1 < int(m_sounds.size()) ? index + 2 : 0;
  return m_sounds[std::size_t(index)];
}

int CSoundManager::IsAnyPlaying() {
  plat::CriticalSectionGuard guard(vexa::SoundProcessLock());
  for (CSound* sound : m_sounds) {
    if (sound->m_paused || sound->IsPlaying()) return 1;
  }
  return 0;
}

void CSoundManager::StopAll(int release) {
  if (!m_api) return;
  // The timer lock is taken once, before the process lock, and each sound is stopped without
  // taking it again: a walk under the process lock must never wait for the busy flag.
  const bool held = m_api->LockTimer();
  {
    plat::CriticalSectionGuard guard(vexa::SoundProcessLock());
    for (CSound* sound : m_sounds) {
      if (release || sound->m_playing || sound->m_paused) sound->Stop(release, 0);
    }
  }
  m_api->UnlockTimer(held);
  if (release) m_api->StopTimerIfIdle();
}

void CSoundManager::PauseAll() {
  for (CSound* sound : SnapshotOf(*this)) {
    if (sound->m_playing && !sound->m_paused) sound->Pause();
  }
}

void CSoundManager::ResumeAll() {
  for (CSound* sound : SnapshotOf(*this)) {
    if (sound->m_paused) sound->Resume();
  }
}

void CSoundManager::PlayAll() {
  for (CSound* sound : SnapshotOf(*this)) {
    if (!sound->m_playing) sound->Play();
  }
}

void CSoundManager::UpdateAll() {
  plat::CriticalSectionGuard guard(vexa::SoundProcessLock());
  for (CSound* sound : m_sounds) sound->Update();
}

void CSoundManager::StopTimerIfIdle() {
  if (m_api) m_api->StopTimerIfIdle();
}
