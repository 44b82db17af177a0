// A sound filter over libsndfile, shared by the wave, ogg, flac and mp3 plug-ins.
//
// libsndfile reads the caller's CInputFile through its virtual I/O; the data is presented from
// the stream position at Open on, so sounds embedded in a larger stream work. 8-bit and 16-bit
// PCM keep their native sample size (8-bit bytes pass through raw; 16-bit samples arrive in
// host order, so big-endian files are swapped); every other encoding is decoded to 16-bit
// (float data at full scale -1 to 1).
// Data with more than two channels, or an encoding libsndfile cannot decode, is refused.
#pragma once

#include <sndfile.h>

#include <vexa/sound_filter.h>

namespace vexa_plugin {

// Which container formats (libsndfile major formats) one plug-in accepts.
struct SndfileKind {
  const int* majors;                    // zero-terminated
  bool (*acceptsSubtype)(int subtype);  // null: every subtype
};

class SndfileFilter : public CSoundFilter {
 public:
  explicit SndfileFilter(const SndfileKind& kind) : kind_(kind) {}
  ~SndfileFilter() { Close(); }

  void Destroy(unsigned flags) override;
  void Release() override { Destroy(1); }
  int Open(CInputFile* stream) override;
  void Close() override;
  DWORD GetLength(int flag) override;
  int Reserved() override { return 0; }
  int Seek(DWORD offset) override;
  int Read(void* buffer, DWORD bytes, DWORD* read) override;

  // The part of the stream libsndfile sees: from `base` to the end.
  struct StreamView {
    CInputFile* stream = nullptr;
    int base = 0;
  };

 private:
  StreamView view_;
  const SndfileKind& kind_;
  SNDFILE* file_ = nullptr;
  SF_INFO info_{};
  bool raw8_ = false;   // 8-bit unsigned data passed through as stored
  bool float_ = false;  // float data, scaled to 16 bits here

  sf_count_t ReadFloatFrames(short* out, sf_count_t frames);
};

// Opens the stream with libsndfile and tells whether this kind accepts it; the stream's
// position is restored.
bool CanRead(const SndfileKind& kind, CInputFile* stream);

}  // namespace vexa_plugin
