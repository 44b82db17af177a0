// The SDL output: the default SDL audio device, opened at the output format's rate and
// channels with signed 16-bit samples and a 512-frame period; its callback runs the mixer.
#include <SDL.h>

#include "platform/audio/mixer.h"

namespace plat::audio::detail {
namespace {

constexpr Uint16 kPeriodFrames = Uint16(kMixBlockFrames);

void SDLCALL FillPeriod(void*, Uint8* stream, int len) {
  MixerState& st = State();
  std::lock_guard lock(st.mutex);
  auto* out = reinterpret_cast<std::int16_t*>(stream);
  const int channels = st.sdlChannels > 0 ? st.sdlChannels : 2;
  const std::size_t frames = std::size_t(len) / (2 * std::size_t(channels));
  MixLocked(out, frames, channels, st.sdlRate);
  if (st.tap) st.tap(out, frames * channels, st.tapContext);
}

}  // namespace

bool OpenSdlOutput() {
  SDL_AudioSpec want{};
  {
    std::lock_guard lock(State().mutex);
    if (State().sdlDevice != 0) return true;
    want.freq = int(State().format.nSamplesPerSec);
    want.channels = Uint8(State().format.nChannels == 1 ? 1 : 2);
  }
  want.format = AUDIO_S16SYS;
  want.samples = kPeriodFrames;
  want.callback = FillPeriod;
  if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) return false;
  SDL_AudioSpec have{};
  // No changes allowed: SDL converts to whatever the hardware takes.
  const SDL_AudioDeviceID id = SDL_OpenAudioDevice(nullptr, 0, &want, &have, 0);
  if (id == 0) {
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
    return false;
  }
  {
    std::lock_guard lock(State().mutex);
    State().sdlDevice = id;
    State().sdlRate = DWORD(have.freq);
    State().sdlChannels = have.channels;
  }
  SDL_PauseAudioDevice(id, 0);
  return true;
}

void CloseSdlOutput() {
  SDL_AudioDeviceID id;
  {
    std::lock_guard lock(State().mutex);
    id = State().sdlDevice;
    State().sdlDevice = 0;
  }
  if (id == 0) return;
  SDL_CloseAudioDevice(id);  // waits for a running callback, which takes the state lock
  SDL_QuitSubSystem(SDL_INIT_AUDIO);
}

bool SdlOutputAlive() {
  SDL_AudioDeviceID id;
  {
    std::lock_guard lock(State().mutex);
    id = State().sdlDevice;
  }
  return id == 0 || SDL_GetAudioDeviceStatus(id) != SDL_AUDIO_STOPPED;
}

}  // namespace plat::audio::detail
