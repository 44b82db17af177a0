// The sprite heap: fixed storage for a window's sprite records, carved first-fit.
//
// Blocks follow the header back to back. Each starts with its size and the distance back to
// the block before it, so that both neighbours of a freed block are found without a search
// and free neighbours merge into one block. Free blocks are kept on a doubly linked list in
// address order of freeing (appended at the end); the first block large enough is taken.
#include <cstring>
#include <limits>

#include <vexa/sprite.h>

namespace {

std::uint8_t* BlocksBegin(SpriteHeap* heap) { return reinterpret_cast<std::uint8_t*>(heap + 1); }
std::uint8_t* BlocksEnd(SpriteHeap* heap) { return BlocksBegin(heap) + heap->blockBytes; }

SpriteBlock* At(std::uint8_t* address) { return reinterpret_cast<SpriteBlock*>(address); }

SpriteBlock* FollowingBlock(SpriteHeap* heap, SpriteBlock* block) {
  std::uint8_t* next = reinterpret_cast<std::uint8_t*>(block) + block->size;
  return next < BlocksEnd(heap) ? At(next) : nullptr;
}

SpriteBlock* PrecedingBlock(SpriteBlock* block) {
  if (block->backLink == 0) return nullptr;
  return At(reinterpret_cast<std::uint8_t*>(block) - block->backLink);
}

void Unlink(SpriteHeap* heap, SpriteBlock* block) {
  (block->previous ? block->previous->next : heap->firstFree) = block->next;
  (block->next ? block->next->previous : heap->lastFree) = block->previous;
  block->previous = block->next = nullptr;
}

void Append(SpriteHeap* heap, SpriteBlock* block) {
  block->state = kBlockFree;
  block->next = nullptr;
  block->previous = heap->lastFree;
  (heap->lastFree ? heap->lastFree->next : heap->firstFree) = block;
  heap->lastFree = block;
}

// Re-points the back link of the block after `block` at it.
void LinkFollower(SpriteHeap* heap, SpriteBlock* block) {
  if (SpriteBlock* after = FollowingBlock(heap, block)) after->backLink = block->size;
}

}  // namespace

std::size_t SpriteHeapBytes(int count) {
  if (count < 1) count = 1;
  const std::uint64_t bytes =
      static_cast<std::uint64_t>(count) * sizeof(Sprite) + sizeof(SpriteHeap);
  if (bytes > std::numeric_limits<std::uint32_t>::max()) return 0;
  return static_cast<std::size_t>(bytes);
}

int InitSpriteHeap(SpriteHeap* heap, std::size_t bytes) {
  if (!heap || bytes < sizeof(SpriteHeap) + sizeof(Sprite) ||
      bytes - sizeof(SpriteHeap) > std::numeric_limits<std::uint32_t>::max())
    return 0;
  std::memset(heap, 0, sizeof(SpriteHeap));
  // Blocks stay pointer-aligned: the block area is a whole number of pointer-sized words.
  heap->blockBytes =
      static_cast<std::uint32_t>((bytes - sizeof(SpriteHeap)) & ~(alignof(Sprite) - 1));
  SpriteBlock* first = At(BlocksBegin(heap));
  std::memset(first, 0, sizeof(SpriteBlock));
  first->size = heap->blockBytes;
  Append(heap, first);
  return 1;
}

SpriteBlock* AllocateSpriteBlock(SpriteHeap* heap, std::uint32_t bytes) {
  if (!heap) return nullptr;
  bytes = (bytes + alignof(Sprite) - 1) & ~static_cast<std::uint32_t>(alignof(Sprite) - 1);
  for (SpriteBlock* block = heap->firstFree; block; block = block->next) {
    if (block->size < bytes) continue;
    Unlink(heap, block);
    // Split only when the rest can hold a free block of its own.
    if (block->size - bytes >= sizeof(SpriteBlock)) {
      SpriteBlock* rest = At(reinterpret_cast<std::uint8_t*>(block) + bytes);
      std::memset(rest, 0, sizeof(SpriteBlock));
      rest->size = block->size - bytes;
      rest->backLink = bytes;
      block->size = bytes;
      LinkFollower(heap, rest);
      Append(heap, rest);
    }
    block->state = kBlockUsed;
    std::memset(reinterpret_cast<std::uint8_t*>(block) + sizeof(SpriteBlock), 0,
                block->size - sizeof(SpriteBlock));
    return block;
  }
  return nullptr;
}

void FreeSpriteBlock(SpriteHeap* heap, SpriteBlock* block) {
  if (!heap || !block || block->state != kBlockUsed) return;
  block->state = kBlockFree;
  if (SpriteBlock* after = FollowingBlock(heap, block); after && after->state == kBlockFree) {
    Unlink(heap, after);
    block->size += after->size;
  }
  if (SpriteBlock* before = PrecedingBlock(block); before && before->state == kBlockFree) {
    Unlink(heap, before);
    before->size += block->size;
    block = before;
  }
  LinkFollower(heap, block);
  Append(heap, block);
}
