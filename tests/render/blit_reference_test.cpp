// Blit against an independent per-pixel model of every ink effect, drawing mode and depth,
// written from the effect formulas: random pixels, a colour key on about a third of the
// source, and alpha planes with the values 0, 1, 127, 255 and random ones.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include <vexa/blit.h>
#include <vexa/palette.h>

#include "support/surface_factory.h"

namespace {

using testsupport::RawPixel;

struct Rgb {
  int r, g, b;
};

// ---- the model ---------------------------------------------------------------------------

class PixelModel {
 public:
  PixelModel(const PixelDescriptor& destination, bool mmx) : d_(destination), mmx_(mmx) {}

  Rgb Color(std::uint32_t raw) const {
    switch (d_.depth) {
      case 8: {
        const PALETTEENTRY& e = d_.palette->entries[raw & 0xFF];
        return {e.peRed, e.peGreen, e.peBlue};
      }
      case 15:
        return {int((raw >> 10) & 31) << 3, int((raw >> 5) & 31) << 3, int(raw & 31) << 3};
      case 16:
        return {int((raw >> 11) & 31) << 3, int((raw >> 5) & 63) << 2, int(raw & 31) << 3};
      default:
        return {int((raw >> 16) & 255), int((raw >> 8) & 255), int(raw & 255)};
    }
  }

  // Back to a stored value; at 32 bits the fourth byte is `top`.
  std::uint32_t Store(Rgb c, std::uint32_t top = 0) const {
    switch (d_.depth) {
      case 8:
        return static_cast<std::uint32_t>(
            LookupInverse(d_.palette, c.r | (c.g << 8) | (c.b << 16)));
      case 15:
        return ((c.r >> 3) << 10) | ((c.g >> 3) << 5) | (c.b >> 3);
      case 16:
        return ((c.r >> 3) << 11) | ((c.g >> 2) << 5) | (c.b >> 3);
      case 24:
        return (c.r << 16) | (c.g << 8) | c.b;
      default:
        return (top << 24) | (c.r << 16) | (c.g << 8) | c.b;
    }
  }

  // What a bitwise result keeps: every stored bit, except bit 15 of a 5-5-5 pixel, which the
  // library never sets.
  std::uint32_t Mask() const {
    if (d_.depth == 15) return 0x7FFF;
    return d_.depth == 32 ? 0xFFFFFFFFu : (1u << (d_.bytesPerPixel * 8)) - 1;
  }

  static Rgb Blend(Rgb s, Rgb d, int c) {
    return {(s.r * (128 - c) + d.r * c) >> 7, (s.g * (128 - c) + d.g * c) >> 7,
            (s.b * (128 - c) + d.b * c) >> 7};
  }

  // The effect's result for source S over destination D (raw values).
  std::uint32_t Effect(std::uint32_t code, std::uint32_t param, std::uint32_t s, std::uint32_t d,
                       std::uint32_t sourceKey) const {
    const Rgb sc = Color(s), dc = Color(d);
    const int c = static_cast<int>(param >> 24);
    switch (code) {
      case kEffectNone:
        return s;
      case kEffectSemiTransparent: {
        const Rgb mixed = Blend(sc, dc, static_cast<int>(param));
        if (d_.depth == 32 && mmx_) {
          const int st = s >> 24, dt = d >> 24;
          return Store(mixed,
                       static_cast<std::uint32_t>(st + ((dt - st) * static_cast<int>(param) >> 7)));
        }
        return Store(mixed);
      }
      case kEffectInvert:
        return ~s & Mask();
      case kEffectXor:
        return (d ^ s) & Mask();
      case kEffectAnd:
        return d & s & Mask();
      case kEffectOr:
        return (d | s) & Mask();
      case kEffectAndNot:
        return d & ~s & Mask();
      case kEffectAdd:
        return Store(
            {std::min(sc.r + dc.r, 255), std::min(sc.g + dc.g, 255), std::min(sc.b + dc.b, 255)});
      case kEffectMono: {
        const int grey = (5 * sc.r + 9 * sc.g + 2 * sc.b) >> 4;
        return Store({grey, grey, grey});
      }
      case kEffectSubtract:
        return Store(
            {std::max(dc.r - sc.r, 0), std::max(dc.g - sc.g, 0), std::max(dc.b - sc.b, 0)});
      case kEffectBlendSubstitute: {
        const bool isKey = d_.depth == 8 ? (d & 0xFF) == 0 : d == sourceKey;
        const std::uint32_t k = param & 0xFFFFFF;
        // K is a working-form colour: red low at 8-16 bits, blue low at 24 and 32.
        const Rgb substitute = d_.depth <= 16
                                   ? Rgb{int(k & 255), int((k >> 8) & 255), int(k >> 16)}
                                   : Rgb{int(k >> 16), int((k >> 8) & 255), int(k & 255)};
        return Store(Blend(sc, isKey ? substitute : dc, c));
      }
      case kEffectBlendExceptKey: {
        if (d == KeyInDestination(param & 0xFFFFFF)) return d;
        return Store(Blend(sc, dc, c));
      }
      default:
        ADD_FAILURE() << "no model for effect " << code;
        return d;
    }
  }

