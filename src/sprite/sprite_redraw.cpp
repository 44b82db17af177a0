// The redraw cycle: erase what changed, commit the recorded changes, save and draw.
//
// In software mode a sprite's "saved rectangle" is where it was last drawn (clipped to the
// display, with the smoothing ring). What lay under it is kept either in the window's
// background surface, a display-sized copy written at the same places, or in the sprite's own
// save-under surface (state bit 0x10). Sprites that are retained and untouched stay on screen
// and are neither erased nor drawn; every other visible sprite is erased and drawn each frame,
// together with the retained ones that overlap them (the uncovered mark spreads through the
// overlap lists), so that the area under every redrawn sprite holds only background when it is
// saved.
#include <algorithm>
#include <cstdlib>
#include <vector>

#include <vexa/blit.h>
#include <vexa/display_driver.h>
#include <vexa/image_bank.h>
#include <vexa/surface_object.h>
#include <vexa/transformed_blit.h>

#include "bank/bank_internal.h"
#include "bank/driver_surface_cache.h"
#include "render/blit_many.h"
#include "sprite/sprite_internal.h"
#include "sprite/sprite_transform.h"

namespace sprite {
namespace {

cSurfaceImplementation* Display(GameWindow* window) {
  if (!IsValidWindowObject(window) || !window->backBuffer || !window->backBufferImpl)
    return nullptr;
  return window->backBufferImpl;
}

void ForgetSaved(Sprite* s) { s->saved = RECT{-1, -1, -1, -1}; }
int Width(const RECT& r) { return r.right - r.left; }
int Height(const RECT& r) { return r.bottom - r.top; }

std::intptr_t Callback(Sprite* s, int code) {
  if (!s->currentImage) return 0;
  return reinterpret_cast<SpriteCallback>(s->currentImage)(s, code, 0);
}

RECT ClampedAtZero(RECT r) {
  r.left = std::max<LONG>(r.left, 0);
  r.top = std::max<LONG>(r.top, 0);
  return r;
}

bool Invisible(const Sprite* s) {
  return (s->ink & kEffectCodeMask) == kEffectSemiTransparent && s->inkParameter == 128;
}

bool IsTransformed(const SpriteGeometry& g) {
  return g.scaleX != 1.0f || g.scaleY != 1.0f || g.angle != 0.0f;
}

RECT DisplayClip(cSurfaceImplementation* display) {
  return RECT{display->clipLeft, display->clipTop, display->clipRight, display->clipBottom};
}

RECT Meet(const RECT& a, const RECT& b) {
  return RECT{std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
              std::min(a.bottom, b.bottom)};
}

// Opaque copies between the display and the window's background surface, gathered and made
// once per pixel. The erase and save steps copy one rectangle per sprite, and at a few
// thousand sprites the rectangles cover the display many times over; since each such copy
// writes the same value wherever rectangles overlap, copying their union gives the same
// pixels. Anything else that touches either surface (a fill, an owner's callback, a
// save-under copy) flushes the batch first, so the order of effects stays as it was.
class CopyBatch {
 public:
  // Without both surfaces the batch is idle and takes nothing.
  CopyBatch(cSurfaceImplementation* from, cSurfaceImplementation* to) : from_(from), to_(to) {
    if (!from || !to) return;
    width_ = std::max(std::min(from->width, to->width), 0);
    height_ = std::max(std::min(from->height, to->height), 0);
    words_ = (width_ + 63) / 64;
    thread_local std::vector<std::uint64_t> rows;
    thread_local std::vector<RECT> rects;
    thread_local std::vector<vexa::BlitMove> moves;
    rows_ = &rows;
    rects_ = &rects;
    moves_ = &moves;
    rects.clear();
  }
  ~CopyBatch() { Flush(); }
  CopyBatch(const CopyBatch&) = delete;
  CopyBatch& operator=(const CopyBatch&) = delete;

  bool Active() const { return from_ && to_; }
  void Add(const RECT& r) {
    const int left = std::max<int>(r.left, 0), right = std::min<int>(r.right, width_);
    const int top = std::max<int>(r.top, 0), bottom = std::min<int>(r.bottom, height_);
    if (left >= right || top >= bottom) return;
    rects_->push_back(RECT{left, top, right, bottom});
    area_ += std::int64_t{right - left} * (bottom - top);
  }

