// Random sequences of public surface, blit, stretch, rotate, mask and bank calls with extreme
// arguments: INT_MIN and INT_MAX coordinates and sizes, zero and negative sizes, NaN and
// infinite angles and scales, a surface drawn onto itself, empty objects, extreme origins.
//
// Two of the surfaces draw into memory owned here, with guard bytes before, after and between
// their rows: after every call each guard must be intact (nothing written outside a surface),
// and a drawing call that answers 0 must have left its destination's pixels as they were.
// A refused AddImage must leave the bank's image count as it was, a refused GetImageSurface
// the object it was asked to fill.
//
// Input: a byte picking each surface's depth and size, then operations, each an opcode byte
// followed by the argument bytes it reads (missing bytes read as 0). With VEXA_FUZZ_TRACE set,
// replaying an input prints each operation.
#include <cfloat>
#include <climits>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <memory>
#include <vector>

#include <vexa/blit.h>
#include <vexa/collision_mask.h>
#include <vexa/image_bank.h>
#include <vexa/image_surface.h>
#include <vexa/library.h>
#include <vexa/palette.h>
#include <vexa/rotation.h>
#include <vexa/surface_object.h>

namespace {

constexpr int kDepths[] = {8, 15, 16, 24, 32};
constexpr std::uint8_t kGuard = 0xA5;
constexpr std::size_t kGuardBytes = 64;
constexpr int kMaxOperations = 48;

struct Reader {
  const std::uint8_t* data;
  std::size_t size;
  std::size_t at = 0;
  std::uint8_t Byte() { return at < size ? data[at++] : 0; }
  std::uint32_t U32() {
    std::uint32_t v = 0;
    for (int i = 0; i < 4; ++i) v = v << 8 | Byte();
    return v;
  }
  bool More() const { return at < size; }
  // Mostly the edges of the int range and small values near a surface.
  int Int() {
    switch (Byte() % 10) {
      case 0:
        return INT_MIN;
      case 1:
        return INT_MAX;
      case 2:
        return INT_MIN + static_cast<int>(Byte() % 8);
      case 3:
        return INT_MAX - static_cast<int>(Byte() % 8);
      case 4:
        return -1;
      case 5:
        return static_cast<int>(U32());
      case 6:
        return static_cast<int>(static_cast<std::int16_t>(Byte() << 8 | Byte()));
      default:
        return static_cast<int>(Byte() % 40) - 8;
    }
  }
  float Float() {
    switch (Byte() % 12) {
      case 0:
        return std::numeric_limits<float>::quiet_NaN();
      case 1:
        return std::numeric_limits<float>::infinity();
      case 2:
        return -std::numeric_limits<float>::infinity();
      case 3:
        return 0.0f;
      case 4:
        return -0.0f;
      case 5:
        return 1e30f;
      case 6:
        return -1e30f;
      case 7:
        return FLT_MIN;
      case 8:
        return FLT_MAX;
      default:
        return static_cast<float>(static_cast<std::int8_t>(Byte())) / 8.0f;
    }
  }
};

// A surface over memory of ours: guard bytes, then rows of rowBytes bytes `pitch` apart (the
// gap between them guarded too), then guard bytes. Rows are bottom-up for a negative pitch.
struct GuardedSurface {
  std::vector<std::uint8_t> block;
  std::size_t rowBytes = 0;
  std::ptrdiff_t pitch = 0;
  int width = 0;
  int height = 0;
  cSurfaceObject object;

