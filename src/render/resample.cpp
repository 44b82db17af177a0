#include "render/resample.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>

#include "render/resample_kernels.h"
#include "render/resample_lines.h"
#include "render/resample_weights.h"
#include "pixels/pixel_format.h"

namespace vexa {
namespace {

constexpr std::uint32_t kColourBytes = 0x00FFFFFF;

struct FreeDeleter {
  void operator()(void* p) const { std::free(p); }
};
template <typename T>
using Buffer = std::unique_ptr<T[], FreeDeleter>;

template <typename T>
Buffer<T> Allocate(std::int64_t count) {
  if (count <= 0 || count > (std::int64_t{1} << 40) / static_cast<std::int64_t>(sizeof(T))) return nullptr;
  return Buffer<T>(static_cast<T*>(std::malloc(static_cast<std::size_t>(count) * sizeof(T))));
}

WeightView ViewOf(const ResampleWeights& w, const std::int32_t* first, const std::int32_t* taps) {
  return WeightView{first, taps, w.Weights(0), w.MaxTaps(), w.DestinationCount(), {nullptr, nullptr, 0}};
}

// The weight table with its per-index arrays exposed for the kernels.
struct Axis {
  ResampleWeights table;
  std::int32_t* first = nullptr;
  std::int32_t* taps = nullptr;
  Buffer<std::int32_t> storage;
  Buffer<std::int32_t> laneStorage;
  LaneBlocks lanes{nullptr, nullptr, 0};

  bool Build(int destination, int source, bool withLanes) {
    if (!table.Build(destination, source)) return false;
    storage = Allocate<std::int32_t>(2 * std::int64_t{destination});
    if (!storage) return false;
    first = storage.get();
    taps = storage.get() + destination;
    for (int j = 0; j < destination; ++j) {
      first[j] = table.First(j);
      taps[j] = table.Taps(j);
    }
    return !withLanes || BuildLanes(source);
  }
  // The rearranged table of the horizontal vector kernels.
  bool BuildLanes(int source) {
    const WeightView plain = View();
    const int blocks = (plain.count + 7) / 8;
    laneStorage = Allocate<std::int32_t>(blocks + LaneBlockInts(plain));
    if (!laneStorage) return false;
    BuildLaneBlocks(plain, source, laneStorage.get(), laneStorage.get() + blocks);
    lanes = LaneBlocks{laneStorage.get(), laneStorage.get() + blocks, blocks};
    return true;
  }
  WeightView View() const {
    WeightView view = ViewOf(table, first, taps);
    view.lanes = lanes;
    return view;
  }
};

// Stretched images are mostly redrawn at the same sizes frame after frame, so each thread
// keeps its last few tables. A table too large to be worth keeping is built for the call.
class AxisCache {
 public:
  // The table for `destination` from `source`; null when it cannot be built.
  const Axis* Get(int destination, int source, bool withLanes, std::unique_ptr<Axis>& owned) {
    for (Entry& e : entries_) {
      if (e.axis && e.destination == destination && e.source == source && e.withLanes == withLanes) {
        e.used = ++clock_;
        return e.axis.get();
      }
    }
    auto axis = std::unique_ptr<Axis>(new (std::nothrow) Axis);
    if (!axis || !axis->Build(destination, source, withLanes)) return nullptr;
    const std::int64_t size = std::int64_t{destination} * axis->table.MaxTaps();
    if (size > kLargestKept) {
      owned = std::move(axis);
      return owned.get();
    }
    Entry* oldest = &entries_[0];
    for (Entry& e : entries_) oldest = e.used < oldest->used ? &e : oldest;
    *oldest = Entry{std::move(axis), destination, source, withLanes, ++clock_};
    return oldest->axis.get();
  }

