// The libsndfile sound filter over arbitrary bytes in a memory stream: detection, open,
// length, reads and seeks. Bad input must make Open fail or reads end early; nothing may be
// leaked or overrun.
#include <cstdint>
#include <cstring>
#include <vector>

#include "../plugins/sound/common/sndfile_filter.h"

namespace {

const int kAllMajors[] = {SF_FORMAT_WAV,
                          SF_FORMAT_WAVEX,
                          SF_FORMAT_RF64,
                          SF_FORMAT_OGG,
                          SF_FORMAT_FLAC,
                          SF_FORMAT_MPEG,
                          0};
const vexa_plugin::SndfileKind kAnything = {kAllMajors, nullptr};

}  // namespace

// libsndfile leaks the Vorbis info block when it gives up on a damaged Ogg Vorbis header (the
// failed open frees everything else); that leak is the library's, not the filter's.
extern "C" const char* __lsan_default_suppressions() { return "leak:vorbis_info_init\n"; }

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 4) return 0;
  // The first four bytes steer the reads and seeks; the rest is the file.
  const std::uint8_t* steer = data;
  CInputMemFile stream;
  stream.Create(data + 4, int(size - 4));
  vexa_plugin::CanRead(kAnything, &stream);
  if (stream.Tell() != 0) __builtin_trap();  // the position must come back
  auto* filter = new vexa_plugin::SndfileFilter(kAnything);
  if (filter->Open(&stream) == 0) {
    filter->SetOutputFormat(filter->GetNativeFormat());
    const DWORD length = filter->GetLength(steer[0] & 1);
    const DWORD block = filter->GetNativeFormat()->nBlockAlign;
    if (block == 0 || length % block != 0) __builtin_trap();
    DWORD total = 0;
    for (int round = 0; round < 64; ++round) {
      const DWORD want = (DWORD(steer[1]) * 37 + DWORD(round) * 101) % 9000 + 1;
      std::vector<BYTE> buffer(want);  // exactly the request: overruns show
      DWORD got = 0;
      if (filter->ReadConverted(buffer.data(), want, &got) != 0 || got == 0) break;
      if (got > want) __builtin_trap();
      total += got;
      if (round == 3) filter->Seek(DWORD(steer[2]) * 97 + steer[3]);
    }
    (void)total;
    filter->Close();
  }
  filter->Release();
  return 0;
}
