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
// Every variant also exports TestFilterCalls: bit 0 GetFilterName was called, bit 1
// GetFilterNameW, bit 2 CreateFilter, bit 3 CanReadFile.
#include <cstring>

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
  int CanReadFile(CInputFile*) override { return 1; }
  int SupportsImages() override { return TF_IMAGES; }
  int SupportsAnimations() override { return TF_ANIMATIONS; }
  int BeginRead(CInputFile*) override { return kFilterNotSupported; }
  int ReadImage(CInputFile*, BYTE*, int, BYTE*, int) override { return kFilterNotSupported; }
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