  // Copies the gathered area. Rectangles that cover less than the display are copied as they
  // are; more go through a mask of their union, so that each pixel is copied once.
  void Flush() {
    if (!area_) return;
    moves_->clear();
    if (area_ <= std::int64_t{width_} * height_) {
      for (const RECT& r : *rects_) Copy(r.left, r.top, r.right, r.bottom);
    } else {
      rows_->assign(static_cast<std::size_t>(words_) * static_cast<std::size_t>(height_), 0);
      for (const RECT& r : *rects_) Mark(r.left, r.top, r.right, r.bottom);
      CopyUnion();
    }
    vexa::BlitOpaqueMany(from_, to_, moves_->data(), static_cast<int>(moves_->size()));
    rects_->clear();
    area_ = 0;
  }

 private:
  void Mark(int left, int top, int right, int bottom) {
    first_ = std::min(first_, top);
    last_ = std::max(last_, bottom);
    const int lw = left >> 6, rw = (right - 1) >> 6;
    const std::uint64_t lmask = ~std::uint64_t{0} << (left & 63);
    const std::uint64_t rmask = ~std::uint64_t{0} >> (63 - ((right - 1) & 63));
    // Walked with local pointers: the compiler keeps them in registers.
    const auto stride = static_cast<std::size_t>(words_);
    std::uint64_t* row = Row(top);
    std::uint64_t* const end = row + static_cast<std::size_t>(bottom - top) * stride;
    if (lw == rw) {
      const std::uint64_t mask = lmask & rmask;
      for (; row < end; row += stride) row[lw] |= mask;
      return;
    }
    for (; row < end; row += stride) {
      row[lw] |= lmask;
      for (int w = lw + 1; w < rw; ++w) row[w] = ~std::uint64_t{0};
      row[rw] |= rmask;
    }
  }

  // Copies the marked area: runs of a row that continue a run of the row above with the same
  // ends grow its rectangle, so most of the area goes in a few large copies.
  void CopyUnion() {
    if (first_ >= last_) return;
    open_.clear();
    for (int y = first_; y <= last_; ++y) {
      // A row like the one above continues every open rectangle.
      if (y > first_ && y < last_ && std::equal(Row(y), Row(y) + words_, Row(y - 1))) {
        std::fill_n(Row(y - 1), words_, 0);
        continue;
      }
      if (y > first_) std::fill_n(Row(y - 1), words_, 0);
      runs_.clear();
      if (y < last_) Runs(Row(y));
      // Open rectangles whose run ends here are copied; matching ones grow.
      std::size_t kept = 0, k = 0;
      for (const Open& o : open_) {
        while (k < runs_.size() && runs_[k].left < o.left) ++k;
        if (k < runs_.size() && runs_[k].left == o.left && runs_[k].right == o.right) {
          runs_[k].top = -1;  // taken
          open_[kept++] = o;
        } else {
          Copy(o.left, o.top, o.right, y);
        }
      }
      // The kept rectangles and the new runs are each in order: merged, the open list is.
      open_.resize(kept);
      for (const Open& run : runs_)
        if (run.top >= 0) open_.push_back(Open{run.left, run.right, y});
      std::inplace_merge(open_.begin(), open_.begin() + static_cast<std::ptrdiff_t>(kept),
                         open_.end(), [](const Open& a, const Open& b) { return a.left < b.left; });
    }
    first_ = INT32_MAX;
    last_ = INT32_MIN;
  }

  struct Open {
    int left, right, top;
  };
  std::uint64_t* Row(int y) { return rows_->data() + static_cast<std::size_t>(y) * words_; }
  void Runs(const std::uint64_t* row) {
    int left = 0, right = 0;
    for (int x = 0; x < width_ && NextRun(row, words_, width_, x, &left, &right); x = right)
      runs_.push_back(Open{left, right, 0});
  }
  // The copies of one flush go to the renderer together: the same surfaces, one lock.
  void Copy(int left, int top, int right, int bottom) {
    moves_->push_back(vexa::BlitMove{left, top, left, top, right - left, bottom - top});
  }

