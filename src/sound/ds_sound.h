// The output back-end, manager and sound over the platform audio device.
#pragma once

#include <cstdint>
#include <vector>

#include <vexa/sound.h>

#include "platform/audio/audio.h"

class CDSSoundManager;

class CDSSoundAPI final : public CSoundAPI {
 public:
  explicit CDSSoundAPI(CSoundFilterMgr* filters);

  void Destroy(unsigned flags) override;
  CSoundManager* CreateManager(HWND window) override;
  void StopAll() override;
  int ChooseOutputFormat(const WAVEFORMATEX* source, WAVEFORMATEX* out) override;
  void Update() override;

  // Device availability: counts successful tests; Release matches one of them.
  bool TestAvailability();
  void ReleaseAvailability();
  // Opens the device when there is none and the manager's primary buffer when it has none.
  // False when the device cannot be opened.
  bool OpenDevice(CDSSoundManager* manager);
  void ManagerConstructed(CDSSoundManager* manager, HWND window);
  void ManagerDestroyed(CDSSoundManager* manager);

  int m_managerCount = 0;
  int m_availableCount = 0;
  int m_deviceUsers = 0;
  plat::audio::Device* m_device = nullptr;
  HWND m_window = nullptr;
  int m_ownsWindow = 1;
  std::vector<CDSSoundManager*> m_allManagers;  // constructed, active or not

 private:
  ~CDSSoundAPI();
};

class CDSSoundManager final : public CSoundManager {
 public:
  CDSSoundManager(CDSSoundAPI* api, HWND window);

  void Destroy(unsigned flags) override;
  int Activate(HWND window) override;
  CSound* CreateSound() override;

  CDSSoundAPI* DSApi() const { return static_cast<CDSSoundAPI*>(m_api); }

  plat::audio::Buffer* m_primary = nullptr;
  HWND m_window = nullptr;
  bool m_holdsDevice = false;   // counted in the back-end's deviceUsers
  bool m_availability = false;  // holds one successful availability test

 private:
  ~CDSSoundManager();
};

class CDSSound final : public CSound {
 public:
  explicit CDSSound(CDSSoundManager* manager);

  using CSound::Destroy;
  int Play() override;
  int Pause() override;
  int Resume() override;
  int Stop(int release, int lockTimer) override;
  int IsPlaying() override;
  int SetVolume(int volume) override;
  int SetPan(int pan) override;
  int SetFrequency(int hz) override;
  int SetPosition(DWORD bytes, int lockTimer) override;
  void Destroy(unsigned flags) override;
  int FillBuffer() override;
  void Update() override;
  DWORD GetPosition() override;

  // Hundredths of a decibel for a volume of 0 to 1000.
  static LONG VolumeToDevice(int volume);
  CDSSoundAPI* Api() const;
  plat::audio::Buffer* OutputBuffer() const { return m_buffer; }

  CDSSoundManager* m_dsManager;
  DWORD m_writeCursor = 0;
  DWORD m_tailBytes = 0;
  int m_endReached = 0;
  plat::audio::Buffer* m_buffer = nullptr;
  BYTE m_startState = 0;  // 0 idle, 1 start pending, 2 starting
  DWORD m_lastPlayCursor = 0;
  std::int64_t m_bytesPlayed = 0;

 private:
  ~CDSSound();
  bool DeviceReady();
  bool CreateOutputBuffer();
  void ReleaseOutputBuffer();
  void ApplyControls();
  void AdjustPrimaryFormat();
  BYTE SilenceByte() const;
  // Fills dst from the filter with loop and end handling; returns the bytes of data written
  // (the rest is silence once the end is reached). False when nothing could be read at all.
  DWORD FillFromFilter(BYTE* dst, DWORD bytes, bool* failed);
  void CountPlayed(DWORD cursor);
};

// The factory the registry holds at index 0: a new back-end on the sound filter manager.
CSoundAPI* CreateDSSoundAPI(CSoundFilterMgr* filters);
