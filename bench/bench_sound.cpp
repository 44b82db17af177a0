// Sound decoding and conversion beside their peers, on the same bytes in the same run:
//  - the libsndfile sound filter reading a whole file in 0.8 s requests through
//    CSoundFilter::ReadConverted (16-bit PCM, 8-bit PCM, Ogg Vorbis), against bare
//    sf_readf_short over the same memory with the same request size; both open the file in
//    every iteration. The filter wraps libsndfile, so these are overhead lines;
//  - the PCM layout converters against SDL_ConvertAudio at equal rates. SDL converts in place,
//    so its case copies the source into the work buffer first, as a caller must.
#include <SDL.h>
#include <sndfile.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include <vexa/sound_filter.h>
#include <vexa/stream.h>

#include "../plugins/sound/common/sndfile_filter.h"
#include "bench_pairs.h"

namespace {

const int kAllMajors[] = {SF_FORMAT_WAV, SF_FORMAT_OGG, 0};
const vexa_plugin::SndfileKind kKind = {kAllMajors, nullptr};

void Put(std::vector<BYTE>& v, unsigned x, int bytes) {
  for (int i = 0; i < bytes; ++i) v.push_back(BYTE(x >> (8 * i)));
}

void PutTag(std::vector<BYTE>& v, const char* tag) {
  for (int i = 0; i < 4; ++i) v.push_back(BYTE(tag[i]));
}

std::vector<BYTE> Wave(int rate, int bits, int channels, int seconds) {
  const int block = channels * bits / 8;
  const unsigned dataBytes = unsigned(rate * block * seconds);
  std::vector<BYTE> v;
  v.reserve(44 + dataBytes);
  PutTag(v, "RIFF");
  Put(v, 36 + dataBytes, 4);
  PutTag(v, "WAVE");
  PutTag(v, "fmt ");
  Put(v, 16, 4), Put(v, 1, 2), Put(v, unsigned(channels), 2), Put(v, unsigned(rate), 4);
  Put(v, unsigned(rate * block), 4), Put(v, unsigned(block), 2), Put(v, unsigned(bits), 2);
  PutTag(v, "data");
  Put(v, dataBytes, 4);
  std::uint32_t state = 7;
  for (unsigned i = 0; i < dataBytes; ++i)
    v.push_back(BYTE((state = state * 1664525u + 1013904223u) >> 24));
  return v;
}

std::vector<BYTE> Vorbis() {
  std::ifstream in(std::string(VEXA_CORPORA_DIR) + "/audio/ogg/file-type-fixture.ogg",
                   std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// The peer's virtual I/O: plain memory.
struct Memory {
  const std::vector<BYTE>* bytes;
  sf_count_t position;
};
sf_count_t MemLength(void* u) { return sf_count_t(static_cast<Memory*>(u)->bytes->size()); }
sf_count_t MemSeek(sf_count_t offset, int whence, void* u) {
  auto* m = static_cast<Memory*>(u);
  const sf_count_t base = whence == SEEK_SET ? 0 : whence == SEEK_CUR ? m->position : MemLength(u);
  m->position = std::clamp<sf_count_t>(base + offset, 0, MemLength(u));
  return m->position;
}
sf_count_t MemRead(void* ptr, sf_count_t count, void* u) {
  auto* m = static_cast<Memory*>(u);
  const sf_count_t n = std::min(count, MemLength(u) - m->position);
  std::memcpy(ptr, m->bytes->data() + m->position, std::size_t(n));
  m->position += n;
  return n;
}
sf_count_t MemWrite(const void*, sf_count_t, void*) { return 0; }
sf_count_t MemTell(void* u) { return static_cast<Memory*>(u)->position; }
SF_VIRTUAL_IO kMemoryIo = {MemLength, MemSeek, MemRead, MemWrite, MemTell};

std::vector<BYTE>& Scratch() {
  static std::vector<BYTE> scratch(1 << 20);
  return scratch;
}

void ReadWithFilter(const std::vector<BYTE>& file) {
  CInputMemFile stream;
  stream.Create(file.data(), int(file.size()));
  vexa_plugin::SndfileFilter filter(kKind);
  if (filter.Open(&stream) != 0) std::abort();
  filter.SetOutputFormat(filter.GetNativeFormat());
  const WAVEFORMATEX& f = *filter.GetNativeFormat();
  const DWORD request = f.nAvgBytesPerSec * 80 / 100 / f.nBlockAlign * f.nBlockAlign;
  DWORD got = 0;
  while (filter.ReadConverted(Scratch().data(), request, &got) == 0 && got == request) {}
  vexabench::Keep(Scratch()[0]);
  filter.Close();
}

void ReadWithSndfile(const std::vector<BYTE>& file) {
  Memory memory{&file, 0};
  SF_INFO info{};
  SNDFILE* sf = sf_open_virtual(&kMemoryIo, SFM_READ, &info, &memory);
  if (!sf) std::abort();
  const sf_count_t frames = sf_count_t(info.samplerate) * 80 / 100;
  auto* out = reinterpret_cast<short*>(Scratch().data());
  while (sf_readf_short(sf, out, frames) == frames) {}
  vexabench::Keep(Scratch()[0]);
  sf_close(sf);
}

void RegisterRead(const std::string& name, std::vector<BYTE> file, double megabytesOut) {
  auto shared = std::make_shared<std::vector<BYTE>>(std::move(file));
  vexabench::RegisterCase(
      name, "MB/s", megabytesOut,
      {{"vexa", [shared] { ReadWithFilter(*shared); }},
       vexabench::Bare("sf_readf_short", [shared] { ReadWithSndfile(*shared); })});
}

struct Conversion {
  const char* name;
  WAVEFORMATEX in, out;
  SDL_AudioFormat sdlIn, sdlOut;
};

WAVEFORMATEX Pcm(DWORD rate, WORD bits, WORD channels) {
  return {1, channels, rate, rate * channels * bits / 8, WORD(channels * bits / 8), bits, 0};
}

void RegisterConversion(const Conversion& c) {
  constexpr int kFrames = 1 << 18;
  auto source = std::make_shared<std::vector<BYTE>>(std::size_t(kFrames) * c.in.nBlockAlign);
  for (std::size_t i = 0; i < source->size(); ++i) (*source)[i] = BYTE(i * 7 + (i >> 9));
  const SoundConverter convert = GetSoundConverter(&c.in, &c.out);
  if (!convert) std::abort();
  auto cvt = std::make_shared<SDL_AudioCVT>();
  if (SDL_BuildAudioCVT(cvt.get(), c.sdlIn, BYTE(c.in.nChannels), int(c.in.nSamplesPerSec),
                        c.sdlOut, BYTE(c.out.nChannels), int(c.out.nSamplesPerSec)) <= 0) {
    std::abort();
  }
  auto work = std::make_shared<std::vector<BYTE>>(source->size() * std::size_t(cvt->len_mult) +
                                                  std::size_t(kFrames) * 8);
  const double megabytes = double(kFrames) * c.out.nBlockAlign;
  vexabench::RegisterCase(std::string("sound_convert_") + c.name, "MB/s", megabytes,
                          {{"vexa",
                            [=] {
                              convert(source->data(), work->data(), kFrames, 1, 1);
                              vexabench::Keep((*work)[0]);
                            }},
                           {"SDL_ConvertAudio", [=] {
                              std::memcpy(work->data(), source->data(), source->size());
                              cvt->buf = work->data();
                              cvt->len = int(source->size());
                              if (SDL_ConvertAudio(cvt.get()) != 0) std::abort();
                              vexabench::Keep((*work)[0]);
                            }}});
}

const vexabench::Registrar kRegistrar([] {
  RegisterRead("sound_read_pcm16_stereo_10s", Wave(44100, 16, 2, 10), 44100.0 * 4 * 10);
  RegisterRead("sound_read_pcm8_mono_10s", Wave(22050, 8, 1, 10), 22050.0 * 10);
  RegisterRead("sound_read_vorbis", Vorbis(), 33810.0 * 4);
  for (const Conversion& c : {Conversion{"u8mono_to_s16stereo", Pcm(22050, 8, 1), Pcm(22050, 16, 2),
                                         AUDIO_U8, AUDIO_S16LSB},
                              Conversion{"s16stereo_to_s16mono", Pcm(22050, 16, 2),
                                         Pcm(22050, 16, 1), AUDIO_S16LSB, AUDIO_S16LSB},
                              Conversion{"s16stereo_to_u8stereo", Pcm(22050, 16, 2),
                                         Pcm(22050, 8, 2), AUDIO_S16LSB, AUDIO_U8}}) {
    RegisterConversion(c);
  }
});

}  // namespace