  cSurfaceImplementation* from_;
  cSurfaceImplementation* to_;
  int width_ = 0, height_ = 0, words_ = 0;
  int first_ = INT32_MAX, last_ = INT32_MIN;
  std::int64_t area_ = 0;
  std::vector<std::uint64_t>* rows_ = nullptr;
  std::vector<RECT>* rects_ = nullptr;
  std::vector<vexa::BlitMove>* moves_ = nullptr;
  std::vector<Open> runs_, open_;
};

// Copies an area of the display into a save-under surface, making or enlarging it.
void SaveUnder(cSurfaceImplementation* display, Sprite* s) {
  const int w = Width(s->saved), h = Height(s->saved);
  if (s->saveUnder && (s->saveUnder->width < w || s->saveUnder->height < h)) {
    s->saveUnder->Delete();
    s->saveUnder = nullptr;
  }
  if (!s->saveUnder) s->saveUnder = display->CreateCompatible(w, h);
  if (!s->saveUnder) {
    ForgetSaved(s);  // nothing kept: the sprite is not drawn this frame
    return;
  }
  display->Blit(s->saveUnder, 0, 0, s->saved.left, s->saved.top, w, h, kModeOpaque, kEffectNone, 0,
                0);
}

// The image surface of the sprite's current image in `holder`; null when there is none.
cSurfaceImplementation* ImageSource(GameWindow* window, std::intptr_t image, cSurfaceObject& holder,
                                    int mode) {
  if (image <= 0 || image > 0x7FFFFFFF) return nullptr;
  if (!GetImageSurface(window->context, static_cast<int>(image), &holder, mode)) return nullptr;
  return holder.implementation;
}

TransformSmoothing SmoothingOf(const Sprite* s) {
  TransformSmoothing smoothing;
  smoothing.resample = (s->flags & kSpriteResample) != 0;
  smoothing.transparentInk = (s->ink & kInkTransparent) != 0;
  smoothing.smoothTurn = (s->flags & kSpriteSmoothRotate) != 0;
  return smoothing;
}

// Rebuilds the scaled and rotated copy of a sprite's image. Sprites in display-driver mode have
// none at commit: the driver transforms them; `forDriver` makes one for those it cannot.
void BuildTransformed(GameWindow* window, Sprite* s, bool forDriver = false) {
  const SpriteGeometry& g = s->current;
  ImageBank* bank = window->context;
  cSurfaceObject image;
  cSurfaceImplementation* source = nullptr;
  if (!IsOwnerDrawn(s) && (!(s->flags & kSpriteDriverMode) || forDriver) && IsTransformed(g) &&
      bank && bank->workSurface)
    source = ImageSource(window, s->currentImage, image, kImageSurfacePlain);
  if (!source) {
    DropTransformed(s);
    return;
  }
  // The previous copy is made again at the new size where it can be. A copy that cannot be
  // made (or larger than any display) leaves the sprite undrawn.
  cSurfaceObject* previous = s->transformed;
  s->transformed = nullptr;
  s->transformed =
      MakeTransformedCopy(source, g, g.rect, SmoothingOf(s), bank->workSurface, previous);
}

std::uint32_t BlitFlags(const Sprite* s) { return HasRing(s->ink) ? kBlitAntialias : 0; }
int BlitMode(std::uint32_t ink) { return (ink & kInkTransparent) ? kModeTransparent : kModeOpaque; }

// The image surfaces a draw pass has made, by image number. Making one costs an allocation
// per sprite, and a compressed image's decompression, so sprites that show the same image in
// one pass share its surface. An owner's callback may change or delete the bank's images:
// the pass forgets every surface before it runs one.
class ImageSurfaces {
 public:
  explicit ImageSurfaces(GameWindow* window) : window_(window) {}

  cSurfaceImplementation* Of(std::intptr_t image) {
    Slot& slot = slots_[static_cast<std::uintptr_t>(image) % kSlots];
    if (slot.image != image || image == 0) {  // 0 names no image: the lookup refuses it
      slot.image = 0;  // a failed lookup leaves the holder as it was, but names no image
      if (!ImageSource(window_, image, slot.holder, kImageSurfaceInPlace)) return nullptr;
      slot.image = image;
    }
    return slot.holder.implementation;
  }
  void Forget() {
    for (Slot& slot : slots_) {
      slot.holder.ReleaseImplementation();
      slot.image = 0;
    }
  }