 private:
  static constexpr std::int64_t kLargestKept = 1 << 18;  // weights
  struct Entry {
    std::unique_ptr<Axis> axis;
    int destination = 0, source = 0;
    bool withLanes = false;
    std::uint64_t used = 0;
  };
  Entry entries_[4];
  std::uint64_t clock_ = 0;
};

const Axis* AcquireAxis(int destination, int source, bool withLanes, std::unique_ptr<Axis>& owned) {
  thread_local AxisCache cache;
  return cache.Get(destination, source, withLanes, owned);
}

// What decides whether a source pixel is transparent in an aware pass.
struct Transparency {
  std::uint32_t key;             // the transparent colour as a working pixel
  const std::uint8_t* alpha;     // alpha bytes of the pixels read (null: the colour decides)
  bool IsTransparent(std::uint32_t pixel, std::int64_t index) const {
    return alpha ? alpha[index] == 0 : (pixel & kColourBytes) == key;
  }
};

// Sums of one destination pixel in an aware pass.
struct AwareSums {
  std::uint32_t blue = 0x8000, green = 0x8000, red = 0x8000;
  std::uint32_t opaque = 0, transparent = 0;

  void Add(std::uint32_t pixel, std::uint32_t weight, bool isTransparent) {
    if (isTransparent) {
      transparent += weight;
      return;
    }
    opaque += weight;
    blue += weight * (pixel & 0xFF);
    green += weight * ((pixel >> 8) & 0xFF);
    red += weight * ((pixel >> 16) & 0xFF);
  }
  std::uint32_t Result(int taps, std::uint32_t key) const {
    if (taps == 0) return 0;
    if (transparent == 0) return Plain(blue) | Plain(green) << 8 | Plain(red) << 16;
    if (opaque < transparent) return key;
    return Divided(blue) | Divided(green) << 8 | Divided(red) << 16;
  }
  static std::uint32_t Plain(std::uint32_t sum) { return (sum < 0xFF0000 ? sum : 0xFF0000) >> 16; }
  std::uint32_t Divided(std::uint32_t sum) const {
    const std::uint32_t q = sum / opaque;
    return q < 255 ? q : 255;
  }
};

void HorizontalAware(const std::uint32_t* line, std::uint32_t* out, const WeightView& w,
                     const Transparency& t) {
  for (int j = 0; j < w.count; ++j) {
    const std::int32_t* weight = w.weights + static_cast<std::ptrdiff_t>(j) * w.maxTaps;
    AwareSums sums;
    for (int k = 0; k < w.taps[j]; ++k) {
      const int index = w.first[j] + k;
      sums.Add(line[index], static_cast<std::uint32_t>(weight[k]), t.IsTransparent(line[index], index));
    }
    out[j] = sums.Result(w.taps[j], t.key);
  }
}

// One destination row of an aware vertical pass. `rows` are working pixels `pitch` pixels
// apart; `alpha` (or null) the alpha bytes of the same rows, `alphaPitch` bytes apart.
void VerticalAware(const std::uint32_t* rows, std::ptrdiff_t pitch, const std::uint8_t* alpha,
                   std::ptrdiff_t alphaPitch, int taps, const std::int32_t* weights,
                   std::uint32_t* out, int width, std::uint32_t key) {
  for (int x = 0; x < width; ++x) {
    AwareSums sums;
    for (int k = 0; k < taps; ++k) {
      const std::uint32_t pixel = rows[k * pitch + x];
      const bool transparent = alpha ? alpha[k * alphaPitch + x] == 0 : (pixel & kColourBytes) == key;
      sums.Add(pixel, static_cast<std::uint32_t>(weights[k]), transparent);
    }
    out[x] = sums.Result(taps, key);
  }
}

// A block of working pixels, row after row.
struct WorkingImage {
  Buffer<std::uint32_t> pixels;
  std::uint32_t* rows = nullptr;
  std::ptrdiff_t pitch = 0;  // in pixels

  bool Allocate(int width, int height) {
    pixels = vexa::Allocate<std::uint32_t>(std::int64_t{width} * height);
    rows = pixels.get();
    pitch = width;
    return rows != nullptr;
  }
  std::uint32_t* Row(int y) const { return rows + y * pitch; }
};

class Resampler {
 public:
  Resampler(const PixelDescriptor& source, int sx, int sy, int sw, int sh, PixelDescriptor& target,
            int tw, int th, bool aware, COLORREF key)
      : source_(source), target_(target), sourceLines_(source), targetLines_(target),
        sx_(sx), sy_(sy), sw_(sw), sh_(sh), tw_(tw), th_(th), aware_(aware),
        key_(SwapRedBlue(key) & kColourBytes), kernels_(ActiveResampleKernels()) {}

