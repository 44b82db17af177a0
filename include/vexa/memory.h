// Memory blocks shared by the library and its callers and plug-ins.
//
// Each allocation stores the block through an out pointer and returns 1, or 0 when memory
// runs out even after the heap was compacted once (malloc_trim) and the request retried.
// Blocks remember their size; free them only with FreeBlockAndClear.
#pragma once

#include <cstddef>

#include <vexa/export.h>
#include <vexa/wintypes.h>

VEXA_API BOOL AllocBlock(void** out, std::size_t size);
VEXA_API BOOL AllocBlockZero(void** out, std::size_t size);
// Resizes *block (null allocates); on failure *block is left as it was and 0 returned.
VEXA_API BOOL ReallocBlock(void** block, std::size_t size);
// Frees *block (null is ignored) and sets *block to null.
VEXA_API void FreeBlockAndClear(void** block);
// The size requested for the block; 0 for null.
VEXA_API std::size_t GetBlockSize(const void* block);
