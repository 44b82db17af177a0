// Sound playback: the process's output back-end, sound managers and sounds.
//
// CSoundAPI is the one output back-end of the process (created by the first
// CSoundFilterMgr::LoadFilters, deleted by the matching last Free); it owns the output device,
// the list of active managers and the 50 ms streaming timer. A CSoundManager belongs to one
// window or client and owns a list of sounds. A CSound plays one decoded stream (a sound
// filter reading a CInputFile) through one output buffer: short sounds (under 1.6 s) live
// whole in a static buffer, longer or counted-loop sounds stream through a circular buffer of
// 0.8 s that the timer refills.
//
// The order of the virtual operations is part of the interface. Slot 0 of CSoundAPI and
// CSoundManager, and slot 9 of CSound, is Destroy(flags): it runs the destructor and, with
// bit 0 set, frees the object.
//
// Locks: one process-wide lock guards the manager and sound lists, the device and the timer
// state, and is held by every timer tick. Operations that touch a sound's buffer or position
// from a caller's thread first take the timer lock (the back-end's busy flag), so that a tick
// arriving meanwhile is skipped; the busy flag is always taken before the process lock.
#pragma once

#include <atomic>
#include <cstdint>
#include <vector>

#include <vexa/export.h>
#include <vexa/wintypes.h>

class CInputFile;
class CSoundFilter;
class CSoundFilterMgr;
class CSoundManager;
class CSound;

// Load flags.
inline constexpr int kSoundLengthFlag = 0x01;     // handed to the filter's length query
inline constexpr int kSoundGlobalFocus = 0x02;    // keeps playing without the focus
inline constexpr int kSoundDeferredStart = 0x04;  // Play only marks it; the next tick starts it

// Load results besides 0.
inline constexpr int kSoundNoFilter = 2;  // no filter reads the stream, or the format is not PCM

class VEXA_API CSoundAPI {
 public:
  explicit CSoundAPI(CSoundFilterMgr* filters);
  CSoundAPI(const CSoundAPI&) = delete;
  CSoundAPI& operator=(const CSoundAPI&) = delete;

  virtual void Destroy(unsigned flags);                                               // slot 0
  virtual CSoundManager* CreateManager(HWND window) = 0;                              // 1
  virtual void StopAll() = 0;                                                         // 2
  virtual int ChooseOutputFormat(const WAVEFORMATEX* source, WAVEFORMATEX* out) = 0;  // 3
  virtual void Delete();      // 4: Destroy(1); null: nothing
  virtual void Update() = 0;  // 5: one timer tick

  CSoundFilterMgr* GetSoundFilterMgr() const { return m_soundFilterMgr; }

  // The timer lock: waits until no tick runs and holds the busy flag (only while the timer
  // runs). Returns whether it holds the flag; give that to UnlockTimer. Never take it while
  // holding the process lock.
  bool LockTimer();
  void UnlockTimer(bool held);
  // Starts the 50 ms timer when it is not running; non-zero when it runs.
  int StartTimer();
  void StopTimer();
  // Stops the timer when it runs and no sound of any manager plays or is paused.
  void StopTimerIfIdle();
  bool IsTimerRunning() const { return m_timerRunning; }
  // Whether some sound of a registered manager plays or is paused (process lock inside).
  bool AnySoundActive();

  std::vector<CSoundManager*> m_managers;  // registered (active) managers
  CSoundFilterMgr* m_soundFilterMgr;
  std::atomic<std::uint32_t> m_busy{0};
  int m_timerRunning = 0;
  std::uint32_t m_timerId = 0;

 protected:
  ~CSoundAPI();
};

class VEXA_API CSoundManager {
 public:
  explicit CSoundManager(CSoundAPI* api);
  CSoundManager(const CSoundManager&) = delete;
  CSoundManager& operator=(const CSoundManager&) = delete;

  virtual void Destroy(unsigned flags);     // slot 0: deactivates, then destroys
  virtual int Activate(HWND window);        // 1: registers once; returns the active flag
  virtual void Deactivate();                // 2
  virtual void Delete();                    // 3: Destroy(1); null: nothing
  virtual CSound* CreateSound() = 0;        // 4: a new, empty sound, or null
  virtual void RemoveSound(CSound* sound);  // 5

