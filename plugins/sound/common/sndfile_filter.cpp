#include "sndfile_filter.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <new>
#include <vector>

namespace vexa_plugin {
namespace {

using View = SndfileFilter::StreamView;

sf_count_t ViewLength(void* user) {
  auto* v = static_cast<View*>(user);
  return std::max(0, v->stream->GetSize() - v->base);
}

sf_count_t ViewSeek(sf_count_t offset, int whence, void* user) {
  auto* v = static_cast<View*>(user);
  sf_count_t target = offset;
  if (whence == SEEK_CUR) target += v->stream->Tell() - v->base;
  if (whence == SEEK_END) target += ViewLength(user);
  if (target < 0 || target > INT_MAX - v->base) return -1;
  return v->stream->Seek(int(target) + v->base, kStreamSeekStart) - v->base;
}

sf_count_t ViewRead(void* ptr, sf_count_t count, void* user) {
  auto* v = static_cast<View*>(user);
  int got = 0;
  v->stream->Read(ptr, int(std::min<sf_count_t>(count, INT_MAX)), &got);
  return std::max(got, 0);
}

sf_count_t ViewWrite(const void*, sf_count_t, void*) { return 0; }

sf_count_t ViewTell(void* user) {
  auto* v = static_cast<View*>(user);
  return v->stream->Tell() - v->base;
}

SF_VIRTUAL_IO kViewIo = {ViewLength, ViewSeek, ViewRead, ViewWrite, ViewTell};

bool Accepts(const SndfileKind& kind, const SF_INFO& info) {
  bool major = false;
  for (const int* m = kind.majors; *m; ++m) major |= (info.format & SF_FORMAT_TYPEMASK) == *m;
  if (!major || info.channels < 1 || info.channels > 2 || info.samplerate <= 0) return false;
  return !kind.acceptsSubtype || kind.acceptsSubtype(info.format & SF_FORMAT_SUBMASK);
}

sf_count_t CountFrames(SNDFILE* file, int channels) {
  std::vector<short> scratch(std::size_t(4096) * channels);
  sf_count_t total = 0, got;
  while ((got = sf_readf_short(file, scratch.data(), 4096)) > 0) total += got;
  return total;
}

}  // namespace

bool CanRead(const SndfileKind& kind, CInputFile* stream) {
  if (!stream) return false;
  View view{stream, stream->Tell()};
  SF_INFO info{};
  SNDFILE* file = sf_open_virtual(&kViewIo, SFM_READ, &info, &view);
  const bool yes = file && Accepts(kind, info);
  if (file) sf_close(file);
  stream->Seek(view.base, kStreamSeekStart);
  return yes;
}

void SndfileFilter::Destroy(unsigned flags) {
  this->SndfileFilter::~SndfileFilter();
  if (flags & 1) ::operator delete(static_cast<void*>(this));
}

int SndfileFilter::Open(CInputFile* stream) {
  Close();
  if (!stream) return 1;
  view_ = {stream, stream->Tell()};
  info_ = SF_INFO{};
  file_ = sf_open_virtual(&kViewIo, SFM_READ, &info_, &view_);
  if (!file_) return 1;
  if (!Accepts(kind_, info_) || info_.frames < 0) {
    Close();
    return 1;
  }
  const int subtype = info_.format & SF_FORMAT_SUBMASK;
  raw8_ = subtype == SF_FORMAT_PCM_U8;
  float_ = subtype == SF_FORMAT_FLOAT || subtype == SF_FORMAT_DOUBLE;
  // MPEG audio reports an estimated length: count the decoded frames once so the length is
  // exact, then start again.
  if (subtype == SF_FORMAT_MPEG_LAYER_I || subtype == SF_FORMAT_MPEG_LAYER_II ||
      subtype == SF_FORMAT_MPEG_LAYER_III) {
    info_.frames = CountFrames(file_, info_.channels);
    if (info_.frames < 0 || sf_seek(file_, 0, SEEK_SET) < 0) {
      Close();
      return 1;
    }
  }
  WAVEFORMATEX& f = m_nativeFormat;
  f = WAVEFORMATEX{};
  f.wFormatTag = 1;
  f.nChannels = WORD(info_.channels);
  f.nSamplesPerSec = DWORD(info_.samplerate);
  f.wBitsPerSample = raw8_ ? 8 : 16;
  f.nBlockAlign = WORD(f.nChannels * f.wBitsPerSample / 8);
  f.nAvgBytesPerSec = f.nSamplesPerSec * f.nBlockAlign;
  m_outputFormat = f;
  return 0;
}

void SndfileFilter::Close() {
  if (file_) sf_close(file_);
  file_ = nullptr;
}

// The flag asks nothing of these plug-ins: the length is always the exact decoded length.
DWORD SndfileFilter::GetLength(int) {
  if (!file_) return 0;
  const sf_count_t frames = std::min<sf_count_t>(info_.frames, 0x7FFFFFFF);
  return OutputBytesOfNativeFrames(DWORD(frames));
}

int SndfileFilter::Seek(DWORD offset) {
  if (!file_) return 1;
  const sf_count_t frame = std::min<sf_count_t>(NativeFrameOfOutputByte(offset), info_.frames);
  return sf_seek(file_, frame, SEEK_SET) < 0 ? 1 : 0;
}

int SndfileFilter::Read(void* buffer, DWORD bytes, DWORD* read) {
  DWORD dummy = 0;
  if (!read) read = &dummy;
  *read = 0;
  if (!file_ || !buffer) return 1;
  const DWORD frame = m_nativeFormat.nBlockAlign;
  const sf_count_t frames = bytes / frame;
  sf_count_t got;
  if (raw8_) {
    got = sf_read_raw(file_, buffer, frames * info_.channels) / info_.channels;
  } else if (float_) {
    got = ReadFloatFrames(static_cast<short*>(buffer), frames);
  } else {
    got = sf_readf_short(file_, static_cast<short*>(buffer), frames);
  }
  got = std::clamp<sf_count_t>(got, 0, frames);
  *read = DWORD(got) * frame;
  return 0;
}

// libsndfile hands float data to 16-bit reads unscaled; full scale (-1 to 1) maps to -32767
// to 32767 here, rounded, and louder samples are clipped.
sf_count_t SndfileFilter::ReadFloatFrames(short* out, sf_count_t frames) {
  constexpr sf_count_t kChunk = 1024;
  float scratch[kChunk * 2];
  sf_count_t total = 0;
  while (total < frames) {
    const sf_count_t got = sf_readf_float(file_, scratch, std::min(kChunk, frames - total));
    if (got <= 0) break;
    for (sf_count_t i = 0; i < got * info_.channels; ++i) {
      out[total * info_.channels + i] =
          short(std::lrint(std::clamp(scratch[i], -1.0f, 1.0f) * 32767.0f));
    }
    total += got;
  }
  return total;
}

}  // namespace vexa_plugin
