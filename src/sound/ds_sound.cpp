// A sound over one output buffer of the platform audio device: starting, stopping and the
// controls. The streaming refill is in ds_sound_stream.cpp.
#include <algorithm>
#include <cmath>
#include <new>

#include "sound/ds_sound.h"
#include "sound/sound_lock.h"

#include <vexa/sound_filter.h>

namespace audio = plat::audio;

namespace {

// Position-notify semantics, volume, pan and frequency control.
constexpr DWORD kBufferFlags =
    audio::kPositionNotify2 | audio::kControlVolume | audio::kControlPan | audio::kControlFrequency;

}  // namespace

CDSSound::CDSSound(CDSSoundManager* manager) : CSound(manager), m_dsManager(manager) {}

CDSSound::~CDSSound() = default;

CDSSoundAPI* CDSSound::Api() const { return m_dsManager ? m_dsManager->DSApi() : nullptr; }

LONG CDSSound::VolumeToDevice(int volume) {
  if (volume <= 0) return audio::kVolumeMin;
  if (volume >= 1000) return audio::kVolumeMax;
  // Hundredths of a decibel, truncated: 500 gives -602.
  return LONG(2000.0 * std::log10(volume / 1000.0));
}

bool CDSSound::DeviceReady() {
  CDSSoundAPI* api = Api();
  return api && api->OpenDevice(m_dsManager);
}

bool CDSSound::CreateOutputBuffer() {
  CDSSoundAPI* api = Api();
  if (!api || !m_filter || m_bufferBytes == 0) return false;
  audio::BufferDesc desc;
  desc.flags = kBufferFlags | (m_globalFocus ? audio::kGlobalFocus : 0) |
               (m_staticBuffer ? audio::kStaticBuffer : 0);
  desc.bufferBytes = m_bufferBytes;
  desc.format = m_filter->GetOutputFormat();
  plat::CriticalSectionGuard guard(vexa::SoundProcessLock());
  if (!api->m_device || api->m_device->CreateSoundBuffer(desc, &m_buffer) != audio::kOk) {
    m_buffer = nullptr;
    return false;
  }
  return true;
}

void CDSSound::ReleaseOutputBuffer() {
  if (m_buffer) m_buffer->Release();
  m_buffer = nullptr;
}

void CDSSound::ApplyControls() {
  if (!m_buffer) return;
  m_buffer->SetVolume(VolumeToDevice(m_volume));
  m_buffer->SetPan(m_pan * 10);
  m_buffer->SetFrequency(m_frequency);
}

void CDSSound::AdjustPrimaryFormat() {
  CDSSoundAPI* api = Api();
  audio::Buffer* primary = m_dsManager->m_primary;
  if (!api || !primary || !m_filter || api->AnySoundActive()) return;
  WAVEFORMATEX f{};
  if (primary->GetFormat(&f) != audio::kOk) return;
  const WAVEFORMATEX& mine = *m_filter->GetOutputFormat();
  bool raised = false;
  auto raise = [&raised](auto& field, auto value) {
    if (value > field) field = value, raised = true;
  };
  raise(f.wBitsPerSample, mine.wBitsPerSample);
  raise(f.nSamplesPerSec, mine.nSamplesPerSec);
  raise(f.nChannels, mine.nChannels);
  if (!raised) return;
  f.nBlockAlign = WORD(f.nChannels * f.wBitsPerSample / 8);
  f.nAvgBytesPerSec = f.nBlockAlign * f.nSamplesPerSec;
  primary->SetFormat(&f);
}

int CDSSound::Play() {
  CDSSoundAPI* api = Api();
  if (!api || !m_filter) return 0;
  const bool held = api->LockTimer();
  if (!DeviceReady()) {
    api->UnlockTimer(held);
    return 0;
  }
  if (m_playing || m_paused) Stop(0, 0);
  SetPosition(m_startPosition, 0);
  m_bytesPlayed = m_startPosition;
  m_lastPlayCursor = 0;
  m_startPosition = 0;
  m_loopNow = m_loop;
  m_loopsLeft = m_loopCount;
  // Counted loops stream, whatever the length.
  if (m_staticBuffer && m_loop && m_loopCount) {
    Stop(1, 0);
    SetFormat(m_filter->GetOutputFormat(), m_length);
  }
  if (!m_buffer && !CreateOutputBuffer()) {
    api->UnlockTimer(held);
    return 0;
  }
  m_endReached = 0;
  m_tailBytes = 0;
  m_finished = 0;
  AdjustPrimaryFormat();
  ApplyControls();

  if (m_deferredStart) {
    m_paused = 0;
    m_startState = 1;
    m_playing = 1;
    const int running = api->StartTimer();
    if (!running) {
      m_buffer->Stop();
      ReleaseOutputBuffer();
      m_playing = 0;
      m_startState = 0;
    }
    api->UnlockTimer(held);
    return running ? 1 : 0;
  }

  const bool filled = FillBuffer() != 0;
  if (!filled) ReleaseOutputBuffer();
  api->UnlockTimer(held);
  if (!filled) return 0;
  if (m_staticBuffer) {
    m_buffer->SetCurrentPosition(m_sourcePosition);
    m_buffer->Play(m_loopNow ? audio::kPlayLooping : 0);
  } else {
    if (!api->StartTimer()) {
      m_buffer->Stop();
      ReleaseOutputBuffer();
      return 0;
    }
    m_buffer->SetCurrentPosition(0);
    m_buffer->Play(audio::kPlayLooping);
  }
  m_playing = 1;
  m_paused = 0;
  return 1;
}