  bool Make(int depth, int w, int h, bool bottomUp) {
    const int bytesPerPixel = depth == 8 ? 1 : depth <= 16 ? 2 : depth / 8;
    width = w;
    height = h;
    rowBytes = static_cast<std::size_t>(w) * static_cast<std::size_t>(bytesPerPixel);
    const std::size_t stride = (rowBytes + 3) / 4 * 4 + 8;  // 4-byte aligned, then a gap
    block.assign(2 * kGuardBytes + stride * static_cast<std::size_t>(h), kGuard);
    pitch = bottomUp ? -static_cast<std::ptrdiff_t>(stride) : static_cast<std::ptrdiff_t>(stride);
    auto* surface = new cSaveBufferSurface();
    if (!surface->InitFormat(depth)) {
      surface->Delete();
      return false;
    }
    std::uint8_t* first = block.data() + kGuardBytes + (bottomUp ? stride * (h - 1) : 0);
    if (!surface->AttachStorage(first, w, h, static_cast<int>(pitch))) {
      surface->Delete();
      return false;
    }
    object.SetImplementation(surface);
    if (depth == 8) {
      PaletteObject* palette = GetDefaultPalette();
      object.SetPalette(palette, 0);
      if (palette) ReleasePalette(palette);
    }
    for (int y = 0; y < h; ++y) std::memset(Row(y), 0x11 * (y % 15), rowBytes);
    return true;
  }
  std::uint8_t* Row(int y) {
    return block.data() + kGuardBytes + (pitch < 0 ? -pitch * (height - 1 - y) : pitch * y);
  }
  bool IsPixelByte(std::size_t offset) const {
    if (offset < kGuardBytes) return false;
    const std::size_t inside = offset - kGuardBytes;
    const std::size_t stride = static_cast<std::size_t>(pitch < 0 ? -pitch : pitch);
    return inside / stride < static_cast<std::size_t>(height) && inside % stride < rowBytes;
  }
  void CheckGuards() const {
    for (std::size_t i = 0; i < block.size(); ++i) {
      if (!IsPixelByte(i) && block[i] != kGuard) std::abort();
    }
  }
};

// The object an effect of code 13 names: its parameter is a pointer to one, never a number.
class FuzzEffect : public IEffectObject {
 public:
  DWORD rgba = 0;
  DWORD GetRGBACoefficient() override { return rgba; }
};

struct Effect {
  std::uint32_t code;
  EffectParam parameter;
};

Effect PickEffect(Reader& in, FuzzEffect& object) {
  const std::uint8_t b = in.Byte();
  std::uint32_t code = b % kEffectCodeCount;
  if (b & 0x80) code |= kEffectParamIsRGBA;
  const std::uint32_t value = in.U32();
  if ((code & kEffectCodeMask) != kEffectObject) return {code, value};
  object.rgba = value;
  return {code, (b & 0x40) ? 0 : reinterpret_cast<EffectParam>(&object)};
}

struct BankDeleter {
  void operator()(ImageBank* bank) const { DestroyImageBank(bank); }
};

struct World {
  GuardedSurface guarded[2];
  cSurfaceObject memory;  // a surface of the library's own making
  cSurfaceObject empty;   // never created
  std::unique_ptr<ImageBank, BankDeleter> bank{CreateImageBank(0, nullptr)};
  cSurfaceObject image;  // a bank image, once there is one
  FuzzEffect effectObject;

