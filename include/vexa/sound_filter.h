// The base class of sound filter plug-ins.
//
// A sound filter decodes one stream of audio data. Its plug-in fills nativeFormat in Open and
// delivers decoded PCM through Read; the base class holds the output format the caller asked
// for and, when it differs from the native one in channels, rate or bits, converts while
// reading (ReadConverted).
//
// Plug-ins derive from this class, so the order of the virtual operations and the layout of
// the fields are part of the interface (checked below). Slot 0 is Destroy(flags): it runs the
// destructor and, with bit 0 set, frees the object; a derived class overrides it to run its
// own destructor. Conversion is linear and keeps no state between reads: a read asks for
// whole output frames, and with a rate repeat of r for whole groups of r frames.
#pragma once

#include <cstddef>

#include <vexa/export.h>
#include <vexa/stream.h>
#include <vexa/wintypes.h>

// Converts `frames` native frames from src into dst, taking every step-th source frame and
// writing each taken frame `repeat` times.
using SoundConverter = void (*)(const BYTE* src, BYTE* dst, DWORD frames, DWORD step, DWORD repeat);

class VEXA_API CSoundFilter {
 public:
  CSoundFilter();
  // Copies both formats and the conversion state; the copy gets a convert buffer of its own.
  CSoundFilter(const CSoundFilter& other);
  CSoundFilter& operator=(const CSoundFilter& other);
  ~CSoundFilter();

  virtual void Destroy(unsigned flags);                          // slot 0
  virtual void Release() = 0;                                    // 1: destroys the object
  virtual int Open(CInputFile* stream) = 0;                      // 2: 0 on success
  virtual void Close() = 0;                                      // 3
  virtual DWORD GetLength(int flag) = 0;                         // 4: bytes at the output format
  virtual int Reserved() = 0;                                    // 5
  virtual int Seek(DWORD offset) = 0;                            // 6: output-format bytes
  virtual int Read(void* buffer, DWORD bytes, DWORD* read) = 0;  // 7: native bytes, 0 = ok
  // Sets the output format and prepares the conversion; returns the convert buffer (null
  // when no conversion is needed or it cannot be allocated).
  virtual void* SetOutputFormat(const WAVEFORMATEX* format);  // 8

  WAVEFORMATEX* GetOutputFormat();
  WAVEFORMATEX* GetNativeFormat();

  // Reads `bytes` bytes at the output format into buffer: straight through Read when no
  // conversion is set, else in chunks of the convert buffer. Never writes past `bytes`.
  // 0 with *read the bytes delivered (fewer at the end of the data); non-zero when nothing
  // could be read or the formats cannot be converted.
  int ReadConverted(void* buffer, DWORD bytes, DWORD* read);

  // Data lengths and offsets between the native and the output format, for plug-ins: the
  // output bytes that `frames` native frames become, and the native frame that an output
  // byte offset falls on.
  DWORD OutputBytesOfNativeFrames(DWORD frames) const;
  DWORD NativeFrameOfOutputByte(DWORD offset) const;

  WAVEFORMATEX m_outputFormat{};
  WAVEFORMATEX m_nativeFormat{};
  DWORD m_convert = 0;
  float m_ratio = 1.0f;
  BYTE* m_convertBuffer = nullptr;
  SoundConverter m_converter = nullptr;
  DWORD m_step = 1;
  DWORD m_repeat = 1;
};

// Plug-ins are built against this layout; offsetof on a class with virtual operations is
// well defined on the compilers we support.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Winvalid-offsetof"
static_assert(offsetof(CSoundFilter, m_outputFormat) == 8);
static_assert(offsetof(CSoundFilter, m_nativeFormat) == 26);
static_assert(offsetof(CSoundFilter, m_convert) == 44);
static_assert(offsetof(CSoundFilter, m_ratio) == 48);
static_assert(offsetof(CSoundFilter, m_convertBuffer) == 56);
static_assert(offsetof(CSoundFilter, m_converter) == 64);
static_assert(offsetof(CSoundFilter, m_step) == 72);
static_assert(offsetof(CSoundFilter, m_repeat) == 76);
static_assert(sizeof(CSoundFilter) == 80);
#pragma GCC diagnostic pop

// The converter for a pair of PCM formats (null when channels are not 1 or 2, bits not 8 or
// 16, or the two formats need no conversion).
VEXA_API SoundConverter GetSoundConverter(const WAVEFORMATEX* from, const WAVEFORMATEX* to);