  bool Run() {
    const bool horizontal = sw_ != tw_;
    const bool vertical = sh_ != th_;
    if (horizontal && !(columns_ = AcquireAxis(tw_, sw_, true, ownedColumns_))) return false;
    if (vertical && !(rows_ = AcquireAxis(th_, sh_, false, ownedRows_))) return false;
    line_ = Allocate<std::uint32_t>(std::max(sw_, tw_));
    if (!line_) return false;
    if (horizontal && vertical) return BothPasses();
    if (horizontal) return HorizontalOnly();
    if (vertical) return VerticalOnly();
    return CopyRows();
  }

 private:
  const std::uint8_t* SourceAlpha(int y) const {
    return source_.alphaFirstRow ? source_.AlphaRow(sy_ + y) + sx_ : nullptr;
  }

  // One source row through the horizontal pass into `out` (tw_ working pixels).
  void HorizontalRow(int y, std::uint32_t* out, std::uint32_t* buffer) const {
    const std::uint32_t* in = sourceLines_.Read(sx_, sy_ + y, sw_, buffer);
    if (aware_) {
      HorizontalAware(in, out, columns_->View(), Transparency{key_, SourceAlpha(y)});
    } else {
      kernels_.horizontalColour(in, out, columns_->View());
    }
  }

  bool HorizontalOnly() {
    Buffer<std::uint32_t> out = Allocate<std::uint32_t>(tw_);
    if (!out) return false;
    for (int y = 0; y < th_; ++y) {
      HorizontalRow(y, out.get(), line_.get());
      targetLines_.Write(0, y, tw_, out.get());
    }
    return true;
  }

  bool BothPasses() {
    // The image between the passes, kept as a temporary surface compatible with the source
    // would keep it.
    WorkingImage middle;
    if (!middle.Allocate(tw_, sh_)) return false;
    for (int y = 0; y < sh_; ++y) {
      HorizontalRow(y, middle.Row(y), line_.get());
      if (!sourceLines_.Lossless()) sourceLines_.RoundTrip(middle.Row(y), tw_);
    }
    // The middle image has no alpha plane: its transparent pixels are known by colour.
    VerticalPass(middle.rows, middle.pitch, nullptr, 0, tw_);
    return true;
  }

  bool VerticalOnly() {
    const std::uint8_t* alpha = aware_ ? SourceAlpha(0) : nullptr;
    if (sourceLines_.ReadsInPlace()) {
      // The fourth bytes read along take no part: the kernels mask them out.
      VerticalPass(sourceLines_.Read(sx_, sy_, sw_, nullptr), source_.pitch / 4, alpha,
                   source_.alphaPitch, sw_);
      return true;
    }
    WorkingImage widened;
    if (!widened.Allocate(sw_, sh_)) return false;
    for (int y = 0; y < sh_; ++y) {
      const std::uint32_t* in = sourceLines_.Read(sx_, sy_ + y, sw_, widened.Row(y));
      if (in != widened.Row(y)) std::memcpy(widened.Row(y), in, static_cast<size_t>(sw_) * 4);
    }
    VerticalPass(widened.rows, widened.pitch, alpha, source_.alphaPitch, sw_);
    return true;
  }

  // Vertical pass from working rows (`pitch` pixels apart) into the target.
  void VerticalPass(const std::uint32_t* rows, std::ptrdiff_t pitch, const std::uint8_t* alpha,
                    std::ptrdiff_t alphaPitch, int width) {
    const WeightView w = rows_->View();
    const bool inPlace = targetLines_.ReadsInPlace();
    for (int j = 0; j < th_; ++j) {
      const std::int32_t* weights = w.weights + static_cast<std::ptrdiff_t>(j) * w.maxTaps;
      const std::uint32_t* first = rows + w.first[j] * pitch;
      std::uint32_t* out = inPlace ? reinterpret_cast<std::uint32_t*>(target_.Row(j)) : line_.get();
      if (aware_) {
        VerticalAware(first, pitch, alpha ? alpha + w.first[j] * alphaPitch : nullptr, alphaPitch,
                      w.taps[j], weights, out, width, key_);
      } else {
        kernels_.verticalBytes(reinterpret_cast<const std::uint8_t*>(first), pitch * 4, w.taps[j],
                               weights, reinterpret_cast<std::uint8_t*>(out), width * 4,
                               kColourBytes);
      }
      if (inPlace) {
        // Aware results carry a clean fourth byte already; the kernel masks its own.
        continue;
      }
      targetLines_.Write(0, j, width, out);
    }
  }