  std::uint32_t KeyInDestination(std::uint32_t color) const {
    switch (d_.depth) {
      case 8:
        return static_cast<std::uint32_t>(GetNearestIndex(d_.palette, color));
      case 15:
        return ((color & 0xF80000) >> 19) | ((color & 0xF800) >> 6) | ((color & 0xF8) << 7);
      case 16:
        return ((color & 0xF80000) >> 19) | ((color & 0xFC00) >> 5) | ((color & 0xF8) << 8);
      default:
        return ((color & 0xFF) << 16) | (color & 0xFF00) | ((color >> 16) & 0xFF);
    }
  }

  // Alpha-plane mix of a result E over D with alpha a (1..254).
  std::uint32_t AlphaMix(std::uint32_t e, std::uint32_t d, int a) const {
    const Rgb ec = Color(e), dc = Color(d);
    return Store({(ec.r * a + dc.r * (256 - a)) >> 8, (ec.g * a + dc.g * (256 - a)) >> 8,
                  (ec.b * a + dc.b * (256 - a)) >> 8});
  }

 private:
  const PixelDescriptor& d_;
  bool mmx_;
};

// ---- the sweep ---------------------------------------------------------------------------

constexpr int kW = 23, kH = 7;  // odd sizes reach every loop tail

struct Scenario {
  int depth;
  int mode;
  std::uint32_t code;
  bool alpha;
  bool mmx;  // the surfaces' vector-form flag
};

std::uint32_t ParameterFor(std::uint32_t code, std::mt19937& rng) {
  switch (code) {
    case kEffectSemiTransparent:
      return 1 + rng() % 127;
    case kEffectBlendSubstitute:
    case kEffectBlendExceptKey:
      return ((1 + rng() % 127) << 24) | (rng() & 0xFFFFFF);
    default:
      return 0;
  }
}

void RunScenario(const Scenario& sc, std::mt19937& rng) {
  auto source = testsupport::MakeSurface(sc.depth, kW, kH);
  auto target = testsupport::MakeSurface(sc.depth, kW + 5, kH + 3);
  ASSERT_TRUE(source->IsValid() && target->IsValid());
  cSurfaceImplementation* s = source->implementation;
  cSurfaceImplementation* d = target->implementation;
  for (cSurfaceImplementation* surface : {s, d}) {
    surface->flags =
        sc.mmx ? (surface->flags | kSurfaceFlagMmx) : (surface->flags & ~kSurfaceFlagMmx);
  }
  testsupport::FillRandom(*s, rng);
  testsupport::FillRandom(*d, rng);
  source->SetTransparentColor(0x00406080);
  const std::uint32_t key = s->transparentValue;
  for (int y = 0; y < kH; ++y) {
    for (int x = 0; x < kW; ++x) {
      if (rng() % 3 == 0) testsupport::SetRawPixel(*s, x, y, key);
    }
  }
  // Plant a few destination pixels equal to the keys effects 6 and 12 look for.
  const std::uint32_t param = ParameterFor(sc.code, rng);
  PixelModel model(*d, (d->flags & kSurfaceFlagMmx) != 0);
  for (int i = 0; i < 12; ++i) {
    const std::uint32_t planted = sc.code == kEffectBlendExceptKey
                                      ? model.KeyInDestination(param & 0xFFFFFF)
                                  : sc.depth == 8 ? 0
                                                  : key;
    testsupport::SetRawPixel(*d, static_cast<int>(rng() % (kW + 5)),
                             static_cast<int>(rng() % (kH + 3)), planted);
  }
  if (sc.alpha) {
    ASSERT_NE(source->CreateAlpha(), nullptr);
    const int fixed[] = {0, 1, 127, 255};
    for (int y = 0; y < kH; ++y) {
      for (int x = 0; x < kW; ++x) {
        s->AlphaRow(y)[x] = static_cast<std::uint8_t>(rng() % 2 ? fixed[rng() % 4] : rng());
      }
    }
  }
  const std::vector<std::uint8_t> before(d->firstRow, d->firstRow + d->stride * d->height);
  const auto dx = 3, dy = 2;
  ASSERT_EQ(source->Blit(target.get(), dx, dy, 0, 0, kW, kH, sc.mode, sc.code, param, 0), 1);

  for (int y = 0; y < d->height; ++y) {
    for (int x = 0; x < d->width; ++x) {
      std::uint32_t old = 0;
      std::memcpy(&old, before.data() + y * d->stride + x * d->bytesPerPixel,
                  static_cast<size_t>(d->bytesPerPixel));
      std::uint32_t expected = old;
      const int sx = x - dx, sy = y - dy;
      if (sx >= 0 && sy >= 0 && sx < kW && sy < kH) {
        const std::uint32_t sp = RawPixel(*s, sx, sy);
        const std::uint32_t effectResult = model.Effect(sc.code, param, sp, old, key);
        if (sc.mode == kModeOpaque) {
          expected = effectResult;
        } else if (!sc.alpha) {
          expected = sp == key ? old : effectResult;
        } else {
          const int a = s->AlphaRow(sy)[sx];
          const bool plainCopy = sc.code == kEffectNone;
          if (a == 0) {
            expected = old;
          } else if (a == 255) {
            expected = plainCopy ? sp : effectResult;
          } else {
            expected = model.AlphaMix(effectResult, old, a);
          }
        }
      }
      ASSERT_EQ(RawPixel(*d, x, y), expected)
          << "depth " << sc.depth << " mode " << sc.mode << " effect " << sc.code << " alpha "
          << sc.alpha << " param 0x" << std::hex << param << std::dec << " at (" << x << ", " << y
          << ")";
    }
  }
}

TEST(BlitReference, EveryEffectModeAndDepthMatchesTheModel) {
  std::mt19937 rng(20261208);
  for (int depth : {8, 15, 16, 24, 32}) {
    for (int mode : {kModeOpaque, kModeTransparent}) {
      for (std::uint32_t code = 0; code <= 12; ++code) {
        if (code == kEffectUnassigned) continue;
        // Opaque 8-bit substitute and except-key blends are left open by the renderer's
        // contract (they may leave the destination unchanged).
        if (depth == 8 && mode == kModeOpaque &&
            (code == kEffectBlendSubstitute || code == kEffectBlendExceptKey)) {
          continue;
        }
        for (bool alpha : {false, true}) {
          if (alpha && mode == kModeOpaque) continue;  // opaque copies ignore the plane
          for (bool mmx : {true, false}) {
            SCOPED_TRACE(::testing::Message() << "depth " << depth << " mode " << mode << " effect "
                                              << code << " alpha " << alpha << " mmx " << mmx);
            RunScenario({depth, mode, code, alpha, mmx}, rng);
            if (HasFatalFailure()) return;
          }
        }
      }
    }
  }
}

}  // namespace