  CSound* CreateSoundFromStream(CInputFile* stream, int ownsStream, int flags);
  CSoundFilterMgr* GetSoundFilterMgr();
  int GetSoundCount();
  int HasSounds();
  // Iteration: position 1 is the first sound; the position advances and becomes 0 after the
  // last. Null for position 0 or past the end.
  CSound* GetNextSound(int* position);
  int IsAnyPlaying();
  void StopAll(int release);
  void PauseAll();
  void ResumeAll();
  void PlayAll();
  void UpdateAll();
  void StopTimerIfIdle();

  CSoundAPI* m_api;
  int m_active = 0;
  std::vector<CSound*> m_sounds;

 protected:
  ~CSoundManager();
  // Destroys every sound still in the list (a manager that was never activated may have some).
  [[gnu::visibility("hidden")]] void DestroySounds();
};

class VEXA_API CSound {
 public:
  explicit CSound(CSoundManager* manager);
  CSound(const CSound&) = delete;
  CSound& operator=(const CSound&) = delete;

  virtual int Play() = 0;                                           // slot 0
  virtual int Pause() = 0;                                          // 1
  virtual int Resume() = 0;                                         // 2
  virtual int Stop(int release, int lockTimer) = 0;                 // 3
  virtual int IsPlaying() = 0;                                      // 4
  virtual int SetVolume(int volume) = 0;                            // 5: 0 to 1000
  virtual int SetPan(int pan) = 0;                                  // 6: -1000 to 1000
  virtual int SetFrequency(int hz) = 0;                             // 7: 0 = the data's rate
  virtual int SetPosition(DWORD bytes, int lockTimer) = 0;          // 8
  virtual void Destroy(unsigned flags);                             // 9
  virtual int Load(CInputFile* stream, int ownsStream, int flags);  // 10
  virtual int SetFormat(const WAVEFORMATEX* format, DWORD length);  // 11
  virtual int FillBuffer() = 0;                                     // 12
  virtual void Update() = 0;                                        // 13
  virtual DWORD GetPosition() = 0;                                  // 14

  // Requested looping: loop non-zero with count 0 loops endlessly, else plays count times.
  void SetLoop(int loop, int count);
  int IsPaused();
  int IsLooping();
  int GetLoopsLeft();
  int IsFinished();
  DWORD GetFrequency();
  DWORD GetDuration();  // milliseconds
  DWORD GetPositionMs();
  int SetPositionMs(DWORD ms);
  void GetFormat(WAVEFORMATEX* format);
  // Full teardown: out of the manager's list, the filter closed and released, an owned
  // stream destroyed, then the sound itself.
  void Destroy();

  // 0.8 s of a format, rounded down to whole blocks.
  static DWORD StreamingBufferBytes(const WAVEFORMATEX& format);

  CSoundManager* m_manager;
  CSoundFilter* m_filter = nullptr;
  DWORD m_sourcePosition = 0;
  DWORD m_startPosition = 0;
  CInputFile* m_stream = nullptr;
  int m_ownsStream = 0;
  int m_volume = 1000;
  int m_pan = 0;
  DWORD m_frequency = 0;
  BYTE m_loop = 0;
  BYTE m_loopNow = 0;
  int m_loopCount = 0;
  int m_loopsLeft = 0;
  int m_playing = 0;
  int m_paused = 0;
  int m_staticBuffer = 0;
  DWORD m_bufferBytes = 0;
  int m_finished = 0;
  int m_globalFocus = 0;
  int m_deferredStart = 0;
  DWORD m_length = 0;              // decoded data length in bytes at the output format
  void* m_filterModule = nullptr;  // the filter's plug-in, held while the filter lives

 protected:
  ~CSound();
  // Closes and releases the filter and its plug-in hold; destroys an owned stream.
  void ReleaseSource();
};

// A new manager on the process's back-end; null when no back-end exists.
VEXA_API CSoundManager* CreateSoundManager(HWND window);
