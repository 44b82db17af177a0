// The surface implementation interface: slot order, base behaviours and the error surface.
#include <gtest/gtest.h>

#include <cstring>

#include <vexa/error_surface.h>
#include <vexa/palette.h>
#include <vexa/surface_implementation.h>
#include <vexa/surface_object.h>

#include "support/recording_surface.h"
#include "support/vtable_slot.h"

namespace {

using testsupport::SlotOf;

using S = cSurfaceImplementation;

TEST(SurfaceInterface, EveryOperationSitsInItsSlot) {
  const std::pair<long, long> slots[] = {{SlotOf(&S::Destroy), 0},
                                         {SlotOf(&S::Delete), 1},
                                         {SlotOf(&S::CreateCompatible), 2},
                                         {SlotOf(&S::DriverHook3), 3},
                                         {SlotOf(&S::DriverHook4), 4},
                                         {SlotOf(&S::EnumDisplayModes), 5},
                                         {SlotOf(&S::SetDisplayMode), 6},
                                         {SlotOf(&S::RestoreDisplayMode), 7},
                                         {SlotOf(&S::CopyDisplayModeState), 8},
                                         {SlotOf(&S::DriverHook9), 9},
                                         {SlotOf(&S::DriverHook10), 10},
                                         {SlotOf(&S::DriverHook11), 11},
                                         {SlotOf(&S::Create), 12},
                                         {SlotOf(&S::SetPixelFormat), 13},
                                         {SlotOf(&S::InitFormat), 14},
                                         {SlotOf(&S::GetKind), 15},
                                         {SlotOf(&S::DriverHook16), 16},
                                         {SlotOf(&S::SetDeviceOrigin), 17},
                                         {SlotOf(&S::GetDeviceOrigin), 18},
                                         {SlotOf(&S::HandlesOrigin), 19},
                                         {SlotOf(&S::Lock), 20},
                                         {SlotOf(&S::Unlock), 21},
                                         {SlotOf(&S::IsDeviceSurface), 22},
                                         {SlotOf(&S::GetDC), 23},
                                         {SlotOf(&S::ReleaseDC), 24},
                                         {SlotOf(&S::GetClipRect), 25},
                                         {SlotOf(&S::SetClipRect), 26},
                                         {SlotOf(&S::ResetClipRect), 27},
                                         {SlotOf(&S::SetPixelValue), 28},
                                         {SlotOf(&S::SetPixelColor), 29},
                                         {SlotOf(&S::GetPixelValue), 30},
                                         {SlotOf(&S::GetPixelColor), 31},
                                         {SlotOf(&S::BlitFromDC), 32},
                                         {SlotOf(&S::Blit), 33},
                                         {SlotOf(&S::BlitTransformed), 34},
                                         {SlotOf(&S::MoveRect), 35},
                                         {SlotOf(&S::BlitCallback), 36},
                                         {SlotOf(&S::BlitEx), 37},
                                         {SlotOf(&S::StretchFromDC), 38},
                                         {SlotOf(&S::StretchBlit), 39},
                                         {SlotOf(&S::FlipHorizontal), 40},
                                         {SlotOf(&S::FlipVertical), 41},
                                         {SlotOf(&S::GetOpaqueBounds), 42},
                                         {SlotOf(&S::FillRectDriver), 43},
                                         {SlotOf(&S::FillRectValue), 44},
                                         {SlotOf(&S::FillRectColor), 45},
                                         {SlotOf(&S::Rotate), 46},
                                         {SlotOf(&S::RotateQuarter), 47},
                                         {SlotOf(&S::DrawTextW), 48},
                                         {SlotOf(&S::DrawTextA), 49},
                                         {SlotOf(&S::DrawTextExW), 50},
                                         {SlotOf(&S::DrawTextExA), 51},
                                         {SlotOf(&S::IsAllTransparent), 52},
                                         {SlotOf(&S::IsAllOpaque), 53},
                                         {SlotOf(&S::ReplaceColor), 54},
                                         {SlotOf(&S::RemapFromPalette), 55},
                                         {SlotOf(&S::RemapPixels), 56},
                                         {SlotOf(&S::SetPalette), 57},
                                         {SlotOf(&S::SetPaletteEntries), 58},
                                         {SlotOf(&S::SetPaletteFrom), 59},
                                         {SlotOf(&S::GetPaletteEntries), 60},
                                         {SlotOf(&S::GetPalette), 61},
                                         {SlotOf(&S::GetLogPalette), 62},
                                         {SlotOf(&S::GetNearestIndex), 63},
                                         {SlotOf(&S::GetPaletteColor), 64},
                                         {SlotOf(&S::GetDarkestIndex), 65},
                                         {SlotOf(&S::SetWindow), 66},
                                         {SlotOf(&S::HasCustomPixelRoutines), 67},
                                         {SlotOf(&S::ReadPixels), 68},
                                         {SlotOf(&S::WritePixels), 69},
                                         {SlotOf(&S::SetTransparentColor), 70},
                                         {SlotOf(&S::GetTransparentColor), 71},
                                         {SlotOf(&S::GetTransparentValue), 72},
                                         {SlotOf(&S::DriverHook73), 73},
                                         {SlotOf(&S::BuildMask), 74},
                                         {SlotOf(&S::DriverHook75), 75},
                                         {SlotOf(&S::DriverHook76), 76},
                                         {SlotOf(&S::DriverHook77), 77},
                                         {SlotOf(&S::DriverHook78), 78},
                                         {SlotOf(&S::DriverHook79), 79},
                                         {SlotOf(&S::DriverHook80), 80},
                                         {SlotOf(&S::DriverHook81), 81},
                                         {SlotOf(&S::DriverHook82), 82},
                                         {SlotOf(&S::DriverHook83), 83},
                                         {SlotOf(&S::GetRenderImplementation), 84},
                                         {SlotOf(&S::DriverHook85), 85},
                                         {SlotOf(&S::DriverHook86), 86},
                                         {SlotOf(&S::HasNativeLines), 87},
                                         {SlotOf(&S::DrawLineNative), 88},
                                         {SlotOf(&S::HandlesBlitFrom), 89},
                                         {SlotOf(&S::BlitFrom), 90},
                                         {SlotOf(&S::HandlesStretchFrom), 91},
                                         {SlotOf(&S::StretchBlitFrom), 92},
                                         {SlotOf(&S::BlitTransformedFrom), 93},
                                         {SlotOf(&S::DriverHook94), 94},
                                         {SlotOf(&S::CopyContentFrom), 95},
                                         {SlotOf(&S::AttachEffect), 96},
                                         {SlotOf(&S::DetachEffect), 97},
                                         {SlotOf(&S::DriverHook98), 98},
                                         {SlotOf(&S::EffectParameterChanged), 99},
                                         {SlotOf(&S::DriverHook100), 100},
                                         {SlotOf(&S::NotifyOwner), 101},
                                         {SlotOf(&S::DriverHook102), 102},
                                         {SlotOf(&S::PremultiplyAlpha), 103},
                                         {SlotOf(&S::DriverHook104), 104},
                                         {SlotOf(&S::DriverHook105), 105},
                                         {SlotOf(&S::DriverHook106), 106},
                                         {SlotOf(&S::DriverHook107), 107},
                                         {SlotOf(&S::FillRectBlendAlias), 108},
                                         {SlotOf(&S::FillRectEffect), 109},
                                         {SlotOf(&S::FillRectBlend), 110},
                                         {SlotOf(&S::DemultiplyAlpha), 111},
                                         {SlotOf(&cErrorSurface::DriverHook112), 112}};
  ASSERT_EQ(sizeof(slots) / sizeof(slots[0]), 113u);
  for (const auto& [actual, expected] : slots) EXPECT_EQ(actual, expected);
}

// Calls through raw table entries, as a caller bound by slot number does.
TEST(SurfaceInterface, RawSlotCallsReachTheirOperations) {
  RecordingSurface surface(4, 3, 32);
  void** table = *reinterpret_cast<void***>(&surface);
  using IntOp = int (*)(S*);
  using ClipOp = void (*)(S*, int, int, int, int);
  using KeyOp = void (*)(S*, COLORREF);
  using ValueOp = std::uint32_t (*)(S*);
  EXPECT_EQ(reinterpret_cast<IntOp>(table[15])(&surface), kKindMemory);
  EXPECT_EQ(reinterpret_cast<IntOp>(table[10])(&surface), -1);
  EXPECT_EQ(reinterpret_cast<IntOp>(table[20])(&surface), 1);  // Lock with storage
  reinterpret_cast<ClipOp>(table[26])(&surface, 1, 1, 2, 1);
  EXPECT_EQ(surface.clipRight, 3);
  reinterpret_cast<KeyOp>(table[70])(&surface, 0x00112233);
  EXPECT_EQ(reinterpret_cast<ValueOp>(table[72])(&surface), 0x00332211u);
  EXPECT_EQ(reinterpret_cast<IntOp>(table[89])(&surface), 0);  // HandlesBlitFrom

  cErrorSurface* error = GetErrorSurface();
  void** errorTable = *reinterpret_cast<void***>(error);
  using Hook112 = int (*)(cErrorSurface*, HookArg, HookArg, HookArg, HookArg);
  EXPECT_EQ(reinterpret_cast<Hook112>(errorTable[112])(error, 1, 2, 3, 4), 0);
  EXPECT_EQ(reinterpret_cast<IntOp>(errorTable[10])(error), 0);
}

TEST(SurfaceInterface, PixelDescriptorFollowsTheTablePointer) {
  RecordingSurface surface(2, 2, 16);
  const auto* bytes = reinterpret_cast<const unsigned char*>(&surface);
  EXPECT_EQ(reinterpret_cast<const unsigned char*>(static_cast<PixelDescriptor*>(&surface)),
            bytes + sizeof(void*));
  EXPECT_EQ(offsetof(PixelDescriptor, flags), 40u);
  EXPECT_EQ(offsetof(PixelDescriptor, palette), 48u);  // pointers are 8-byte aligned
}

TEST(SurfaceInterface, ClipRectangleClampsToTheSurface) {
  RecordingSurface surface(10, 8, 32);
  surface.SetClipRect(-5, 2, 100, 3);
  EXPECT_EQ(surface.clipLeft, 0);
  EXPECT_EQ(surface.clipRight, 10);
  EXPECT_EQ(surface.clipTop, 2);
  EXPECT_EQ(surface.clipBottom, 5);
  surface.SetClipRect(2, 2, 0x7FFFFFFF, 0x7FFFFFFF);  // no overflow past the edge
  EXPECT_EQ(surface.clipRight, 10);
  EXPECT_EQ(surface.clipBottom, 8);
}

TEST(SurfaceInterface, PixelReadsFailOutsideTheClipAndLeaveTheOutput) {
  RecordingSurface surface(4, 4, 32);
  surface.SetClipRect(0, 0, 3, 3);
  surface.SetPixelColor(1, 1, 0x00102030);
  surface.SetPixelColor(3, 1, 0x00FFFFFF);  // outside: ignored
  COLORREF color = 0xDEADBEEF;
  EXPECT_EQ(surface.GetPixelColor(surface.clipRight, 1, &color), 0);
  EXPECT_EQ(color, 0xDEADBEEFu);
  EXPECT_EQ(surface.GetPixelColor(1, 1, &color), 1);
  EXPECT_EQ(color, 0x00102030u);
  EXPECT_EQ(surface.pixels[3 * 4 + 0], 0) << "the write outside the clip must not land";
}

TEST(SurfaceInterface, ValueWriteWithoutStorageBracketsTheLock) {
  RecordingSurface surface(4, 4, 8, /*withStorage=*/false);
  surface.lockResult = 0;
  surface.SetPixelValue(1, 1, 9);
  EXPECT_EQ(surface.locks, 1);
  EXPECT_EQ(surface.unlocks, 0) << "a failed lock is not unlocked";
  surface.lockResult = 1;
  surface.SetPixelValue(1, 1, 9);
  EXPECT_EQ(surface.locks, 2);
  EXPECT_EQ(surface.unlocks, 1);
  EXPECT_EQ(surface.pixels[surface.stride + 1], 9);
}

TEST(SurfaceInterface, PaletteEntriesCountsAndCopies) {
  RecordingSurface surface(2, 2, 8);
  surface.palette = GetDefaultPalette();
  ASSERT_NE(surface.palette, nullptr);
  EXPECT_EQ(surface.GetPaletteEntries(nullptr, 0, 0), 256);
  PALETTEENTRY out[10];
  std::memset(out, 0xAB, sizeof out);
  EXPECT_EQ(surface.GetPaletteEntries(out, 250, 10), 10);
  EXPECT_EQ(std::memcmp(out, surface.palette->entries + 250, 6 * sizeof(PALETTEENTRY)), 0);
  EXPECT_EQ(out[6].peRed, 0xAB) << "only the entries that exist are copied";
  EXPECT_EQ(surface.GetPaletteEntries(out, 256, 1), 0);
  EXPECT_EQ(surface.GetPaletteColor(255), 0x00FFFFFFu);
  EXPECT_EQ(surface.GetPaletteColor(256), 0u);
  // SetPalette with remap on a surface without palette fails and changes nothing.
  RecordingSurface bare(2, 2, 8);
  bare.pixels[0] = 7;
  EXPECT_EQ(bare.SetPalette(surface.palette, 1), 0);
  EXPECT_EQ(bare.palette, nullptr);
  EXPECT_EQ(bare.pixels[0], 7);
}

TEST(SurfaceInterface, TransparentValueFollowsEachFormat) {
  struct Case {
    int depth;
    COLORREF key;
    std::uint32_t value;
    COLORREF readBack;
  } cases[] = {
      {15, 0x00123456, 0x28C2, 0x00103050},
      {16, 0x00123456, 0x51A2, 0x00103450},
      {24, 0x00123456, 0x00563412, 0x00123456},
      {32, 0x00123456, 0x00563412, 0x00123456},
      {32, 0, 0, 0},
  };
  for (const Case& c : cases) {
    RecordingSurface surface(1, 1, c.depth);
    surface.SetTransparentColor(c.key);
    EXPECT_EQ(surface.GetTransparentValue(), c.value) << "depth " << c.depth;
    EXPECT_EQ(surface.GetTransparentColor(), c.readBack) << "depth " << c.depth;
  }
}

TEST(ErrorSurface, AnswersEverythingHarmlessly) {
  cErrorSurface* error = GetErrorSurface();
  EXPECT_EQ(error->width, 0);
  EXPECT_EQ(error->flags, 0u);
  EXPECT_EQ(error->GetKind(), 1);
  EXPECT_EQ(error->DriverHook10(), 0);
  EXPECT_EQ(error->Lock(), 0);
  EXPECT_EQ(error->CreateCompatible(10, 10), nullptr);
  EXPECT_EQ(error->FillRectDriver(0, 0, 1, 1, 0, 0), 0);
  int x = 7, y = 7, w = 7, h = 7;
  error->GetClipRect(&x, &y, &w, &h);
  EXPECT_EQ(x + y + w + h, 28) << "outputs untouched";
  COLORREF color = 0x1234;
  EXPECT_EQ(error->GetPixelColor(0, 0, &color), 0);
  EXPECT_EQ(color, 0x1234u);
  EXPECT_EQ(error->GetDarkestIndex(), 0);

  RecordingSurface destination(4, 4, 32);
  EXPECT_EQ(error->BlitTransformed(&destination, 1.0f, 2.0f, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0),
            0);
  EXPECT_EQ(error->Blit(&destination, 0, 0, 0, 0, 4, 4, 0, 0, 0, 0), 0);
  for (std::uint8_t byte : destination.pixels) ASSERT_EQ(byte, 0);
}

TEST(ErrorSurface, EmptyObjectsShareItsColorKey) {
  cSurfaceObject a, b;
  const COLORREF before = b.GetTransparentColor();
  a.SetTransparentColor(0x00FF00FF);
  EXPECT_EQ(b.GetTransparentColor(), 0x00FF00FFu);
  a.SetTransparentColor(0xFFFFFFFF);  // -1 only reaches the driver hook
  EXPECT_EQ(b.GetTransparentColor(), 0x00FF00FFu);
  a.SetTransparentColor(before);
}

TEST(DriverHooks, BaseResultsOfTheLibraryClasses) {
  RecordingSurface surface(1, 1, 32);
  EXPECT_EQ(surface.DriverHook10(), -1);
  EXPECT_EQ(surface.GetRenderImplementation(), &surface);
  EXPECT_EQ(surface.SetWindow(nullptr), 1);
  EXPECT_EQ(surface.HasCustomPixelRoutines(), 0);
  EXPECT_EQ(surface.GetDarkestIndex(), 4) << "without a palette";
}

}  // namespace
