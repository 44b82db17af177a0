#include <algorithm>
#include <cstring>

#include <vexa/sound.h>
#include <vexa/sound_filter.h>
#include <vexa/stream.h>

#include "platform/module/module.h"
#include "sound/sound_channels.h"
#include "sound/sound_source.h"

namespace {

DWORD BytesToMs(DWORD bytes, DWORD avg) {
  if (avg == 0) return 0;
  return DWORD((std::uint64_t(bytes) * 1000 + avg / 2) / avg);
}

// Closes and releases the filter, then lets its plug-in go.
void ReleaseFilter(CSound& sound) {
  if (sound.m_filter) {
    sound.m_filter->Close();
    sound.m_filter->Release();
    sound.m_filter = nullptr;
  }
  plat::FreeModule(sound.m_filterModule);
  sound.m_filterModule = nullptr;
}

}  // namespace

CSound::CSound(CSoundManager* manager) : m_manager(manager) {}

// A sound destroyed by anyone (its manager's Deactivate or destruction included) leaves every
// bank channel that held it.
CSound::~CSound() { vexa::ForgetSoundInChannels(this); }

DWORD CSound::StreamingBufferBytes(const WAVEFORMATEX& f) {
  const DWORD block = DWORD(f.nChannels) * (f.wBitsPerSample / 8);
  const DWORD bytes = DWORD(std::uint64_t(block) * f.nSamplesPerSec * 80 / 100);
  return block ? bytes - bytes % block : bytes;
}

void CSound::ReleaseSource() {
  // The filter reads the stream: close it before the stream goes.
  ReleaseFilter(*this);
  if (m_stream && m_ownsStream) m_stream->Delete();
  m_stream = nullptr;
  m_ownsStream = 0;
}

void CSound::Destroy(unsigned flags) {
  if (m_manager) m_manager->RemoveSound(this);
  ReleaseSource();
  this->CSound::~CSound();
  if (flags & 1) ::operator delete(static_cast<void*>(this));
}

void CSound::Destroy() {
  if (m_manager) m_manager->RemoveSound(this);
  ReleaseSource();
  Destroy(1);
}

int CSound::Load(CInputFile* stream, int ownsStream, int flags) {
  m_globalFocus = (flags & kSoundGlobalFocus) != 0;
  m_deferredStart = (flags & kSoundDeferredStart) != 0;
  ReleaseFilter(*this);
  CSoundAPI* api = m_manager ? m_manager->m_api : nullptr;
  if (!api || !stream) return kSoundNoFilter;
  void* module = nullptr;
  CSoundFilter* filter =
      vexa::CreateSoundFilterForStream(m_manager->GetSoundFilterMgr(), stream, &module);
  if (!filter) return kSoundNoFilter;
  WAVEFORMATEX out{};
  api->ChooseOutputFormat(filter->GetNativeFormat(), &out);
  filter->SetOutputFormat(&out);
  m_filter = filter;
  m_filterModule = module;
  const int result =
      SetFormat(filter->GetOutputFormat(), filter->GetLength(flags & kSoundLengthFlag));
  if (result != 0) {
    ReleaseFilter(*this);
    return result;
  }
  // A second load replaces the stream: an owned earlier one is destroyed.
  if (m_stream && m_ownsStream && m_stream != stream) m_stream->Delete();
  m_stream = stream;
  m_ownsStream = ownsStream;
  m_sourcePosition = m_startPosition = 0;
  return 0;
}

int CSound::SetFormat(const WAVEFORMATEX* format, DWORD length) {
  if (!format || format->wFormatTag != 1) return kSoundNoFilter;
  m_length = length;
  m_bufferBytes = StreamingBufferBytes(*format);
  m_staticBuffer = std::uint64_t(length) < 2 * std::uint64_t(m_bufferBytes) && m_loopsLeft == 0;
  if (m_staticBuffer) m_bufferBytes = length;
  return 0;
}

void CSound::SetLoop(int loop, int count) {
  m_loop = m_loopNow = loop ? 1 : 0;
  m_loopCount = m_loopsLeft = count;
  if (m_staticBuffer && loop && count == 0) {
    Stop(1, 1);
    m_staticBuffer = 0;
    // An endless loop streams through the usual 0.8 s buffer, not one of the data's length.
    m_bufferBytes = m_filter ? StreamingBufferBytes(*m_filter->GetOutputFormat()) : 0;
  }
}

int CSound::IsPaused() { return m_paused; }

int CSound::IsLooping() { return m_loopsLeft == 1 ? 0 : m_loopNow; }

int CSound::GetLoopsLeft() {
  if ((m_playing || m_paused) && m_loopsLeft != 0) return m_loopsLeft - 1;
  return m_loopsLeft;
}

int CSound::IsFinished() {
  if (m_staticBuffer && (m_paused || IsPlaying())) return 0;
  return m_finished;
}

DWORD CSound::GetFrequency() {
  if (m_frequency) return m_frequency;
  return m_filter ? m_filter->GetOutputFormat()->nSamplesPerSec : 0;
}

DWORD CSound::GetDuration() {
  return m_filter ? BytesToMs(m_length, m_filter->GetOutputFormat()->nAvgBytesPerSec) : 0;
}

DWORD CSound::GetPositionMs() {
  return m_filter ? BytesToMs(GetPosition(), m_filter->GetOutputFormat()->nAvgBytesPerSec) : 0;
}

int CSound::SetPositionMs(DWORD ms) {
  if (!m_filter) return SetPosition(ms, 1);
  const WAVEFORMATEX& f = *m_filter->GetOutputFormat();
  // 64-bit: average bytes per second times milliseconds passes 32 bits after 24 s of CD audio.
  std::uint64_t offset = std::uint64_t(f.nAvgBytesPerSec) * ms / 1000;
  offset = std::min<std::uint64_t>(offset, m_length);
  if (f.nBlockAlign) offset -= offset % f.nBlockAlign;
  return SetPosition(DWORD(offset), 1);
}

void CSound::GetFormat(WAVEFORMATEX* format) {
  if (format && m_filter) std::memcpy(format, m_filter->GetOutputFormat(), sizeof(WAVEFORMATEX));
}
