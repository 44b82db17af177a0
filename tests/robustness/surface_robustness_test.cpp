// Bad input to surface objects through the public interface: alpha planes given to empty
// (never-created) objects, which all share the error surface.
#include <gtest/gtest.h>

#include <cstdint>

#include <vexa/error_surface.h>
#include <vexa/surface_object.h>

#include "support/surface_factory.h"

namespace {

void ExpectNoPlaneAnywhere(const cSurfaceObject& a, const cSurfaceObject& b) {
  EXPECT_EQ(a.HasAlpha(), 0);
  EXPECT_EQ(b.HasAlpha(), 0);
  EXPECT_EQ(b.GetAlphaPointer(), nullptr);
  EXPECT_EQ(GetErrorSurface()->alphaFirstRow, nullptr);
  EXPECT_EQ(GetErrorSurface()->alphaStorage, nullptr);
}

TEST(SurfaceRobustness, EmptyObjectsTakeNoAlphaPlane) {
  cSurfaceObject first, second;
  ASSERT_FALSE(first.IsValid());
  EXPECT_EQ(first.CreateAlpha(), nullptr);
  ExpectNoPlaneAnywhere(first, second);

  {
    std::uint8_t buffer[64] = {};
    first.AttachAlpha(buffer, 8);
    ExpectNoPlaneAnywhere(first, second);
  }  // the buffer is gone: no object may still show it

  const std::uint8_t rows[16] = {1, 2, 3, 4};
  EXPECT_EQ(first.SetAlphaFromBuffer(rows, 4), 0);
  ExpectNoPlaneAnywhere(first, second);
  EXPECT_EQ(second.GetAlphaSurface(), nullptr);

  // A real surface made afterwards starts without a plane and still takes one.
  auto real = testsupport::MakeSurface(32, 4, 4);
  ASSERT_TRUE(real->IsValid());
  EXPECT_EQ(real->HasAlpha(), 0);
  EXPECT_NE(real->CreateAlpha(), nullptr);
  EXPECT_EQ(real->SetAlphaFromBuffer(rows, 4), 4);
  EXPECT_EQ(real->GetAlphaPointer()[2], 3);
}

// An object whose implementation was released goes back to the error surface: its plane
// goes with the implementation and the same calls fail from then on.
TEST(SurfaceRobustness, ReleasedObjectsTakeNoAlphaPlane) {
  auto object = testsupport::MakeSurface(16, 8, 8);
  ASSERT_TRUE(object->IsValid());
  ASSERT_NE(object->CreateAlpha(), nullptr);
  object->ReleaseImplementation();
  ASSERT_FALSE(object->IsValid());
  cSurfaceObject other;
  EXPECT_EQ(object->CreateAlpha(), nullptr);
  ExpectNoPlaneAnywhere(*object, other);
}

}  // namespace
