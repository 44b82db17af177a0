#include <vexa/sound_filter.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace {

DWORD FrameBytes(const WAVEFORMATEX& f) { return DWORD(f.nChannels) * (f.wBitsPerSample / 8); }

// 0.8 seconds of the format: channels x bytes per sample x rate x 80 / 100.
DWORD EightTenths(const WAVEFORMATEX& f) {
  return DWORD(std::uint64_t(FrameBytes(f)) * f.nSamplesPerSec * 80 / 100);
}

// The convert buffer holds 0.8 s of native data, and never less than one group of `step`
// frames so that every read makes progress.
DWORD ConvertBufferBytes(const CSoundFilter& f) {
  return std::max(EightTenths(f.m_nativeFormat), FrameBytes(f.m_nativeFormat) * f.m_step);
}

}  // namespace

CSoundFilter::CSoundFilter() = default;

CSoundFilter::CSoundFilter(const CSoundFilter& other) { *this = other; }

CSoundFilter& CSoundFilter::operator=(const CSoundFilter& other) {
  if (this == &other) return *this;
  std::free(m_convertBuffer);
  m_convertBuffer = nullptr;
  m_outputFormat = other.m_outputFormat;
  m_nativeFormat = other.m_nativeFormat;
  m_convert = other.m_convert;
  m_ratio = other.m_ratio;
  m_converter = other.m_converter;
  m_step = other.m_step;
  m_repeat = other.m_repeat;
  // Each copy owns its buffer: sharing the other's would free it twice.
  if (other.m_convertBuffer) {
    m_convertBuffer = static_cast<BYTE*>(std::malloc(ConvertBufferBytes(*this)));
  }
  return *this;
}

CSoundFilter::~CSoundFilter() {
  std::free(m_convertBuffer);
  m_convertBuffer = nullptr;
}

void CSoundFilter::Destroy(unsigned flags) {
  this->CSoundFilter::~CSoundFilter();
  if (flags & 1) ::operator delete(static_cast<void*>(this));
}

WAVEFORMATEX* CSoundFilter::GetOutputFormat() { return &m_outputFormat; }
WAVEFORMATEX* CSoundFilter::GetNativeFormat() { return &m_nativeFormat; }

void* CSoundFilter::SetOutputFormat(const WAVEFORMATEX* format) {
  std::free(m_convertBuffer);
  m_convertBuffer = nullptr;
  if (!format) return nullptr;
  m_outputFormat = *format;
  const WAVEFORMATEX& in = m_nativeFormat;
  const WAVEFORMATEX& out = m_outputFormat;
  m_step = m_repeat = 1;
  if (in.nChannels == out.nChannels && in.nSamplesPerSec == out.nSamplesPerSec &&
      in.wBitsPerSample == out.wBitsPerSample) {
    m_convert = 0;
    m_ratio = 1.0f;
    m_converter = nullptr;
    return nullptr;
  }
  m_converter = GetSoundConverter(&in, &out);
  if (in.nSamplesPerSec && out.nSamplesPerSec) {
    if (in.nSamplesPerSec > out.nSamplesPerSec) m_step = in.nSamplesPerSec / out.nSamplesPerSec;
    if (out.nSamplesPerSec > in.nSamplesPerSec) {
      m_repeat = out.nSamplesPerSec / in.nSamplesPerSec;
    }
  }
  m_convert = 1;
  const DWORD nativeBlock = EightTenths(in);
  m_ratio = nativeBlock ? float(EightTenths(out)) / float(nativeBlock) : 0.0f;
  m_convertBuffer = static_cast<BYTE*>(std::malloc(ConvertBufferBytes(*this)));
  return m_convertBuffer;
}

DWORD CSoundFilter::OutputBytesOfNativeFrames(DWORD frames) const {
  if (!m_convert) return frames * FrameBytes(m_nativeFormat);
  const std::uint64_t taken = (std::uint64_t(frames) + m_step - 1) / m_step;
  return DWORD(std::min<std::uint64_t>(taken * m_repeat * FrameBytes(m_outputFormat), 0xFFFFFFFFu));
}

DWORD CSoundFilter::NativeFrameOfOutputByte(DWORD offset) const {
  if (!m_convert) {
    const DWORD frame = FrameBytes(m_nativeFormat);
    return frame ? offset / frame : 0;
  }
  const DWORD frame = FrameBytes(m_outputFormat);
  if (!frame) return 0;
  return DWORD(
      std::min<std::uint64_t>(std::uint64_t(offset / frame / m_repeat) * m_step, 0xFFFFFFFFu));
}

int CSoundFilter::ReadConverted(void* buffer, DWORD bytes, DWORD* read) {
  DWORD dummy = 0;
  if (!read) read = &dummy;
  *read = 0;
  if (!m_convert) return Read(buffer, bytes, read);
  const DWORD inFrame = FrameBytes(m_nativeFormat);
  const DWORD outFrame = FrameBytes(m_outputFormat);
  if (!m_convertBuffer || !m_converter || !inFrame || !outFrame || !buffer) return 1;

  // Whole groups of `step` native frames fit the buffer; each becomes `repeat` output frames.
  const DWORD capacity = ConvertBufferBytes(*this) / inFrame / m_step * m_step;
  const DWORD wanted = bytes / outFrame;
  auto* out = static_cast<BYTE*>(buffer);
  DWORD produced = 0;
  int result = 0;
  while (produced < wanted) {
    DWORD repeat = m_repeat;
    DWORD frames =
        std::min<std::uint64_t>(std::uint64_t((wanted - produced) / repeat) * m_step, capacity);
    if (frames == 0) {
      // Less than one repeat group asked: the group is cut short to fit.
      repeat = wanted - produced;
      frames = m_step;
    }
    DWORD got = 0;
    result = Read(m_convertBuffer, frames * inFrame, &got);
    const DWORD gotFrames = std::min(got, frames * inFrame) / inFrame;
    if (gotFrames == 0) break;
    m_converter(m_convertBuffer, out + std::size_t(produced) * outFrame, gotFrames, m_step, repeat);
    produced += (gotFrames + m_step - 1) / m_step * repeat;
    if (result != 0 || gotFrames < frames) break;
  }
  *read = produced * outFrame;
  return produced ? 0 : result;
}
