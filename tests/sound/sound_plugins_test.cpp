// The libsndfile sound plug-ins over real files: byte-exact PCM, other encodings decoded to
// 16 bits, and malformed or unsupported data refused.
#include <FLAC/stream_encoder.h>
#include <vorbis/vorbisfile.h>

#include <cmath>

#include "sound/sound_test_support.h"

namespace {

using namespace soundtest;

struct Chunk {
  std::vector<BYTE> fmt, data;
};

// The fmt and data chunks of a RIFF wave file, read the simple way.
Chunk WavChunks(const std::vector<BYTE>& file) {
  Chunk c;
  std::size_t p = 12;
  while (p + 8 <= file.size()) {
    const std::string tag(file.begin() + long(p), file.begin() + long(p) + 4);
    const std::size_t size =
        file[p + 4] | file[p + 5] << 8 | file[p + 6] << 16 | std::size_t(file[p + 7]) << 24;
    const std::size_t end = std::min(file.size(), p + 8 + size);
    std::vector<BYTE> body(file.begin() + long(p) + 8, file.begin() + long(end));
    if (tag == "fmt ") c.fmt = body;
    if (tag == "data") c.data = body;
    p = end + (size & 1);
  }
  return c;
}

class SoundPlugins : public ::testing::Test {
 protected:
  Plugin wave_{"wave"}, ogg_{"ogg"}, flac_{"flac"}, mp3_{"mp3"};
};

TEST_F(SoundPlugins, IdentifyThemselves) {
  ASSERT_TRUE(wave_.Loaded() && ogg_.Loaded() && flac_.Loaded() && mp3_.Loaded());
  EXPECT_EQ(wave_.Id(), FilterID("WAVE"));
  EXPECT_EQ(ogg_.Id(), FilterID("OGG "));
  EXPECT_EQ(flac_.Id(), FilterID("FLAC"));
  EXPECT_EQ(mp3_.Id(), FilterID("MP3 "));
}

TEST_F(SoundPlugins, EightAndSixteenBitWavesGiveTheDataChunk) {
  for (const char* name : {"wav/hound/pcmwaveformat-8bit-44100Hz-mono.wav",
                           "wav/hound/waveformatex-8bit-11025Hz-mono.wav",
                           "wav/hound/waveformatex-16bit-44100Hz-stereo.wav",
                           "wav/hound/pcmwaveformat-16bit-44100Hz-mono-extra.wav",
                           "wav/go-audio/kick.wav", "wav/go-audio/kick-16b441k.wav",
                           "wav/go-audio/8bit.wav", "wav/scipy/test-8000Hz-le-2ch-1byteu.wav"}) {
    SCOPED_TRACE(name);
    const auto file = ReadFile(Corpus(name));
    ASSERT_FALSE(file.empty());
    WAVEFORMATEX f{};
    DWORD length = 0;
    std::vector<BYTE> decoded;
    ASSERT_TRUE(DecodeAll(wave_, file, &decoded, &f, &length));
    auto expected = WavChunks(file).data;
    expected.resize(expected.size() / f.nBlockAlign * f.nBlockAlign);
    EXPECT_EQ(decoded, expected);
    EXPECT_EQ(length, expected.size());
    EXPECT_EQ(f.nAvgBytesPerSec, f.nSamplesPerSec * f.nBlockAlign);
  }
}

TEST_F(SoundPlugins, OtherEncodingsBecomeSixteenBit) {
  struct Case {
    const char* name;
    int bytesPerSample;  // 3: 24-bit integer, 4: 32-bit float
  };
  for (const Case& c : {Case{"wav/go-audio/padded24b.wav", 3}, Case{"wav/go-audio/bwf.wav", 3},
                        Case{"wav/scipy/test-44100Hz-2ch-32bit-float-le.wav", 4}}) {
    SCOPED_TRACE(c.name);
    const auto file = ReadFile(Corpus(c.name));
    WAVEFORMATEX f{};
    std::vector<BYTE> decoded;
    ASSERT_TRUE(DecodeAll(wave_, file, &decoded, &f));
    EXPECT_EQ(f.wBitsPerSample, 16);
    const auto data = WavChunks(file).data;
    const std::size_t samples = data.size() / c.bytesPerSample;
    ASSERT_EQ(decoded.size(), samples * 2);
    for (std::size_t i = 0; i < samples; ++i) {
      const BYTE* s = &data[i * c.bytesPerSample];
      int expected;
      if (c.bytesPerSample == 3) {
        expected = std::int16_t(s[1] | s[2] << 8);
      } else {
        float v;
        std::memcpy(&v, s, 4);
        expected = int(std::lrint(std::clamp(v, -1.0f, 1.0f) * 32767.0f));
      }
      const int got = std::int16_t(decoded[2 * i] | decoded[2 * i + 1] << 8);
      ASSERT_NEAR(got, expected, 1) << "sample " << i;
    }
  }
}

TEST_F(SoundPlugins, MuLawIsDecoded) {
  const auto file = ReadFile(Corpus("wav/scipy/test-8000Hz-le-1ch-1byte-ulaw.wav"));
  std::vector<BYTE> decoded;
  ASSERT_TRUE(DecodeAll(wave_, file, &decoded));
  const auto data = WavChunks(file).data;
  ASSERT_EQ(decoded.size(), data.size() * 2);
  for (std::size_t i = 0; i < data.size(); ++i) {
    // G.711 mu-law expansion.
    const int u = ~data[i] & 0xFF;
    const int magnitude = (((u & 0x0F) << 3) + 0x84) << ((u >> 4) & 7);
    const int expected = (u & 0x80) ? 0x84 - magnitude : magnitude - 0x84;
    const int got = std::int16_t(decoded[2 * i] | decoded[2 * i + 1] << 8);
    EXPECT_NEAR(got, expected, 1) << "sample " << i;
  }
}

TEST_F(SoundPlugins, BigEndianAndRf64FilesMatchTheirLittleEndianTwins) {
  std::vector<BYTE> le, be, rf64;
  ASSERT_TRUE(
      DecodeAll(wave_, ReadFile(Corpus("wav/scipy/test-44100Hz-2ch-32bit-float-le.wav")), &le));
  ASSERT_TRUE(
      DecodeAll(wave_, ReadFile(Corpus("wav/scipy/test-44100Hz-2ch-32bit-float-be.wav")), &be));
  // The two files' floats differ in the last place here and there.
  ASSERT_EQ(le.size(), be.size());
  for (std::size_t i = 0; i + 1 < le.size(); i += 2) {
    ASSERT_NEAR(std::int16_t(le[i] | le[i + 1] << 8), std::int16_t(be[i] | be[i + 1] << 8), 1);
  }
  ASSERT_TRUE(DecodeAll(wave_, ReadFile(Corpus("wav/scipy/test-44100Hz-le-1ch-4bytes.wav")), &le));
  ASSERT_TRUE(
      DecodeAll(wave_, ReadFile(Corpus("wav/scipy/test-44100Hz-le-1ch-4bytes-rf64.wav")), &rf64));
  EXPECT_EQ(le, rf64);

  // A 16-bit RIFX file: samples stored big-endian come out in host order.
  std::vector<BYTE> rifx = MakeWav(Pcm(8000, 16, 1), {0x12, 0x34, 0xAB, 0xCD});
  std::memcpy(rifx.data(), "RIFX", 4);
  for (std::size_t p :
       {std::size_t(4), std::size_t(16), std::size_t(24), std::size_t(28), std::size_t(40)}) {
    std::swap(rifx[p], rifx[p + 3]), std::swap(rifx[p + 1], rifx[p + 2]);
  }
  for (std::size_t p : {std::size_t(20), std::size_t(22), std::size_t(32), std::size_t(34)}) {
    std::swap(rifx[p], rifx[p + 1]);
  }
  std::vector<BYTE> decoded;
  ASSERT_TRUE(DecodeAll(wave_, rifx, &decoded));
  EXPECT_EQ(decoded, (std::vector<BYTE>{0x34, 0x12, 0xCD, 0xAB}));
}

TEST_F(SoundPlugins, RefuseWhatTheyCannotPlay) {
  std::vector<BYTE> decoded;
  // More than two channels, unsupported sample sizes, broken headers, no data chunk.
  for (const char* name :
       {"wav/scipy/test-8000Hz-le-3ch-5S-24bit.wav", "wav/scipy/test-8000Hz-le-4ch-9S-12bit.wav",
        "wav/scipy/test-8000Hz-le-3ch-5S-36bit.wav",
        "wav/hound/fuzz/crash-24728523ef4be15c838293b676f6853e73723bf4.wav",
        "wav/hound/fuzz/crash-b8447179832529c48f9c6bf17feab6337bbc78ea.wav",
        "wav/hound/fuzz/crash-cbd757427cea12bd8a21f86cd8cf74d98ce56bee.wav",
        "wav/hound/fuzz/crash-e5471f5b58397287b509db7d026e95f1724454f5.wav",
        "wav/hound/fuzz/crash-e879de4eb4d206c59e21f0e01def16457af80fdc.wav",
        "wav/hound/fuzz/oom-48ae4cd061ff8578ad3f23dc87624bd365cf5216.wav",
        "wav/scipy/test-44100Hz-le-1ch-4bytes-incomplete-chunk.wav"}) {
    SCOPED_TRACE(name);
    const auto file = ReadFile(Corpus(name));
    CInputMemFile* stream = MemoryStream(file);
    EXPECT_EQ(wave_.CanRead(stream), 0);
    EXPECT_EQ(stream->Tell(), 0);
    stream->Delete();
    EXPECT_FALSE(DecodeAll(wave_, file, &decoded));
  }
  // Each plug-in keeps to its own containers; FLAC inside Ogg is not decoded by anyone.
  const auto vorbis = ReadFile(Corpus("ogg/file-type-fixture.ogg"));
  const auto oggFlac = ReadFile(Corpus("ogg/file-type-fixture-flac.oga"));
  for (const Plugin* p : {&wave_, &flac_, &mp3_}) EXPECT_FALSE(DecodeAll(*p, vorbis, &decoded));
  for (const Plugin* p : {&wave_, &ogg_, &flac_, &mp3_}) {
    EXPECT_FALSE(DecodeAll(*p, oggFlac, &decoded));
  }
  EXPECT_FALSE(DecodeAll(ogg_, ReadFile(Corpus("wav/go-audio/kick.wav")), &decoded));
}

TEST_F(SoundPlugins, TruncatedDataEndsEarly) {
  const auto file = ReadFile(Corpus("wav/scipy/test-44100Hz-le-1ch-4bytes-early-eof.wav"));
  std::vector<BYTE> decoded;
  DWORD length = 0;
  ASSERT_TRUE(DecodeAll(wave_, file, &decoded, nullptr, &length));
  EXPECT_LE(decoded.size(), length);
  // A wave cut in the middle of its data chunk reads what is there.
  auto cut = MakeWav(Pcm(8000, 16, 2), PatternData(4000));
  cut.resize(cut.size() - 1001);
  ASSERT_TRUE(DecodeAll(wave_, cut, &decoded));
  EXPECT_EQ(decoded, std::vector<BYTE>(cut.begin() + 44, cut.begin() + 44 + 2996));
}

TEST_F(SoundPlugins, MpegInWaveIsDecodedConsistently) {
  // Either libsndfile decodes MPEG audio (then the length and the reads agree) or it is refused.
  const auto file = ReadFile(Corpus("wav/beets/mpeglayer3.wav"));
  std::vector<BYTE> decoded;
  WAVEFORMATEX f{};
  DWORD length = 0;
  if (DecodeAll(wave_, file, &decoded, &f, &length)) {
    EXPECT_EQ(f.wBitsPerSample, 16);
    EXPECT_EQ(decoded.size(), length);
    int peak = 0;
    for (std::size_t i = 0; i + 1 < decoded.size(); i += 2) {
      peak = std::max(peak, std::abs(int(std::int16_t(decoded[i] | decoded[i + 1] << 8))));
    }
    EXPECT_GT(peak, 100);  // sound, not silence
  }
}

TEST_F(SoundPlugins, ReadFromTheStreamPositionAndSeek) {
  const auto data = PatternData(6000);
  std::vector<BYTE> file(37, 0xEE);  // the sound starts inside a larger stream
  const auto wav = MakeWav(Pcm(11025, 16, 2), data);
  file.insert(file.end(), wav.begin(), wav.end());
  CInputMemFile* stream = MemoryStream(file);
  stream->Seek(37, kStreamSeekStart);
  EXPECT_EQ(wave_.CanRead(stream), 1);
  EXPECT_EQ(stream->Tell(), 37);
  CSoundFilter* filter = wave_.Create();
  ASSERT_EQ(filter->Open(stream), 0);
  EXPECT_EQ(filter->GetLength(1), 6000u);
  std::vector<BYTE> got(400);
  DWORD read = 0;
  ASSERT_EQ(filter->Seek(2000), 0);
  ASSERT_EQ(filter->ReadConverted(got.data(), 400, &read), 0);
  EXPECT_EQ(read, 400u);
  EXPECT_TRUE(std::equal(got.begin(), got.end(), data.begin() + 2000));
  ASSERT_EQ(filter->Seek(5900), 0);
  ASSERT_EQ(filter->ReadConverted(got.data(), 400, &read), 0);
  EXPECT_EQ(read, 100u);  // the data ends
  filter->Close();
  filter->Release();
  stream->Delete();
}

TEST_F(SoundPlugins, OggVorbisMatchesLibvorbisfile) {
  for (const char* name : {"ogg/beets-full.ogg", "ogg/file-type-fixture.ogg"}) {
    SCOPED_TRACE(name);
    const std::string path = Corpus(name);
    OggVorbis_File vf;
    ASSERT_EQ(ov_fopen(path.c_str(), &vf), 0);
    std::vector<BYTE> reference;
    char chunk[4096];
    int section = 0;
    long n;
    while ((n = ov_read(&vf, chunk, sizeof chunk, 0, 2, 1, &section)) > 0) {
      reference.insert(reference.end(), chunk, chunk + n);
    }
    ov_clear(&vf);
    std::vector<BYTE> decoded;
    DWORD length = 0;
    ASSERT_TRUE(DecodeAll(ogg_, ReadFile(path), &decoded, nullptr, &length));
    ASSERT_EQ(decoded.size(), reference.size());
    EXPECT_EQ(length, decoded.size());
    int worst = 0;
    for (std::size_t i = 0; i + 1 < decoded.size(); i += 2) {
      const int a = std::int16_t(decoded[i] | decoded[i + 1] << 8);
      const int b = std::int16_t(reference[i] | reference[i + 1] << 8);
      worst = std::max(worst, std::abs(a - b));
    }
    EXPECT_LE(worst, 2);
  }
}

FLAC__StreamEncoderWriteStatus CollectFlac(const FLAC__StreamEncoder*, const FLAC__byte buffer[],
                                           size_t bytes, uint32_t, uint32_t, void* user) {
  auto* out = static_cast<std::vector<BYTE>*>(user);
  out->insert(out->end(), buffer, buffer + bytes);
  return FLAC__STREAM_ENCODER_WRITE_STATUS_OK;
}

TEST_F(SoundPlugins, FlacRoundTripIsLossless) {
  // A chirp in 16-bit stereo, encoded with libFLAC, decodes to the same samples.
  constexpr int kFrames = 20000;
  std::vector<FLAC__int32> interleaved(kFrames * 2);
  std::vector<BYTE> pcm;
  for (int i = 0; i < kFrames; ++i) {
    const int left = int(12000 * std::sin(i * i * 0.00001));
    const int right = (i * 37 % 65536) - 32768;
    interleaved[2 * i] = left, interleaved[2 * i + 1] = right;
    Put16(pcm, unsigned(left) & 0xFFFF), Put16(pcm, unsigned(right) & 0xFFFF);
  }
  std::vector<BYTE> flacBytes;
  FLAC__StreamEncoder* encoder = FLAC__stream_encoder_new();
  FLAC__stream_encoder_set_channels(encoder, 2);
  FLAC__stream_encoder_set_bits_per_sample(encoder, 16);
  FLAC__stream_encoder_set_sample_rate(encoder, 22050);
  FLAC__stream_encoder_set_total_samples_estimate(encoder, kFrames);
  ASSERT_EQ(
      FLAC__stream_encoder_init_stream(encoder, CollectFlac, nullptr, nullptr, nullptr, &flacBytes),
      FLAC__STREAM_ENCODER_INIT_STATUS_OK);
  ASSERT_TRUE(FLAC__stream_encoder_process_interleaved(encoder, interleaved.data(), kFrames));
  FLAC__stream_encoder_finish(encoder);
  FLAC__stream_encoder_delete(encoder);

  std::vector<BYTE> decoded;
  WAVEFORMATEX f{};
  DWORD length = 0;
  ASSERT_TRUE(DecodeAll(flac_, flacBytes, &decoded, &f, &length));
  EXPECT_EQ(f.nSamplesPerSec, 22050u);
  EXPECT_EQ(f.nChannels, 2);
  EXPECT_EQ(length, pcm.size());
  EXPECT_EQ(decoded, pcm);
  EXPECT_FALSE(DecodeAll(wave_, flacBytes, &decoded));
}

}  // namespace
