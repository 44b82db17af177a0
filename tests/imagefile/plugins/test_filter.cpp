// A test filter plug-in built in several variants from this one source by compile
// definitions (tests/CMakeLists.txt), so the manager's scan and lookups run against real
// shared objects:
//   TF_ID            the identifier as a number (without it: no GetFilterID)
//   TF_NAME          1: a narrow name "Narrow \u00e9" (UTF-8); 2: a wide name "Wide \u00e9";
//                    3: both, "Both narrow" and "Both wide"; absent: no name entry point
//   TF_PRIORITY      exports GetPriority with this value
//   TF_NO_CREATE     no CreateFilter;  TF_CREATE_FAILS  CreateFilter answers null
//   TF_MAGIC         CanReadFile answers 1 for data starting with the identifier's bytes
//   TF_READ_AHEAD    CanReadFile reads this many bytes and answers 0
//   TF_EXTS_W        wide extension and dependency lists (else narrow ones)
//   TF_NO_LISTS      neither lists
//   TF_IMAGES, TF_ANIMATIONS  the filter's SupportsImages / SupportsAnimations answers
//   TF_READS         reads test images: the identifier, then width, height, depth and flags
//                    bytes (1 alpha, 2 a transparent colour, 4 a palette count of 300), then
//                    rows at that depth; 8-bit and smaller files have a grey palette
//   TF_SAVES         saves: SaveImage writes "SAVED" (with TF_SAVE_FAILS "PART" and answers
//                    3); animations: BeginWrite takes width, height and depth, WriteRows
//                    checks that the previous rows it is given are the last frame's
// Every variant also exports TestFilterCalls: bit 0 GetFilterName was called, bit 1
// GetFilterNameW, bit 2 CreateFilter, bit 3 CanReadFile.
#include <cstring>
#include <vector>

#include <vexa/filter_impl.h>
#include <vexa/filter_plugin.h>
#include <vexa/stream.h>

namespace {

int gCalls = 0;

#ifndef TF_IMAGES
#define TF_IMAGES 0
#endif
#ifndef TF_ANIMATIONS
#define TF_ANIMATIONS 0
#endif

class TestFilter final : public CFilterImpl {
 public:
  void Release() override { delete this; }
  std::uint32_t GetID() override {
#ifdef TF_ID
    return TF_ID;
#else
    return 0;
#endif
  }
  int Reserved4() override { return 0; }
  int CanReadFile(CInputFile* input) override {
#if defined(TF_MAGIC) && defined(TF_ID)
    BYTE magic[4] = {};
    if (input->ReadExact(magic, 4) != kStreamOk) return 0;
    const std::uint32_t id = TF_ID;
    return std::memcmp(magic, &id, 4) == 0;
#else
    return input != nullptr;
#endif
  }
  int SupportsImages() override { return TF_IMAGES; }
  int SupportsAnimations() override { return TF_ANIMATIONS; }
#ifdef TF_READS
  int BeginRead(CInputFile* input) override {
    BYTE header[8];
    if (input->ReadExact(header, 8) != kStreamOk) return 5;
    width = header[4];
    height = header[5];
    depth = header[6];
    flags_ = header[7];
    hasAlpha = flags_ & 1;
    ComputeLineBytes();
    fileLineBytes = lineBytes;
    if (depth <= 8) {
      CreatePalette(256);
      auto* e = reinterpret_cast<LOGPALETTE256*>(palette)->palPalEntry;
      for (int i = 0; i < 256; ++i) e[i] = {BYTE(i), BYTE(i), BYTE(i), 0};
      if (flags_ & 4) palette->palNumEntries = 300;  // as a faulty plug-in might
    }
    return 0;
  }
  int ReadImage(CInputFile* input, BYTE* pixels, int pitch, BYTE* alpha, int alphaPitch) override {
    std::vector<BYTE> row(static_cast<std::size_t>(lineBytes));
    for (int y = 0; y < height; ++y) {
      if (input->ReadExact(row.data(), lineBytes) != kStreamOk) return 5;
      ConvertRow(pixels + y * pitch, row.data(), width);
      for (int x = 0; alpha && x < width; ++x) alpha[y * alphaPitch + x] = BYTE(x * 16 + y);
    }
    currentFrame = 0;
    return 0;
  }
  int GetTransparentColor(COLORREF* color) override {
    if (!(flags_ & 2)) return 0;
    *color = 0x00FF00FF;
    return 1;
  }
#else
  int BeginRead(CInputFile*) override { return kFilterNotSupported; }
  int ReadImage(CInputFile*, BYTE*, int, BYTE*, int) override { return kFilterNotSupported; }
#endif
#ifdef TF_SAVES
  int CanSaveImage() override { return 1; }
  int CanSaveAnimation() override { return 1; }
  int SaveImage(COutputFile* output, const BYTE*, int, int, int, int, const LOGPALETTE*,
                const void*, int) override {
#ifdef TF_SAVE_FAILS
    output->Write("PART", 4);
    return 3;
#else
    return output->Write("SAVED", 5) == kStreamOk ? 0 : 3;
#endif
  }
  int BeginWrite(COutputFile*, int w, int h, int d, int, int, int, int, int, int) override {
    width = w;
    height = h;
    depth = d;
    currentFrame = -1;
    last_.clear();
    return 0;
  }
  int WriteRows(COutputFile* output, const BYTE* previous, const BYTE* rows, int w, int h,
                int pitch, int d, const LOGPALETTE*, int, int, int, int, int) override {
    const int rowBytes = w * ((d + 1) / 8);
    if (currentFrame >= 0) {
      if (!previous) return 20;
      for (int y = 0; y < h; ++y) {
        if (std::memcmp(previous + y * pitch, last_.data() + y * rowBytes, rowBytes) != 0)
          return 21;
      }
    }
    last_.resize(static_cast<std::size_t>(rowBytes) * h);
    for (int y = 0; y < h; ++y)
      std::memcpy(last_.data() + y * rowBytes, rows + y * pitch, rowBytes);
    ++currentFrame;
    return output->Write(last_.data(), static_cast<int>(last_.size())) == kStreamOk ? 0 : 3;
  }
#endif