  cSurfaceObject* Pick(std::uint8_t b) {
    switch (b % 5) {
      case 0:
        return &guarded[0].object;
      case 1:
        return &guarded[1].object;
      case 2:
        return &memory;
      case 3:
        return &image;
      default:
        return &empty;
    }
  }
  GuardedSurface* GuardedOf(const cSurfaceObject* s) {
    for (GuardedSurface& g : guarded)
      if (&g.object == s) return &g;
    return nullptr;
  }
};

// A placed mask test with the surface's own mask.
void MaskCalls(cSurfaceObject* s, Reader& in) {
  const int w = s->GetWidth(), h = s->GetHeight();
  if (w <= 0 || h <= 0 || w > 64 || h > 64) return;
  std::vector<std::uint8_t> block(static_cast<std::size_t>(MaskBlockSize(w, h)));
  auto* mask = reinterpret_cast<CollisionMask*>(block.data());
  if (!s->implementation->BuildMask(mask, in.Byte() & 1)) return;
  mask->hotSpotX = in.Int();
  mask->hotSpotY = in.Int();
  const RECT r{in.Int(), in.Int(), in.Int(), in.Int()};
  const float sx = in.Float(), sy = in.Float(), angle = in.Float();
  TestRectMask(&r, mask, in.Int(), in.Int(), sx, sy, angle);
  TestMaskPointPlaced(mask, in.Int(), in.Int(), angle, sx, sy);
  TestMaskOverlapRotatedScaled(MaskBits(mask), MaskBits(mask), in.Int(), in.Int(), w, h, in.Int(),
                               in.Int(), mask->hotSpotX, mask->hotSpotY, w, h, sx, sy, angle,
                               in.Int());
}

// Adds an image from a sized block of input bytes, and opens it as the world's image.
void BankCalls(World& world, Reader& in) {
  ImageBank* bank = world.bank.get();
  if (!bank) return;
  const int before = GetEntryCount(bank, kListImages);
  const int width = in.Byte() % 3 == 0 ? in.Int() : 1 + in.Byte() % 24;
  const int height = in.Byte() % 3 == 0 ? in.Int() : 1 + in.Byte() % 24;
  const std::uint32_t flags = (in.U32() & 0x1FFFF & ~kAddSizedData) | kAddSizedData;
  const std::uint32_t count = in.Byte() * 8u;
  std::vector<std::uint8_t> supplied(4 + count);
  std::memcpy(supplied.data(), &count, 4);
  for (std::uint32_t i = 0; i < count; ++i) supplied[4 + i] = in.Byte();
  const int n = AddImage(bank, width, height, in.Int(), in.Int(), 0, 0, in.U32(), flags,
                         supplied.data(), nullptr);
  if (n == 0) {
    if (GetEntryCount(bank, kListImages) != before) std::abort();
    return;
  }
  ImageInfo info{};
  if (!GetImageInfo(bank, n, &info) || info.width != width || info.height != height) std::abort();
  // A refusal leaves the object as it was.
  const cSurfaceImplementation* held = world.image.implementation;
  if (!GetImageSurface(bank, n, &world.image, in.Byte() % 3) &&
      world.image.implementation != held) {
    std::abort();
  }
}

// One operation; the destination it may draw on (null for none) and whether it answered 0.
struct Outcome {
  cSurfaceObject* destination = nullptr;
  bool failed = false;
};

Outcome Operate(World& world, Reader& in) {
  const std::uint8_t op = in.Byte();
  const std::uint8_t pa = in.Byte(), pb = in.Byte();
  cSurfaceObject* a = world.Pick(pa);
  cSurfaceObject* b = world.Pick(pb);
  static const bool trace = std::getenv("VEXA_FUZZ_TRACE") != nullptr;
  if (trace) std::fprintf(stderr, "operation %d on surfaces %d, %d\n", op % 13, pa % 5, pb % 5);
  Outcome out;
  switch (op % 13) {
    case 0: {
      const int x = in.Int(), y = in.Int(), sx = in.Int(), sy = in.Int(), w = in.Int(),
                h = in.Int();
      const int mode = in.Byte() % 2;
      const Effect e = PickEffect(in, world.effectObject);
      const std::uint32_t flags = in.Byte() % 4;
      out = {b, a->Blit(b, x, y, sx, sy, w, h, mode, e.code, e.parameter, flags) == 0};
      break;
    }
    case 1: {
      const int x = in.Int(), y = in.Int(), mode = in.Byte() % 2;
      const Effect e = PickEffect(in, world.effectObject);
      out = {b, a->Blit(b, x, y, mode, e.code, e.parameter, in.Byte() % 4) == 0};
      break;
    }
    case 2: {
      const int x = in.Int(), y = in.Int(), w = in.Int(), h = in.Int();
      const int sx = in.Int(), sy = in.Int(), sw = in.Int(), sh = in.Int();
      const int mode = in.Byte() % 2;
      const Effect e = PickEffect(in, world.effectObject);
      const std::uint32_t flags = in.Byte() % 16;
      out = {b,
             a->StretchBlit(b, x, y, w, h, sx, sy, sw, sh, mode, e.code, e.parameter, flags) == 0};
      break;
    }
    case 3: {
      const int x = in.Int(), y = in.Int(), sx = in.Int(), sy = in.Int();
      out = {a, a->MoveRect(x, y, sx, sy, in.Int(), in.Int()) == 0};
      break;
    }
    case 4: {
      const int x = in.Int(), y = in.Int(), w = in.Int(), h = in.Int();
      out = {a, a->FillRectColor(x, y, w, h, in.U32()) == 0};
      break;
    }
    case 5: {
      const int x = in.Int(), y = in.Int(), w = in.Int(), h = in.Int();
      out = {a, (in.Byte() & 1 ? a->FlipHorizontal(x, y, w, h) : a->FlipVertical(x, y, w, h)) == 0};
      break;
    }
    case 6: {
      const int x = in.Int(), y = in.Int();
      a->SetPixelColor(x, y, in.U32());
      COLORREF c = 0;
      a->GetPixelColor(in.Int(), in.Int(), &c);
      break;
    }
    case 7: {
      const int x = in.Int(), y = in.Int();
      if (in.Byte() & 1) {
        a->SetOrigin(x, y);
      } else {
        a->OffsetOrigin(x, y);
      }
      break;
    }
    case 8: {
      const int x = in.Int(), y = in.Int(), w = in.Int(), h = in.Int();
      if (in.Byte() & 1) {
        a->SetClipRect(x, y, w, h);
      } else {
        a->ResetClipRect();
      }
      break;
    }
    case 9: {
      const double angle = in.Float();
      const int antialias = in.Byte() & 1, transparency = in.Byte() & 1;
      out = {b, a->Rotate(b, angle, antialias, in.U32(), transparency) == 0};
      RECT r{in.Int(), in.Int(), in.Int(), in.Int()};
      POINT hot{in.Int(), in.Int()}, action{in.Int(), in.Int()};
      GetRotatedRect(&r, &hot, &action, in.Float());
      break;
    }
    case 10:
      MaskCalls(a, in);
      break;
    case 11:
      BankCalls(world, in);
      break;
    default:
      if (a->GetDepth() == 8 && (in.Byte() & 1)) a->SetPalette(nullptr, 0);
      a->ReplaceColor(in.U32(), in.U32());
      break;
  }
  return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  Reader in{data, size};
  World world;
  for (GuardedSurface& g : world.guarded) {
    const std::uint8_t shape = in.Byte();
    if (!g.Make(kDepths[shape % 5], 1 + (shape >> 3) % 16, 1 + in.Byte() % 16, shape & 4)) {
      std::abort();
    }
  }
  cSurfaceObject* prototype = nullptr;
  GetPrototype(&prototype, kDepths[in.Byte() % 5], kTypeMemory, kDriverNone);
  world.memory.Create(1 + in.Byte() % 16, 1 + in.Byte() % 16, prototype);
  for (int i = 0; i < kMaxOperations && in.More(); ++i) {
    // The destination's pixels before the call, to see that a refusal changed none.
    std::vector<std::uint8_t> before[2] = {world.guarded[0].block, world.guarded[1].block};
    const Outcome out = Operate(world, in);
    for (const GuardedSurface& g : world.guarded) g.CheckGuards();
    const GuardedSurface* target = world.GuardedOf(out.destination);
    if (out.failed && target && target->block != before[target == &world.guarded[0] ? 0 : 1]) {
      std::abort();
    }
  }
  world.image.ReleaseImplementation();
  return 0;
}
