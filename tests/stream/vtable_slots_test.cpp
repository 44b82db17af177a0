// The stream classes' virtual operations are called through raw table slots, as callers
// bound by number do: each slot must hold its operation, in the order of the declarations.
#include <cstring>

#include <vexa/stream.h>

#include "stream/stream_test_util.h"

namespace {

// The function in slot `slot` of the object's table, typed as a plain function taking the
// object first (the platform ABI's convention for member functions).
template <typename Fn, typename Object>
Fn Slot(Object* object, int slot) {
  void** table = *reinterpret_cast<void***>(object);
  return reinterpret_cast<Fn>(table[slot]);
}

TEST(StreamVtable, InputSlotsHoldTheirOperationsInOrder) {
  const std::uint8_t bytes[] = {0x12, 0x34, 0x56, 0x78, 0x9A, 0xBC, 0xDE, 0xF0,
                                0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x08};
  CInputMemFile* in = NewInputMemFile();
  ASSERT_NE(in, nullptr);
  in->Create(bytes, sizeof bytes);
  CInputFile* s = in;
  auto seek = [&](int to) { Slot<int (*)(CInputFile*, int, int)>(s, 19)(s, to, kStreamSeekStart); };

  std::uint8_t buf[4] = {};
  int count = 0;
  EXPECT_EQ((Slot<int (*)(CInputFile*, void*, int, int*)>(s, 2)(s, buf, 3, &count)), kStreamOk);
  EXPECT_EQ(count, 3);
  EXPECT_EQ((Slot<int (*)(CInputFile*, void*, int)>(s, 3)(s, buf, 2)), kStreamOk);
  EXPECT_EQ(buf[0], 0x78);
  BYTE b = 0;
  EXPECT_EQ((Slot<int (*)(CInputFile*, BYTE*)>(s, 4)(s, &b)), kStreamOk);
  EXPECT_EQ(b, 0xBC);

  struct WordCase {
    int slot;
    DWORD expected;  // reading from offset 0
  } scalars[] = {{5, 0x3412},     {6, 0x78563412}, {7, 0x1234},
                 {8, 0x12345678}, {9, 0x78563412}, {10, 0x12345678}};
  for (const auto& c : scalars) {
    seek(0);
    DWORD value = 0;
    EXPECT_EQ((Slot<int (*)(CInputFile*, void*)>(s, c.slot)(s, &value)), kStreamOk);
    EXPECT_EQ(value, c.expected) << "slot " << c.slot;
    EXPECT_EQ((Slot<int (*)(CInputFile*)>(s, 17)(s)), c.slot == 5 || c.slot == 7 ? 2 : 4)
        << "Tell after slot " << c.slot;
  }
  struct ArrayCase {
    int slot, elementSize;
    DWORD first;
  } arrays[] = {{11, 2, 0x3412}, {12, 4, 0x78563412}, {13, 4, 0x78563412},
                {14, 2, 0x1234}, {15, 4, 0x12345678}, {16, 4, 0x12345678}};
  for (const auto& c : arrays) {
    seek(0);
    DWORD values[2] = {};
    EXPECT_EQ((Slot<int (*)(CInputFile*, void*, int)>(s, c.slot)(s, values, 2)), kStreamOk);
    DWORD first = 0;
    std::memcpy(&first, values, c.elementSize);
    EXPECT_EQ(first, c.first) << "slot " << c.slot;
    EXPECT_EQ(s->Tell(), 2 * c.elementSize) << "slot " << c.slot;
  }
  EXPECT_EQ((Slot<int (*)(CInputFile*)>(s, 18)(s)), 16);
  EXPECT_EQ((Slot<int (*)(CInputFile*, HFILE)>(s, 20)(s, 5)), kStreamOk);
  EXPECT_EQ((Slot<HFILE (*)(CInputFile*)>(s, 21)(s)), kInvalidFile);
  seek(8);
  EXPECT_EQ((Slot<void* (*)(CInputFile*, int)>(s, 22)(s, 4)), bytes + 8);
  Slot<void (*)(CInputFile*, void*)>(s, 23)(s, nullptr);
  EXPECT_EQ((Slot<char* (*)(CInputFile*)>(s, 24)(s)), nullptr);
  EXPECT_EQ((Slot<WCHAR* (*)(CInputFile*)>(s, 25)(s)), nullptr);
  Slot<void (*)(CInputFile*)>(s, 1)(s);  // Delete: the leak checker sees it freed
}

TEST(StreamVtable, OutputSlotsHoldTheirOperationsInOrder) {
  auto* out = new COutputMemFile();
  out->Create(16);
  COutputFile* s = out;
  EXPECT_EQ((Slot<int (*)(COutputFile*, const void*, int)>(s, 1)(s, "0123456789", 10)), kStreamOk);
  EXPECT_EQ((Slot<int (*)(COutputFile*, int, int)>(s, 5)(s, 3, kStreamSeekStart)), 3);
  EXPECT_EQ((Slot<int (*)(COutputFile*)>(s, 2)(s)), kStreamOk);
  EXPECT_EQ((Slot<int (*)(COutputFile*)>(s, 3)(s)), 10);
  EXPECT_EQ((Slot<int (*)(COutputFile*)>(s, 4)(s)), 3);
  EXPECT_EQ((Slot<char* (*)(COutputFile*)>(s, 6)(s)), nullptr);
  EXPECT_EQ((Slot<WCHAR* (*)(COutputFile*)>(s, 7)(s)), nullptr);
  Slot<void (*)(COutputFile*, unsigned)>(s, 0)(s, 1);  // Destroy with bit 0: destroys and frees
}

class StreamVtableFiles : public streamtest::TempDirTest {};

TEST_F(StreamVtableFiles, BufferedOutputDestroyedThroughSlotZeroFlushes) {
  const std::string path = PathOf("slot0.bin");
  auto* out = new COutputBufFile();
  ASSERT_EQ(out->Create(path.c_str(), 64), kStreamOk);
  out->Write("abc", 3);
  Slot<void (*)(COutputFile*, unsigned)>(out, 0)(out, 1);
  EXPECT_EQ(std::filesystem::file_size(path), 3u);
}

}  // namespace