 private:
  static constexpr std::size_t kSlots = 16;
  struct Slot {
    std::intptr_t image = 0;  // 0: none (image numbers start at 1)
    cSurfaceObject holder;
  };
  GameWindow* window_;
  Slot slots_[kSlots];
};

// Draws one sprite through Blit; the display is locked by the caller.
void DrawOne(cSurfaceImplementation* display, Sprite* s, ImageSurfaces& images) {
  cSurfaceImplementation* source = nullptr;
  if (s->transformed)
    source = s->transformed->implementation;
  else if (!IsTransformed(s->current))
    source = images.Of(s->currentImage);
  if (!source) return;  // a transformed copy that could not be made: not drawn
  source->Blit(display, s->current.rect.left, s->current.rect.top, 0, 0, source->width,
               source->height, BlitMode(s->ink), s->ink & 0xFFFF, s->inkParameter, BlitFlags(s));
}

bool LayerHidden(const LayerRecord& layer) {
  return (layer.effect & kEffectCodeMask) == kEffectSemiTransparent && layer.parameter == 128;
}

// Layers with a visible effect are drawn into the layer surface and composited.
bool LayerComposites(const LayerRecord& layer) {
  return !(layer.flags & kLayerDrawStraight) && (layer.effect & kEffectCodeMask) != kEffectNone;
}

void FlushLayer(GameWindow* window, cSurfaceImplementation* display, const LayerRecord* layer) {
  if (!layer || !window->layerSurface) return;
  cSurfaceImplementation* surface = window->layerSurface->implementation;
  surface->Blit(display, 0, 0, 0, 0, surface->width, surface->height, kModeTransparent,
                layer->effect, layer->parameter, 0);
}

// The surface a sprite's image is drawn from on a driver display: the image's driver surface
// (asked with flag 2 for effect 13), else the bank's own image surface.
cSurfaceImplementation* DriverSource(GameWindow* window, const Sprite* s, cSurfaceObject& holder) {
  if (s->currentImage <= 0 || s->currentImage > 0x7FFFFFFF) return nullptr;
  const std::uint32_t want = (s->ink & kEffectCodeMask) == kEffectObject ? 2 : 0;
  cSurfaceImplementation* source =
      GetImageDriverSurface(window->context, static_cast<int>(s->currentImage), want);
  return source ? source : ImageSource(window, s->currentImage, holder, kImageSurfaceInPlace);
}

// Hands a scaled or turned sprite to the surface it is drawn on, which transforms it: scale and
// angle about the image's hot spot, placed by the hot spot at the sprite's position.
int HandOverTransformed(cSurfaceImplementation* source, cSurfaceImplementation* target,
                        const Sprite* s) {
  const SpriteGeometry& g = s->current;
  TransformedBlitArgs t;
  t.x = static_cast<float>(g.x);
  t.y = static_cast<float>(g.y);
  t.sourceWidth = source->width;
  t.sourceHeight = source->height;
  t.hotSpotX = g.hotSpotX;
  t.hotSpotY = g.hotSpotY;
  t.scaleX = g.scaleX;
  t.scaleY = g.scaleY;
  t.angle = g.angle;
  t.mode = BlitMode(s->ink);
  if (s->flags & kSpriteResample) t.options |= kTransformSmooth | kTransformResample;
  if (s->flags & kSpriteSmoothRotate) t.options |= kTransformSmooth | kTransformSmoothTurn;
  if (HasRing(s->ink)) t.options |= kTransformEdgeRing;
  t.effect = s->ink & 0xFFFF;
  t.parameter = static_cast<std::uint32_t>(s->inkParameter);
  return CallBlitTransformed(source, target, t);
}

// A scaled or turned sprite on a driver display goes through the transformed hand-over. Effect
// 13's parameter (a pointer) does not fit the hand-over, and a surface may not transform
// (BlitTransformedFrom answers 0): those get the library's transformed copy, blitted plainly.
void DrawTransformedOnDriver(GameWindow* window, cSurfaceImplementation* target, Sprite* s,
                             cSurfaceObject& holder) {
  // A scale of 0 shows nothing (turned or not), as in software.
  if (!(s->current.scaleX > 0.0f) || !(s->current.scaleY > 0.0f)) return;
  if ((s->ink & kEffectCodeMask) != kEffectObject) {
    cSurfaceImplementation* source = DriverSource(window, s, holder);
    if (source && HandOverTransformed(source, target, s)) return;
  }
  if (!s->transformed) BuildTransformed(window, s, true);
  if (!s->transformed) return;
  cSurfaceImplementation* copy = s->transformed->implementation;
  copy->Blit(target, s->current.rect.left, s->current.rect.top, 0, 0, copy->width, copy->height,
             BlitMode(s->ink), s->ink & 0xFFFF, s->inkParameter, BlitFlags(s) | kBlitDriverSprite);
}

void DrawDriverMode(GameWindow* window, cSurfaceImplementation* display) {
  const RECT clip = DisplayClip(display);
  const LayerRecord* composing = nullptr;
  cSurfaceObject holder;
  for (Sprite* s = window->spriteHeap->firstSprite; s; s = s->Next()) {
    if ((s->flags & kSpriteHidden) || !Intersect(s->current.rect, clip)) continue;
    const int index = s->layerKey / 2;
    const LayerRecord* layer = index < window->layerCount ? &window->layers[index] : nullptr;
    if (layer != composing) {
      FlushLayer(window, display, composing);
      composing = nullptr;
    }
    if (layer && LayerHidden(*layer)) continue;
    cSurfaceImplementation* target = display;
    if (layer && LayerComposites(*layer)) {
      if (!composing) {
        if (!window->layerSurface) {
          window->layerSurface = NewSurfaceObject();
          if (window->layerSurface &&
              !window->layerSurface->Create(display->width, display->height, window->backBuffer)) {
            DeleteSurfaceObject(window->layerSurface);
            window->layerSurface = nullptr;
          }
        }
        if (window->layerSurface) {
          cSurfaceImplementation* surface = window->layerSurface->implementation;
          surface->SetTransparentColor(display->transparentColor);
          surface->FillRectColor(0, 0, surface->width, surface->height, display->transparentColor);
          composing = layer;
        }
      }
      if (composing) target = window->layerSurface->implementation;
    }
    if (IsOwnerDrawn(s)) {
      Callback(s, kSpriteDraw);
    } else if (IsTransformed(s->current)) {
      DrawTransformedOnDriver(window, target, s, holder);
    } else if (cSurfaceImplementation* source = DriverSource(window, s, holder)) {
      source->Blit(target, s->current.rect.left, s->current.rect.top, 0, 0, source->width,
                   source->height, BlitMode(s->ink), s->ink & 0xFFFF, s->inkParameter,
                   BlitFlags(s) | kBlitDriverSprite);
    }
    s->flags &= ~(kSpriteChanged | kSpriteUncovered);
  }
  FlushLayer(window, display, composing);
}

}  // namespace
}  // namespace sprite