 private:
  int flags_ = 0;
  std::vector<BYTE> last_;
};

}  // namespace

VEXA_PLUGIN_ENTRY int TestFilterCalls() { return gCalls; }

#ifndef TF_NO_CREATE
VEXA_PLUGIN_ENTRY void* CreateFilter(std::uint32_t) {
  gCalls |= 4;
#ifdef TF_CREATE_FAILS
  return nullptr;
#else
  return static_cast<CFilterImpl*>(new TestFilter);
#endif
}
#endif

#if defined(TF_MAGIC) || defined(TF_READ_AHEAD)
VEXA_PLUGIN_ENTRY int CanReadFile(CInputFile* input) {
  gCalls |= 8;
#ifdef TF_READ_AHEAD
  BYTE skipped[TF_READ_AHEAD];
  int count = 0;
  input->Read(skipped, TF_READ_AHEAD, &count);
  return 0;
#else
  BYTE magic[4] = {};
  if (input->ReadExact(magic, 4) != kStreamOk) return 0;
  const std::uint32_t id = TF_ID;
  return std::memcmp(magic, &id, 4) == 0;
#endif
}
#endif

#ifdef TF_ID
VEXA_PLUGIN_ENTRY std::uint32_t GetFilterID() { return TF_ID; }
#endif

#if defined(TF_NAME) && (TF_NAME & 1)
VEXA_PLUGIN_ENTRY const char* GetFilterName() {
  gCalls |= 1;
  return TF_NAME == 1 ? "Narrow \xC3\xA9" : "Both narrow";
}
#endif
#if defined(TF_NAME) && (TF_NAME & 2)
VEXA_PLUGIN_ENTRY const WCHAR* GetFilterNameW() {
  gCalls |= 2;
  return TF_NAME == 2 ? u"Wide \u00e9" : u"Both wide";
}
#endif

#ifdef TF_PRIORITY
VEXA_PLUGIN_ENTRY std::uint32_t GetPriority() { return TF_PRIORITY; }
#endif

#if defined(TF_NO_LISTS)
#elif defined(TF_EXTS_W)
VEXA_PLUGIN_ENTRY const WCHAR* const* GetFilterExtsW() {
  static const WCHAR* const kExts[] = {u"tst", u"t\u00e9", nullptr};
  return kExts;
}
VEXA_PLUGIN_ENTRY const WCHAR* const* GetDependenciesW() {
  static const WCHAR* const kDeps[] = {u"libtest.so", nullptr};
  return kDeps;
}
#else
VEXA_PLUGIN_ENTRY const char* const* GetFilterExts() {
  static const char* const kExts[] = {"tst", "t\xC3\xA9", nullptr};
  return kExts;
}
VEXA_PLUGIN_ENTRY const char* const* GetDependencies() {
  static const char* const kDeps[] = {"libtest.so", nullptr};
  return kDeps;
}
#endif
