#include <malloc.h>

#include <cstdlib>
#include <cstring>

#include <vexa/memory.h>

namespace {

// Every block carries its requested size in a header that keeps the payload 16-byte aligned.
struct alignas(16) BlockHeader {
  std::size_t size;
};

void* Payload(BlockHeader* header) { return header + 1; }
BlockHeader* HeaderOf(const void* block) {
  return const_cast<BlockHeader*>(static_cast<const BlockHeader*>(block)) - 1;
}

bool SizeFits(std::size_t size) { return size <= SIZE_MAX - sizeof(BlockHeader); }

// One attempt, then compact the heap and try once more.
template <typename Alloc>
BlockHeader* WithRetry(Alloc alloc) {
  if (auto* p = static_cast<BlockHeader*>(alloc())) return p;
  malloc_trim(0);
  return static_cast<BlockHeader*>(alloc());
}

}  // namespace

BOOL AllocBlock(void** out, std::size_t size) {
  if (!out) return 0;
  *out = nullptr;
  if (!SizeFits(size)) return 0;
  BlockHeader* header = WithRetry([&] { return std::malloc(sizeof(BlockHeader) + size); });
  if (!header) return 0;
  header->size = size;
  *out = Payload(header);
  return 1;
}

BOOL AllocBlockZero(void** out, std::size_t size) {
  if (!out) return 0;
  *out = nullptr;
  if (!SizeFits(size)) return 0;
  BlockHeader* header = WithRetry([&] { return std::calloc(1, sizeof(BlockHeader) + size); });
  if (!header) return 0;
  header->size = size;
  *out = Payload(header);
  return 1;
}

BOOL ReallocBlock(void** block, std::size_t size) {
  if (!block) return 0;
  if (!*block) return AllocBlock(block, size);
  if (!SizeFits(size)) return 0;
  BlockHeader* old = HeaderOf(*block);
  BlockHeader* header = WithRetry([&] { return std::realloc(old, sizeof(BlockHeader) + size); });
  if (!header) return 0;
  header->size = size;
  *block = Payload(header);
  return 1;
}

void FreeBlockAndClear(void** block) {
  if (!block || !*block) return;
  std::free(HeaderOf(*block));
  *block = nullptr;
}

std::size_t GetBlockSize(const void* block) { return block ? HeaderOf(block)->size : 0; }