  bool CopyRows() {
    for (int y = 0; y < th_; ++y) {
      if (source_.depth == target_.depth) {
        std::memcpy(target_.Row(y), source_.Row(sy_ + y) + static_cast<std::ptrdiff_t>(sx_) * source_.bytesPerPixel,
                    static_cast<size_t>(tw_) * static_cast<size_t>(source_.bytesPerPixel));
      } else {
        targetLines_.Write(0, y, tw_, sourceLines_.Read(sx_, sy_ + y, sw_, line_.get()));
      }
    }
    return true;
  }

  const PixelDescriptor& source_;
  PixelDescriptor& target_;
  WorkingLines sourceLines_;
  WorkingLines targetLines_;
  int sx_, sy_, sw_, sh_, tw_, th_;
  bool aware_;
  std::uint32_t key_;
  const ResampleKernels& kernels_;
  const Axis* columns_ = nullptr;
  const Axis* rows_ = nullptr;
  std::unique_ptr<Axis> ownedColumns_, ownedRows_;
  Buffer<std::uint32_t> line_;
};

}  // namespace

bool ResamplePixels(const PixelDescriptor& source, int sourceX, int sourceY, int sourceWidth,
                    int sourceHeight, PixelDescriptor& target, int targetWidth, int targetHeight,
                    bool transparencyAware, COLORREF transparentColour) {
  if (sourceWidth < 1 || sourceHeight < 1 || targetWidth < 1 || targetHeight < 1) return false;
  Resampler resampler(source, sourceX, sourceY, sourceWidth, sourceHeight, target, targetWidth,
                      targetHeight, transparencyAware, transparentColour);
  return resampler.Run();
}

bool ResamplePlane(const std::uint8_t* source, std::ptrdiff_t sourcePitch, int sw, int sh,
                   std::uint8_t* target, std::ptrdiff_t targetPitch, int tw, int th) {
  if (sw < 1 || sh < 1 || tw < 1 || th < 1) return false;
  const ResampleKernels& kernels = ActiveResampleKernels();
  const Axis* columns = nullptr;
  const Axis* rows = nullptr;
  std::unique_ptr<Axis> ownedColumns, ownedRows;
  const bool horizontal = sw != tw, vertical = sh != th;
  if (horizontal && !(columns = AcquireAxis(tw, sw, true, ownedColumns))) return false;
  if (vertical && !(rows = AcquireAxis(th, sh, false, ownedRows))) return false;
  // After the horizontal pass the plane is tw wide: kept in `middle` when a vertical pass
  // follows, else written straight to the target.
  Buffer<std::uint8_t> middle;
  const std::uint8_t* verticalSource = source;
  std::ptrdiff_t verticalPitch = sourcePitch;
  if (horizontal) {
    if (vertical) {
      middle = Allocate<std::uint8_t>(std::int64_t{tw} * sh);
      if (!middle) return false;
    }
    for (int y = 0; y < sh && (vertical || y < th); ++y) {
      std::uint8_t* out = vertical ? middle.get() + static_cast<std::ptrdiff_t>(y) * tw : target + y * targetPitch;
      kernels.horizontalBytes(source + y * sourcePitch, out, columns->View());
    }
    verticalSource = middle.get();
    verticalPitch = tw;
  }
  if (vertical) {
    const WeightView w = rows->View();
    for (int j = 0; j < th; ++j) {
      kernels.verticalBytes(verticalSource + w.first[j] * verticalPitch, verticalPitch, w.taps[j],
                            w.weights + static_cast<std::ptrdiff_t>(j) * w.maxTaps,
                            target + j * targetPitch, tw, 0xFFFFFFFF);
    }
  }
  if (!horizontal && !vertical) {
    for (int y = 0; y < th; ++y) std::memcpy(target + y * targetPitch, source + y * sourcePitch, static_cast<size_t>(tw));
  }
  return true;
}

}  // namespace vexa
