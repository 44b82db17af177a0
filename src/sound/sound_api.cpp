// The back-end's base: the streaming timer and its lock.
//
// The busy flag keeps a caller's buffer work and a timer tick apart without making the caller
// hold the process lock while it waits: a tick that finds the flag set is dropped, not queued.
// Lock order everywhere: busy flag first, then the process lock; nobody spins on the flag
// while holding the process lock (a tick holding the flag may be waiting for that lock).
#include <thread>

#include <vexa/sound.h>

#include "platform/timer/timer.h"
#include "sound/sound_lock.h"

namespace vexa {

plat::CriticalSection& SoundProcessLock() {
  static auto* lock = new plat::CriticalSection;  // ticks may run during static destruction
  return *lock;
}

}  // namespace vexa

namespace {

constexpr std::uint32_t kTickMs = 50;
constexpr std::uint32_t kTickResolutionMs = 10;

void Tick(void* user) {
  auto* api = static_cast<CSoundAPI*>(user);
  if (api->m_busy.exchange(1) != 0) return;  // a caller holds the timer lock: skip
  {
    plat::CriticalSectionGuard guard(vexa::SoundProcessLock());
    api->Update();
  }
  api->m_busy.exchange(0);
}

}  // namespace

CSoundAPI::CSoundAPI(CSoundFilterMgr* filters) : m_soundFilterMgr(filters) {}

CSoundAPI::~CSoundAPI() { StopTimer(); }

void CSoundAPI::Destroy(unsigned flags) {
  this->CSoundAPI::~CSoundAPI();
  if (flags & 1) ::operator delete(static_cast<void*>(this));
}

void CSoundAPI::Delete() { Destroy(1); }

bool CSoundAPI::LockTimer() {
  for (;;) {
    {
      plat::CriticalSectionGuard guard(vexa::SoundProcessLock());
      if (!m_timerRunning) return false;
    }
    if (m_busy.exchange(1) == 0) return true;
    std::this_thread::yield();
  }
}

void CSoundAPI::UnlockTimer(bool held) {
  if (!held) return;
  plat::CriticalSectionGuard guard(vexa::SoundProcessLock());
  m_busy.exchange(0);
}

int CSoundAPI::StartTimer() {
  plat::CriticalSectionGuard guard(vexa::SoundProcessLock());
  if (!m_timerRunning) {
    m_busy.exchange(0);
    m_timerId = plat::timer::SetEvent(kTickMs, kTickResolutionMs, Tick, this);
    m_timerRunning = m_timerId != 0;
  }
  return m_timerRunning;
}

void CSoundAPI::StopTimer() {
  // Wait for the running tick to end and keep later ones out; the flag stays set until the
  // next start clears it.
  if (!LockTimer()) return;
  plat::CriticalSectionGuard guard(vexa::SoundProcessLock());
  plat::timer::KillEvent(m_timerId);
  m_timerId = 0;
  m_timerRunning = 0;
}

bool CSoundAPI::AnySoundActive() {
  plat::CriticalSectionGuard guard(vexa::SoundProcessLock());
  for (CSoundManager* manager : m_managers) {
    if (manager->IsAnyPlaying()) return true;
  }
  return false;
}

void CSoundAPI::StopTimerIfIdle() {
  {
    plat::CriticalSectionGuard guard(vexa::SoundProcessLock());
    if (!m_timerRunning) return;
  }
  if (!AnySoundActive()) StopTimer();
}
