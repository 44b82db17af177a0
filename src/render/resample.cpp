#include "render/resample.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>

#include "pixels/pixel_format.h"
#include "render/resample_kernels.h"
#include "render/resample_lines.h"
#include "render/resample_weights.h"

namespace vexa {
namespace {

constexpr std::uint32_t kColorBytes = 0x00FFFFFF;

struct FreeDeleter {
  void operator()(void* p) const { std::free(p); }
};
template <typename T>
using Buffer = std::unique_ptr<T[], FreeDeleter>;

template <typename T>
Buffer<T> Allocate(std::int64_t count) {
  if (count <= 0 || count > (std::int64_t{1} << 40) / static_cast<std::int64_t>(sizeof(T)))
    return nullptr;
  return Buffer<T>(static_cast<T*>(std::malloc(static_cast<std::size_t>(count) * sizeof(T))));
}

WeightView ViewOf(const ResampleWeights& w, const std::int32_t* first, const std::int32_t* taps) {
  return WeightView{
      first, taps, w.Weights(0), w.MaxTaps(), w.DestinationCount(), {nullptr, nullptr, 0}};
}

// One axis of a resampling: `destination` indices from `source`, of which the `count` from
// `from` on are computed.
struct AxisSpan {
  int destination, source, from, count;
  bool operator==(const AxisSpan&) const = default;
};

// The weight table with its per-index arrays exposed for the kernels.
struct Axis {
  ResampleWeights table;
  std::int32_t* first = nullptr;
  std::int32_t* taps = nullptr;
  Buffer<std::int32_t> storage;
  Buffer<std::int32_t> laneStorage;
  LaneBlocks lanes{nullptr, nullptr, 0};