using namespace sprite;

int EraseSprites(GameWindow* window) {
  cSurfaceImplementation* display = Display(window);
  SpriteHeap* heap = Heap(window);
  if (!display || !heap) return 0;
  SettleOverlaps(window);
  if (!IsDriverSurface(display)) {
    // Retained sprites under or over something that is redrawn are redrawn too.
    MarkUncoveredRetained(window);
    CopyBatch restore(window->backgroundImpl, display);
    DirtyArea dirty(window, display);
    for (Sprite* s = heap->firstSprite; s; s = s->Next()) {
      if ((s->flags & kSpriteFrozen) || KeptOnScreen(s) || !HasSaved(s)) continue;
      const RECT& r = s->saved;
      if (s->flags & (kSpriteFillErase | kSpriteOwnerSaved)) restore.Flush();
      if (s->flags & kSpriteFillErase) {
        // The saved rectangle: it holds the smoothing ring the drawing touched.
        display->FillRectColor(r.left, r.top, Width(r), Height(r), s->fillColor);
      } else if (s->flags & kSpriteOwnerSaved) {
        Callback(s, kSpriteErase);
      } else if (restore.Active()) {
        restore.Add(r);
      } else if (s->saveUnder) {
        s->saveUnder->Blit(display, r.left, r.top, 0, 0, Width(r), Height(r), kModeOpaque,
                           kEffectNone, 0, 0);
      }
      if ((s->flags & (kSpriteChanged | kSpriteRetained)) != kSpriteRetained)
        dirty.Add(TouchedCurrent(s));
    }
    restore.Flush();  // copied before any sprite goes
    dirty.Report();
  }
  for (Sprite* s = heap->firstSprite; s;) {
    Sprite* next = s->Next();
    if (s->flags & kSpriteHidePending) {
      if (s->saveUnder) s->saveUnder->Delete();
      s->saveUnder = nullptr;
      ForgetSaved(s);
      s->flags = (s->flags & ~kSpriteHidePending) | kSpriteHidden;
    }
    if (s->flags & kSpriteDeletePending) DestroySprite(window, s);
    s = next;
  }
  return 1;
}

