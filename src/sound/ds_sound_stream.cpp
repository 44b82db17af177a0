// Streaming: the initial fill and the per-tick refill of a circular output buffer.
//
// A streaming sound keeps 0.8 s of audio in its buffer. Every tick (50 ms) reads the play
// cursor and refills exactly the bytes it consumed since the last refill, from writeCursor up
// to the cursor, so the refill never overtakes playback:
//
//     0            writeCursor         play cursor                 bufferBytes
//     |  unplayed   |###### consumed: refill ######|   unplayed        |
//
// At the end of the data a looping sound rewinds its filter and reads on (bytesPlayed drops
// by the data length, so positions stay within one pass); otherwise the rest is silence and
// tailBytes counts the data still ahead of the cursor. Each later tick subtracts what was
// played; the tick that finds the cursor moved with tailBytes at 0 stops the sound.
#include <algorithm>
#include <cstring>

#include "sound/ds_sound.h"

#include <vexa/sound_filter.h>

namespace audio = plat::audio;

BYTE CDSSound::SilenceByte() const {
  return m_filter && m_filter->GetOutputFormat()->wBitsPerSample == 8 ? 128 : 0;
}

void CDSSound::CountPlayed(DWORD cursor) {
  if (m_bufferBytes == 0) return;
  m_bytesPlayed += (cursor + m_bufferBytes - m_lastPlayCursor) % m_bufferBytes;
  m_lastPlayCursor = cursor;
}

DWORD CDSSound::FillFromFilter(BYTE* dst, DWORD bytes, bool* failed) {
  DWORD done = 0;
  bool rewound = false;
  while (done < bytes && !m_endReached) {
    DWORD got = 0;
    const int result = m_filter->ReadConverted(dst + done, bytes - done, &got);
    got = std::min(got, bytes - done);
    done += got;
    if (done == bytes) break;
    if (got > 0 && result == 0) {
      rewound = false;
      continue;  // a short read: ask again
    }
    if (result != 0 && done == 0 && failed) *failed = true;
    // The end of the data. An endless loop (loopsLeft 0) is never counted down; a counted
    // one ends when its last play is used up. A pass that yields nothing ends it too.
    bool again = m_loopNow && m_length > 0 && !rewound;
    if (again && m_loopsLeft > 0 && --m_loopsLeft == 0) {
      m_loopNow = 0;
      again = false;
    }
    if (!again) {
      m_endReached = 1;
      break;
    }
    m_bytesPlayed -= m_length;
    m_filter->Seek(0);
    m_sourcePosition = 0;
    rewound = true;
  }
  std::memset(dst + done, SilenceByte(), bytes - done);
  return done;
}

int CDSSound::FillBuffer() {
  if (!m_buffer || !m_filter || m_bufferBytes == 0) return 0;
  void* part1 = nullptr;
  void* part2 = nullptr;
  DWORD bytes1 = 0, bytes2 = 0;
  if (m_buffer->Lock(0, m_bufferBytes, &part1, &bytes1, &part2, &bytes2) != audio::kOk) {
    return 0;
  }
  auto* dst = static_cast<BYTE*>(part1);
  bool ok = true;
  if (m_staticBuffer) {
    // The whole data, from its start; Play moves the cursor to the source position.
    m_filter->Seek(0);
    DWORD got = 0;
    m_filter->ReadConverted(dst, m_bufferBytes, &got);
    ok = got == m_bufferBytes;
  } else {
    m_lastPlayCursor = 0;
    bool failed = false;
    const DWORD data = FillFromFilter(dst, bytes1, &failed);
    ok = !failed;
    if (m_endReached) m_tailBytes = data;
  }
  m_buffer->Unlock(part1, bytes1, part2, bytes2);
  m_writeCursor = 0;
  return ok ? 1 : 0;
}

