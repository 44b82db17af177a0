// The collision map's planes against a pixel-by-pixel model.
#include <gtest/gtest.h>

#include <random>
#include <vector>

#include <vexa/collision_map.h>
#include <vexa/collision_mask.h>
#include <vexa/image_bank.h>

#include "sprite/sprite_scene.h"

namespace {

using spritetest::Scene;

int PlaneBit(GameWindow* w, int plane, int x, int y) {  // plane pixels, no clip
  const std::int32_t offset = plane == 1 ? w->topEdgePlaneOffset : w->solidPlaneOffset;
  const std::uint8_t* bits = w->planeMemory + offset;
  return (bits[y * w->planeRowBytes + (x >> 3)] >> (x & 7)) & 1;
}

// An image whose mask is a random pattern of solid and key pixels.
int RandomImage(Scene& scene, int width, int height, std::mt19937& rng) {
  std::vector<std::uint32_t> pixels(static_cast<size_t>(width * height));
  for (auto& p : pixels) p = (rng() % 3) ? 0x00123456u : 0x00FF00u;
  return AddImage(scene.bank.get(), width, height, 3, 3, 0, 0, 0x00FF00, 8, pixels.data(), nullptr);
}

TEST(CollisionMap, CreateRoundsToWholeColumnsAndFailsInsteadOfWrapping) {
  Scene scene(32, 100, 50);
  GameWindow* w = scene.w();
  ASSERT_EQ(CreateCollisionMap(w, -1, 0, 10, 10, kMapSolidPlane), 1);
  EXPECT_EQ(w->mapLeft, -16);
  EXPECT_EQ(w->mapRight, 111) << "at least the back buffer, whole columns";
  EXPECT_EQ(w->mapBottom, 49);
  EXPECT_EQ(w->planeRowBytes, 16);
  EXPECT_EQ(w->solidPlaneOffset, 0);
  EXPECT_EQ(w->topEdgePlaneOffset, 0) << "one plane serves as both";
  ASSERT_EQ(CreateCollisionMap(w, -16, 0, 10, 10, kMapSolidPlane | kMapTopEdgePlane), 1);
  EXPECT_EQ(w->mapLeft, -32);
  EXPECT_EQ(w->topEdgePlaneOffset, w->planeSize);
  ASSERT_EQ(CreateCollisionMap(w, 1, 5, 10, 10, kMapTopEdgePlane), 1);
  EXPECT_EQ(w->mapLeft, 16);
  EXPECT_EQ(w->solidPlaneOffset, -1);
  EXPECT_EQ(w->topEdgePlaneOffset, 0);
  EXPECT_EQ(TestPointInMap(w, 20, 20, 0), 0) << "no solid plane";

  EXPECT_EQ(CreateCollisionMap(w, 0, 0, 0x7FFFFFF0, 10, kMapSolidPlane), 0) << "row bytes";
  EXPECT_EQ(w->planeMemory, nullptr);
  EXPECT_EQ(w->solidPlaneOffset, -1);
  EXPECT_EQ(CreateCollisionMap(w, 0, 0, 400000, 400000, kMapSolidPlane), 0) << "plane size";
  EXPECT_EQ(CreateCollisionMap(w, 0x7FFFFFF0, 0, 0, 10, kMapSolidPlane), 0) << "right < left";
  EXPECT_EQ(CreateCollisionMap(w, 0, 0, 10, 10, 0), 1) << "no planes asked";
  EXPECT_EQ(FillCollisionMapRect(w, 0, 0, 5, 5, 3), 0);
  EXPECT_EQ(CreateCollisionMap(nullptr, 0, 0, 10, 10, 1), 0);
}

TEST(CollisionMap, StampEraseAndTestsMatchThePixelModel) {
  Scene scene(32, 200, 100);
  GameWindow* w = scene.w();
  std::mt19937 rng(9);
  ASSERT_EQ(CreateCollisionMap(w, -16, -8, 150, 90, kMapSolidPlane | kMapTopEdgePlane), 1);
  const int width = 8 * w->planeRowBytes, height = w->mapBottom - w->mapTop + 1;
  std::vector<int> model[2] = {std::vector<int>(static_cast<size_t>(width * height)),
                               std::vector<int>(static_cast<size_t>(width * height))};
  const RECT clip{-5, -3, 170, 80};
  SetMapClip(w, &clip);
  SetMapScroll(w, 7, -2);
  for (int round = 0; round < 60; ++round) {
    const int iw = 1 + static_cast<int>(rng() % 70), ih = 1 + static_cast<int>(rng() % 20);
    const int image = RandomImage(scene, iw, ih, rng);
    const CollisionMask* mask = GetImageMask(scene.bank.get(), image, 0);
    ASSERT_NE(mask, nullptr);
    const int x = static_cast<int>(rng() % 240) - 40, y = static_cast<int>(rng() % 120) - 30;
    const int mode = static_cast<int>(rng() % 4);
    StampMaskInMap(w, image, x, y, mode);
    for (int my = 0; my < ih; ++my)
      for (int mx = 0; mx < iw; ++mx) {
        const int px = x + 7 + mx, py = y - 2 + my;  // playfield
        if (px < clip.left || px > clip.right || py < clip.top || py > clip.bottom) continue;
        if (!TestMaskPoint(MaskBits(mask), mx, my, iw, ih)) continue;
        for (int p = 0; p < 2; ++p)
          model[p][static_cast<size_t>((py - w->mapTop) * width + px - w->mapLeft)] =
              (mode >> p) & 1;
      }
    for (int p = 0; p < 2; ++p)
      for (int py = 0; py < height; ++py)
        for (int px = 0; px < width; ++px)
          ASSERT_EQ(PlaneBit(w, p, px, py), model[p][static_cast<size_t>(py * width + px)])
              << "round " << round << " plane " << p << " at " << px << "," << py;
  }
  // Point and rectangle tests read the same bits, in display coordinates, inside the clip.
  for (int i = 0; i < 2000; ++i) {
    const int x = static_cast<int>(rng() % 220) - 30, y = static_cast<int>(rng() % 120) - 20;
    const int px = x + 7, py = y - 2;
    const bool inside = px >= clip.left && px <= clip.right && py >= clip.top && py <= clip.bottom;
    const int expected =
        inside ? model[0][static_cast<size_t>((py - w->mapTop) * width + px - w->mapLeft)] : 0;
    ASSERT_EQ(TestPointInMap(w, x, y, 0), expected);
    const int rw = 1 + static_cast<int>(rng() % 9), rh = 1 + static_cast<int>(rng() % 9);
    int any = 0;
    for (int ry = py; ry < py + rh; ++ry)
      for (int rx = px; rx < px + rw; ++rx)
        if (rx >= clip.left && rx <= clip.right && ry >= clip.top && ry <= clip.bottom)
          any |= model[1][static_cast<size_t>((ry - w->mapTop) * width + rx - w->mapLeft)];
    ASSERT_EQ(TestRectInMap(w, x, y, rw, rh, kMapTestTopEdge), any);
  }
}

// Word-wise stamping against the pixel rule: masks from 1 pixel to wider than a plane row
// copy, at every bit offset, cut by clip edges on all sides and by the map's right edge and
// last row, where the plane ends.
TEST(CollisionMap, WideAndNarrowStampsAtEveryOffsetMatchThePixelRule) {
  Scene scene(32, 64, 16);
  GameWindow* w = scene.w();
  std::mt19937 rng(21);
  ASSERT_EQ(CreateCollisionMap(w, 0, 0, 1990, 40, kMapSolidPlane | kMapTopEdgePlane), 1);
  const int width = 8 * w->planeRowBytes, height = w->mapBottom - w->mapTop + 1;
  std::vector<int> model[2] = {std::vector<int>(static_cast<size_t>(width * height)),
                               std::vector<int>(static_cast<size_t>(width * height))};
  for (int round = 0; round < 80; ++round) {
    const int iw = round % 4 == 0   ? 1 + static_cast<int>(rng() % 1990)
                   : round % 4 == 2 ? 180 + static_cast<int>(rng() % 160)
                                    : 1 + static_cast<int>(rng() % 140);
    const int ih = 1 + static_cast<int>(rng() % 12);
    const int image = RandomImage(scene, iw, ih, rng);
    const CollisionMask* mask = GetImageMask(scene.bank.get(), image, 0);
    ASSERT_NE(mask, nullptr);
    RECT clip{static_cast<LONG>(rng() % 300), static_cast<LONG>(rng() % 10),
              static_cast<LONG>(width - 1 - rng() % 300),
              static_cast<LONG>(height - 1 - rng() % 10)};
    if (round % 3 == 0) clip = RECT{0, 0, width - 1, height - 1};
    SetMapClip(w, &clip);
    const int x = round % 5 == 1 ? width - 1 - static_cast<int>(rng() % 70)
                                 : static_cast<int>(rng() % (width + 40)) - 40 - iw / 2;
    const int y = static_cast<int>(rng() % (height + 10)) - 8;
    const int mode = static_cast<int>(rng() % 4);
    StampMaskInMap(w, image, x, y, mode);
    for (int my = 0; my < ih; ++my)
      for (int mx = 0; mx < iw; ++mx) {
        const int px = x + mx, py = y + my;
        if (px < clip.left || px > clip.right || py < clip.top || py > clip.bottom) continue;
        if (!TestMaskPoint(MaskBits(mask), mx, my, iw, ih)) continue;
        for (int p = 0; p < 2; ++p)
          model[p][static_cast<size_t>(py * width + px)] = (mode >> p) & 1;
      }
    for (int p = 0; p < 2; ++p)
      for (int py = 0; py < height; ++py)
        for (int px = 0; px < width; ++px)
          ASSERT_EQ(PlaneBit(w, p, px, py), model[p][static_cast<size_t>(py * width + px)])
              << "round " << round << " plane " << p << " at " << px << "," << py;
  }
}

TEST(CollisionMap, SharedPlaneIsSetWhenEitherBitAsks) {
  Scene scene(32, 64, 32);
  GameWindow* w = scene.w();
  ASSERT_EQ(CreateCollisionMap(w, 0, 0, 64, 32, kMapSolidPlane), 1);
  const int image = scene.AddBox(8, 8, 0xFF, 0, 0, false);
  ASSERT_EQ(StampMaskInMap(w, image, 4, 4, 2), 1);
  EXPECT_EQ(TestPointInMap(w, 5, 5, 0), 1) << "stamped through the top-edge bit, seen as solid";
  EXPECT_EQ(TestPointInMap(w, 5, 5, 1), 1);
  ASSERT_EQ(StampMaskInMap(w, image, 4, 4, 0), 1);
  EXPECT_EQ(TestPointInMap(w, 5, 5, 1), 0) << "erased";
  ASSERT_EQ(ClearCollisionMap(w, 1), 1);
  EXPECT_EQ(TestPointInMap(w, 63, 31, kMapTestTopEdge), 1);
  ASSERT_EQ(FillCollisionMapRect(w, 10, 10, 12, 11, 0), 1);
  EXPECT_EQ(TestRectInMap(w, 10, 10, 3, 2, 0), 0);
  EXPECT_EQ(TestPointInMap(w, 13, 10, 0), 1);
  EXPECT_EQ(FillCollisionMapRect(w, 100, 100, 120, 120, 1), 0) << "outside the clip";
}

TEST(CollisionMap, ClipStaysInsideTheMap) {
  Scene scene(32, 64, 32);
  GameWindow* w = scene.w();
  ASSERT_EQ(CreateCollisionMap(w, 0, 0, 64, 32, kMapSolidPlane), 1);
  const RECT huge{-100000, -100000, 100000, 100000};
  SetMapClip(w, &huge);
  EXPECT_EQ(w->clipLeft, 0);
  EXPECT_EQ(w->clipRight, 63);
  EXPECT_EQ(w->clipBottom, 31);
  // Fills and stamps reaching far outside touch only the planes.
  EXPECT_EQ(FillCollisionMapRect(w, -100000, -100000, 100000, 100000, 1), 1);
  EXPECT_EQ(TestRectInMap(w, -1000, -1000, 5000, 5000, 0), 1);
  const RECT inside{8, 8, 15, 15};
  SetMapClip(w, &inside);
  EXPECT_EQ(TestPointInMap(w, 20, 20, 0), 0) << "outside the clip reads 0 though the bit is set";
  SetMapClip(w, nullptr);
  EXPECT_EQ(TestPointInMap(w, 20, 20, 0), 1);
}

TEST(CollisionMap, TopEdgeCopiesSixRowsFromTheFirstSolidPixel) {
  Scene scene(32, 64, 64);
  GameWindow* w = scene.w();
  ASSERT_EQ(CreateCollisionMap(w, 0, 0, 64, 64, kMapSolidPlane | kMapTopEdgePlane), 1);
  // Column 0 solid from row 2, column 1 has a hole at row 4, column 2 empty.
  std::vector<std::uint32_t> pixels(3 * 12, 0x00FF00u);
  for (int y = 2; y < 12; ++y) pixels[static_cast<size_t>(y * 3)] = 0x112233;
  for (int y = 1; y < 12; ++y)
    if (y != 4) pixels[static_cast<size_t>(y * 3 + 1)] = 0x112233;
  const int image =
      AddImage(scene.bank.get(), 3, 12, 0, 0, 0, 0, 0x00FF00, 8, pixels.data(), nullptr);
  FillCollisionMapRect(w, 0, 0, 63, 63, 2);  // top-edge plane all set: copies clear bits too
  ASSERT_EQ(StampTopEdgeInMap(w, image, 10, 20), 1);
  for (int y = 18; y < 34; ++y) {
    EXPECT_EQ(TestPointInMap(w, 10, y, 1), 1) << "solid rows copied as set";
    const int expected1 = (y >= 21 && y < 27) ? (y != 24 ? 1 : 0) : 1;
    EXPECT_EQ(TestPointInMap(w, 11, y, 1), expected1) << "row " << y;
    EXPECT_EQ(TestPointInMap(w, 12, y, 1), 1) << "empty column untouched";
  }
  EXPECT_EQ(TestPointInMap(w, 10, 22, 0), 0) << "the solid plane is not touched";
  FreeCollisionMap(w);
  EXPECT_EQ(StampTopEdgeInMap(w, image, 10, 20), 0);
}

TEST(CollisionMap, ScrollMovesWholeBytesAndReportsStrips) {
  Scene scene(32, 64, 32);
  GameWindow* w = scene.w();
  ASSERT_EQ(CreateCollisionMap(w, 0, 0, 64, 32, kMapSolidPlane), 1);
  FillCollisionMapRect(w, 40, 10, 40, 10, 1);
  RECT across{}, down{};
  ASSERT_EQ(ScrollCollisionMap(w, -20, 0, &across, &down), 1);
  EXPECT_EQ(w->scrollX, 4);
  EXPECT_EQ(across.left, 63 - 16 - 7);
  EXPECT_EQ(across.right, 63);
  EXPECT_EQ(down.top, 0);
  EXPECT_EQ(down.bottom, 31);
  // The bit moved 16 pixels left in the plane; with scroll x 4 it shows at display x 20.
  EXPECT_EQ(PlaneBit(w, 0, 24, 10), 1);
  EXPECT_EQ(TestPointInMap(w, 20, 10, 0), 1);
  ASSERT_EQ(ScrollCollisionMap(w, 20, 3, nullptr, &down), 1) << "one strip pointer may be null";
  EXPECT_EQ(down.bottom, 2);
  EXPECT_EQ(PlaneBit(w, 0, 40, 13), 1) << "two bytes right, three rows down";
  EXPECT_EQ(ScrollCollisionMap(w, -5, 0, &across, &down), 0) << "less than a byte";
  EXPECT_EQ(ScrollCollisionMap(w, 9, 9, nullptr, nullptr), 0);
  EXPECT_EQ(w->scrollX, 9);
  EXPECT_EQ(w->scrollY, 9);
  EXPECT_EQ(SetFineCollision(w, 1), 0);
  EXPECT_EQ(SetFineCollision(w, 0), 1);
  EXPECT_EQ(SetFineCollision(nullptr, 1), 0);
}

}  // namespace
