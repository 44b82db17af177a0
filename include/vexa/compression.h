// Compression wrappers: zlib streams and LZ4 blocks through the library's streams.
//
// The results are the stream result codes (vexa/stream.h): 0 for success, 0x40000000 when
// memory runs out, 0x40000009 for any other compression or decompression failure, and
// the codes of the streams' own ReadExact and Write passed through unchanged. Nothing is
// added around the data: a deflate result is exactly a zlib stream, an LZ4 result exactly
// one LZ4 block.
//
// Deflate levels: -1 is zlib's default, other values are clamped to 0..9. LZ4 levels: 0 and
// 1 use the fast compressor; -1 high compression at 9; 9 at 10; any other n at n + 3.
//
// A size of -1 on a stream or file input stands for the whole input (its GetSize). File
// arguments are handles the caller keeps open; the input handle is left just after the
// bytes consumed, the output handle after the bytes written.
#pragma once

#include <vexa/export.h>
#include <vexa/stream.h>
#include <vexa/wintypes.h>

inline constexpr int kCompressionFailed = 0x40000009;

VEXA_API int DeflateStream(COutputFile* output, CInputFile* input, int size, int level);
VEXA_API int DeflateMemoryToFile(HFILE output, const void* data, int size, int level);
VEXA_API int DeflateFileToFile(HFILE output, HFILE input, int size, int level);

VEXA_API int InflateStream(COutputFile* output, CInputFile* input, int size);
VEXA_API int InflateMemoryToFile(HFILE output, const void* data, int size);
// Decompresses into the caller's block of destinationSize bytes; data that would not fit
// fails with 0x40000007. The data is written in chunks of up to 8 KiB and the chunk that
// would cross the block's end is refused whole, so the block then holds only the chunks
// before it, not every byte that would have fitted.
VEXA_API int InflateFileToMemory(void* destination, HFILE input, int size, int destinationSize);
VEXA_API int InflateFileToFile(HFILE output, HFILE input, int size);
// One-shot decompression of a complete zlib stream between memory blocks.
VEXA_API int InflateMemory(void* destination, const void* source, int destinationSize,
                           int sourceSize);

// Compresses one block with LZ4 and writes exactly the compressed bytes to the stream.
VEXA_API int CompressBlock(COutputFile* output, const void* source, int sourceSize, int level);
// Bounds-checked LZ4 decompression of sourceSize bytes into at most destinationSize bytes.
VEXA_API int DecompressBlock(void* destination, const void* source, int destinationSize,
                             int sourceSize);
