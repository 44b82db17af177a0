// The "sequencer" device: MIDI pieces opened from a file, played from a position with a notice
// at their end, paused, asked for their position and closed. Our own reader validates each
// file and builds its tempo map (position and length in milliseconds); FluidSynth renders the
// music with a General MIDI sound font as one more source of the audio mixer, at its output
// rate, so that music and samples share one output.
//
// Errors are the numbers the media control interface uses.
#pragma once

#include <cstdint>

#include <vexa/wintypes.h>

namespace plat::midi {

inline constexpr int kOk = 0;
inline constexpr int kErrorInvalidDevice = 257;
inline constexpr int kErrorNoSynthesiser = 262;  // no synthesiser or no sound font
inline constexpr int kErrorFileNotFound = 275;
inline constexpr int kErrorInvalidFile = 296;

// The end-of-play notice: message, and its wParam for a play that ran to its end.
inline constexpr UINT kNotifyMessage = 0x3B9;
inline constexpr std::uintptr_t kNotifySuccessful = 1;

// Where notices go (window, message, wParam, lParam = device). The window service sits above
// this layer; the layer that can post to windows installs its poster here. The sink is called
// on the mixing thread with the mixer's lock held: it must only queue the notice.
using NotifySink = void (*)(HWND window, UINT message, std::uintptr_t wParam, std::intptr_t lParam);
void SetNotifySink(NotifySink sink);
NotifySink GetNotifySink();

// The sound font used by devices opened afterwards (default: the system's TimGM6mb.sf2, or the
// VEXA_SOUNDFONT environment variable).
void SetSoundFont(const char* path);

// Opens a piece (UTF-8 path); the device number comes back through `device`.
int Open(const char* path, int* device);
// Plays from `fromMs` (or from where a pause left it when `from` is false). With a window, the
// end of the piece posts the notice to it; a play cut short by Pause, Close or another Play
// posts nothing.
int Play(int device, HWND notify, bool from, DWORD fromMs);
int Pause(int device);
int GetPositionMs(int device, DWORD* ms);
int GetLengthMs(int device, DWORD* ms);
int Close(int device);
int OpenDevices();

}  // namespace plat::midi
