// The OpenGL driver as the library uses it: loaded by GetPrototype from beside libvexa.so,
// shader effects attached through CEffectEx, and a driver window presented by its display
// surface. Runs in the GL test program (SDL's offscreen video driver).
#include <gtest/gtest.h>

#include <cstdint>
#include <memory>

#include <vexa/blit.h>
#include <vexa/buffer_surface.h>
#include <vexa/display_driver.h>
#include <vexa/effect.h>
#include <vexa/game_window.h>
#include <vexa/image_bank.h>
#include <vexa/library.h>
#include <vexa/surface_object.h>

namespace {

struct ObjectDeleter {
  void operator()(cSurfaceObject* s) const { DeleteSurfaceObject(s); }
};
using Object = std::unique_ptr<cSurfaceObject, ObjectDeleter>;

// A surface of driver 7's prototype `type`, made by the library.
Object DriverSurface(int type, int width, int height) {
  cSurfaceObject* prototype = nullptr;
  if (!GetPrototype(&prototype, 32, type, kDriverD3D11) || !prototype) return nullptr;
  Object made(NewSurfaceObject());
  if (!made || !made->Create(width, height, prototype)) return nullptr;
  return made;
}

Object MemorySurface(int width, int height, COLORREF colour) {
  cSurfaceObject* prototype = nullptr;
  GetPrototype(&prototype, 32, kTypeMemory, kDriverNone);
  Object made(NewSurfaceObject());
  if (!made || !made->Create(width, height, prototype)) return nullptr;
  made->GetImplementation()->FillRectColor(0, 0, width, height, colour);
  return made;
}

COLORREF PixelOf(cSurfaceObject* s, int x, int y) {
  COLORREF colour = 0xDEADBEEF;
  s->GetImplementation()->GetPixelColor(x, y, &colour);
  return colour;
}

EffectParam AsParameter(CEffectEx* effect) {
  return reinterpret_cast<EffectParam>(static_cast<IEffectObject*>(effect));
}

int DrawWithEffect(cSurfaceObject* source, cSurfaceObject* target, CEffectEx* effect) {
  cSurfaceImplementation* s = source->GetImplementation();
  return s->Blit(target->GetImplementation(), 0, 0, 0, 0, s->width, s->height, kModeOpaque,
                 kEffectObject, AsParameter(effect), 0);
}

// The driver module is shared with the tests that load it by hand: the library lets it go
// after this suite, so that either suite may run first.
class GLDriverLibrary : public ::testing::Test {
 protected:
  static void TearDownTestSuite() { UnloadDrivers(); }
};

TEST_F(GLDriverLibrary, GetPrototypeLoadsTheDriverBesideTheLibrary) {
  Object target = DriverSurface(kTypeDriverFirst + 1, 16, 16);
  ASSERT_TRUE(target) << "driver 7 did not load";
  EXPECT_EQ(target->GetImplementation()->GetKind(), kKindD3D11First + 1);
  EXPECT_EQ(GetDriverState(kDriverD3D11), 1);
}

TEST_F(GLDriverLibrary, ShaderEffectsDrawWithTheirParameters) {
  Object source = MemorySurface(4, 4, 0x646464);  // grey 100
  Object target = DriverSurface(kTypeDriverFirst + 1, 4, 4);
  Object other = DriverSurface(kTypeDriverFirst + 2, 4, 4);
  ASSERT_TRUE(source && target && other);
  Object blue = MemorySurface(4, 4, 0xFF0000);
  ASSERT_TRUE(other->GetImplementation()->CopyContentFrom(blue->GetImplementation()));

  static const char kSource[] = R"(#version 330 core
in vec2 texCoord;
uniform sampler2D image;
uniform sampler2D overlay;
uniform float gain;
uniform int bias;
out vec4 colour;
void main() {
  vec3 s = texture(image, texCoord).rgb * gain + float(bias) / 255.0;
  colour = vec4(min(s, 1.0) + texture(overlay, texCoord).rgb * 0.0, 1.0);
  colour.b = texture(overlay, texCoord).b;
}
)";
  const std::uint8_t types[] = {kEffectParamFloat, kEffectParamInt, kEffectParamTexture};
  CEffectEx* effect = NewEffect();
  ASSERT_NE(effect, nullptr);
  ASSERT_TRUE(effect->InitEffectText(kSource, 0, 0, 3, "gain\0bias\0overlay\0", types));
  effect->SetParameterFloat(0, 2.0f);
  effect->SetParameterInt(1, 10);
  effect->SetParameterTexture(2, reinterpret_cast<std::uintptr_t>(other->GetImplementation()));
  ASSERT_EQ(effect->AttachToSurface(target.get()), 1);
  EXPECT_EQ(effect->GetAttached(), 1);

