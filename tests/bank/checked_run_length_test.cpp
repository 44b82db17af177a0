// A run-length entry's block is walked once and remembered; everything that may change its
// bytes or header makes the next draw walk it again.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include <vexa/blit.h>
#include <vexa/image_bank.h>
#include <vexa/surface_object.h>

#include "bank/bank_list.h"
#include "bank/checked_run_length.h"
#include "support/bank_fixture.h"
#include "support/surface_factory.h"

namespace {

using testsupport::BankPtr;
using testsupport::NewBank;

constexpr int kWidth = 24, kHeight = 5;

// A 32-bit run-length image with opaque and key (0) pixels in every row.
int AddRunLength(ImageBank* bank) {
  std::vector<std::uint32_t> rows(kWidth * kHeight);
  for (int i = 0; i < kWidth * kHeight; ++i)
    rows[static_cast<size_t>(i)] = (i / 3) % 2 ? 0x00102030u + static_cast<std::uint32_t>(i) : 0;
  return AddImage(bank, kWidth, kHeight, 0, 0, 0, 0, 0, kAddRunLength, rows.data(), nullptr);
}

bool Draws(ImageBank* bank, int number) {
  cSurfaceObject image;
  if (!GetImageSurface(bank, number, &image, kImageSurfaceInPlace)) return false;
  cSurfaceObject* prototype = nullptr;
  GetPrototype(&prototype, 32, kTypeMemory, kDriverNone);
  cSurfaceObject target;
  target.Create(kWidth, kHeight, prototype);
  image.Blit(&target, 0, 0, kModeTransparent, 0, 0, 0);
  return true;
}

const ImageEntryHeader* Image(ImageBank* bank, int number) {
  return reinterpret_cast<const ImageEntryHeader*>(vexa::FindEntry(bank, kListImages, number));
}

// The first run byte of row 1: damaged, the row's pairs no longer add up to its width.
std::uint8_t* RunByteOfRow1(ImageEntryHeader* image) {
  std::uint32_t runs;
  std::memcpy(&runs, image->Data() + 4 + 8, 4);
  return image->Data() + 4 + runs;
}

TEST(CheckedRunLength, RememberedAfterADrawForgottenOnWritableHandOut) {
  BankPtr bank = NewBank(8);
  const int n = AddRunLength(bank.get());
  ASSERT_NE(n, 0);
  EXPECT_FALSE(vexa::RunLengthEntryChecked(*Image(bank.get(), n)));
  ASSERT_TRUE(Draws(bank.get(), n));
  EXPECT_TRUE(vexa::RunLengthEntryChecked(*Image(bank.get(), n)));

  // Damage through a fresh hand-out is found: the draw refuses the entry.
  auto* image = reinterpret_cast<ImageEntryHeader*>(GetEntry(bank.get(), kListImages, n));
  EXPECT_FALSE(vexa::RunLengthEntryChecked(*image));
  std::uint8_t* run = RunByteOfRow1(image);
  const std::uint8_t saved = *run;
  *run = 200;
  EXPECT_FALSE(Draws(bank.get(), n));
  *run = saved;
  // Mended through a new hand-out, it draws again.
  GetEntry(bank.get(), kListImages, n);
  EXPECT_TRUE(Draws(bank.get(), n));

  // Other lists' hand-outs leave images alone.
  GetEntry(bank.get(), kListMasks, n);
  EXPECT_TRUE(vexa::RunLengthEntryChecked(*Image(bank.get(), n)));
}

TEST(CheckedRunLength, HeaderChangesAndNewBlocksAreWalkedAgain) {
  BankPtr bank = NewBank(8);
  const int n = AddRunLength(bank.get());
  ASSERT_TRUE(Draws(bank.get(), n));
  // The header kept from before the draw: a width the pairs do not add up to is refused even
  // though the block's bytes are unchanged.
  auto* image = const_cast<ImageEntryHeader*>(Image(bank.get(), n));
  image->width = kWidth - 1;
  EXPECT_FALSE(vexa::RunLengthEntryChecked(*image));
  EXPECT_FALSE(Draws(bank.get(), n));
  image->width = kWidth;
  EXPECT_TRUE(Draws(bank.get(), n));

  // A block put in the entry's place is walked before it is drawn, whatever its address.
  const std::uint32_t dataSize = image->entry.dataSize;
  BankEntryHeader* block = vexa::AllocateEntry(sizeof(ImageEntryHeader), dataSize, false);
  ASSERT_NE(block, nullptr);
  std::memcpy(block, image, sizeof(ImageEntryHeader) + dataSize);
  block->refCount = 1;
  auto* copy = reinterpret_cast<ImageEntryHeader*>(block);
  EXPECT_FALSE(vexa::RunLengthEntryChecked(*copy));
  *RunByteOfRow1(copy) = 200;
  ASSERT_TRUE(vexa::SetEntryAt(*bank, kListImages, n, block));
  EXPECT_FALSE(Draws(bank.get(), n));

  // An entry remembered and then freed leaves nothing behind for the next block.
  const int m = AddRunLength(bank.get());
  ASSERT_TRUE(Draws(bank.get(), m));
  const BankEntryHeader* old = vexa::FindEntry(bank.get(), kListImages, m);
  EXPECT_EQ(DeleteImage(bank.get(), m), 0);
  BankEntryHeader* fresh = vexa::AllocateEntry(sizeof(ImageEntryHeader), dataSize, true);
  ASSERT_NE(fresh, nullptr);
  if (fresh == old) {  // the allocator gave the address back: the check must not carry over
    auto* header = reinterpret_cast<ImageEntryHeader*>(fresh);
    header->width = kWidth;
    header->height = kHeight;
    header->format = 8;
    header->flags = kImageRunLength;
    EXPECT_FALSE(vexa::RunLengthEntryChecked(*header));
  }
  vexa::FreeEntry(fresh);
}

// A pointer kept from before the draw can still write the block: the size field and the row
// table are checked on every draw, other damage draws without reading outside the entry
// (AddressSanitizer builds check the "outside").
TEST(CheckedRunLength, KeptPointersCannotTakeTheDrawOutsideTheEntry) {
  BankPtr bank = NewBank(8);
  const int n = AddRunLength(bank.get());
  auto* image = reinterpret_cast<ImageEntryHeader*>(GetEntry(bank.get(), kListImages, n));
  ASSERT_TRUE(Draws(bank.get(), n));
  ASSERT_TRUE(vexa::RunLengthEntryChecked(*image));
  std::uint8_t* block = image->Data();
  const std::vector<std::uint8_t> saved(block, block + image->entry.dataSize);

  const std::uint32_t tooBig = image->entry.dataSize + 1;
  std::memcpy(block, &tooBig, 4);
  EXPECT_FALSE(Draws(bank.get(), n));
  std::memcpy(block, saved.data(), saved.size());

  const std::uint32_t outside = image->entry.dataSize;
  std::memcpy(block + 4 + 8 * 2 + 4, &outside, 4);  // row 2's pixel offset
  EXPECT_FALSE(Draws(bank.get(), n));
  std::memcpy(block, saved.data(), saved.size());

  for (std::size_t i = 4 + 8 * kHeight; i < saved.size(); ++i) block[i] = 0xFF;
  EXPECT_TRUE(Draws(bank.get(), n));
}

}  // namespace