int CDSSound::Pause() {
  DWORD status = 0;
  if (m_paused || !m_buffer || m_buffer->GetStatus(&status) != audio::kOk ||
      !(status & audio::kStatusPlaying)) {
    return 0;
  }
  m_buffer->Stop();
  m_paused = 1;
  m_playing = 0;
  return 1;
}

int CDSSound::Resume() {
  if (!m_paused) return 0;
  m_paused = 0;
  if (m_buffer) m_buffer->Play(m_loopNow || !m_staticBuffer ? audio::kPlayLooping : 0);
  m_playing = 1;
  return 1;
}

int CDSSound::Stop(int release, int lockTimer) {
  CDSSoundAPI* api = Api();
  const bool held = lockTimer && api ? api->LockTimer() : false;
  if (m_buffer) m_buffer->Stop();
  m_playing = 0;
  m_paused = 0;
  m_startState = 0;
  if (release) ReleaseOutputBuffer();
  if (api) api->UnlockTimer(held);
  if (lockTimer && api) api->StopTimerIfIdle();
  return 1;
}

int CDSSound::IsPlaying() {
  // A streaming sound, a start still pending, and a paused sound answer their flags: a
  // paused static buffer is stopped but the sound has not finished.
  if (!m_staticBuffer || m_startState != 0 || m_paused || !m_buffer) return m_playing;
  DWORD status = 0;
  if (m_buffer->GetStatus(&status) == audio::kOk && (status & audio::kStatusPlaying)) return 1;
  if (m_playing) m_finished = 1;
  m_playing = 0;
  return 0;
}

int CDSSound::SetVolume(int volume) {
  m_volume = std::clamp(volume, 0, 1000);
  if (!DeviceReady()) return 0;
  return !m_buffer || m_buffer->SetVolume(VolumeToDevice(m_volume)) == audio::kOk;
}

int CDSSound::SetPan(int pan) {
  m_pan = std::clamp(pan, -1000, 1000);
  if (!DeviceReady()) return 0;
  return !m_buffer || m_buffer->SetPan(m_pan * 10) == audio::kOk;
}

int CDSSound::SetFrequency(int hz) {
  m_frequency =
      hz == 0 ? 0 : DWORD(std::clamp(hz, int(audio::kFrequencyMin), int(audio::kFrequencyMax)));
  if (!DeviceReady()) return 0;
  return !m_buffer || m_buffer->SetFrequency(m_frequency) == audio::kOk;
}

int CDSSound::SetPosition(DWORD bytes, int lockTimer) {
  CDSSoundAPI* api = Api();
  const bool held = lockTimer && api ? api->LockTimer() : false;
  if (m_filter) bytes = std::min(bytes, m_length);
  m_sourcePosition = bytes;
  if (m_filter) m_filter->Seek(bytes);
  if (m_buffer && (m_playing || m_paused) && m_startState == 0) {
    if (m_staticBuffer) {
      m_buffer->SetCurrentPosition(bytes);
    } else {
      // Refill from the new place; the loop state carries on.
      const bool wasPlaying = m_playing;
      m_buffer->Stop();
      m_bytesPlayed = bytes;
      m_endReached = 0;
      m_tailBytes = 0;
      if (FillBuffer()) {
        m_buffer->SetCurrentPosition(0);
        if (wasPlaying) m_buffer->Play(audio::kPlayLooping);
      }
    }
  } else if (!m_playing && !m_paused) {
    // A stopped sound starts from here at its next Play.
    m_startPosition = bytes;
  }
  if (api) api->UnlockTimer(held);
  return 1;
}

void CDSSound::Destroy(unsigned flags) {
  Stop(1, 1);
  if (m_manager) m_manager->RemoveSound(this);
  ReleaseSource();
  this->CDSSound::~CDSSound();
  if (flags & 1) ::operator delete(static_cast<void*>(this));
}
