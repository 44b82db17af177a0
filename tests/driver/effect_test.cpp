// CEffectEx: parameters, notices to the surface it is attached to, copies, and the renderer's
// view of it as an effect object of code 13.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

#include <vexa/blit.h>
#include <vexa/effect.h>
#include <vexa/error_surface.h>
#include <vexa/library.h>
#include <vexa/surface_object.h>

namespace {

// A surface that records the effect calls it gets and accepts effects while `accepts` is set.
struct RecordingSurface : cSurfaceImplementation {
  bool accepts = true;
  std::vector<int> changed;
  int detaches = 0;
  std::vector<HookArg> applied;

  cSurfaceImplementation* CreateCompatible(int, int) override { return nullptr; }
  void AttachEffect(void* effect) override {
    if (accepts) static_cast<CEffectEx*>(effect)->attached = 1;
  }
  void DetachEffect(void* effect) override {
    ++detaches;
    static_cast<CEffectEx*>(effect)->attached = 0;
  }
  void EffectParameterChanged(void*, int index) override { changed.push_back(index); }
  int DriverHook98(void*, HookArg a, HookArg b) override {
    applied.push_back(a);
    applied.push_back(b);
    return 7;
  }
};

struct Attached {
  RecordingSurface surface;
  cSurfaceObject object;
  CEffectEx effect;
  static constexpr char kNames[] = "Colour\0Strength\0Picture\0Extra\0";
  static constexpr std::uint8_t kTypes[] = {0, 1, 3, 2};

  explicit Attached(bool accepts = true) {
    surface.accepts = accepts;
    object.implementation = &surface;
    effect.InitEffectText("shader source", 9, 0xF0000005u, 4, kNames, kTypes);
    effect.AttachToSurface(&object);
  }
  ~Attached() { object.implementation = GetErrorSurface(); }
};

}  // namespace

class EffectTest : public ::testing::Test {
 protected:
  void SetUp() override { RegisterThread(); }
  void TearDown() override { UnregisterThread(); }
};

TEST_F(EffectTest, InitialisationAndFlags) {
  CEffectEx* fresh = NewEffect();
  ASSERT_NE(fresh, nullptr);
  EXPECT_EQ(fresh->GetEffectId(), -1);
  EXPECT_EQ(fresh->parameters, nullptr);
  EXPECT_EQ(fresh->FindParameter("x"), -1);  // no names
  DeleteEffect(fresh);
  DeleteEffect(nullptr);

  Attached a;
  // The caller's flags keep their low 28 bits as given; bit 28 marks the texture parameter.
  EXPECT_EQ(a.effect.GetEffectFlags(), 0xF0000005u | kEffectHasTexture);
  a.effect.SetEffectFlags(0xFFFFFFFFu);
  EXPECT_EQ(a.effect.GetEffectFlags(), 0xFFFFFFFFu);
  a.effect.SetEffectFlags(0);
  EXPECT_EQ(a.effect.GetEffectFlags(), 0xF0000000u);
  EXPECT_EQ(a.effect.sourceSize, 13);
  EXPECT_EQ(a.effect.GetOptions(), 9);
  std::uint8_t bytes[3] = {1, 2, 3};
  CEffectEx data;
  data.InitEffectData(bytes, 3, 0, 1, 0, nullptr, nullptr);
  EXPECT_EQ(data.sourceSize, 3);
  EXPECT_EQ(data.GetEffectFlags(), 1u);
}

TEST_F(EffectTest, ParametersByNameAndTypeConversion) {
  Attached a;
  EXPECT_EQ(a.effect.FindParameter("strength"), 1);
  EXPECT_EQ(a.effect.FindParameter("PICTURE"), 2);
  EXPECT_EQ(a.effect.FindParameter("Pict"), -1);
  EXPECT_EQ(a.effect.FindParameter(nullptr), -1);
  a.effect.SetParameterFloat(0, 3.75f);  // integer parameter: converted
  EXPECT_EQ(a.effect.GetParameterInt(0), 3);
  EXPECT_EQ(a.effect.GetParameterFloat(0), 3.0f);
  a.effect.SetParameterInt(1, 2);  // float parameter: converted
  EXPECT_EQ(a.effect.GetParameterFloat(1), 2.0f);
  a.effect.SetParameterFloat(1, std::numeric_limits<float>::infinity());
  EXPECT_EQ(a.effect.GetParameterInt(1), 2147483647);  // saturates
  EXPECT_EQ(a.effect.GetParameterType(3), 2);
  EXPECT_EQ(a.effect.GetParameterType(4), 0);
  EXPECT_EQ(a.effect.GetParameterInt(-1), 0);
  // Textures take pointer-sized handles, only on texture parameters.
  const std::uintptr_t handle = static_cast<std::uintptr_t>(0x123456789ABCull);
  EXPECT_EQ(a.effect.SetParameterTexture(2, handle), 1);
  EXPECT_EQ(a.effect.GetParameterTexture(2), handle);
  EXPECT_EQ(a.effect.SetParameterTexture(0, handle), 0);
  EXPECT_EQ(a.effect.GetParameterTexture(0), 0u);
  // Index -2 is the extra value, the renderer's RGBA coefficient.
  a.effect.SetParameterInt(kEffectExtraValueIndex, static_cast<int>(0x80FF0000u));
  EXPECT_EQ(a.effect.GetParameterInt(-2), static_cast<int>(0x80FF0000u));
  EXPECT_EQ(a.effect.GetRGBACoefficient(), 0x80FF0000u);
}

