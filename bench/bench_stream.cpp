// Streams and compression beside their plain peers, on the same data in the same run:
//  - CInputBufFile reading a 64 MiB file in 1 KiB, 16 KiB and 1 MiB requests, against read(2)
//    with the same request sizes (the file sits in the page cache after the first pass);
//  - DecompressBlock against a bare LZ4_decompress_safe call (the wrapper should cost nothing);
//  - DeflateStream and InflateStream between memory streams against zlib's one-shot
//    compress2 and uncompress on the same 16 MiB.
#include <fcntl.h>
#include <lz4.h>
#include <unistd.h>
#include <zlib.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include <vexa/compression.h>
#include <vexa/stream.h>

#include "bench_pairs.h"

namespace {

constexpr int kFileBytes = 64 << 20;
constexpr int kZlibBytes = 16 << 20;
constexpr int kLz4Bytes = 16 << 20;

// Data that compresses about as well as game assets do: short runs, repeats and noise.
std::vector<std::uint8_t> Compressible(std::size_t size) {
  std::vector<std::uint8_t> bytes(size);
  std::uint32_t state = 12345;
  for (std::size_t i = 0; i < size; ++i) {
    state = state * 1103515245u + 12345u;
    const std::uint32_t r = state >> 16;
    bytes[i] = (r & 15) != 0 ? static_cast<std::uint8_t>(i / 64) : static_cast<std::uint8_t>(r);
  }
  return bytes;
}

// A 64 MiB file, unlinked at once: the descriptor keeps it alive and nothing is left behind.
int BigFile() {
  static const int fd = [] {
    std::string path = (std::filesystem::temp_directory_path() / "vexa-bench-XXXXXX").string();
    const int f = mkstemp(path.data());
    if (f < 0) std::abort();
    unlink(path.c_str());
    const std::vector<std::uint8_t> block = Compressible(1 << 20);
    for (int i = 0; i < kFileBytes / (1 << 20); ++i) {
      if (write(f, block.data(), block.size()) != static_cast<ssize_t>(block.size())) std::abort();
    }
    return f;
  }();
  return fd;
}

std::vector<std::uint8_t>& ReadBuffer() {
  static std::vector<std::uint8_t> buffer(1 << 20);
  return buffer;
}

void ReadWithStream(int request) {
  CInputBufFile in;
  in.Create(BigFile(), 0, 0);
  std::uint8_t* buffer = ReadBuffer().data();
  for (int done = 0; done < kFileBytes; done += request) {
    if (in.ReadExact(buffer, request) != kStreamOk) std::abort();
  }
  vexabench::Keep(buffer[0]);
}

void ReadWithSystem(int request) {
  const int fd = BigFile();
  lseek(fd, 0, SEEK_SET);
  std::uint8_t* buffer = ReadBuffer().data();
  for (int done = 0; done < kFileBytes; done += request) {
    if (read(fd, buffer, request) != request) std::abort();
  }
  vexabench::Keep(buffer[0]);
}

struct ZlibData {
  std::vector<std::uint8_t> plain = Compressible(kZlibBytes);
  std::vector<std::uint8_t> packed;
  std::vector<std::uint8_t> scratch = std::vector<std::uint8_t>(compressBound(kZlibBytes));
  ZlibData() {
    uLongf size = scratch.size();
    compress2(scratch.data(), &size, plain.data(), plain.size(), Z_DEFAULT_COMPRESSION);
    packed.assign(scratch.begin(), scratch.begin() + size);
  }
};
ZlibData& Zlib() {
  static ZlibData data;
  return data;
}

struct Lz4Data {
  std::vector<std::uint8_t> plain = Compressible(kLz4Bytes);
  std::vector<std::uint8_t> packed;
  std::vector<std::uint8_t> out = std::vector<std::uint8_t>(kLz4Bytes);
  Lz4Data() {
    packed.resize(LZ4_compressBound(kLz4Bytes));
    const int n = LZ4_compress_default(reinterpret_cast<const char*>(plain.data()),
                                       reinterpret_cast<char*>(packed.data()), kLz4Bytes,
                                       static_cast<int>(packed.size()));
    packed.resize(n);
  }
};
Lz4Data& Lz4() {
  static Lz4Data data;
  return data;
}

void DeflateWithStreams() {
  ZlibData& z = Zlib();
  CInputMemFile in;
  in.Create(z.plain.data(), kZlibBytes);
  COutputMemFile out;
  out.Create(z.scratch.data(), static_cast<int>(z.scratch.size()));
  if (DeflateStream(&out, &in, kZlibBytes, -1) != kStreamOk) std::abort();
  vexabench::Keep(out.GetSize());
}

void DeflateWithZlib() {
  ZlibData& z = Zlib();
  uLongf size = z.scratch.size();
  if (compress2(z.scratch.data(), &size, z.plain.data(), kZlibBytes, Z_DEFAULT_COMPRESSION) !=
      Z_OK) {
    std::abort();
  }
  vexabench::Keep(size);
}

void InflateWithStreams() {
  ZlibData& z = Zlib();
  static std::vector<std::uint8_t> out(kZlibBytes);
  CInputMemFile in;
  in.Create(z.packed.data(), static_cast<int>(z.packed.size()));
  COutputMemFile sink;
  sink.Create(out.data(), kZlibBytes);
  if (InflateStream(&sink, &in, -1) != kStreamOk) std::abort();
  vexabench::Keep(out[0]);
}

void InflateWithZlib() {
  ZlibData& z = Zlib();
  static std::vector<std::uint8_t> out(kZlibBytes);
  uLongf size = kZlibBytes;
  if (uncompress(out.data(), &size, z.packed.data(), z.packed.size()) != Z_OK) std::abort();
  vexabench::Keep(out[0]);
}

const vexabench::Registrar kRegistrar([] {
  // The data is made before any timing starts: a case whose single iteration outlasts the
  // minimum time is reported from its first run, which must not include the set-up.
  BigFile();
  Zlib();
  Lz4();
  for (int request : {1 << 10, 16 << 10, 1 << 20}) {
    vexabench::RegisterCase("stream_read_64MiB_" + std::to_string(request >> 10) + "KiB", "MB/s",
                            kFileBytes,
                            {{"vexa", [request] { ReadWithStream(request); }},
                             vexabench::Bare("read(2)", [request] { ReadWithSystem(request); })});
  }
  vexabench::RegisterCase(
      "lz4_decompress_16MiB", "MB/s", kLz4Bytes,
      {{"vexa",
        [] {
          Lz4Data& l = Lz4();
          if (DecompressBlock(l.out.data(), l.packed.data(), kLz4Bytes,
                              static_cast<int>(l.packed.size())) != kStreamOk) {
            std::abort();
          }
          vexabench::Keep(l.out[0]);
        }},
       vexabench::Bare("LZ4_decompress_safe", [] {
         Lz4Data& l = Lz4();
         if (LZ4_decompress_safe(reinterpret_cast<const char*>(l.packed.data()),
                                 reinterpret_cast<char*>(l.out.data()),
                                 static_cast<int>(l.packed.size()), kLz4Bytes) <= 0) {
           std::abort();
         }
         vexabench::Keep(l.out[0]);
       })});
  vexabench::RegisterCase(
      "zlib_deflate_16MiB", "MB/s", kZlibBytes,
      {{"vexa", DeflateWithStreams}, vexabench::Bare("compress2", DeflateWithZlib)});
  vexabench::RegisterCase(
      "zlib_inflate_16MiB", "MB/s", kZlibBytes,
      {{"vexa", InflateWithStreams}, vexabench::Bare("uncompress", InflateWithZlib)});
});

}  // namespace