void CDSSound::Update() {
  if (m_startState == 2) return;
  bool completedStart = false;
  if (m_startState == 1) {
    m_startState = 2;
    if (!FillBuffer()) {
      ReleaseOutputBuffer();
      m_playing = 0;
      m_startState = 0;
      return;
    }
    m_finished = 0;
    ApplyControls();
    if (m_staticBuffer) {
      m_buffer->SetCurrentPosition(m_sourcePosition);
      m_buffer->Play(m_loopNow ? audio::kPlayLooping : 0);
    } else {
      m_buffer->SetCurrentPosition(0);
      completedStart = true;
    }
    m_playing = 1;
    m_paused = 0;
    m_startState = 0;
  }
  if (!m_playing || m_finished || !m_buffer || m_staticBuffer || m_bufferBytes == 0) return;

  DWORD status = 0;
  bool restored = false;
  m_buffer->GetStatus(&status);
  if (status & audio::kStatusBufferLost) {
    if (m_buffer->Restore() != audio::kOk) {
      if (completedStart) m_buffer->Play(audio::kPlayLooping);
      return;
    }
    m_writeCursor = 0;
    restored = true;
  }
  DWORD cursor = 0;
  if (m_buffer->GetCurrentPosition(&cursor, nullptr) != audio::kOk) return;
  if (cursor != m_writeCursor || restored) {
    CountPlayed(cursor);
    if (m_endReached && m_tailBytes == 0) {
      m_finished = 1;
      m_buffer->Stop();
      m_sourcePosition = m_length;
      m_playing = 0;
      return;
    }
    const DWORD advance = (cursor + m_bufferBytes - m_writeCursor) % m_bufferBytes;
    m_sourcePosition = std::min(m_sourcePosition + advance, m_length);
    const DWORD toWrite = restored ? m_bufferBytes * 2 / 4 : advance;
    void* part1 = nullptr;
    void* part2 = nullptr;
    DWORD bytes1 = 0, bytes2 = 0;
    if (toWrite > 0 &&
        m_buffer->Lock(m_writeCursor, toWrite, &part1, &bytes1, &part2, &bytes2) == audio::kOk) {
      auto* p1 = static_cast<BYTE*>(part1);
      auto* p2 = static_cast<BYTE*>(part2);
      if (m_endReached || m_finished) {
        m_tailBytes = m_tailBytes > advance ? m_tailBytes - advance : 0;
        std::memset(p1, SilenceByte(), bytes1);
        if (p2) std::memset(p2, SilenceByte(), bytes2);
      } else {
        DWORD data = FillFromFilter(p1, bytes1, nullptr);
        if (p2) data += FillFromFilter(p2, bytes2, nullptr);
        // Everything still ahead of the cursor: the unplayed part of the buffer and what
        // this refill wrote before the end.
        if (m_endReached) m_tailBytes = (m_bufferBytes - toWrite) + data;
      }
      m_buffer->Unlock(part1, bytes1, part2, bytes2);
      m_writeCursor = (m_writeCursor + toWrite) % m_bufferBytes;
    }
    if (restored) m_buffer->Play(audio::kPlayLooping);
  }
  if (completedStart) m_buffer->Play(audio::kPlayLooping);
}

DWORD CDSSound::GetPosition() {
  // A paused sound's buffer is stopped with its cursor where the pause left it: the position
  // is read from there, as while it plays (sourcePosition is only the start point of a
  // static sound and lags a streaming one by up to a tick).
  if ((!m_playing && !m_paused) || !m_buffer) return m_sourcePosition;
  DWORD cursor = 0;
  if (m_staticBuffer) {
    DWORD status = 0;
    if (m_buffer->GetStatus(&status) != audio::kOk || (status & audio::kStatusBufferLost) ||
        m_buffer->GetCurrentPosition(&cursor, nullptr) != audio::kOk) {
      return m_sourcePosition;
    }
    return m_length ? cursor % m_length : 0;
  }
  CDSSoundAPI* api = Api();
  const bool held = api ? api->LockTimer() : false;
  if (m_buffer->GetCurrentPosition(&cursor, nullptr) == audio::kOk) CountPlayed(cursor);
  std::int64_t position = m_bytesPlayed;
  if (api) api->UnlockTimer(held);
  if (position < 0) position = std::max<std::int64_t>(position + m_length, 0);
  return DWORD(std::min<std::int64_t>(position, m_length));
}