  ASSERT_TRUE(DrawWithEffect(source.get(), target.get(), effect));
  // Red and green 100 x 2 + 10; blue from the overlay texture.
  EXPECT_EQ(PixelOf(target.get(), 1, 1), 0xFFD2D2u);
  // A parameter change reaches the next draw.
  effect->SetParameterFloat(0, 1.0f);
  ASSERT_TRUE(DrawWithEffect(source.get(), target.get(), effect));
  EXPECT_EQ(PixelOf(target.get(), 2, 2), 0xFF6E6Eu);

  // Destroying the surface it was attached to withdraws it.
  target.reset();
  EXPECT_EQ(effect->GetAttached(), 0);
  DeleteEffect(effect);
}

TEST_F(GLDriverLibrary, AShaderThatDoesNotCompileIsNotAttached) {
  Object source = MemorySurface(4, 4, 0x204060);
  Object target = DriverSurface(kTypeDriverFirst + 1, 4, 4);
  ASSERT_TRUE(source && target);
  CEffectEx* effect = NewEffect();
  ASSERT_TRUE(effect->InitEffectText("#version 330 core\nvoid main( {", 0, 0, 0, nullptr, nullptr));
  EXPECT_EQ(effect->AttachToSurface(target.get()), 0);
  EXPECT_EQ(effect->GetAttached(), 0);
  // Not attached, it draws by its RGBA coefficient as the software renderer does: opaque.
  effect->SetParameterInt(kEffectExtraValueIndex, static_cast<int>(0xFF000000u));
  ASSERT_TRUE(DrawWithEffect(source.get(), target.get(), effect));
  EXPECT_EQ(PixelOf(target.get(), 0, 0), 0x204060u);
  DeleteEffect(effect);
}

TEST_F(GLDriverLibrary, ADriverWindowIsPresentedByItsDisplaySurface) {
  ImageBank* bank = CreateImageBank(0, nullptr);
  ASSERT_NE(bank, nullptr);
  GameWindowRecord record{};
  record.size = kGameWindowRecordFullSize;
  record.width = -64;
  record.height = -48;
  record.style = 0x80000000;  // a pop-up
  record.title = "gl";
  record.flags = kGameWindowDriverDisplay;
  GameWindow* window = CreateGameWindow(bank, &record);
  ASSERT_GT(reinterpret_cast<std::uintptr_t>(window), kGameWindowNotCreated);
  Object display = DriverSurface(kTypeDriverFirst, 64, 48);
  ASSERT_TRUE(display);
  ASSERT_TRUE(SetBackBuffer(window, display.get()));
  display->GetImplementation()->FillRectColor(0, 0, 64, 48, 0x00FF00);
  EXPECT_EQ(PresentWindow(window), 1);
  // The surface keeps its pixels after the flip.
  EXPECT_EQ(PixelOf(display.get(), 10, 10), 0x00FF00u);
  ReleaseBackBuffer(window);
  DestroyGameWindow(window);
  DestroyImageBank(bank);
}

}  // namespace
