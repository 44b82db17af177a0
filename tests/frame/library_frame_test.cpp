// The library frame: public surface objects, prototypes, thread registration, sizes.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include <vexa/error_surface.h>
#include <vexa/library.h>
#include <vexa/surface_object.h>

#include "frame/library_state.h"
#include "support/recording_surface.h"

namespace {

TEST(SurfaceObject, EmptyObjectReportsNothing) {
  cSurfaceObject empty;
  EXPECT_EQ(empty.GetWidth(), 0);
  EXPECT_EQ(empty.GetHeight(), 0);
  EXPECT_EQ(empty.GetDepth(), 0);
  EXPECT_EQ(empty.IsValid(), 0);
  EXPECT_EQ(empty.GetType(), 0);
  EXPECT_EQ(empty.GetDriver(), 0);
  int w = -1, h = -1, d = -1;
  EXPECT_EQ(empty.GetInfo(&w, &h, &d), 0);
  EXPECT_EQ(empty.ReleaseImplementation(), 0);
  EXPECT_EQ(empty.implementation, GetErrorSurface());
}

TEST(SurfaceObject, CreateFromAnEmptyPrototypeFailsWithNoMemory) {
  cSurfaceObject emptyPrototype;
  cSurfaceObject object;
  EXPECT_EQ(object.Create(10, 10, &emptyPrototype), nullptr);
  EXPECT_EQ(object.GetLastError(), kErrorNoMemory);
  EXPECT_FALSE(object.IsValid());
}

TEST(SurfaceObject, CreateClampsTheSizeAndClonesThePrototype) {
  cSurfaceObject prototype;
  prototype.SetImplementation(new RecordingSurface(1, 1, 32));
  cSurfaceObject object;
  object.lastError = 99;
  ASSERT_NE(object.Create(0, -5, &prototype), nullptr);
  EXPECT_EQ(object.GetWidth(), 1);
  EXPECT_EQ(object.GetHeight(), 1);
  EXPECT_EQ(object.GetLastError(), 0u);
}

TEST(SurfaceObject, DestructionNotifiesThenDeletes) {
  RecordingSurface::notifications.clear();
  const int destroyedBefore = RecordingSurface::destroyed;
  cSurfaceObject* object = NewSurfaceObject();
  ASSERT_NE(object, nullptr);
  object->SetImplementation(new RecordingSurface(2, 2, 16));
  DeleteSurfaceObject(object);
  ASSERT_EQ(RecordingSurface::notifications.size(), 1u);
  EXPECT_EQ(RecordingSurface::notifications[0].code, 0);
  EXPECT_EQ(RecordingSurface::notifications[0].owner, object);
  EXPECT_EQ(RecordingSurface::destroyed, destroyedBefore + 1);
  DeleteSurfaceObject(nullptr);  // ignored
}

TEST(SurfaceObject, TwoSurfaceOperationsTranslateEachByItsOwnOrigin) {
  auto* source = new RecordingSurface(50, 50, 32);
  auto* target = new RecordingSurface(50, 50, 32);
  cSurfaceObject src, dst;
  src.SetImplementation(source);
  dst.SetImplementation(target);
  src.SetOrigin(3, 4);
  dst.SetOrigin(-10, 20);
  EXPECT_EQ(src.Blit(&dst, 100, 200, 7, 8, 5, 6, 1, 2, 3, 4), 1);
  EXPECT_EQ(source->lastBlit.destination, target);
  EXPECT_EQ(source->lastBlit.x, 110);
  EXPECT_EQ(source->lastBlit.y, 180);
  EXPECT_EQ(source->lastBlit.sourceX, 4);
  EXPECT_EQ(source->lastBlit.sourceY, 4);
  EXPECT_EQ(source->lastBlit.width, 5);
  EXPECT_EQ(source->lastBlit.flags, 4);

  src.Blit(&dst, 0, 0, 0, 0, 0, 0);  // whole-surface form
  EXPECT_EQ(source->lastBlit.sourceX, -3);
  EXPECT_EQ(source->lastBlit.sourceY, -4);
  EXPECT_EQ(source->lastBlit.width, 50);

  RECT bounds{};
  ASSERT_EQ(src.GetOpaqueBounds(&bounds), 1);
  EXPECT_EQ(bounds.left, 4);  // returned rectangles come back in caller coordinates
  EXPECT_EQ(bounds.bottom, 8);
  src.OffsetOrigin(1, 1);
  int ox = 0, oy = 0;
  src.GetOrigin(&ox, &oy);
  EXPECT_EQ(ox, 4);
  EXPECT_EQ(oy, 5);
}

TEST(Prototypes, DepthAndTypeRules) {
  vexa::LibraryState& lib = vexa::Library();
  cSurfaceObject* chosen = nullptr;
  GetPrototype(&chosen, 12, kTypeMemory, kDriverNone);
  EXPECT_EQ(chosen, &lib.memoryPrototypes[1]);
  EXPECT_EQ(GetPrototype(&chosen, 12, kTypeMemory, kDriverNone), 0) << "only 15 itself matches";
  GetPrototype(&chosen, 4, kTypeMemory, kDriverNone);
  EXPECT_EQ(chosen, &lib.memoryPrototypes[0]);
  EXPECT_EQ(GetPrototype(&chosen, 4, kTypeMemory, kDriverNone), 0);
  EXPECT_EQ(GetPrototype(&chosen, 20, kTypeMemory, kDriverNone), 0);
  EXPECT_EQ(chosen, &lib.memoryPrototypes[3]);
  GetPrototype(&chosen, 32, kTypeDIBSectionAlt, kDriverNone);
  EXPECT_EQ(chosen, &lib.dibSectionPrototypes[4]);
  GetPrototype(&chosen, 32, 9, kDriverNone);
  EXPECT_EQ(chosen, &lib.dibSectionPrototypes[4]);
  GetPrototype(&chosen, 16, kTypeDIBSectionDC, kDriverNone);
  EXPECT_EQ(chosen, &lib.dibDCPrototypes[2]);
  GetPrototype(&chosen, 16, 6, kDriverNone);
  EXPECT_EQ(chosen, &lib.dibSectionPrototypes[2]);
}

TEST(Prototypes, MissingDriverFallsBackToDeviceIndependentPrototypes) {
  vexa::LibraryState& lib = vexa::Library();
  cSurfaceObject* chosen = nullptr;
  for (int driver : {kDriverD3D9, kDriverD3D8, kDriverD3D11}) {
    GetPrototype(&chosen, 32, 4, driver);
    EXPECT_EQ(chosen, &lib.dibDCPrototypes[4]) << "driver " << driver;
    GetPrototype(&chosen, 32, 2, driver);
    EXPECT_EQ(chosen, &lib.dibDCPrototypes[4]);
    GetPrototype(&chosen, 24, 5, driver);
    EXPECT_EQ(chosen, &lib.dibSectionPrototypes[3]);
    GetPrototype(&chosen, 24, 7, driver);
    EXPECT_EQ(chosen, &lib.dibSectionPrototypes[3]);
  }
}

TEST(ThreadRegistration, ConcurrentRegistrationBuildsPrototypesOnce) {
  vexa::LibraryState& lib = vexa::Library();
  // Step the main thread out so that the worker threads start from an empty library.
  UnregisterThread();
  ASSERT_EQ(lib.attachCount, 0);
  const int builds = lib.prototypeBuilds;
  const int releases = lib.prototypeReleases;

  constexpr int kThreads = 8;
  std::atomic<int> registered{0};
  std::atomic<bool> release{false};
  std::vector<std::thread> threads;
  for (int i = 0; i < kThreads; ++i) {
    threads.emplace_back([&] {
      RegisterThread();
      RegisterThread();  // nested: one entry, count 2
      ++registered;
      while (!release) std::this_thread::yield();
      UnregisterThread();
      UnregisterThread();
    });
  }
  while (registered < kThreads) std::this_thread::yield();
  EXPECT_EQ(lib.prototypeBuilds, builds + 1);
  EXPECT_EQ(lib.attachCount, kThreads);
  EXPECT_EQ(static_cast<int>(lib.threads.size()), kThreads);
  release = true;
  for (auto& t : threads) t.join();
  EXPECT_EQ(lib.attachCount, 0);
  EXPECT_EQ(lib.prototypeReleases, releases + 1);
  EXPECT_TRUE(lib.threads.empty());

  RegisterThread();
  EXPECT_EQ(lib.prototypeBuilds, builds + 2);
  UnregisterThread();  // an unregistered thread's extra call does nothing harmful
  UnregisterThread();
  RegisterThread();
}

TEST(LibraryFunctions, VersionSizesAndColors) {
  EXPECT_EQ(GetLibraryVersion(), 196900);
  EXPECT_EQ(GetStride(33, 15), 68);
  EXPECT_EQ(GetStride(3, 24), 12);
  EXPECT_EQ(GetStride(5, 8), 8);
  EXPECT_EQ(GetDIBHeaderSize(8), 40 + 1024);
  EXPECT_EQ(GetDIBHeaderSize(4), 40 + 64);
  EXPECT_EQ(GetDIBHeaderSize(16), 52);
  EXPECT_EQ(GetDIBHeaderSize(32), 40);
  EXPECT_EQ(GetDIBSize(10, 10, 32), 40 + 400);
  EXPECT_EQ(GetScreenModeCode(), 8) << "a headless test process has a 32-bit screen";
  EXPECT_EQ(GetSystemColor(5), 0x00FFFFFFu);
  EXPECT_EQ(GetSystemColor(25), 0u);
  EXPECT_EQ(GetSystemColor(30), 0x00D8E9ECu) << "above 28 the platform answers";

  alignas(4) unsigned char block[40 + 12 + 4 * 256] = {};
  auto* info = reinterpret_cast<BITMAPINFO*>(block);
  info->bmiHeader.biBitCount = 4;
  EXPECT_EQ(GetDIBBits(info), block + 40 + 64);
  info->bmiHeader.biClrUsed = 3;
  EXPECT_EQ(GetDIBBits(info), block + 40 + 12);
  info->bmiHeader.biBitCount = 16;
  info->bmiHeader.biCompression = 3;
  EXPECT_EQ(GetDIBBits(info), block + 52);
}

}  // namespace
