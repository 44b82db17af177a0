// Primitives through a device context: ellipses, polygons and wide lines with their pen and
// brush choice, the clip and origin handling, gradient bands painted with brushes, and the
// styled ellipse and polygon forms.
#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include <vexa/blit.h>
#include <vexa/fill_style.h>
#include <vexa/surface_object.h>

#include "platform/gdi/gdi.h"
#include "render/context_buffer.h"
#include "support/surface_factory.h"

namespace {

using testsupport::Read;
using testsupport::Snapshot;
using vexa::cContextBufferSurface;

// A 32-bit surface object over a context buffer, cleared to `background`.
std::unique_ptr<cSurfaceObject> ContextSurface(int width, int height, int depth = 32,
                                               COLORREF background = 0x102030) {
  auto like = testsupport::MakeSurface(depth, 1, 1);
  auto object = std::make_unique<cSurfaceObject>();
  object->SetImplementation(cContextBufferSurface::Make(like->implementation, width, height));
  object->FillColor(background);
  return object;
}

int Count(cSurfaceObject& s, COLORREF colour) {
  int n = 0;
  for (COLORREF c : Snapshot(s)) n += c == colour;
  return n;
}

// Every pixel not of `background` lies inside [l, r) x [t, b).
bool AllInside(cSurfaceObject& s, COLORREF background, int l, int t, int r, int b) {
  for (int y = 0; y < s.GetHeight(); ++y)
    for (int x = 0; x < s.GetWidth(); ++x)
      if (Read(s, x, y) != background && (x < l || x >= r || y < t || y >= b)) return false;
  return true;
}

TEST(ContextPrimitives, EllipsePenAndBrushChoice) {
  auto s = ContextSurface(40, 30);
  ASSERT_TRUE(s->IsValid());
  EXPECT_EQ(s->DrawEllipse(35, 25, 5, 5, 0x00FF00, 3, 0x0000FF, 1), 1);
  EXPECT_EQ(Read(*s, 20, 15), 0x00FF00u);              // brush inside
  EXPECT_GT(Count(*s, 0x0000FF), 0);                   // pen around
  EXPECT_TRUE(AllInside(*s, 0x102030, 5, 5, 35, 25));  // the pen stays inside the box

  // A fill without a border: no pen, the whole box, nothing of the border colour.
  auto plain = ContextSurface(40, 30);
  EXPECT_EQ(plain->DrawEllipse(5, 5, 35, 25, 0x00FF00, 0, 0x0000FF, 1), 1);
  EXPECT_EQ(Count(*plain, 0x0000FF), 0);
  EXPECT_GT(Count(*plain, 0x00FF00), Count(*s, 0x00FF00));
  // Outline only: the inside keeps its colour.
  auto outline = ContextSurface(40, 30);
  EXPECT_EQ(outline->DrawEllipse(5, 5, 35, 25, 2, 0xFFFFFF), 1);
  EXPECT_EQ(Read(*outline, 20, 15), 0x102030u);
  EXPECT_GT(Count(*outline, 0xFFFFFF), 0);
  EXPECT_EQ(outline->DrawEllipse(5, 5, 35, 25, 0, 0xFFFFFF), 0);  // no border: nothing
}

TEST(ContextPrimitives, ClipAndOriginApplyToContextShapes) {
  auto s = ContextSurface(40, 30);
  s->SetOrigin(-3, -2);          // object (-3, -2) is pixel (0, 0)
  s->SetClipRect(2, 3, 20, 10);  // pixels (5, 5) to (25, 15)
  EXPECT_EQ(s->DrawEllipse(-3, -2, 40, 30, 0xFFFFFF, 0, 0, 1), 1);
  EXPECT_EQ(s->DrawLine(-3, 5, 40, 5, 5, 0x00FF00), 1);  // a wide line along pixel row 7
  s->SetOrigin(0, 0);
  s->ResetClipRect();
  EXPECT_TRUE(AllInside(*s, 0x102030, 5, 5, 25, 15));
  EXPECT_EQ(Read(*s, 15, 12), 0xFFFFFFu);
  EXPECT_EQ(Read(*s, 10, 7), 0x00FF00u);
  EXPECT_EQ(Read(*s, 10, 10), 0xFFFFFFu);
}

TEST(ContextPrimitives, PolygonsFillAndOutline) {
  auto s = ContextSurface(30, 30);
  const POINT triangle[] = {{2, 2}, {27, 2}, {2, 27}};
  EXPECT_EQ(s->DrawPolygon(triangle, 3, 0x00FF00, 1, 0xFFFFFF, 1), 1);
  EXPECT_EQ(Read(*s, 8, 8), 0x00FF00u);
  EXPECT_EQ(Read(*s, 25, 25), 0x102030u);
  EXPECT_GT(Count(*s, 0xFFFFFF), 0);
  auto outline = ContextSurface(30, 30);
  EXPECT_EQ(outline->DrawPolygon(triangle, 3, 1, 0xFFFFFF), 1);
  EXPECT_EQ(Read(*outline, 8, 8), 0x102030u);
}

// A surface without pixel memory whose only way in is its device context, like a window's.
class ContextOnlySurface : public cSurfaceImplementation {
 public:
  explicit ContextOnlySurface(cContextBufferSurface* pixels) : pixels_(pixels) {
    SetPixelFormat(32);
    width = pixels->width;
    height = pixels->height;
    ResetClipRect();
  }
  ~ContextOnlySurface() {
    pixels_->Delete();
    ReleaseBaseResources();
  }
  cSurfaceImplementation* Destroy(unsigned flags) override {
    this->ContextOnlySurface::~ContextOnlySurface();
    if (flags & 1) ::operator delete(this);
    return this;
  }
  cSurfaceImplementation* CreateCompatible(int, int) override { return nullptr; }
  HDC GetDC() override { return pixels_->GetDC(); }
  int GetPixelColor(int x, int y, COLORREF* colour) override {
    return pixels_->GetPixelColor(x, y, colour);
  }
  cContextBufferSurface* pixels_;
};

TEST(ContextPrimitives, GradientBandsGoThroughTheContextWhenThereIsNoStorage) {
  auto like = testsupport::MakeSurface(32, 1, 1);
  cSurfaceObject s;
  s.SetImplementation(
      new ContextOnlySurface(cContextBufferSurface::Make(like->implementation, 8, 6)));
  CFillDir gradient(0x000010, 0x000014, 0, 0, 0);  // 4 bands of 2 columns
  EXPECT_EQ(gradient.FillRect(&s, 0, 0, 8, 6, 0), 1);
  EXPECT_EQ(Read(s, 0, 0), 0x000010u);
  EXPECT_EQ(Read(s, 3, 5), 0x000011u);
  EXPECT_EQ(Read(s, 7, 2), 0x000013u);
  // The same bands on a surface with storage come from the rectangle fill.
  auto buffer = ContextSurface(8, 6);
  EXPECT_EQ(gradient.FillRect(buffer.get(), 0, 0, 8, 6, 0), 1);
  EXPECT_EQ(Snapshot(*buffer), Snapshot(s));
}

TEST(ContextPrimitives, StyledEllipseWithAFlatStyleEqualsThePlainOne) {
  for (int depth : {16, 24, 32}) {
    auto styled = ContextSurface(40, 30, depth), plain = ContextSurface(40, 30, depth);
    CFillFlat flat(0x00C080);
    EXPECT_EQ(styled->DrawEllipseStyled(3, 2, 37, 28, &flat, 0, nullptr, 0, 0, 0, 1), 1) << depth;
    EXPECT_EQ(plain->DrawEllipse(3, 2, 37, 28, 0x00C080, 0, 0, 1), 1);
    EXPECT_EQ(Snapshot(*styled), Snapshot(*plain)) << depth;
  }
  // Styled shapes work on memory surfaces too: the temporaries bring their own contexts.
  auto memory = testsupport::MakeSurface(32, 40, 30);
  memory->FillColor(0x102030);
  auto reference = ContextSurface(40, 30);
  CFillFlat flat(0x00C080);
  EXPECT_EQ(memory->DrawEllipseStyled(3, 2, 37, 28, &flat, 0, nullptr, 0, 0, 0, 1), 1);
  reference->DrawEllipse(3, 2, 37, 28, 0x00C080, 0, 0, 1);
  EXPECT_EQ(Snapshot(*memory), Snapshot(*reference));
}

TEST(ContextPrimitives, StyledPolygonBordersBlendThroughTheEffect) {
  auto s = ContextSurface(30, 30, 32, 0xFFFFFF);
  const POINT square[] = {{4, 4}, {26, 4}, {26, 26}, {4, 26}};
  CFillFlat inside(0x000080), border(0x800000);
  EXPECT_EQ(s->DrawPolygonStyled(square, 4, &inside, 3, &border, 0, kEffectSemiTransparent, 64, 1),
            1);
  // (S x 64 + D x 64) >> 7 per channel over white.
  EXPECT_EQ(Read(*s, 15, 15), 0x7F7FBFu);
  EXPECT_EQ(Read(*s, 4, 15), 0xBF7F7Fu);
  EXPECT_EQ(Read(*s, 1, 1), 0xFFFFFFu);
}

}  // namespace