TEST_F(EffectTest, ChangesAreNotifiedOnlyWhenTheValueChanges) {
  Attached a;
  ASSERT_EQ(a.effect.GetAttached(), 1);
  a.effect.SetParameterFloat(1, 0.25f);
  a.effect.SetParameterFloat(1, 0.25f);  // same value: no notice
  a.effect.SetParameterInt(0, 0);        // already 0
  a.effect.SetParameterInt(3, 5);
  a.effect.SetParameterInt(-2, 1);
  a.effect.SetParameterTexture(2, 0);  // already 0
  a.effect.SetParameterInt(9, 1);      // out of range
  EXPECT_EQ(a.surface.changed, (std::vector<int>{1, 3, -2}));
  EXPECT_EQ(a.effect.ApplyToSurface(&a.object, 4, 5), 7);
  EXPECT_EQ(a.surface.applied, (std::vector<HookArg>{4, 5}));
  // Not attached: values change silently.
  a.effect.DetachFromSurface();
  a.effect.SetParameterInt(3, 6);
  EXPECT_EQ(a.surface.changed.size(), 3u);
}

TEST_F(EffectTest, RefusingSurfaceIsForgotten) {
  Attached a(false);
  EXPECT_EQ(a.effect.GetAttached(), 0);
  EXPECT_EQ(a.effect.surface, nullptr);
  EXPECT_EQ(a.effect.AttachToSurface(nullptr), 0);
}

TEST_F(EffectTest, CopiesOwnTheirParametersAndAreNotAttached) {
  Attached a;
  a.effect.SetParameterInt(0, 42);
  {
    CEffectEx copy;
    copy = a.effect;
    EXPECT_NE(copy.parameters, a.effect.parameters);
    EXPECT_EQ(copy.GetParameterInt(0), 42);
    EXPECT_EQ(copy.GetAttached(), 0);
    EXPECT_EQ(copy.surface, nullptr);
    copy.SetParameterInt(0, 1);
    EXPECT_EQ(a.effect.GetParameterInt(0), 42);
    CEffectEx constructed(a.effect);
    EXPECT_EQ(constructed.GetParameterInt(0), 42);
    EXPECT_NE(constructed.parameters, a.effect.parameters);
  }  // both copies free their own arrays; the original's stays valid
  EXPECT_EQ(a.effect.GetParameterInt(0), 42);
  EXPECT_EQ(a.surface.detaches, 0);
}

TEST_F(EffectTest, DestructorWithdrawsFromTheSurface) {
  RecordingSurface surface;
  cSurfaceObject object;
  object.implementation = &surface;
  {
    CEffectEx effect;
    effect.InitEffectText("x", 0, 0, 0, nullptr, nullptr);
    ASSERT_EQ(effect.AttachToSurface(&object), 1);
    EXPECT_EQ(effect.AttachToSurface(&object), 1);  // already attached: not offered again
  }
  EXPECT_EQ(surface.detaches, 1);
  object.implementation = GetErrorSurface();
}

// The renderer blends an effect object by its RGBA coefficient like a plain RGBA parameter.
TEST_F(EffectTest, RendererBlendsByTheCoefficient) {
  cSurfaceObject* prototype = nullptr;
  GetPrototype(&prototype, 32, kTypeMemory, kDriverNone);
  cSurfaceObject source, byObject, byParameter;
  source.Create(4, 4, prototype);
  source.FillRectColor(0, 0, 4, 4, 0x3264C8u);
  for (cSurfaceObject* s : {&byObject, &byParameter}) {
    s->Create(4, 4, prototype);
    s->FillRectColor(0, 0, 4, 4, 0x1E140Au);
  }
  CEffectEx effect;
  effect.SetParameterInt(-2, static_cast<int>(0x80FFFFFFu));
  source.Blit(&byObject, 0, 0, 0, 0, 4, 4, kModeOpaque, kEffectObject,
              reinterpret_cast<EffectParam>(static_cast<IEffectObject*>(&effect)), 0);
  source.Blit(&byParameter, 0, 0, 0, 0, 4, 4, kModeOpaque, kEffectParamIsRGBA, 0x80FFFFFFu, 0);
  COLORREF a = 0, b = 0;
  byObject.GetPixelColor(1, 1, &a);
  byParameter.GetPixelColor(1, 1, &b);
  EXPECT_EQ(a, b);
  EXPECT_NE(a, 0x1E140Au);
}
