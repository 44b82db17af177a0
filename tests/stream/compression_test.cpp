#include <fcntl.h>
#include <lz4.h>
#include <lz4hc.h>
#include <zlib.h>

#include <cstring>

#include <vexa/compression.h>
#include <vexa/stream.h>

#include "stream/stream_test_util.h"

namespace {

using streamtest::Pattern;

// Compressible but not trivial: the pattern with runs and repeats mixed in.
std::vector<std::uint8_t> Sample(std::size_t size) {
  std::vector<std::uint8_t> bytes = Pattern(size);
  for (std::size_t i = 0; i < size; ++i) {
    if ((i / 700) % 3 == 0) bytes[i] = static_cast<std::uint8_t>(i / 50);
  }
  return bytes;
}

std::vector<std::uint8_t> Written(COutputMemFile& out) {
  return {out.GetBuffer(), out.GetBuffer() + out.GetSize()};
}

std::vector<std::uint8_t> Deflated(const std::vector<std::uint8_t>& data, int level) {
  CInputMemFile in;
  in.Create(data.data(), static_cast<int>(data.size()));
  COutputMemFile out;
  out.Create(0);
  EXPECT_EQ(DeflateStream(&out, &in, -1, level), kStreamOk) << "level " << level;
  return Written(out);
}

std::vector<std::uint8_t> ZlibReference(const std::vector<std::uint8_t>& data, int level) {
  uLongf size = compressBound(data.size());
  std::vector<std::uint8_t> out(size);
  EXPECT_EQ(compress2(out.data(), &size, data.data(), data.size(), level), Z_OK);
  out.resize(size);
  return out;
}

int Inflate(const std::vector<std::uint8_t>& packed, std::vector<std::uint8_t>* result,
            int size = -1) {
  CInputMemFile in;
  in.Create(packed.data(), static_cast<int>(packed.size()));
  COutputMemFile out;
  out.Create(0);
  const int code = InflateStream(&out, &in, size);
  *result = Written(out);
  return code;
}

TEST(StreamDeflate, RoundTripsAtEveryLevelAndClampsOutOfRangeLevels) {
  const std::vector<std::uint8_t> data = Sample(50000);  // several 8192-byte chunks
  for (int level = -3; level <= 12; ++level) {
    const std::vector<std::uint8_t> packed = Deflated(data, level);
    const int zlibLevel = level == -1 ? Z_DEFAULT_COMPRESSION : std::clamp(level, 0, 9);
    if (zlibLevel == 0) {
      // Stored blocks follow the input chunks, so compare with level 0 itself.
      EXPECT_EQ(packed, Deflated(data, 0)) << "level " << level;
      EXPECT_GT(packed.size(), data.size()) << "level " << level << " stores";
    } else {
      // The chunked stream makes exactly zlib's own one-shot result at the mapped level.
      EXPECT_EQ(packed, ZlibReference(data, zlibLevel)) << "level " << level;
    }
    std::vector<std::uint8_t> back;
    EXPECT_EQ(Inflate(packed, &back), kStreamOk) << "level " << level;
    EXPECT_EQ(back, data) << "level " << level;
  }
}

TEST(StreamDeflate, EmptyInputStillMakesACompleteStream) {
  const std::vector<std::uint8_t> packed = Deflated({}, 6);
  ASSERT_FALSE(packed.empty());
  std::uint8_t byte = 0;
  uLongf size = 1;
  EXPECT_EQ(uncompress(&byte, &size, packed.data(), packed.size()), Z_OK);
  EXPECT_EQ(size, 0u);
}

TEST(StreamDeflate, StreamCodesPassThrough) {
  const std::vector<std::uint8_t> data = Sample(1000);
  CInputMemFile in;
  in.Create(data.data(), 1000);
  COutputMemFile out;
  out.Create(0);
  EXPECT_EQ(DeflateStream(&out, &in, 2000, 6), kStreamEndOfFile) << "input shorter than size";
  std::uint8_t tiny[4];
  COutputMemFile fixed;
  fixed.Create(tiny, 4);
  in.Seek(0, kStreamSeekStart);
  EXPECT_EQ(DeflateStream(&fixed, &in, 1000, 0), kStreamMemoryFull);
}

TEST(StreamInflate, TruncatedOrCorruptStreamsFail) {
  const std::vector<std::uint8_t> data = Sample(30000);
  const std::vector<std::uint8_t> packed = ZlibReference(data, 9);
  std::vector<std::uint8_t> back(data.size());
  for (std::size_t cut :
       {std::size_t{0}, std::size_t{1}, std::size_t{2}, packed.size() / 2, packed.size() - 1}) {
    const std::vector<std::uint8_t> truncated(packed.begin(), packed.begin() + cut);
    std::vector<std::uint8_t> partial;
    EXPECT_EQ(Inflate(truncated, &partial), kCompressionFailed) << "cut at " << cut;
    EXPECT_EQ(InflateMemory(back.data(), truncated.data(), static_cast<int>(back.size()),
                            static_cast<int>(cut)),
              kCompressionFailed)
        << "cut at " << cut;
  }
  std::vector<std::uint8_t> corrupt = packed;
  corrupt[corrupt.size() / 2] ^= 0x55;
  corrupt[corrupt.size() - 2] ^= 0x01;  // the checksum at least breaks
  std::vector<std::uint8_t> ignored;
  EXPECT_EQ(Inflate(corrupt, &ignored), kCompressionFailed);
  EXPECT_EQ(InflateMemory(back.data(), corrupt.data(), static_cast<int>(back.size()),
                          static_cast<int>(corrupt.size())),
            kCompressionFailed);
}

TEST(StreamInflate, MemoryFormNeedsRoomForEveryByte) {
  const std::vector<std::uint8_t> data = Sample(20000);
  const std::vector<std::uint8_t> packed = ZlibReference(data, 6);
  std::vector<std::uint8_t> back(data.size() + 1, 0xEE);
  EXPECT_EQ(InflateMemory(back.data(), packed.data(), static_cast<int>(data.size()) - 1,
                          static_cast<int>(packed.size())),
            kCompressionFailed);
  EXPECT_EQ(InflateMemory(back.data(), packed.data(), static_cast<int>(data.size()),
                          static_cast<int>(packed.size())),
            kStreamOk);
  EXPECT_EQ(std::vector<std::uint8_t>(back.begin(), back.end() - 1), data);
  EXPECT_EQ(back.back(), 0xEE);
}

TEST(StreamInflate, EndOfStreamEndsTheWorkWhateverFollows) {
  const std::vector<std::uint8_t> data = Sample(5000);
  std::vector<std::uint8_t> packed = ZlibReference(data, 6);
  packed.insert(packed.end(), 100, 0xAB);
  std::vector<std::uint8_t> back;
  EXPECT_EQ(Inflate(packed, &back), kStreamOk);
  EXPECT_EQ(back, data);
}

// Memory streams of derived types take the chunked loop; the plain ones are inflated in
// place. Both must leave the same trace: result, bytes and size of the output, input position.
struct DerivedInput : CInputMemFile {};
struct DerivedOutput : COutputMemFile {};

struct InflateTrace {
  int code;
  std::vector<std::uint8_t> written;
  int outputTell;
  int inputTell;
  bool operator==(const InflateTrace&) const = default;
};

template <class Input, class Output>
InflateTrace TraceInflate(const std::vector<std::uint8_t>& packed, int inputStart, int size,
                          int room, int outputStart) {
  std::vector<std::uint8_t> block(static_cast<std::size_t>(room), 0x5A);
  Input in;
  in.Create(packed.data(), static_cast<int>(packed.size()));
  in.Seek(inputStart, kStreamSeekStart);
  Output out;
  out.Create(block.data(), room);
  if (outputStart) out.Write(block.data(), outputStart);
  InflateTrace t;
  t.code = InflateStream(&out, &in, size);
  t.written = Written(out);
  t.outputTell = out.Tell();
  t.inputTell = in.Tell();
  return t;
}

TEST(StreamInflate, InPlaceMemoryFormsLeaveWhatTheChunkedLoopLeaves) {
  const std::vector<std::uint8_t> data = Sample(100000);
  std::vector<std::uint8_t> packed(3, 0x11);  // the stream starts at offset 3
  const std::vector<std::uint8_t> stream = ZlibReference(data, 6);
  packed.insert(packed.end(), stream.begin(), stream.end());
  packed.insert(packed.end(), 9000, 0xAB);  // more than a chunk of trailing bytes
  const int streamEnd = 3 + static_cast<int>(stream.size());
  const int whole = static_cast<int>(packed.size()) - 3;
  std::vector<std::uint8_t> corrupt = packed;
  corrupt[3 + stream.size() / 3] ^= 0x55;
  struct Case {
    const std::vector<std::uint8_t>* bytes;
    int size;
    int room;
    int outputStart;
  };
  const int fits = static_cast<int>(data.size()) + 7;
  const Case cases[] = {
      {&packed, whole, fits, 7},                               // the whole input, a stream end
      {&packed, streamEnd - 3, fits, 0},                       // exactly the stream
      {&packed, streamEnd - 4, fits, 0},                       // truncated by a byte
      {&packed, 8192, fits, 0},                                // truncated at a chunk
      {&packed, 1, fits, 0},                                   // one byte
      {&packed, whole, static_cast<int>(data.size()), 0},      // exact room
      {&packed, whole, static_cast<int>(data.size()) - 1, 0},  // a byte short
      {&packed, whole, 20000, 100},                            // far too small
      {&packed, whole + 1, fits, 0},                           // more than the input holds
      {&corrupt, whole, fits, 0},                              // damaged data
  };
  for (const Case& c : cases) {
    const InflateTrace inPlace =
        TraceInflate<CInputMemFile, COutputMemFile>(*c.bytes, 3, c.size, c.room, c.outputStart);
    const InflateTrace chunked =
        TraceInflate<DerivedInput, DerivedOutput>(*c.bytes, 3, c.size, c.room, c.outputStart);
    EXPECT_TRUE(inPlace == chunked)
        << "size " << c.size << " room " << c.room << ": code " << inPlace.code << "/"
        << chunked.code << ", wrote " << inPlace.written.size() << "/" << chunked.written.size()
        << ", input at " << inPlace.inputTell << "/" << chunked.inputTell;
  }
  const InflateTrace good = TraceInflate<CInputMemFile, COutputMemFile>(packed, 3, whole, fits, 0);
  EXPECT_EQ(good.code, kStreamOk);
  EXPECT_EQ(good.written, data);
}

class StreamCompressionFiles : public streamtest::TempDirTest {};

TEST_F(StreamCompressionFiles, FileFormsRoundTripAndLeaveHandlesAfterTheirData) {
  const std::vector<std::uint8_t> data = Sample(70000);
  // A file with a prefix, the zlib stream, and a trailer that must stay unread.
  const HFILE packedFd = Open(PathOf("packed.bin"), O_RDWR | O_CREAT | O_TRUNC);
  ASSERT_EQ(WriteFileExact(packedFd, "HEAD", 4), kStreamOk);
  ASSERT_EQ(DeflateMemoryToFile(packedFd, data.data(), static_cast<int>(data.size()), 9),
            kStreamOk);
  const int packedSize = GetFilePosition(packedFd) - 4;
  ASSERT_EQ(WriteFileExact(packedFd, "TAIL", 4), kStreamOk);

  SeekFileStart(packedFd, 4);
  std::vector<std::uint8_t> back(data.size() + 8, 0xEE);
  ASSERT_EQ(InflateFileToMemory(back.data(), packedFd, packedSize, static_cast<int>(data.size())),
            kStreamOk);
  EXPECT_EQ(std::vector<std::uint8_t>(back.begin(), back.begin() + data.size()), data);
  EXPECT_EQ(GetFilePosition(packedFd), 4 + packedSize) << "left after the consumed bytes";

  // Too small a block: fails, and nothing is written past it.
  SeekFileStart(packedFd, 4);
  std::fill(back.begin(), back.end(), 0xEE);
  EXPECT_EQ(InflateFileToMemory(back.data(), packedFd, packedSize, 1000), kStreamMemoryFull);
  EXPECT_EQ(back[1000], 0xEE);

  // File to file in both directions, from the handle's current offset.
  const HFILE plainFd = Open(PathOf("plain.bin"), O_RDWR | O_CREAT | O_TRUNC);
  SeekFileStart(packedFd, 4);
  ASSERT_EQ(InflateFileToFile(plainFd, packedFd, packedSize), kStreamOk);
  EXPECT_EQ(ReadBack(PathOf("plain.bin")), data);
  const HFILE againFd = Open(PathOf("again.bin"), O_RDWR | O_CREAT | O_TRUNC);
  SeekFileStart(plainFd, 0);
  ASSERT_EQ(DeflateFileToFile(againFd, plainFd, -1, 9), kStreamOk);
  const std::vector<std::uint8_t> again = ReadBack(PathOf("again.bin"));
  std::vector<std::uint8_t> roundTrip;
  EXPECT_EQ(Inflate(again, &roundTrip), kStreamOk);
  EXPECT_EQ(roundTrip, data);

  const HFILE outFd = Open(PathOf("mem.bin"), O_RDWR | O_CREAT | O_TRUNC);
  ASSERT_EQ(InflateMemoryToFile(outFd, again.data(), static_cast<int>(again.size())), kStreamOk);
  EXPECT_EQ(ReadBack(PathOf("mem.bin")), data);
}

TEST_F(StreamCompressionFiles, FailuresOfTheFileSidesAreReported) {
  const HFILE full = Open("/dev/full", O_WRONLY);
  const std::vector<std::uint8_t> data = Sample(100);
  // Everything fits the 4096-byte buffer: only the final flush can fail.
  EXPECT_EQ(DeflateMemoryToFile(full, data.data(), 100, 6), kStreamDiskFull);
  EXPECT_EQ(DeflateFileToFile(full, kInvalidFile, -1, 6), kStreamReadError);
  EXPECT_EQ(InflateMemoryToFile(kInvalidFile, data.data(), 100), kStreamWriteError);
}

std::vector<std::uint8_t> Lz4Reference(const std::vector<std::uint8_t>& data, int hcLevel) {
  std::vector<std::uint8_t> out(LZ4_compressBound(static_cast<int>(data.size())));
  const auto* src = reinterpret_cast<const char*>(data.data());
  auto* dst = reinterpret_cast<char*>(out.data());
  const int n = hcLevel == 0 ? LZ4_compress_default(src, dst, static_cast<int>(data.size()),
                                                    static_cast<int>(out.size()))
                             : LZ4_compress_HC(src, dst, static_cast<int>(data.size()),
                                               static_cast<int>(out.size()), hcLevel);
  out.resize(n);
  return out;
}

std::vector<std::uint8_t> Compressed(const std::vector<std::uint8_t>& data, int level) {
  COutputMemFile out;
  out.Create(512);
  EXPECT_EQ(CompressBlock(&out, data.data(), static_cast<int>(data.size()), level), kStreamOk);
  return Written(out);
}

TEST(StreamLz4, LevelsMapToTheFastAndHighCompressionModes) {
  const std::vector<std::uint8_t> data = Sample(40000);
  struct Case {
    int level, hcLevel;  // hcLevel 0: the fast compressor
  } cases[] = {{0, 0}, {1, 0}, {-1, 9}, {6, 9}, {9, 10}, {2, 5}, {3, 6}, {8, 11}};
  for (const Case& c : cases) {
    EXPECT_EQ(Compressed(data, c.level), Lz4Reference(data, c.hcLevel)) << "level " << c.level;
  }
}

TEST(StreamLz4, RoundTripsAtEveryLevelWithExactBounds) {
  const std::vector<std::uint8_t> data = Sample(40000);
  for (int level = -1; level <= 12; ++level) {
    const std::vector<std::uint8_t> packed = Compressed(data, level);
    std::vector<std::uint8_t> back(data.size());
    EXPECT_EQ(DecompressBlock(back.data(), packed.data(), static_cast<int>(back.size()),
                              static_cast<int>(packed.size())),
              kStreamOk)
        << "level " << level;
    EXPECT_EQ(back, data) << "level " << level;
    EXPECT_EQ(DecompressBlock(back.data(), packed.data(), static_cast<int>(back.size()) - 1,
                              static_cast<int>(packed.size())),
              kCompressionFailed)
        << "one byte too small, level " << level;
  }
}

TEST(StreamLz4, TruncatedOrCorruptBlocksFail) {
  const std::vector<std::uint8_t> data = Sample(10000);
  const std::vector<std::uint8_t> packed = Compressed(data, 1);
  std::vector<std::uint8_t> back(data.size());
  for (std::size_t cut : {std::size_t{0}, std::size_t{1}, packed.size() / 2, packed.size() - 1}) {
    EXPECT_EQ(DecompressBlock(back.data(), packed.data(), static_cast<int>(back.size()),
                              static_cast<int>(cut)),
              kCompressionFailed)
        << "cut at " << cut;
  }
  std::vector<std::uint8_t> corrupt = packed;
  for (std::size_t i = 0; i < corrupt.size(); i += 7) corrupt[i] = 0xFF;
  EXPECT_EQ(DecompressBlock(back.data(), corrupt.data(), static_cast<int>(back.size()),
                            static_cast<int>(corrupt.size())),
            kCompressionFailed);
  std::uint8_t full[2];
  COutputMemFile fixed;
  fixed.Create(full, 2);
  EXPECT_EQ(CompressBlock(&fixed, data.data(), 10000, 1), kStreamMemoryFull);
}

}  // namespace