int CommitSprites(GameWindow* window) {
  SpriteHeap* heap = Heap(window);
  if (!heap) return 0;
  SettleOverlaps(window);  // before the rectangles they were built from change
  // A driver display transforms sprites itself; the few copies it still needs are made when
  // drawn.
  cSurfaceImplementation* display = Display(window);
  const bool onDriver = display && IsDriverSurface(display);
  for (Sprite* s = heap->firstSprite; s; s = s->Next()) {
    if (s->flags & kSpriteChanged) {
      s->current = s->pending;
      if (!IsOwnerDrawn(s)) s->currentImage = s->pendingImage;
    }
    if (s->flags & kSpriteTransformChanged) {
      s->flags &= ~kSpriteTransformChanged;
      if (onDriver)
        DropTransformed(s);
      else
        BuildTransformed(window, s);
    }
  }
  return 1;
}

int DrawSprites(GameWindow* window) {
  cSurfaceImplementation* display = Display(window);
  SpriteHeap* heap = Heap(window);
  if (!display || !heap) return 0;
  SettleOverlaps(window);  // before the saved rectangles change
  if (ImageBank* bank = window->context) {
    ++bank->frameCounter;
    bank->frameTime = vexa::BankClockMs();
  }
  if (IsDriverSurface(display)) {
    // The periodic pass over the bank's driver surfaces: those unused for 10 s go.
    if (ImageBank* bank = window->context) vexa::ExpireIdleDriverSurfaces(*bank, bank->frameTime);
    DrawDriverMode(window, display);
    return 1;
  }
  if (!window->backgroundImpl && !(window->state & kGameStatePrivateSaves)) {
    cSurfaceObject* background = NewSurfaceObject();
    if (background && background->Create(display->width, display->height, window->backBuffer)) {
      window->background = background;
      window->backgroundImpl = background->implementation;
    } else if (background) {
      DeleteSurfaceObject(background);
    }
  }
  const RECT clip = DisplayClip(display);
  CopyBatch save(display, window->backgroundImpl);
  for (Sprite* s = heap->firstSprite; s; s = s->Next()) {
    if ((s->flags & (kSpriteHidden | kSpriteFrozen)) || KeptOnScreen(s)) continue;
    if ((s->flags & (kSpriteDrawUnsaved | kSpriteFillErase)) == kSpriteDrawUnsaved) continue;
    const RECT area = Meet(DrawnArea(s), clip);
    if (Empty(s->current.rect) || Empty(area) || !Intersect(s->current.rect, clip) ||
        Invisible(s)) {
      ForgetSaved(s);
      continue;
    }
    s->saved = area;
    if (s->flags & kSpriteFillErase) continue;
    if (s->flags & kSpriteOwnerSaved) {
      save.Flush();
      Callback(s, kSpriteSave);
    } else if (save.Active()) {
      save.Add(area);
    } else {
      SaveUnder(display, s);
    }
  }
  save.Flush();  // copied before anything is drawn
  ImageSurfaces images(window);
  DirtyArea dirty(window, display);
  bool locked = display->Lock() != 0;
  for (Sprite* s = heap->firstSprite; s; s = s->Next()) {
    if ((s->flags & (kSpriteHidden | kSpriteFrozen)) || KeptOnScreen(s)) continue;
    if (!HasSaved(s) && !(s->flags & kSpriteDrawUnsaved)) continue;
    if (IsOwnerDrawn(s)) {
      if (locked) display->Unlock();
      images.Forget();
      Callback(s, kSpriteDraw);
      locked = display->Lock() != 0;
    } else {
      DrawOne(display, s, images);
    }
    if ((s->flags & (kSpriteChanged | kSpriteRetained)) != kSpriteRetained) {
      RECT r = s->current.rect;
      const int ring = HasRing(s->ink) ? 1 : 0;
      r = RECT{Clamp32(std::int64_t{r.left} - ring), Clamp32(std::int64_t{r.top} - ring),
               Clamp32(std::int64_t{r.right} + 1 + ring),
               Clamp32(std::int64_t{r.bottom} + 1 + ring)};
      dirty.Add(r);
    }
    s->flags &= ~(kSpriteChanged | kSpriteUncovered);
  }
  if (locked) display->Unlock();
  dirty.Report();
  return 1;
}

