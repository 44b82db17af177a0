#include "sndfile_filter.h"

#include <algorithm>
#include <climits>
#include <new>

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
  // Float data is scaled to the full 16-bit range rather than read unscaled.
  if (subtype == SF_FORMAT_FLOAT || subtype == SF_FORMAT_DOUBLE) {
    sf_command(file_, SFC_SET_SCALE_FLOAT_INT_READ, nullptr, SF_TRUE);
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
  sf_count_t got = raw8_ ? sf_read_raw(file_, buffer, frames * info_.channels) / info_.channels
                         : sf_readf_short(file_, static_cast<short*>(buffer), frames);
  got = std::clamp<sf_count_t>(got, 0, frames);
  *read = DWORD(got) * frame;
  return 0;
}

}  // namespace vexa_plugin