  bool Build(const AxisSpan& span, bool withLanes) {
    if (!table.Build(span.destination, span.source, span.from, span.count)) return false;
    const int destination = span.count;
    storage = Allocate<std::int32_t>(2 * std::int64_t{destination});
    if (!storage) return false;
    first = storage.get();
    taps = storage.get() + destination;
    for (int j = 0; j < destination; ++j) {
      first[j] = table.First(j);
      taps[j] = table.Taps(j);
    }
    return !withLanes || BuildLanes(span.source);
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
  // The table of `span`; null when it cannot be built.
  const Axis* Get(const AxisSpan& span, bool withLanes, std::unique_ptr<Axis>& owned) {
    for (Entry& e : entries_) {
      if (e.axis && e.span == span && e.withLanes == withLanes) {
        e.used = ++clock_;
        return e.axis.get();
      }
    }
    auto axis = std::unique_ptr<Axis>(new (std::nothrow) Axis);
    if (!axis || !axis->Build(span, withLanes)) return nullptr;
    const std::int64_t size = std::int64_t{span.count} * axis->table.MaxTaps();
    if (size > kLargestKept) {
      owned = std::move(axis);
      return owned.get();
    }
    Entry* oldest = &entries_[0];
    for (Entry& e : entries_) oldest = e.used < oldest->used ? &e : oldest;
    *oldest = Entry{std::move(axis), span, withLanes, ++clock_};
    return oldest->axis.get();
  }

 private:
  static constexpr std::int64_t kLargestKept = 1 << 18;  // weights
  struct Entry {
    std::unique_ptr<Axis> axis;
    AxisSpan span{0, 0, 0, 0};
    bool withLanes = false;
    std::uint64_t used = 0;
  };
  Entry entries_[4];
  std::uint64_t clock_ = 0;
};

const Axis* AcquireAxis(const AxisSpan& span, bool withLanes, std::unique_ptr<Axis>& owned) {
  thread_local AxisCache cache;
  return cache.Get(span, withLanes, owned);
}

// What decides whether a source pixel is transparent in an aware pass.
struct Transparency {
  std::uint32_t key;          // the transparent colour as a working pixel
  const std::uint8_t* alpha;  // alpha bytes of the pixels read (null: the colour decides)
  bool IsTransparent(std::uint32_t pixel, std::int64_t index) const {
    return alpha ? alpha[index] == 0 : (pixel & kColorBytes) == key;
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
      sums.Add(line[index], static_cast<std::uint32_t>(weight[k]),
               t.IsTransparent(line[index], index));
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
      const bool transparent =
          alpha ? alpha[k * alphaPitch + x] == 0 : (pixel & kColorBytes) == key;
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

// Computes the window of the result (tw_ x th_ of it, from column wx_ and row wy_) into the
// target's (0, 0).
class Resampler {
 public:
  Resampler(const PixelDescriptor& source, int sx, int sy, int sw, int sh, PixelDescriptor& target,
            int fullWidth, int fullHeight, const ResampleWindow& window, bool aware, COLORREF key)
      : source_(source),
        target_(target),
        sourceLines_(source),
        targetLines_(target),
        sx_(sx),
        sy_(sy),
        sw_(sw),
        sh_(sh),
        fullWidth_(fullWidth),
        fullHeight_(fullHeight),
        wx_(window.left),
        wy_(window.top),
        tw_(window.width),
        th_(window.height),
        aware_(aware),
        key_(SwapRedBlue(key) & kColorBytes),
        kernels_(ActiveResampleKernels()) {}

  bool Run() {
    const bool horizontal = sw_ != fullWidth_;
    const bool vertical = sh_ != fullHeight_;
    if (horizontal && !(columns_ = AcquireAxis({fullWidth_, sw_, wx_, tw_}, true, ownedColumns_)))
      return false;
    if (vertical && !(rows_ = AcquireAxis({fullHeight_, sh_, wy_, th_}, false, ownedRows_)))
      return false;
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
      kernels_.horizontalColor(in, out, columns_->View());
    }
  }

  bool HorizontalOnly() {
    Buffer<std::uint32_t> out = Allocate<std::uint32_t>(tw_);
    if (!out) return false;
    for (int y = 0; y < th_; ++y) {
      HorizontalRow(wy_ + y, out.get(), line_.get());
      targetLines_.Write(0, y, tw_, out.get());
    }
    return true;
  }

  // The source rows the window's vertical weights reach: [*low, *high).
  void RowsReached(int* low, int* high) const {
    const WeightView w = rows_->View();
    *low = sh_;
    *high = 0;
    for (int j = 0; j < th_; ++j) {
      if (w.taps[j] == 0) continue;
      *low = std::min(*low, w.first[j]);
      *high = std::max(*high, w.first[j] + w.taps[j]);
    }
    if (*low >= *high) *low = *high = 0;
  }

  bool BothPasses() {
    // The image between the passes, kept as a temporary surface compatible with the source
    // would keep it: the window's columns of the source rows that its rows reach.
    int low = 0, high = 0;
    RowsReached(&low, &high);
    WorkingImage middle;
    if (!middle.Allocate(tw_, std::max(high - low, 1))) return false;
    for (int y = low; y < high; ++y) {
      HorizontalRow(y, middle.Row(y - low), line_.get());
      if (!sourceLines_.Lossless()) sourceLines_.RoundTrip(middle.Row(y - low), tw_);
    }
    // The middle image has no alpha plane: its transparent pixels are known by colour.
    VerticalPass(middle.rows, middle.pitch, low, nullptr, 0, tw_);
    return true;
  }

  bool VerticalOnly() {
    // The window's columns of the source, which is as wide as the result.
    const int left = sx_ + wx_;
    const std::uint8_t* alpha = aware_ && SourceAlpha(0) ? SourceAlpha(0) + wx_ : nullptr;
    if (sourceLines_.ReadsInPlace()) {
      // The fourth bytes read along take no part: the kernels mask them out.
      VerticalPass(sourceLines_.Read(left, sy_, tw_, nullptr), source_.pitch / 4, 0, alpha,
                   source_.alphaPitch, tw_);
      return true;
    }
    int low = 0, high = 0;
    RowsReached(&low, &high);
    WorkingImage widened;
    if (!widened.Allocate(tw_, std::max(high - low, 1))) return false;
    for (int y = low; y < high; ++y) {
      std::uint32_t* row = widened.Row(y - low);
      const std::uint32_t* in = sourceLines_.Read(left, sy_ + y, tw_, row);
      if (in != row) std::memcpy(row, in, static_cast<size_t>(tw_) * 4);
    }
    VerticalPass(widened.rows, widened.pitch, low, alpha, source_.alphaPitch, tw_);
    return true;
  }

  // Vertical pass from working rows (`pitch` pixels apart, the first of them source row
  // `firstRow`) into the target.
  void VerticalPass(const std::uint32_t* rows, std::ptrdiff_t pitch, int firstRow,
                    const std::uint8_t* alpha, std::ptrdiff_t alphaPitch, int width) {
    const WeightView w = rows_->View();
    const bool inPlace = targetLines_.ReadsInPlace();
    for (int j = 0; j < th_; ++j) {
      const std::int32_t* weights = w.weights + static_cast<std::ptrdiff_t>(j) * w.maxTaps;
      // A row without taps reads nothing; its pointer stays at the first row held.
      const std::ptrdiff_t reached = w.taps[j] ? w.first[j] - firstRow : 0;
      const std::uint32_t* first = rows + reached * pitch;
      std::uint32_t* out = inPlace ? reinterpret_cast<std::uint32_t*>(target_.Row(j)) : line_.get();
      if (aware_) {
        VerticalAware(first, pitch, alpha ? alpha + w.first[j] * alphaPitch : nullptr, alphaPitch,
                      w.taps[j], weights, out, width, key_);
      } else {
        kernels_.verticalBytes(reinterpret_cast<const std::uint8_t*>(first), pitch * 4, w.taps[j],
                               weights, reinterpret_cast<std::uint8_t*>(out), width * 4,
                               kColorBytes);
      }
      if (inPlace) {
        // Aware results carry a clean fourth byte already; the kernel masks its own.
        continue;
      }
      targetLines_.Write(0, j, width, out);
    }
  }

  bool CopyRows() {
    const int left = sx_ + wx_;
    for (int y = 0; y < th_; ++y) {
      if (source_.depth == target_.depth) {
        std::memcpy(
            target_.Row(y),
            source_.Row(sy_ + wy_ + y) + static_cast<std::ptrdiff_t>(left) * source_.bytesPerPixel,
            static_cast<size_t>(tw_) * static_cast<size_t>(source_.bytesPerPixel));
      } else {
        targetLines_.Write(0, y, tw_, sourceLines_.Read(left, sy_ + wy_ + y, tw_, line_.get()));
      }
    }
    return true;
  }

  const PixelDescriptor& source_;
  PixelDescriptor& target_;
  WorkingLines sourceLines_;
  WorkingLines targetLines_;
  int sx_, sy_, sw_, sh_;
  int fullWidth_, fullHeight_;  // the whole result
  int wx_, wy_, tw_, th_;       // its window
  bool aware_;
  std::uint32_t key_;
  const ResampleKernels& kernels_;
  const Axis* columns_ = nullptr;
  const Axis* rows_ = nullptr;
  std::unique_ptr<Axis> ownedColumns_, ownedRows_;
  Buffer<std::uint32_t> line_;
};

}  // namespace

bool WindowInside(int width, int height, const ResampleWindow& w) {
  return width >= 1 && height >= 1 && w.left >= 0 && w.top >= 0 && w.width >= 1 && w.height >= 1 &&
         w.width <= width - w.left && w.height <= height - w.top;
}

bool ResamplePixels(const PixelDescriptor& source, int sourceX, int sourceY, int sourceWidth,
                    int sourceHeight, PixelDescriptor& target, int targetWidth, int targetHeight,
                    bool transparencyAware, COLORREF transparentColor) {
  return ResamplePixels(source, sourceX, sourceY, sourceWidth, sourceHeight, target, targetWidth,
                        targetHeight, {0, 0, targetWidth, targetHeight}, transparencyAware,
                        transparentColor);
}

bool ResamplePixels(const PixelDescriptor& source, int sourceX, int sourceY, int sourceWidth,
                    int sourceHeight, PixelDescriptor& target, int targetWidth, int targetHeight,
                    const ResampleWindow& window, bool transparencyAware,
                    COLORREF transparentColor) {
  if (sourceWidth < 1 || sourceHeight < 1 || !WindowInside(targetWidth, targetHeight, window))
    return false;
  Resampler resampler(source, sourceX, sourceY, sourceWidth, sourceHeight, target, targetWidth,
                      targetHeight, window, transparencyAware, transparentColor);
  return resampler.Run();
}

bool ResamplePlane(const std::uint8_t* source, std::ptrdiff_t sourcePitch, int sw, int sh,
                   std::uint8_t* target, std::ptrdiff_t targetPitch, int tw, int th) {
  return ResamplePlane(source, sourcePitch, sw, sh, target, targetPitch, tw, th, {0, 0, tw, th});
}

bool ResamplePlane(const std::uint8_t* source, std::ptrdiff_t sourcePitch, int sw, int sh,
                   std::uint8_t* target, std::ptrdiff_t targetPitch, int fullWidth, int fullHeight,
                   const ResampleWindow& window) {
  if (sw < 1 || sh < 1 || !WindowInside(fullWidth, fullHeight, window)) return false;
  const ResampleKernels& kernels = ActiveResampleKernels();
  const Axis* columns = nullptr;
  const Axis* rows = nullptr;
  std::unique_ptr<Axis> ownedColumns, ownedRows;
  const bool horizontal = sw != fullWidth, vertical = sh != fullHeight;
  const int tw = window.width, th = window.height;
  if (horizontal && !(columns = AcquireAxis({fullWidth, sw, window.left, tw}, true, ownedColumns)))
    return false;
  if (vertical && !(rows = AcquireAxis({fullHeight, sh, window.top, th}, false, ownedRows)))
    return false;
  // Without a pass along an axis the window's part of the source is copied along it.
  if (!horizontal) source += window.left;
  if (!vertical) source += window.top * sourcePitch;
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
      std::uint8_t* out =
          vertical ? middle.get() + static_cast<std::ptrdiff_t>(y) * tw : target + y * targetPitch;
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
    for (int y = 0; y < th; ++y)
      std::memcpy(target + y * targetPitch, source + y * sourcePitch, static_cast<size_t>(tw));
  }
  return true;
}

}  // namespace vexa