// ---- drawing images and saving areas ------------------------------------------------------

int DrawImage(GameWindow* window, int image, int x, int y, int options, std::uint32_t ink,
              EffectParam parameter) {
  cSurfaceImplementation* display = Display(window);
  if (!display) return 0;
  int width = 0, height = 0, hotX = 0, hotY = 0;
  if (!ImageGeometry(window->context, image, &width, &height, &hotX, &hotY)) return 0;
  std::int64_t left = std::int64_t{x} - window->backBuffer->originX;
  std::int64_t top = std::int64_t{y} - window->backBuffer->originY;
  if (options & 1) {
    left -= hotX;
    top -= hotY;
  }
  cSurfaceObject holder;
  cSurfaceImplementation* source = nullptr;
  if (IsDriverSurface(display)) {
    const std::uint32_t want = (ink & kEffectCodeMask) == kEffectObject ? 2 : 0;
    source = GetImageDriverSurface(window->context, image, want);
  }
  if (!source) source = ImageSource(window, image, holder, kImageSurfaceInPlace);
  if (!source) return 0;
  const std::uint32_t flags = HasRing(ink) ? kBlitAntialias : 0;
  const int result = source->Blit(display, Clamp32(left), Clamp32(top), 0, 0, width, height,
                                  BlitMode(ink), ink & 0xFFFF, parameter, flags);
  RECT drawn{Clamp32(left), Clamp32(top), Clamp32(left + width), Clamp32(top + height)};
  if (HasRing(ink)) drawn = Grow(drawn, 1);
  ReportDirty(window, ClampedAtZero(drawn));
  return result;
}

int DrawImageSimple(GameWindow* window, int image, int x, int y, int options) {
  return DrawImage(window, image, x, y, options, (options & 2) ? 0 : kInkTransparent, 0);
}

int SaveDisplayRect(GameWindow* window, DisplaySave* save, int left, int top, int right,
                    int bottom) {
  cSurfaceImplementation* display = Display(window);
  if (!display || !save) return -1;
  const RECT area =
      Meet(RECT{left, top, Clamp32(std::int64_t{right} + 1), Clamp32(std::int64_t{bottom} + 1)},
           DisplayClip(display));
  if (Empty(area)) return -1;
  const int w = Width(area), h = Height(area);
  if (save->surface && (save->surface->width < w || save->surface->height < h ||
                        save->surface->depth != display->depth)) {
    save->surface->Delete();
    save->surface = nullptr;
  }
  if (!save->surface) save->surface = display->CreateCompatible(w, h);
  if (!save->surface) return -1;
  display->Blit(save->surface, 0, 0, area.left, area.top, w, h, kModeOpaque, kEffectNone, 0, 0);
  save->rect = area;
  return 0;
}

int RestoreDisplayRect(GameWindow* window, DisplaySave* save) {
  cSurfaceImplementation* display = Display(window);
  if (!display || !save || !save->surface || Empty(save->rect)) return 0;
  const int result =
      save->surface->Blit(display, save->rect.left, save->rect.top, 0, 0, Width(save->rect),
                          Height(save->rect), kModeOpaque, kEffectNone, 0, 0);
  ReportDirty(window, save->rect);
  return result;
}

int FreeDisplayRect(GameWindow* window, DisplaySave* save) {
  if (!IsValidWindowObject(window) || !save) return 0;
  if (save->surface) save->surface->Delete();
  save->surface = nullptr;
  return 1;
}
